// The five folder and file loaders, apart from COM and the dialog: the file
// layer, the message box, the date text and the dialog's lists come in as
// seams so that tests can stand in for each. The script's texts are UTF-16,
// as Windows paths are: a folder text reaches the file layer, and a name or
// path the dialog, unconverted.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "file_system.h"
#include "pick_dialog.h"

namespace lorvane {

struct LoaderSeams {
  const filelayer::FileSystem* fso = nullptr;
  // Tells the user of a fault; returns once the user has dismissed it.
  std::function<void(const wchar_t* message)> tell;
  // The date part of an entry's date-time as the user's locale writes it;
  // nothing when it cannot be formed.
  std::function<std::optional<std::wstring>(const filelayer::LocalDateTime&)> dateText;
  // Appends the entries of one load, in order: bare names to box1, full
  // paths to box2. Called once per load, also when no entry passed.
  std::function<void(const std::vector<ListEntry>& entries)> append;
};

enum class LoadOutcome {
  kLoaded,    // the folder was enumerated: the caller sets the label
  kRefused,   // an argument check failed and the user was told
  kUnlisted,  // the folder could not be listed: nothing changes, silently
};

[[nodiscard]] LoadOutcome LoadFolderList(const LoaderSeams& seams, const std::wstring& folder);
[[nodiscard]] LoadOutcome LoadFileList(const LoaderSeams& seams, const std::wstring& folder);
[[nodiscard]] LoadOutcome LoadFilesWithExt(const LoaderSeams& seams, const std::wstring& folder,
                                           const std::wstring& extension);
[[nodiscard]] LoadOutcome LoadFilesOfDate(const LoaderSeams& seams, const std::wstring& folder,
                                          const std::wstring& date, bool created, bool modified);
[[nodiscard]] LoadOutcome LoadFoldersOfDate(const LoaderSeams& seams, const std::wstring& folder,
                                            const std::wstring& date);

// The platform's date-to-text conversion in the user's locale, of the date
// alone: the short date as the locale writes it, without the time of day.
[[nodiscard]] std::optional<std::wstring> LocaleDateText(const filelayer::LocalDateTime& moment);

}  // namespace lorvane
