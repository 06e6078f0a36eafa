#include "desktop_effects.h"

#include <shellapi.h>

#include "utf_text.h"

namespace rowsift {

namespace {

constexpr wchar_t kCaption[] = L"Rowsift";

// GetDateFormatW and GetTimeFormatW share one shape.
using LocaleFormatter = decltype(&::GetDateFormatW);

std::wstring FormatForUser(LocaleFormatter format, DWORD flags, const SYSTEMTIME& local) {
  const int size = format(LOCALE_USER_DEFAULT, flags, &local, nullptr, nullptr, 0);
  if (size <= 0) return {};
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  const int written = format(LOCALE_USER_DEFAULT, flags, &local, nullptr, text.data(), size);
  // Both counts include the terminating null.
  text.resize(written > 0 ? static_cast<std::size_t>(written) - 1 : 0);
  return text;
}

HCURSOR SystemCursor(LPCSTR id) { return ::LoadCursorA(nullptr, id); }

}  // namespace

DesktopEffects::DesktopEffects(HWND owner) : owner_(owner) {}

void DesktopEffects::ShowMessage(const std::string& text, MessageIcon icon) {
  const UINT iconStyle = icon == MessageIcon::kError ? MB_ICONSTOP : 0;
  ::MessageBoxW(owner_, kit::Utf16FromUtf8(text).c_str(), kCaption, MB_OK | iconStyle);
}

bool DesktopEffects::AskYesNo(const std::string& text) {
  return ::MessageBoxW(owner_, kit::Utf16FromUtf8(text).c_str(), kCaption,
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
  // Wide, so that characters typed into the window's boxes reach them whole.
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Peeking removed it; the main loop still has to see it to end the
      // program. Stop here, or the next peek would find it again.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void DesktopEffects::OpenWithShell(const std::filesystem::path& path) {
  // A null folder starts the viewer in the current directory.
  ::ShellExecuteW(owner_, L"Open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::string DesktopEffects::TimeStamp() const {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return FormatTimeStamp(now);
}

std::string FormatTimeStamp(const SYSTEMTIME& local) {
  return kit::Utf8FromUtf16(FormatForUser(::GetDateFormatW, DATE_SHORTDATE, local) + L" " +
                            FormatForUser(::GetTimeFormatW, 0, local));
}

}  // namespace rowsift
