// File and drive family: short answers about drives and files in fixed text
// forms, a tree search, and deletion by wildcard pattern.
#include <cstring>

#include "conventions.h"
#include "error_handling.h"
// After windows.h, which it needs.
#include <imagehlp.h>

#include "tandrel.h"
#include "time_text.h"
#include "unique_resource.h"

namespace tandrel {
namespace {

constexpr std::size_t kPathBytes = MAX_PATH;  // a built path, terminator included
// Room for a pattern's full path whenever its directory part leaves room for
// a file name within kPathBytes: that part, then a final component no longer
// than the pattern itself.
constexpr DWORD kFullPathBytes = 2 * kPathBytes;
constexpr int kSearchNotFound = -10033;

// Windows documents the tree search as unsafe to call from two threads at
// once, and scripts may call the library from several: one search at a time.
SRWLOCK treeSearchLock = SRWLOCK_INIT;

enum DeleteResult {
  kDeleted = 0,
  kPatternTooLong = 1,
  kNoMatch = 2,
  kFirstFailed = 3,
  kLaterFailed = 4
};

// The first entry that matches a name or pattern, with the search closed
// again; false when nothing matches.
bool FirstMatch(const char* fileName, WIN32_FIND_DATAA& entry) {
  return kit::unique_find(::FindFirstFileA(fileName, &entry)).valid();
}

enum class FileTime { kCreation, kLastWrite };
enum class Part { kDate, kTime };

// The first match's creation or last-write time as local date or time text;
// 1 when nothing matches or the time lies outside the DOS range (1980-2107).
int WriteFileTime(const char* fileName, FileTime which, Part part, char* out) {
  WIN32_FIND_DATAA entry;
  if (!FirstMatch(fileName, entry)) return 1;
  const FILETIME& utc = which == FileTime::kCreation ? entry.ftCreationTime : entry.ftLastWriteTime;
  FILETIME local;
  WORD dosDate = 0, dosTime = 0;
  if (!::FileTimeToLocalFileTime(&utc, &local) ||
      !::FileTimeToDosDateTime(&local, &dosDate, &dosTime))
    return 1;
  if (part == Part::kDate)
    WriteDosDate(out, dosDate);
  else
    WriteDosTime(out, dosTime);
  return 0;
}

// The folder part of a pattern's full path, up to and including the last
// backslash before its final component (a relative pattern is resolved
// against the current directory), in a buffer with room for that final
// component too. False when there is no full path, or none short enough for
// a file name to follow within kPathBytes.
bool DirectoryPartOf(const char* pattern, char (&directory)[kFullPathBytes]) {
  char* finalComponent = nullptr;
  const DWORD length = ::GetFullPathNameA(pattern, kFullPathBytes, directory, &finalComponent);
  if (length == 0 || length >= kFullPathBytes) return false;
  // A pattern ending in a backslash has no final component: all of it is folder.
  if (finalComponent) *finalComponent = '\0';
  return true;
}

// The directory part followed by a name; false when that path would not fit
// in kPathBytes, since cutting it short could name another file.
bool JoinPath(const char* directory, const char* name, char (&path)[kPathBytes]) {
  const std::size_t directoryLength = std::strlen(directory);
  const std::size_t nameLength = std::strlen(name);
  if (directoryLength + nameLength >= kPathBytes) return false;
  std::memcpy(path, directory, directoryLength);
  std::memcpy(path + directoryLength, name, nameLength + 1);
  return true;
}

}  // namespace
}  // namespace tandrel

TANDREL_EXPORT get_drives(char* out) noexcept {
  return kit::CatchReturn(0, [&] { return tandrel::WriteDriveLetters(out, ::GetLogicalDrives()); });
}

TANDREL_EXPORT get_win_dir(char* out) noexcept {
  return kit::CatchReturn(0, [&] {
    constexpr UINT kOutBytes = 256;
    // A path that does not fit leaves the buffer as it was: hand back no text
    // rather than whatever it held.
    const UINT length = ::GetWindowsDirectoryA(out, kOutBytes);
    if (length == 0 || length >= kOutBytes) *out = '\0';
    return 0;
  });
}

TANDREL_EXPORT findfile(const char* rootFolder, const char* fileName, char* out) noexcept {
  return kit::CatchReturn(tandrel::kSearchNotFound, [&] {
    ::AcquireSRWLockExclusive(&tandrel::treeSearchLock);
    const kit::scope_exit release([] { ::ReleaseSRWLockExclusive(&tandrel::treeSearchLock); });
    // Some SDKs declare the two input paths without const; they are only read.
    return ::SearchTreeForFile(const_cast<char*>(rootFolder), const_cast<char*>(fileName), out)
               ? 0
               : tandrel::kSearchNotFound;
  });
}

TANDREL_EXPORT get_83filename(const char* fileName, char* out) noexcept {
  return kit::CatchReturn(1, [&] {
    WIN32_FIND_DATAA entry;
    if (!tandrel::FirstMatch(fileName, entry)) {
      *out = '\0';
      return 1;
    }
    std::memcpy(out, entry.cAlternateFileName, sizeof entry.cAlternateFileName);
    out[sizeof entry.cAlternateFileName - 1] = '\0';
    return 0;
  });
}

TANDREL_EXPORT get_file_size(const char* fileName) noexcept {
  return kit::CatchReturn(1, [&] {
    WIN32_FIND_DATAA entry;
    if (!tandrel::FirstMatch(fileName, entry)) return 1;
    return static_cast<int>(entry.nFileSizeLow);
  });
}

TANDREL_EXPORT get_file_creation_date(const char* fileName, char* out) noexcept {
  return kit::CatchReturn(1, [&] {
    return tandrel::WriteFileTime(fileName, tandrel::FileTime::kCreation, tandrel::Part::kDate,
                                  out);
  });
}

TANDREL_EXPORT get_file_modified_date(const char* fileName, char* out) noexcept {
  return kit::CatchReturn(1, [&] {
    return tandrel::WriteFileTime(fileName, tandrel::FileTime::kLastWrite, tandrel::Part::kDate,
                                  out);
  });
}

TANDREL_EXPORT get_file_creation_time(const char* fileName, char* out) noexcept {
  return kit::CatchReturn(1, [&] {
    return tandrel::WriteFileTime(fileName, tandrel::FileTime::kCreation, tandrel::Part::kTime,
                                  out);
  });
}

TANDREL_EXPORT del_multi_files(const char* pattern) noexcept {
  using namespace tandrel;
  return kit::CatchReturn<int>(kFirstFailed, [&] {
    if (std::strlen(pattern) > kPathBytes) return kPatternTooLong;
    char directory[kFullPathBytes];
    const bool hasDirectory = DirectoryPartOf(pattern, directory);
    WIN32_FIND_DATAA entry;
    const kit::unique_find search(::FindFirstFileA(pattern, &entry));
    if (!search) return kNoMatch;
    // "First" is the search's first entry, whether or not it was a file.
    for (bool first = true;; first = false) {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        char path[kPathBytes];
        const bool deleted =
            hasDirectory && JoinPath(directory, entry.cFileName, path) && ::DeleteFileA(path);
        if (!deleted) return first ? kFirstFailed : kLaterFailed;
      }
      if (!::FindNextFileA(search.get(), &entry)) break;
    }
    return kDeleted;
  });
}
