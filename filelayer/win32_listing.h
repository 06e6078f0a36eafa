// One entry of a Windows folder listing as the file layer gives it: its name
// as FindNextFileW found it, unconverted (an unpaired surrogate included),
// its full path that name behind `folder` (a full path ending with its
// separator), and its dates when asked. Apart so that tests can give it
// names that the file system under test cannot make.
#pragma once

#include <windows.h>

#include <string>

#include "file_system.h"

namespace filelayer {

[[nodiscard]] FolderEntry ListedEntry(const std::wstring& folder, const WIN32_FIND_DATAW& found,
                                      EntryDates dates);

}  // namespace filelayer
