// The owners of Win32 resources: kernel handles, registry keys, GDI objects
// and device contexts, memory blocks, modules, windows and window classes,
// each a unique_any with the function that releases it.
#pragma once

#include <windows.h>

#include <string>

#include "unique_any.h"

namespace kit {

// Kernel file and find handles, whose "none" value is INVALID_HANDLE_VALUE.
template <auto Close>
struct invalid_handle_is_invalid {
  using type = HANDLE;
  static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(HANDLE value) noexcept { Close(value); }
};

namespace detail {
inline void CloseHandleValue(HANDLE h) noexcept { ::CloseHandle(h); }
inline void FindCloseValue(HANDLE h) noexcept { ::FindClose(h); }
inline void RegCloseKeyValue(HKEY k) noexcept { ::RegCloseKey(k); }
inline void DeleteObjectValue(HGDIOBJ o) noexcept { ::DeleteObject(o); }
inline void DeleteDCValue(HDC dc) noexcept { ::DeleteDC(dc); }
inline void LocalFreeValue(HLOCAL p) noexcept { ::LocalFree(p); }
inline void FreeLibraryValue(HMODULE m) noexcept { ::FreeLibrary(m); }
inline void UnmapViewValue(void* view) noexcept { ::UnmapViewOfFile(view); }
inline void GlobalFreeValue(HGLOBAL m) noexcept { ::GlobalFree(m); }
inline void DestroyWindowValue(HWND w) noexcept { ::DestroyWindow(w); }
inline void DeleteFileValue(const std::wstring& path) noexcept { ::DeleteFileW(path.c_str()); }
inline void GlobalUnlockValue(HGLOBAL m) noexcept { ::GlobalUnlock(m); }
}  // namespace detail

using unique_handle = unique_any<HANDLE, detail::CloseHandleValue>;  // events, processes, threads
using unique_file = unique_any_t<invalid_handle_is_invalid<detail::CloseHandleValue>>;
using unique_find = unique_any_t<invalid_handle_is_invalid<detail::FindCloseValue>>;
using unique_hkey = unique_any<HKEY, detail::RegCloseKeyValue>;
using unique_hgdiobj = unique_any<HGDIOBJ, detail::DeleteObjectValue>;
using unique_hdc = unique_any<HDC, detail::DeleteDCValue>;
using unique_hlocal = unique_any<HLOCAL, detail::LocalFreeValue>;
using unique_hmodule = unique_any<HMODULE, detail::FreeLibraryValue>;
using unique_mapped_view = unique_any<void*, detail::UnmapViewValue>;
using unique_hglobal = unique_any<HGLOBAL, detail::GlobalFreeValue>;
using unique_window = unique_any<HWND, detail::DestroyWindowValue>;
// A file, by path, deleted unless released once it has served.
using unique_file_path = unique_any<std::wstring, detail::DeleteFileValue>;
// A global memory block locked for its address (GlobalLock), unlocked with
// GlobalUnlock.
using unique_global_lock = unique_any<HGLOBAL, detail::GlobalUnlockValue>;

// A DC borrowed from a window (GetDC, GetWindowDC; a null window for the
// screen), given back with ReleaseDC.
struct window_dc {
  HWND window;
  HDC dc;
  bool operator==(const window_dc&) const = default;
};
struct window_dc_traits {
  using type = window_dc;
  static window_dc invalid() noexcept { return {}; }
  static void close(window_dc value) noexcept { ::ReleaseDC(value.window, value.dc); }
};
using unique_window_dc = unique_any_t<window_dc_traits>;
[[nodiscard]] inline unique_window_dc GetWindowDcOf(HWND window) {
  const HDC dc = ::GetWindowDC(window);
  return unique_window_dc(dc ? window_dc{window, dc} : window_dc{});
}
[[nodiscard]] inline unique_window_dc GetScreenDc() {
  const HDC dc = ::GetDC(nullptr);
  return unique_window_dc(dc ? window_dc{nullptr, dc} : window_dc{});
}

// An object selected into a DC for a while: the object it replaced is
// selected back. Palettes have their own selection call.
struct dc_selection {
  HDC dc;
  HGDIOBJ previous;
  bool operator==(const dc_selection&) const = default;
};
template <void (*Restore)(dc_selection)>
struct dc_selection_traits {
  using type = dc_selection;
  static dc_selection invalid() noexcept { return {}; }
  static void close(dc_selection value) noexcept { Restore(value); }
};
namespace detail {
inline void SelectBack(dc_selection s) noexcept { ::SelectObject(s.dc, s.previous); }
inline void SelectPaletteBack(dc_selection s) noexcept {
  ::SelectPalette(s.dc, static_cast<HPALETTE>(s.previous), FALSE);
}
}  // namespace detail
using unique_selection = unique_any_t<dc_selection_traits<detail::SelectBack>>;
using unique_palette_selection = unique_any_t<dc_selection_traits<detail::SelectPaletteBack>>;
[[nodiscard]] inline unique_selection SelectInto(HDC dc, HGDIOBJ object) {
  const HGDIOBJ previous = ::SelectObject(dc, object);
  return unique_selection(previous && previous != HGDI_ERROR ? dc_selection{dc, previous}
                                                             : dc_selection{});
}
[[nodiscard]] inline unique_palette_selection SelectPaletteInto(HDC dc, HPALETTE palette) {
  const HPALETTE previous = ::SelectPalette(dc, palette, FALSE);
  return unique_palette_selection(previous ? dc_selection{dc, previous} : dc_selection{});
}

// A window class a module registered, unregistered by its atom.
struct window_class {
  ATOM atom;
  HINSTANCE module;
  bool operator==(const window_class&) const = default;
};
struct window_class_traits {
  using type = window_class;
  static window_class invalid() noexcept { return {}; }
  static void close(window_class value) noexcept {
    // MAKEINTATOM, in the Unicode spelling whatever UNICODE says.
    ::UnregisterClassW(reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(value.atom)), value.module);
  }
};
using unique_window_class = unique_any_t<window_class_traits>;
// A top-level window's class as the kit's windows have it: the arrow cursor,
// and the dialog face behind the controls. Empty when it cannot be registered.
[[nodiscard]] inline unique_window_class RegisterWindowClass(HINSTANCE module, const wchar_t* name,
                                                             WNDPROC procedure, HICON icon,
                                                             HICON smallIcon = nullptr) noexcept {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = module;
  windowClass.hIcon = icon;
  windowClass.hIconSm = smallIcon;
  windowClass.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = name;
  const ATOM atom = ::RegisterClassExW(&windowClass);
  return unique_window_class(atom ? window_class{atom, module} : window_class{});
}

}  // namespace kit
