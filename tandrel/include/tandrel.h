/* Tandrel.dll: utility functions for test scripts.
 *
 * Every function is a plain C function in the caller-cleans convention
 * (cdecl), bound by its exported name; the 32-bit and the 64-bit library
 * export the same names, and this one header serves both. Texts are null-terminated 8-bit texts
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

/* No function lets an exception out: each reports every failure, running
 * out of memory included, through its result. */
#ifdef __cplusplus
#define TANDREL_NOEXCEPT noexcept
#else
#define TANDREL_NOEXCEPT
#endif

/* ---- Registry ---------------------------------------------------------- */

/* Creates the key (and any missing levels) and writes one value: REG_DWORD
 * of atol(value_text) when number_flag is nonzero, else REG_SZ with its
 * terminator. 0 success, 1 failure. */
TANDREL_API int __cdecl create_reg_value(int root, const char* keyPath, const char* valueName,
                                         const char* valueText, int numberFlag) TANDREL_NOEXCEPT;

/* Reads one value into out (at least 256 bytes): REG_SZ as text, REG_DWORD
 * as its decimal value, other types as the decimal value of their first
 * byte. Returns the system error of the read: 0 success, 2 no such value,
 * 6 no such key, 234 longer than 256 bytes. */
TANDREL_API int __cdecl get_reg_value(int root, const char* keyPath, const char* valueName,
                                      char* out) TANDREL_NOEXCEPT;

/* Deletes one value. Returns the system error: 0 success, 2 no such value,
 * 6 no such key. */
TANDREL_API int __cdecl del_reg_value(int root, const char* keyPath,
                                      const char* valueName) TANDREL_NOEXCEPT;

/* Deletes a key. Returns the system error: 0 success, 2 no such key, 5 a key
 * that still has subkeys. */
TANDREL_API int __cdecl del_reg_key(int root, const char* keyPath) TANDREL_NOEXCEPT;

/* Writes every subkey name followed by ";" into out (room for every name
 * plus one character each, plus the terminator) and returns their count, or
 * the system error of the count (6 for a missing key, out then empty). */
TANDREL_API int __cdecl enum_reg_key(int root, const char* keyPath, char* out) TANDREL_NOEXCEPT;

/* Writes the subkey names with "," between them into out (room for every
 * name plus one character between names, plus the terminator); a missing
 * key gives the empty text. Returns 0. */
TANDREL_API int __cdecl regenumsubkeys(int root, const char* keyPath, char* out) TANDREL_NOEXCEPT;

/* 0 when the key exists (value_name "") or has a value of exactly that name
 * (case-sensitive); -1 otherwise. */
TANDREL_API int __cdecl reg_key_exists(int root, const char* keyPath,
                                       const char* valueName) TANDREL_NOEXCEPT;

/* ---- Files and drives -------------------------------------------------- */
/* A file name is a path, relative to the current directory or absolute,
 * whose last component may hold the wildcards * and ?; a function that looks
 * at one file takes the first match. */

/* Writes the letters of the present drives A to N (never O to Z), each
 * followed by ",", into out (29 bytes), e.g. "A,C,D,". Returns their count. */
TANDREL_API int __cdecl get_drives(char* out) TANDREL_NOEXCEPT;

/* Copies the Windows directory's path into out (256 bytes). Returns 0. */
TANDREL_API int __cdecl get_win_dir(char* out) TANDREL_NOEXCEPT;

/* Searches the tree below root_folder for file_name and copies the full path
 * found into out (260 bytes). 0 found, -10033 not found (or no such root). */
TANDREL_API int __cdecl findfile(const char* rootFolder, const char* fileName,
                                 char* out) TANDREL_NOEXCEPT;

/* Copies the short (8.3) name of the first match, without its folder, into
 * out (14 bytes); the empty text when the name already is an 8.3 name.
 * 0 found, 1 no match (out then empty). */
TANDREL_API int __cdecl get_83filename(const char* fileName, char* out) TANDREL_NOEXCEPT;

/* The low 32 bits of the first match's size, or 1 when nothing matches. */
TANDREL_API int __cdecl get_file_size(const char* fileName) TANDREL_NOEXCEPT;

/* Writes the local date on which the first match was created, or last
 * written, as "MM/DD/YYYY" into out (11 bytes). 0 success, 1 no match or a
 * date outside 1980 to 2107 (out then undefined). */
TANDREL_API int __cdecl get_file_creation_date(const char* fileName, char* out) TANDREL_NOEXCEPT;
TANDREL_API int __cdecl get_file_modified_date(const char* fileName, char* out) TANDREL_NOEXCEPT;

/* Writes the local time of day at which the first match was created as
 * "H:MM:SS", seconds rounded down to even, into out (9 bytes). 0 success,
 * 1 no match or a time outside 1980 to 2107. */
TANDREL_API int __cdecl get_file_creation_time(const char* fileName, char* out) TANDREL_NOEXCEPT;

/* Deletes every file (never a folder) that matches the pattern. 0 done (also
 * when only folders match), 1 pattern longer than 260 characters, 2 no
 * match, 3 the first deletion failed, 4 a later deletion failed; files
 * deleted before a failure stay deleted. A file whose full path would not fit
 * in 260 bytes counts as a failed deletion. */
TANDREL_API int __cdecl del_multi_files(const char* pattern) TANDREL_NOEXCEPT;

/* ---- Date, time and locale --------------------------------------------- */
/* Everything is local time. A seconds count is seconds since 1970-01-01
 * 00:00:00 UTC, turned into local time by the runtime (TZ when set, else the
 * system's time zone). */

/* Writes today's date as "MM/dd/yyyy" into out (11 bytes), whatever the
 * user's date settings. Returns 1. */
TANDREL_API int __cdecl get_date_long(char* out) TANDREL_NOEXCEPT;

/* Writes the time of day as "HH:MM:SS.ms" into out (13 bytes), the
 * milliseconds with two digits below 100 and three from 100 on (".05",
 * ".123"). Returns hours * 100 + minutes. */
TANDREL_API int __cdecl get_local_time(char* out) TANDREL_NOEXCEPT;

/* Stores the milliseconds since midnight at the address given and returns
 * the day of the week, 0 Sunday to 6 Saturday. */
TANDREL_API int __cdecl get_time_in_ms(int* millisecondsSinceMidnight) TANDREL_NOEXCEPT;

/* Writes the day of the week as one digit, "0" Sunday to "6" Saturday, into
 * out (2 bytes). Returns 0. */
TANDREL_API int __cdecl get_dow_string(char* out) TANDREL_NOEXCEPT;

/* Writes the local time of day of a seconds count on a 12-hour clock,
 * "03:04:05 PM", into out (12 bytes); the time zone is read afresh on every
 * call. A negative count gives the empty text. Returns 0. */
TANDREL_API int __cdecl GmtToLocalTime(int secondsSince1970, char* out) TANDREL_NOEXCEPT;

/* Set the clock: another date at the same time of day, another time of day
 * on the same date, or the local time of a seconds count. 0 success, 1 the
 * system refused (fields out of range, no right to set the time, a negative
 * count); a refusal changes nothing. Argument order: month, day, year. */
TANDREL_API int __cdecl set_sys_date(int month, int day, int year) TANDREL_NOEXCEPT;
TANDREL_API int __cdecl set_sys_time(int hours, int minutes, int seconds) TANDREL_NOEXCEPT;
TANDREL_API int __cdecl set_sys_time_date(int secondsSince1970) TANDREL_NOEXCEPT;

/* Store the user's short-date or long-date picture (e.g. "MM/dd/yyyy").
 * Other programs are not notified. Return 0; a rejected picture changes
 * nothing. */
TANDREL_API int __cdecl set_locale_shortdate_format(const char* picture) TANDREL_NOEXCEPT;
TANDREL_API int __cdecl set_locale_longdate_format(const char* picture) TANDREL_NOEXCEPT;

/* ---- System ------------------------------------------------------------ */

/* Copies the computer name into out (16 bytes). 0 success, 1 failure. */
TANDREL_API int __cdecl get_comp_name(char* out) TANDREL_NOEXCEPT;

/* Appends "Version M.m Build: B " and the service-pack text to what out
 * already holds (room for that plus 178 characters and the terminator).
 * Returns 0. */
TANDREL_API int __cdecl get_os_ver(char* out) TANDREL_NOEXCEPT;

/* Writes the primary screen's width and height in pixels (8 bytes each).
 * Returns 0. */
TANDREL_API int __cdecl get_screen_res(char* width, char* height) TANDREL_NOEXCEPT;

/* Writes total and available physical memory, total and available page
 * file, total and available virtual space, in bytes (12 bytes each; 2 GB or
 * more reads as negative). Returns the memory load in percent. */
TANDREL_API int __cdecl get_free_mem(char* totalPhysical, char* availablePhysical,
                                     char* totalPageFile, char* availablePageFile,
                                     char* totalVirtual, char* availableVirtual) TANDREL_NOEXCEPT;

/* Queues WM_CLOSE for the window and returns at once: nonzero when queued. */
TANDREL_API int __cdecl shut_down(int window) TANDREL_NOEXCEPT;

/* Loads the library and calls its DllRegisterServer: 0 registered, -1 not. */
TANDREL_API int __cdecl register_dll(const char* library) TANDREL_NOEXCEPT;

/* Switches automatic logon on (on == 1, with the password) or off (any
 * other value, password cleared) under HKEY_LOCAL_MACHINE. 0 success,
 * 1 failure (needs administrator rights). */
TANDREL_API int __cdecl set_auto_logon(const char* password, int on) TANDREL_NOEXCEPT;

/* ---- Keyboard ---------------------------------------------------------- */

/* Types text into whatever has the keyboard focus; "<13>" presses the key
 * with virtual-key code 13. Returns 0. */
TANDREL_API int __cdecl keybd_type(const char* text) TANDREL_NOEXCEPT;

/* As keybd_type; a "-" or "+" right after a key that follows a tag holds
 * that key down or lets it up: "<17>-c<17>+" is Ctrl+C. Returns 0. */
TANDREL_API int __cdecl keybd_type2(const char* text) TANDREL_NOEXCEPT;

/* Presses Print Screen (with Alt when which is exactly "Active"); no key-up.
 * Returns 0. */
TANDREL_API int __cdecl print_scrn(const char* which) TANDREL_NOEXCEPT;

/* Sends one Print Screen key-down with the given scan code. Returns 0. */
TANDREL_API int __cdecl capture_screen(int scanCode) TANDREL_NOEXCEPT;

/* ---- Windows and controls ---------------------------------------------- */

/* Window handles pass as 32-bit integers and come back as decimal text
 * (12 bytes; "0" means no window), in the 32-bit and the 64-bit library
 * alike. Window handles are 32-bit significant on 64-bit Windows too, so a
 * 64-bit caller passes HandleToLong(hwnd), or the handle cut to an int, and
 * the library widens it back with LongToHandle (sign extension); a handle
 * read back as text is turned into an HWND the same way. Nothing is checked:
 * a handle that names no window answers the control messages with 0. */

/* Sets the window's text. 0 success, 1 failure. */
TANDREL_API int __cdecl set_win_title(int window, const char* text) TANDREL_NOEXCEPT;

/* Copies the window's text into out (256 bytes: 255 characters at most; an
 * empty text for no window). Returns 0. */
TANDREL_API int __cdecl get_win_text(int window, char* out) TANDREL_NOEXCEPT;

/* 1 when the button shows the focus state (BST_FOCUS), else 0. */
TANDREL_API int __cdecl get_button_focus(int window) TANDREL_NOEXCEPT;

/* Writes the client point (x, y) relative to the window's outer top-left
 * corner (12 bytes each; both empty for no window). Returns 0. */
TANDREL_API int __cdecl ClientToWinCoord(int window, int x, int y, char* outX,
                                         char* outY) TANDREL_NOEXCEPT;

/* Writes the window's left and top screen coordinates (12 bytes each).
 * Returns nonzero on success; 0, with both texts empty, for no window. */
TANDREL_API int __cdecl web_obj_get_abs_pos(int window, char* outLeft,
                                            char* outTop) TANDREL_NOEXCEPT;

/* Writes the handle of the window at screen point (x, y) (12 bytes).
 * Returns 0. */
TANDREL_API int __cdecl win_from_point(int x, int y, char* out) TANDREL_NOEXCEPT;

/* Writes the handle of the window 5 pixels right of and below the cursor's
 * lower right corner (12 bytes). Returns 0. */
TANDREL_API int __cdecl get_tooltip_hwnd(char* out) TANDREL_NOEXCEPT;

/* As get_tooltip_hwnd, dx and dy pixels beyond the cursor's corner. */
TANDREL_API int __cdecl get_tooltip_hwnd2(char* out, int dx, int dy) TANDREL_NOEXCEPT;

/* Probes the window's standard scroll bars: 0 none, 1 horizontal,
 * 2 vertical, 3 both. Both bars are left at the start of their ranges. */
TANDREL_API int __cdecl win_has_scroll(int window) TANDREL_NOEXCEPT;

/* Makes the edit control writable and replaces its whole content with text,
 * as one change that can be undone. Returns 0. */
TANDREL_API int __cdecl type_edit(int window, const char* text) TANDREL_NOEXCEPT;

/* Copies the text of the item with that command identifier in the window's
 * menu into out (256 bytes: 255 characters at most, always terminated).
 * Returns the number of characters copied: 0 for no such item or no menu. */
TANDREL_API int __cdecl get_menu_name(int window, int itemId, char* out) TANDREL_NOEXCEPT;

/* Writes the control's identifier (12 bytes). Returns 0. */
TANDREL_API int __cdecl get_dlg_id(int window, char* out) TANDREL_NOEXCEPT;

/* Selects the first combo-box item that begins with text (any case).
 * Returns its index, or -1 when none begins so. */
TANDREL_API int __cdecl CB_sel_item(int window, const char* text) TANDREL_NOEXCEPT;

/* As CB_sel_item: 0 when an item was selected, -10105 when none begins with
 * text. */
TANDREL_API int __cdecl alt_list_select_item(int window, const char* text) TANDREL_NOEXCEPT;

/* Writes the list box's selected item's rectangle, in the list box's client
 * coordinates (12 bytes each). 0 success; -1 when there is no selection or
 * no window, and then nothing is written. */
TANDREL_API int __cdecl list_get_sel_item(int window, char* outLeft, char* outTop, char* outRight,
                                          char* outBottom) TANDREL_NOEXCEPT;

/* Returns the data value stored with the list-box item, or -1 (LB_ERR).
 * A null window shows the message box "nope" and returns -1. */
TANDREL_API int __cdecl is_lb_item_checked(int window, int index) TANDREL_NOEXCEPT;

/* Collapses the tree view's selected item and removes its children.
 * Returns nonzero on success. */
TANDREL_API int __cdecl col_brnch(int window) TANDREL_NOEXCEPT;

/* Writes how many items fit in the tree view's client area (12 bytes).
 * Returns the indentation of child items in pixels. Clicks nothing. */
TANDREL_API int __cdecl rclick_tvitem(int window, char* outCount) TANDREL_NOEXCEPT;

/* Selects the tab. Returns the previously selected tab's index, or -1. */
TANDREL_API int __cdecl sel_tab(int window, int tabIndex) TANDREL_NOEXCEPT;

/* Returns the selected tab's index, or -1 when none is selected. */
TANDREL_API int __cdecl get_sel_tab(int window) TANDREL_NOEXCEPT;

/* Shows a message box with the handle of the MDI frame's active child as
 * its text ("0" for a window without MDI client or without an active child)
 * and returns 0 once the box is closed. */
TANDREL_API int __cdecl get_active_mdi_child(int window) TANDREL_NOEXCEPT;

/* Converts *x and *y in place from twips to screen pixels (at 96 pixels per
 * inch 1440 twips are 96 pixels). Returns the new *x. */
TANDREL_API float __cdecl twips_to_pix(float* x, float* y) TANDREL_NOEXCEPT;

/* Converts *x and *y in place from screen pixels to twips. Returns the new
 * *x. */
TANDREL_API float __cdecl pix_to_twips(float* x, float* y) TANDREL_NOEXCEPT;

/* ---- Screen capture ---------------------------------------------------- */

/* Saves the screen rectangle left..right-1, top..bottom-1 as a 24-bit
 * bitmap file, replacing any file of that name. 0 written; -10007 the file
 * cannot be created or written (no file is left); -12303 no image can be
 * made (right < left, bottom < top, no memory), no file touched. A
 * rectangle without width or height gives a 1 x 1 image. The file is not
 * held open, nor handed to programs started meanwhile, once it returns. */
TANDREL_API int __cdecl CaptureAreaToFile(const char* fileName, int left, int top, int right,
                                          int bottom) TANDREL_NOEXCEPT;

/* As CaptureAreaToFile for the foreground window's rectangle, frame
 * included, when which is exactly "Active"; otherwise (or with no window in
 * the foreground) for the whole screen. */
TANDREL_API int __cdecl CaptureBmpToFile(const char* fileName, const char* which) TANDREL_NOEXCEPT;

/* ---- Pixel read-back --------------------------------------------------- */

/* Pixels of a window's DC (window coordinates, frame included), x from
 * left to right and y from top to bottom, both ends included. mode 1
 * records them in file_name as 4-byte colour values (0x00BBGGRR, or
 * 0xFFFFFFFF where the window is not visible), top row first; returns 0.
 * mode 0 returns how many differ from that file (a value the file does not
 * hold counts as differing), at most 2147483647. Any other mode returns 0
 * and does nothing. An area of more than 2147483647 points, more than a
 * compare can count, is refused: mode 1 returns 0 and touches no file,
 * mode 0 returns 2147483647. */
TANDREL_API int __cdecl get_bmp_area(int window, int left, int top, int right, int bottom, int mode,
                                     const char* fileName) TANDREL_NOEXCEPT;

/* As get_bmp_area for x from 0 to width and y from 0 to height of the
 * window's rectangle: one column and one row more than the window has. */
TANDREL_API int __cdecl get_bmp(int window, int mode, const char* fileName) TANDREL_NOEXCEPT;

/* ---- URL check --------------------------------------------------------- */

/* 0 when the URL opens (an HTTP answer of any status; an existing file
 * for a file URL), 1 when it does not. Nothing is read from it. */
TANDREL_API int __cdecl web_complex_url_valid(const char* url) TANDREL_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* TANDREL_H */
