// Rowsift.exe: starts the window in the mode the command line asks for and
// runs its message loop.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <memory>
#include <string>

#include "command_line.h"
#include "file_system.h"
#include "input_file_chooser.h"
#include "main_window.h"
#include "settings_store.h"

namespace {

// The shell, which opens finished reports, wants COM on the window's thread.
class ComApartment {
 public:
  ComApartment()
      : initialized_(SUCCEEDED(
            ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (initialized_) ::CoUninitialize();
  }

 private:
  const bool initialized_;
};

std::string ModulePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  const ComApartment com;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);

  const std::unique_ptr<rowsift::SettingsStore> settings = rowsift::MakeUserSettingsStore();
  rowsift::OpenFileDialog chooser;
  // The window's texts are in the system code page.
  const std::unique_ptr<filelayer::FileSystem> files = filelayer::MakeSystemCodePageFileSystem();
  rowsift::MainWindow mainWindow(
      *settings, rowsift::ProgramName(ModulePath()), chooser, *files,
      rowsift::IsDebugSwitch(rowsift::ArgumentText(::GetCommandLineA())));
  const HWND window = mainWindow.Create(instance);
  if (!window) return 1;
  ::ShowWindow(window, showCommand);
  ::UpdateWindow(window);

  MSG message = {};
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    // Tab, Shift+Tab and Space on the buttons, as in a dialog.
    if (::IsDialogMessageA(window, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
