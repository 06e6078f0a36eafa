#include <windows.h>

#include <commdlg.h>

#include <iterator>
#include <string>

#include "input_file_chooser.h"

namespace rowsift {

namespace {

// The pattern in the name box lists the matching files when the dialog opens.
constexpr wchar_t kInitialName[] = L"*.htm*";
// Description and pattern, each null-terminated, then the closing null.
constexpr wchar_t kTypeFilter[] = L"*.htm;*.html\0*.htm;*.html\0";
// Room for long paths; a choice that does not fit fails like a cancel.
constexpr std::size_t kPathRoom = 32768;

}  // namespace

std::optional<std::wstring> OpenFileDialog::ChooseInputFile(HWND owner) {
  std::wstring path(kPathRoom, L'\0');
  path.replace(0, std::size(kInitialName) - 1, kInitialName);

  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kTypeFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
  if (!::GetOpenFileNameW(&dialog)) return std::nullopt;

  path.resize(path.find(L'\0'));
  return path;
}

}  // namespace rowsift
