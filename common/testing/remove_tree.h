// Removes a test's scratch folder with everything in it.
#pragma once

#include <windows.h>

#include <string>

#include "unique_resource.h"

namespace kit::testing {

// Subfolders and read-only files included; give the folder in the "\\?\"
// form when paths below it may pass 260 characters.
inline void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  unique_find find(::FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (find) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
      }
    } while (::FindNextFileW(find.get(), &found));
  }
  find.reset();
  ::RemoveDirectoryW(folder.c_str());
}

}  // namespace kit::testing
