/* Tandrel.dll: utility functions for test scripts.
 *
 * Every function is a plain C function in the caller-cleans convention
 * (cdecl), bound by its exported name. Texts are null-terminated 8-bit texts
 * in the system's ANSI code page. Output buffers belong to the caller, who
 * sizes them as each comment says; the library writes from their start (only
 * get_os_ver appends) and never keeps or allocates memory for the caller.
 * Numbers written into buffers are signed decimal text.
 *
 * Root index of the registry functions: 0 HKEY_CLASSES_ROOT,
 * 1 HKEY_CURRENT_USER, 2 HKEY_LOCAL_MACHINE, 3 HKEY_USERS,
 * 4 HKEY_PERFORMANCE_DATA, 5 HKEY_CURRENT_CONFIG, 6 HKEY_DYN_DATA,
 * any other value HKEY_CLASSES_ROOT. Keys are opened with full access.
 */
#ifndef TANDREL_H
#define TANDREL_H

#ifdef __cplusplus
extern "C" {
#endif

#ifndef TANDREL_API
#define TANDREL_API __declspec(dllimport)
#endif

/* ---- Registry ---------------------------------------------------------- */

/* Creates the key (and any missing levels) and writes one value: REG_DWORD
 * of atol(value_text) when number_flag is nonzero, else REG_SZ with its
 * terminator. 0 success, 1 failure. */
TANDREL_API int __cdecl create_reg_value(int root, const char* key_path, const char* value_name,
                                         const char* value_text, int number_flag);

/* Reads one value into out (at least 256 bytes): REG_SZ as text, REG_DWORD
 * as its decimal value, other types as the decimal value of their first
 * byte. Returns the system error of the read: 0 success, 2 no such value,
 * 6 no such key, 234 longer than 256 bytes. */
TANDREL_API int __cdecl get_reg_value(int root, const char* key_path, const char* value_name,
                                      char* out);

/* Deletes one value. Returns the system error: 0 success, 2 no such value,
 * 6 no such key. */
TANDREL_API int __cdecl del_reg_value(int root, const char* key_path, const char* value_name);

/* Deletes a key. Returns the system error: 0 success, 2 no such key, 5 a key
 * that still has subkeys. */
TANDREL_API int __cdecl del_reg_key(int root, const char* key_path);

/* Writes every subkey name followed by ";" into out (room for every name
 * plus one character each, plus the terminator) and returns their count, or
 * the system error of the count (6 for a missing key, out then empty). */
TANDREL_API int __cdecl enum_reg_key(int root, const char* key_path, char* out);

/* Writes the subkey names with "," between them into out (room for every
 * name plus one character between names, plus the terminator); a missing
 * key gives the empty text. Returns 0. */
TANDREL_API int __cdecl regenumsubkeys(int root, const char* key_path, char* out);

/* 0 when the key exists (value_name "") or has a value of exactly that name
 * (case-sensitive); -1 otherwise. */
TANDREL_API int __cdecl reg_key_exists(int root, const char* key_path, const char* value_name);

/* ---- System ------------------------------------------------------------ */

/* Copies the computer name into out (16 bytes). 0 success, 1 failure. */
TANDREL_API int __cdecl get_comp_name(char* out);

/* Appends "Version M.m Build: B " and the service-pack text to what out
 * already holds (room for that plus 178 characters and the terminator).
 * Returns 0. */
TANDREL_API int __cdecl get_os_ver(char* out);

/* Writes the primary screen's width and height in pixels (8 bytes each).
 * Returns 0. */
TANDREL_API int __cdecl get_screen_res(char* width, char* height);

/* Writes total and available physical memory, total and available page
 * file, total and available virtual space, in bytes (12 bytes each; 2 GB or
 * more reads as negative). Returns the memory load in percent. */
TANDREL_API int __cdecl get_free_mem(char* total_physical, char* available_physical,
                                     char* total_page_file, char* available_page_file,
                                     char* total_virtual, char* available_virtual);

/* Queues WM_CLOSE for the window and returns at once: nonzero when queued. */
TANDREL_API int __cdecl shut_down(int window);

/* Loads the library and calls its DllRegisterServer: 0 registered, -1 not. */
TANDREL_API int __cdecl register_dll(const char* library);

/* Switches automatic logon on (on == 1, with the password) or off (any
 * other value, password cleared) under HKEY_LOCAL_MACHINE. 0 success,
 * 1 failure (needs administrator rights). */
TANDREL_API int __cdecl set_auto_logon(const char* password, int on);

/* ---- Keyboard ---------------------------------------------------------- */

/* Types text into whatever has the keyboard focus; "<13>" presses the key
 * with virtual-key code 13. Returns 0. */
TANDREL_API int __cdecl keybd_type(const char* text);

/* As keybd_type; a "-" or "+" right after a key that follows a tag holds
 * that key down or lets it up: "<17>-c<17>+" is Ctrl+C. Returns 0. */
TANDREL_API int __cdecl keybd_type2(const char* text);

/* Presses Print Screen (with Alt when which is exactly "Active"); no key-up.
 * Returns 0. */
TANDREL_API int __cdecl print_scrn(const char* which);

/* Sends one Print Screen key-down with the given scan code. Returns 0. */
TANDREL_API int __cdecl capture_screen(int scan_code);

/* ---- Screen capture ---------------------------------------------------- */

/* Saves the screen rectangle left..right-1, top..bottom-1 as a 24-bit
 * bitmap file, replacing any file of that name. 0 written; -10007 the file
 * cannot be created or written (no file is left); -12303 no image can be
 * made (right < left, bottom < top, no memory), no file touched. A
 * rectangle without width or height gives a 1 x 1 image. */
TANDREL_API int __cdecl CaptureAreaToFile(const char* file_name, int left, int top, int right,
                                          int bottom);

/* As CaptureAreaToFile for the foreground window's rectangle, frame
 * included, when which is exactly "Active"; otherwise (or with no window in
 * the foreground) for the whole screen. */
TANDREL_API int __cdecl CaptureBmpToFile(const char* file_name, const char* which);

/* ---- Pixel read-back --------------------------------------------------- */

/* Pixels of a window's DC (window coordinates, frame included), x from
 * left to right and y from top to bottom, both ends included. mode 1
 * records them in file_name as 4-byte colour values (0x00BBGGRR, or
 * 0xFFFFFFFF where the window is not visible), top row first; returns 0.
 * mode 0 returns how many differ from that file (a value the file does not
 * hold counts as differing). Any other mode returns 0 and does nothing. */
TANDREL_API int __cdecl get_bmp_area(int window, int left, int top, int right, int bottom,
                                     int mode, const char* file_name);

/* As get_bmp_area for x from 0 to width and y from 0 to height of the
 * window's rectangle: one column and one row more than the window has. */
TANDREL_API int __cdecl get_bmp(int window, int mode, const char* file_name);

/* ---- URL check --------------------------------------------------------- */

/* 0 when the URL opens (an HTTP answer of any status; an existing file
 * for a file URL), 1 when it does not. Nothing is read from it. */
TANDREL_API int __cdecl web_complex_url_valid(const char* url);

#ifdef __cplusplus
}
#endif

#endif /* TANDREL_H */
