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
#include "module_path.h"
#include "settings_store.h"
#include "unique_com.h"
#include "utf_text.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  // The shell, which opens finished reports, wants COM on the window's thread.
  const kit::unique_couninitialize_call com = kit::CoInitializeApartment(COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);

  const std::unique_ptr<rowsift::SettingsStore> settings = rowsift::MakeUserSettingsStore();
  rowsift::OpenFileDialog chooser;
  const std::unique_ptr<filelayer::FileSystem> files = filelayer::MakePlatformFileSystem();
  const std::wstring programName =
      kit::Utf16FromUtf8(rowsift::ProgramName(kit::Utf8FromUtf16(kit::ModulePath(nullptr))));
  const bool debugMode =
      rowsift::IsDebugSwitch(rowsift::ArgumentText(kit::Utf8FromUtf16(::GetCommandLineW())));
  rowsift::MainWindow mainWindow(*settings, programName, chooser, *files, debugMode);
  const HWND window = mainWindow.Create(instance);
  if (!window) return 1;
  ::ShowWindow(window, showCommand);
  ::UpdateWindow(window);

  MSG message = {};
  // Wide, so that characters typed into the boxes reach them whole.
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab, Shift+Tab and Space on the buttons, as in a dialog.
    if (::IsDialogMessageW(window, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
