// Plays a host process that ends while another of its threads is inside a
// call of the kit, as a script host does when its script ends with a dialog
// still up: the thread makes the call, the main thread waits until the
// window that call shows appears, and then the process ends by returning
// from main. A test starts such a host and requires it to end promptly with
// kHostExitCode.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

#include "window_driver.h"

namespace kit::testing {

inline constexpr int kHostExitCode = 57;

// What main returns: kHostExitCode once the window showed, 1 when it did not.
template <typename Call>
int ExitWhileInCall(Call call, const std::string& windowClass) {
  std::thread(call).detach();
  try {
    WaitUntil(
        [&] { return FindTopLevelWindow(::GetCurrentProcessId(), windowClass, "") != nullptr; },
        "the window of the call");
  } catch (const DriverError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return kHostExitCode;
}

}  // namespace kit::testing
