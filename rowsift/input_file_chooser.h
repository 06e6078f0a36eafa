// How the "..." button asks the user for the input log, behind a narrow
// interface so that the window's browse action is tested without a dialog.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace rowsift {

class InputFileChooser {
 public:
  virtual ~InputFileChooser() = default;
  // The chosen file's full path; nothing when the user cancelled or the
  // dialog failed, which the window treats alike.
  [[nodiscard]] virtual std::optional<std::wstring> ChooseInputFile(HWND owner) = 0;
};

// The standard open-file dialog, opening on the HTML files of its folder.
class OpenFileDialog : public InputFileChooser {
 public:
  [[nodiscard]] std::optional<std::wstring> ChooseInputFile(HWND owner) override;
};

}  // namespace rowsift
