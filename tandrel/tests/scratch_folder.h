// Scratch folders for the tests of the library's file-writing and
// file-reading exports, and the files in them read and written whole.
#pragma once

#include <windows.h>

#include <string>

#include "testing/remove_tree.h"
#include "unique_resource.h"

namespace tandrel_test {

// The wide long-path form of a path, so paths past 260 characters can be made
// and removed too. Scratch names are ASCII.
inline std::wstring LongPath(const std::string& path) {
  const std::string full = "\\\\?\\" + path;
  return std::wstring(full.begin(), full.end());
}

inline bool Exists(const std::string& path) {
  return ::GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string ReadWhole(const std::string& path) {
  const kit::unique_file file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string bytes;
  char chunk[65536];
  DWORD read = 0;
  while (file && ::ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0)
    bytes.append(chunk, read);
  return bytes;
}

inline void WriteWhole(const std::string& path, const std::string& bytes) {
  const kit::unique_file file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// A folder under the temp folder (its long name), removed with everything in
// it: subfolders, read-only files and paths past 260 characters included.
class ScratchFolder {
 public:
  ScratchFolder() {
    static int made = 0;
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    char full[MAX_PATH] = {};
    ::GetLongPathNameA(temp, full, MAX_PATH);
    path_ = std::string(full) + "tandrel-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
            std::to_string(++made);
    ::CreateDirectoryA(path_.c_str(), nullptr);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() { kit::testing::RemoveTree(LongPath(path_)); }

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

  std::string Folder(const std::string& name) const {
    ::CreateDirectoryA((*this / name).c_str(), nullptr);
    return *this / name;
  }

  // A file of `size` bytes (sparse where the file system allows).
  std::string File(const std::string& name, LONGLONG size = 0) const {
    const kit::unique_file file(::CreateFileW(LongPath(*this / name).c_str(), GENERIC_WRITE, 0,
                                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                              nullptr));
    LARGE_INTEGER end;
    end.QuadPart = size;
    ::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN);
    ::SetEndOfFile(file.get());
    return *this / name;
  }

 private:
  std::string path_;
};

}  // namespace tandrel_test
