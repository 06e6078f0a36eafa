#include "desktop_effects.h"

#include <shellapi.h>

namespace rowsift {

namespace {

constexpr char kCaption[] = "Rowsift";

// GetDateFormatA and GetTimeFormatA share one shape.
using LocaleFormatter = decltype(&::GetDateFormatA);

std::string FormatForUser(LocaleFormatter format, DWORD flags, const SYSTEMTIME& local) {
  const int size = format(LOCALE_USER_DEFAULT, flags, &local, nullptr, nullptr, 0);
  if (size <= 0) return {};
  std::string text(static_cast<std::size_t>(size), '\0');
  const int written = format(LOCALE_USER_DEFAULT, flags, &local, nullptr, text.data(), size);
  // Both counts include the terminating null.
  text.resize(written > 0 ? static_cast<std::size_t>(written) - 1 : 0);
  return text;
}

HCURSOR SystemCursor(LPCSTR id) { return ::LoadCursorA(nullptr, id); }

}  // namespace

DesktopEffects::DesktopEffects(HWND owner) : owner_(owner) {}

void DesktopEffects::ShowMessage(const std::string& text, MessageIcon icon) {
  const UINT iconStyle = icon == MessageIcon::Error ? MB_ICONSTOP : 0;
  ::MessageBoxA(owner_, text.c_str(), kCaption, MB_OK | iconStyle);
}

bool DesktopEffects::AskYesNo(const std::string& text) {
  return ::MessageBoxA(owner_, text.c_str(), kCaption,
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) == IDYES;
}

void DesktopEffects::SetBusyCursor(bool busy) {
  busy_ = busy;
  ::SetCursor(SystemCursor(busy ? IDC_WAIT : IDC_ARROW));
}

bool DesktopEffects::KeepBusyCursor() const {
  if (!busy_) return false;
  ::SetCursor(SystemCursor(IDC_WAIT));
  return true;
}

void DesktopEffects::ProcessPendingEvents() {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Peeking removed it; the main loop still has to see it to end the
      // program. Stop here, or the next peek would find it again.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

void DesktopEffects::OpenWithShell(const std::string& path) {
  // A null folder starts the viewer in the current directory.
  ::ShellExecuteA(owner_, "Open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::string DesktopEffects::TimeStamp() const {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return FormatTimeStamp(now);
}

std::string FormatTimeStamp(const SYSTEMTIME& local) {
  return FormatForUser(::GetDateFormatA, DATE_SHORTDATE, local) + " " +
         FormatForUser(::GetTimeFormatA, 0, local);
}

}  // namespace rowsift
