// The program's one window, frmParse: three texts, the browse and "Parse"
// buttons, the open-when-done option and, in debug mode, the debug list. It
// is the host of the parse runs it starts. Its texts are Unicode: paths of
// any script go to the run in UTF-8; the filter goes in the system code page,
// in which logs are written.
#pragma once

#include <windows.h>

#include <string>

#include "desktop_effects.h"
#include "file_system.h"
#include "input_file_chooser.h"
#include "main_window_ids.h"
#include "parse_run.h"
#include "settings_store.h"
#include "unique_resource.h"

namespace rowsift {

class MainWindow : public ParseRunHost {
 public:
  // The window keeps references to the services; they must outlive it.
  MainWindow(SettingsStore& settings, std::wstring applicationName, InputFileChooser& chooser,
             const filelayer::FileSystem& files, bool debugMode);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;
  ~MainWindow() override;

  // Creates the hidden window with its controls and saved texts; null on failure.
  HWND Create(HINSTANCE instance);
  HWND Handle() const { return window_; }

  // The job of a run started now: the texts, the filter in the logs' code
  // page, the debug flag.
  ParseJob JobFromTexts() const;

  // ParseRunHost, for the runs started by "Parse".
  void Refuse(const std::string& text) override;
  bool Confirm(Question question, const std::string& text) override;
  void ReportFailure(const std::string& intro, const std::string& reason) override;
  void ReportSuccess(const std::string& text, const FilterCounts& counts) override;
  bool OpenOutputWhenDone() override;
  void MoveFocus(Field field) override;
  void SetBusyCursor(bool busy) override;
  void AppendDebugLine(const std::string& line) override;
  void ProcessPendingEvents() override;
  void OpenWithShell(const filelayer::Path& path) override;
  std::string TimeStamp() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  bool OnCreate();
  void OnActivate(WPARAM state);
  void OnCommand(int id, int notification);
  bool OnSetCursor();
  void OnClose();
  void OnEndSession(bool ending);
  void OnDestroy();

  void OnParse();
  void OnBrowse();
  void SaveSettings();

  HWND Control(ControlId id) const;
  std::wstring TextOf(ControlId id) const;
  void SetText(ControlId id, const std::wstring& text);

  SettingsStore& settings_;
  const std::wstring applicationName_;
  InputFileChooser& chooser_;
  const filelayer::FileSystem& files_;
  const bool debugMode_;

  kit::unique_window_class windowClass_;  // outlives window_, which the destructor ends
  HWND window_ = nullptr;
  int dpi_ = USER_DEFAULT_SCREEN_DPI;
  kit::unique_hgdiobj font_;
  DesktopEffects effects_{nullptr};
  HWND lastFocus_ = nullptr;  // the child that gets the focus back on activation
  bool running_ = false;
  bool closeWhenRunEnds_ = false;
};

// Drops the keyboard and mouse input waiting in the thread's queue.
void DiscardQueuedInput();

}  // namespace rowsift
