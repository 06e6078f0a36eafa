// System family: facts about the machine, a close request, self-registration
// of a library and the automatic-logon switch.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "conventions.h"
#include "error_handling.h"
#include "tandrel.h"
#include "unique_resource.h"

namespace tandrel {
namespace {

constexpr int kLocalMachine = 2;
constexpr char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
// "Version %d.%d " and "Build: %d " with the widest numbers, and the
// service-pack text, 127 characters at most.
constexpr std::size_t kVersionTextChars = 178;

static_assert(sizeof(OSVERSIONINFOA) == 148, "the version report is read with size 148");

// A quantity as its signed 32-bit reading. Beyond 32 bits (only in a 64-bit
// build) it reads as -1, the platform's own mark of a count that overflowed.
std::int32_t SignedReading(SIZE_T quantity) {
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(std::min<std::uint64_t>(quantity, UINT32_MAX)));
}

}  // namespace
}  // namespace tandrel

TANDREL_EXPORT get_comp_name(char* out) noexcept {
  return kit::CatchReturn(1, [&] {
    DWORD size = 16;
    return ::GetComputerNameA(out, &size) ? 0 : 1;
  });
}

TANDREL_EXPORT get_os_ver(char* out) noexcept {
  return kit::CatchReturn(0, [&] {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // deprecated, yet the report this export is made of
#endif
    ::GetVersionExA(&version);
    char* end = out + std::strlen(out);
    std::snprintf(end, tandrel::kVersionTextChars + 1, "Version %d.%d Build: %d %.127s",
                  static_cast<int>(version.dwMajorVersion),
                  static_cast<int>(version.dwMinorVersion), static_cast<int>(version.dwBuildNumber),
                  version.szCSDVersion);
    return 0;
  });
}

TANDREL_EXPORT get_screen_res(char* width, char* height) noexcept {
  return kit::CatchReturn(0, [&] {
    tandrel::WriteDecimal(width, ::GetSystemMetrics(SM_CXSCREEN));
    tandrel::WriteDecimal(height, ::GetSystemMetrics(SM_CYSCREEN));
    return 0;
  });
}

TANDREL_EXPORT get_free_mem(char* totalPhysical, char* availablePhysical, char* totalPageFile,
                            char* availablePageFile, char* totalVirtual,
                            char* availableVirtual) noexcept {
  return kit::CatchReturn(0, [&] {
    MEMORYSTATUS status = {};
    status.dwLength = sizeof status;
    ::GlobalMemoryStatus(&status);
    tandrel::WriteDecimal(totalPhysical, tandrel::SignedReading(status.dwTotalPhys));
    tandrel::WriteDecimal(availablePhysical, tandrel::SignedReading(status.dwAvailPhys));
    tandrel::WriteDecimal(totalPageFile, tandrel::SignedReading(status.dwTotalPageFile));
    tandrel::WriteDecimal(availablePageFile, tandrel::SignedReading(status.dwAvailPageFile));
    tandrel::WriteDecimal(totalVirtual, tandrel::SignedReading(status.dwTotalVirtual));
    tandrel::WriteDecimal(availableVirtual, tandrel::SignedReading(status.dwAvailVirtual));
    return static_cast<int>(status.dwMemoryLoad);
  });
}

TANDREL_EXPORT shut_down(int window) noexcept {
  return kit::CatchReturn(
      0, [&] { return ::PostMessageA(tandrel::WindowOf(window), WM_CLOSE, 0, 0); });
}

TANDREL_EXPORT register_dll(const char* library) noexcept {
  return kit::CatchReturn(-1, [&] {
    using RegisterServer = HRESULT(STDAPICALLTYPE*)();
    const kit::unique_hmodule module(::LoadLibraryA(library));
    HRESULT status = S_FALSE;
    if (module) {
      // Through the generic function pointer type, which converts to any other.
      const auto entry = reinterpret_cast<RegisterServer>(
          reinterpret_cast<void (*)()>(::GetProcAddress(module.get(), "DllRegisterServer")));
      if (entry) status = entry();
    }
    return status == S_OK ? 0 : -1;
  });
}

TANDREL_EXPORT set_auto_logon(const char* password, int on) noexcept {
  return kit::CatchReturn(1, [&] {
    const bool switchOn = on == 1;
    const int flag = create_reg_value(tandrel::kLocalMachine, tandrel::kWinlogonKey,
                                      "AutoAdminLogon", switchOn ? "1" : "0", 0);
    // Written even when the first write failed.
    const int secret = create_reg_value(tandrel::kLocalMachine, tandrel::kWinlogonKey,
                                        "DefaultPassword", switchOn ? password : "", 0);
    return flag == 0 && secret == 0 ? 0 : 1;
  });
}
