// What a parse run does on the Windows desktop besides the window's own
// controls: message boxes, the hourglass, event processing, the shell and the
// clock. The main window forwards its ParseRunHost calls for these here.
// Texts are UTF-8, as the parse run gives them.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace rowsift {

enum class MessageIcon { kNone, kError };

class DesktopEffects {
 public:
  // `owner` owns the message boxes and is disabled while one is up; null
  // makes them unowned.
  explicit DesktopEffects(HWND owner);

  // "Rowsift" box with OK; the stop sign for errors.
  void ShowMessage(const std::string& text, MessageIcon icon);
  // "Rowsift" box with the question mark, Yes (the default) and No.
  [[nodiscard]] bool AskYesNo(const std::string& text);

  // The hourglass appears at once. Windows asks for the cursor again on the
  // next mouse move, so while Busy() the owner's WM_SETCURSOR must call
  // KeepBusyCursor() and return TRUE when it does; the owner's children pass
  // WM_SETCURSOR to it first, so that covers the whole window.
  void SetBusyCursor(bool busy);
  bool Busy() const { return busy_; }
  // Sets the hourglass when busy; false, touching nothing, otherwise.
  [[nodiscard]] bool KeepBusyCursor() const;

  // Dispatches whatever the thread's queue holds, so the window repaints and
  // answers between the steps of a run. A WM_QUIT stays queued for the main
  // loop.
  void ProcessPendingEvents();

  // Opens the file with the program the desktop associates with it; failures
  // are ignored. COM must be initialised on the thread (the program does it at
  // start), as for any shell call.
  void OpenWithShell(const std::filesystem::path& path);

  [[nodiscard]] std::string TimeStamp() const;

 private:
  HWND owner_;
  bool busy_ = false;
};

// A local time as the user's locale writes it: short date, a space, long time
// (in UTF-8).
[[nodiscard]] std::string FormatTimeStamp(const SYSTEMTIME& local);

}  // namespace rowsift
