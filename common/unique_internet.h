// The owner of WinInet handles, apart from the other Win32 owners so that
// only its users include <wininet.h>.
#pragma once

#include <windows.h>

#include <wininet.h>

#include "unique_any.h"

namespace kit {

namespace detail {
inline void InternetCloseHandleValue(HINTERNET handle) noexcept { ::InternetCloseHandle(handle); }
}  // namespace detail

using unique_hinternet = unique_any<HINTERNET, detail::InternetCloseHandleValue>;

}  // namespace kit
