// The file layer shared by the report filter and the pick-list component:
// existence tests, whole-file reads and writes, and folder listings, on the
// platform's own file functions. Every text it takes or gives (paths, names,
// descriptions of failures) is UTF-8 on every platform, so any name a folder
// can hold can be reached; file contents are bytes, passed through unchanged.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace filelayer {

// A failed file operation. what() is the platform's own description of the
// failure (for example "The system cannot find the file specified.").
class FileError : public std::runtime_error {
 public:
  FileError(const std::string& description, unsigned long code)
      : std::runtime_error(description), code_(code) {}
  unsigned long code() const { return code_; }  // GetLastError() or errno

 private:
  unsigned long code_;
};

// A moment in local time, as the desktop shows it.
struct LocalDateTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;
  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

// One file or subfolder of a folder.
struct FolderEntry {
  std::string Name;  // without its folder
  std::string Path;  // full path
  LocalDateTime DateCreated;
  LocalDateTime DateLastModified;
};

// The bytes of a file opened for reading, mapped into memory where the
// platform can, so that a large log is neither copied nor held twice.
class InputFile {
 public:
  virtual ~InputFile() = default;
  virtual std::string_view bytes() const = 0;
};

// A file's new content, written piece by piece to a temporary file beside
// it. Commit() flushes it and only then puts it in the target's place;
// dropping a replacement that was not committed deletes the temporary file
// and leaves the target as it was.
class FileReplacement {
 public:
  virtual ~FileReplacement() = default;
  virtual void Append(std::string_view bytes) = 0;
  virtual void Commit() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // True only for an existing file; an empty path or a folder gives false.
  virtual bool FileExists(const std::string& path) const = 0;
  // True only for an existing folder; an empty text gives false.
  virtual bool FolderExists(const std::string& path) const = 0;

  // The whole file, byte for byte. Throws FileError when it cannot be opened
  // or read, or is too large to hold in memory.
  virtual std::string ReadAll(const std::string& path) const = 0;

  // Makes `path` hold exactly `bytes`. The bytes go to a temporary file beside
  // the target, are flushed, and only then replace the target, so a failure
  // (invalid path, read-only target, full disk) leaves any existing file as
  // it was. Throws FileError.
  virtual void WriteAll(const std::string& path, std::string_view bytes) const = 0;

  // The same two, for data streamed through rather than held whole. By
  // default they fall back on ReadAll and WriteAll. Throw FileError.
  virtual std::unique_ptr<InputFile> OpenInput(const std::string& path) const;
  virtual std::unique_ptr<FileReplacement> BeginReplace(const std::string& path) const;

  // The folder's direct subfolders or direct files, in the platform's
  // directory order. Throws FileError when the folder cannot be listed; a
  // failure to move on part-way ends the listing with the entries found so far.
  virtual std::vector<FolderEntry> SubFolders(const std::string& folder) const = 0;
  virtual std::vector<FolderEntry> Files(const std::string& folder) const = 0;
};

// The file layer of the platform the program runs on.
std::unique_ptr<FileSystem> MakePlatformFileSystem();

#ifdef _WIN32
// The same, for callers whose paths are 8-bit texts in the system code page:
// their paths are translated on the way in, and descriptions of failures on
// the way out.
std::unique_ptr<FileSystem> MakeSystemCodePageFileSystem();
#endif

// The text after the last dot of the path's last component, without the dot;
// empty when that component has no dot.
std::string GetExtensionName(std::string_view path);

}  // namespace filelayer
