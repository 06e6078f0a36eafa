// A person at the pick list, as a program: waits for the dialog of another
// process, selects the entry given on the command line and presses OK.
//   lorvane_pick_driver INDEX
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "window_driver.h"

namespace driver = kit::testing;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: lorvane_pick_driver INDEX\n");
    return 2;
  }
  const int index = std::atoi(argv[1]);
  try {
    HWND dialog = nullptr;
    driver::WaitUntil(
        [&dialog] {
          dialog = ::FindWindowA("LorvaneListDialog", nullptr);
          return dialog != nullptr && ::IsWindowVisible(dialog);
        },
        "the pick list to show", driver::Timeout{30000});
    const HWND entries = driver::Control(dialog, 102);  // box1
    if (::SendMessageA(entries, LB_SETCURSEL, index, 0) != index) {
      std::fprintf(stderr, "lorvane_pick_driver: no entry %d\n", index);
      return 1;
    }
    driver::Click(driver::Control(dialog, 104));  // OK
    driver::WaitUntil([dialog] { return !::IsWindowVisible(dialog); }, "the pick list to close",
                      driver::Timeout{10000});
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "lorvane_pick_driver: %s\n", failure.what());
    return 1;
  }
  return 0;
}
