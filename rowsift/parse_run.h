// One parse run: what happens when the user presses "Parse". It checks the
// chosen files, asks before anything is overwritten, reads the input log,
// filters it with the text engine, writes the output file and reports.
//
// The run reaches the window, the user and the shell only through
// ParseRunHost, so it is tested with a recording double.
#pragma once

#include <string>

#include "file_system.h"

namespace rowsift {

enum class MessageIcon { None, Error };
enum class Field { InputFile, OutputFile };

class ParseRunHost {
 public:
  virtual ~ParseRunHost() = default;

  // The window's current texts and check box, read when a step needs them.
  virtual std::string InputPath() = 0;
  virtual std::string OutputPath() = 0;
  virtual std::string FilterText() = 0;
  virtual bool OpenOutputWhenDone() = 0;
  virtual bool DebugMode() = 0;

  // A message box titled "Rowsift" with an OK button.
  virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
  // A message box titled "Rowsift" with the question icon, Yes and No, Yes
  // the default. True when the user answered Yes.
  virtual bool AskYesNo(const std::string& text) = 0;

  virtual void MoveFocus(Field field) = 0;
  virtual void SetBusyCursor(bool busy) = 0;
  virtual void AppendDebugLine(const std::string& line) = 0;
  virtual void ProcessPendingEvents() = 0;
  // Opens the file with the viewer the desktop associates with it; a failure
  // is ignored.
  virtual void OpenWithShell(const std::string& path) = 0;
  // The current local date and time as the user's locale writes them: short
  // date, a space, long time.
  virtual std::string TimeStamp() = 0;
};

// How a run ended, for callers and tests; the user has been told already.
enum class RunOutcome { Written, Refused, ReadFailed, WriteFailed };

RunOutcome RunParse(ParseRunHost& host, const filelayer::FileSystem& files);

}  // namespace rowsift
