// Scratch folders for tests: a fresh folder under the user's temporary
// folder, removed with everything in it, and the files in it read and written
// whole; and the files the build puts beside the test program. Paths are wide; the 8-bit (ANSI)
// forms serve the tests of exports that take 8-bit texts, for scratch names are ASCII.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "module_path.h"
#include "unique_resource.h"

namespace kit::testing {

inline std::wstring WideFromAnsi(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  std::wstring wide(
      static_cast<std::size_t>(::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0)),
      L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

inline std::string AnsiFromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  std::string narrow(static_cast<std::size_t>(::WideCharToMultiByte(CP_ACP, 0, text.data(), length,
                                                                    nullptr, 0, nullptr, nullptr)),
                     '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, narrow.data(),
                        static_cast<int>(narrow.size()), nullptr, nullptr);
  return narrow;
}

// The path of `name` in the test program's own folder, where the build puts
// what a test loads or starts.
inline std::wstring BesideThisProgram(std::wstring_view name) {
  const std::wstring program = ModulePath(nullptr);
  return program.substr(0, program.find_last_of(L'\\') + 1) + std::wstring(name);
}
inline std::string BesideThisProgram(std::string_view name) {
  return AnsiFromWide(BesideThisProgram(WideFromAnsi(name)));
}

// The "\\?\" form of an absolute path, which reaches past 260 characters.
inline std::wstring LongPath(const std::wstring& path) { return L"\\\\?\\" + path; }

inline bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}
inline bool Exists(const std::string& path) { return Exists(WideFromAnsi(path)); }

// The file's bytes; empty when it cannot be read.
inline std::string ReadBytes(const std::wstring& path) {
  const unique_file file(::CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string bytes;
  char chunk[65536];
  DWORD read = 0;
  while (file && ::ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0)
    bytes.append(chunk, read);
  return bytes;
}
inline std::string ReadBytes(const std::string& path) { return ReadBytes(WideFromAnsi(path)); }

// Makes the file hold exactly `bytes`; false when it cannot.
inline bool WriteBytes(const std::wstring& path, std::string_view bytes) {
  const unique_file file(::CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file &&
         ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
         written == bytes.size();
}
inline bool WriteBytes(const std::string& path, std::string_view bytes) {
  return WriteBytes(WideFromAnsi(path), bytes);
}

// Removes the folder with its subfolders and files, read-only ones included;
// give the folder in its "\\?\" form when paths below it may pass 260
// characters.
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

// A fresh folder under the temporary folder, in its long form (as the file
// dialogs hand paths back), removed with everything in it, paths past 260
// characters included.
class ScratchFolder {
 public:
  explicit ScratchFolder(std::wstring_view name = L"kit-test") {
    static int made = 0;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    wchar_t full[MAX_PATH] = {};
    const DWORD length = ::GetLongPathNameW(temp, full, MAX_PATH);
    path_ = std::wstring(length ? full : temp) + std::wstring(name) + L"-" +
            std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++made);
    ::CreateDirectoryW(LongPath(path_).c_str(), nullptr);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() { RemoveTree(LongPath(path_)); }

  const std::wstring& Path() const { return path_; }
  std::string AnsiPath() const { return AnsiFromWide(path_); }

  std::wstring operator/(std::wstring_view name) const {
    return path_ + L"\\" + std::wstring(name);
  }
  std::string operator/(std::string_view name) const {
    return AnsiPath() + "\\" + std::string(name);
  }

  // A subfolder, made.
  std::wstring Folder(std::wstring_view name) const {
    ::CreateDirectoryW(LongPath(*this / name).c_str(), nullptr);
    return *this / name;
  }
  std::string Folder(std::string_view name) const {
    return AnsiFromWide(Folder(std::wstring_view(WideFromAnsi(name))));
  }

  // A file of `size` bytes, sparse where the file system allows.
  std::wstring File(std::wstring_view name, LONGLONG size = 0) const {
    const unique_file file(::CreateFileW(LongPath(*this / name).c_str(), GENERIC_WRITE, 0, nullptr,
                                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER end;
    end.QuadPart = size;
    ::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN);
    ::SetEndOfFile(file.get());
    return *this / name;
  }
  std::string File(std::string_view name, LONGLONG size = 0) const {
    return AnsiFromWide(File(std::wstring_view(WideFromAnsi(name)), size));
  }

 private:
  std::wstring path_;
};

}  // namespace kit::testing
