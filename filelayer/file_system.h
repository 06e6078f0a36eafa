// The file layer shared by the report filter and the pick-list component:
// existence tests, whole-file reads and writes, and folder listings, on the
// platform's own file functions. Paths and names travel in the platform's own
// form (UTF-16 on Windows, bytes on Linux), unconverted from the caller to the
// system and back, so any name a folder can hold is listed and reached, an
// unpaired surrogate on Windows included. Descriptions of failures are UTF-8;
// file contents are bytes, passed through unchanged.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace filelayer {

using Path = std::filesystem::path;
// A path's text in the platform's own form, as Path::native() gives it.
using PathText = Path::string_type;
using PathView = std::basic_string_view<Path::value_type>;

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

// Whether a listing reads each entry's dates: each costs a conversion to
// local time, which a listing of names alone need not pay. Left out, they
// stay all zeros.
enum class EntryDates { kLeftOut, kRead };

// One file or subfolder of a folder. Its name and path are texts, not Paths,
// which would split each into its components: a listing of 100,000 entries
// would pay for that in time and memory.
struct FolderEntry {
  PathText name;  // without its folder
  PathText path;  // full path
  LocalDateTime dateCreated;
  LocalDateTime dateLastModified;
};

// A file opened for reading, mapped into memory where that is safe, so that
// a large log is neither copied nor held twice; read into a buffer window by
// window elsewhere. A file that does not fit in the address space at once is
// mapped in windows.
class InputFile {
 public:
  virtual ~InputFile() = default;
  [[nodiscard]] virtual std::uint64_t size() const = 0;
  // The bytes from `offset` on: at least `length` of them (fewer only where
  // the file ends), and the whole rest where the file is mapped at once.
  // Valid until the next call. Throws FileError.
  [[nodiscard]] virtual std::string_view View(std::uint64_t offset, std::size_t length) = 0;
  // Throws FileError when the views handed out did not hold the file's bytes:
  // a mapped file cut short by another program meanwhile reads as zeros
  // where the system would otherwise end the process. Called once the views
  // are read, before anything made of them is kept.
  virtual void CheckViewsRead() const {}
};

// How an input file comes into memory. A mapped file of up to `wholeFile`
// bytes is mapped whole when the address space has room for it; any other
// file in windows of `window` bytes, or more where one view must hold more.
// On Windows only a file on a disk of the machine's own is mapped: a mapped
// view of a file on a network share or a removable drive raises an in-page
// error that ends the process, where a read would only fail, when the
// connection or the medium goes away. Such a file is read in windows.
// Several files open at once are mapped whole only while together they take
// at most `wholeBudget` bytes of the address space; the others come in
// windows, so that files opened side by side cannot leave a 32-bit process
// without room for its windows, buffers and stacks.
struct InputMapping {
  std::uint64_t wholeFile = UINT64_MAX;
  std::size_t window = std::size_t{64} << 20;
  bool mapLocalFiles = true;  // false: every file is read in windows
  std::uint64_t wholeBudget = SIZE_MAX / 4;
};

// A file's new content, written piece by piece to a temporary file beside
// it. Commit() flushes it and only then puts it in the target's place;
// dropping a replacement that was not committed deletes the temporary file
// and leaves the target as it was.
//
// Where the user may write the target but not create files beside it or
// remove it, the finished content is written over the target instead, in
// place: the target keeps its name, rights and creation time, though a
// failure part-way through that writing can no longer leave it as it was.
class FileReplacement {
 public:
  virtual ~FileReplacement() = default;
  // The pieces, in order, as if joined.
  virtual void Append(std::span<const std::string_view> pieces) = 0;
  void Append(std::string_view bytes) { Append(std::span<const std::string_view>(&bytes, 1)); }
  // Writes `bytes` over bytes appended before, from `offset` on: a file
  // whose start is known only at its end. Later pieces still go at the end.
  virtual void WriteOver(std::uint64_t offset, std::string_view bytes) = 0;
  virtual void Commit() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // True only for an existing file; an empty path or a folder gives false.
  [[nodiscard]] virtual bool FileExists(const Path& path) const = 0;
  // True only for an existing folder; an empty text gives false.
  [[nodiscard]] virtual bool FolderExists(const Path& path) const = 0;

  // The file opened for reading. Throws FileError when it cannot be opened.
  [[nodiscard]] virtual std::unique_ptr<InputFile> OpenInput(const Path& path) const = 0;

  // A replacement of `path`: the bytes go to a temporary file beside the
  // target, are flushed, and only then replace the target, so a failure
  // (invalid path, read-only target, full disk) leaves any existing file as
  // it was. Throws FileError.
  [[nodiscard]] virtual std::unique_ptr<FileReplacement> BeginReplace(const Path& path) const = 0;

  // The files a command-line argument names: on Windows, where no shell
  // expands wildcards, those matching a last component holding '*' or '?',
  // as the system's own search matches them, in name order; elsewhere, and
  // where nothing matches, the argument itself. Texts in UTF-8, as the
  // command line gives them.
  [[nodiscard]] virtual std::vector<std::string> ExpandWildcards(const std::string& path) const {
    return {path};
  }

  // The folder's direct subfolders or direct files, in the platform's
  // directory order. Throws FileError when the folder cannot be listed; a
  // failure to move on part-way ends the listing with the entries found so far.
  [[nodiscard]] virtual std::vector<FolderEntry> SubFolders(const Path& folder,
                                                            EntryDates dates) const = 0;
  [[nodiscard]] virtual std::vector<FolderEntry> Files(const Path& folder,
                                                       EntryDates dates) const = 0;
};

// The file layer of the platform the program runs on.
[[nodiscard]] std::unique_ptr<FileSystem> MakePlatformFileSystem(const InputMapping& mapping = {});

// The part of a file to map for a view of at least `length` bytes from
// `offset`: it starts at a multiple of `granularity` and holds `window`
// bytes from `offset` where that is more, without passing the file's end.
struct MappedRange {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
};
[[nodiscard]] MappedRange RangeToMap(std::uint64_t fileSize, std::uint64_t offset,
                                     std::size_t length, std::size_t window,
                                     std::size_t granularity);

// The text after the last dot of the path's last component, without the dot;
// empty when that component has no dot.
[[nodiscard]] PathText GetExtensionName(PathView path);

// Whether two texts (paths, names) are the same once every letter is lower-
// cased as the platform lower-cases file names: by the system's own rule on
// Windows, by Unicode's simple case pairs elsewhere. They are compared as
// texts, not resolved: another spelling of the same file is another text. On
// Linux a name that is not UTF-8 equals only itself.
[[nodiscard]] bool EqualIgnoringCase(const Path& a, const Path& b);

// A path given as UTF-8 text (a command line, a message), and a path as
// UTF-8 text. On Linux both are the bytes as they are; on Windows they
// convert, what is not valid becoming U+FFFD. A UTF-8 text must come in
// through PathFromUtf8: Path's own conversion from char text on Windows is
// not UTF-8.
[[nodiscard]] Path PathFromUtf8(std::string_view utf8);
[[nodiscard]] std::string Utf8FromPath(const Path& path);

// The form in which two spellings of one path compare equal as texts, for
// use as a key: absolute, without "." and ".." steps, with the long names of
// Windows' short ones, and lower-cased as EqualIgnoringCase lower-cases
// where the platform ignores case. Links are not followed. Texts in UTF-8,
// as the command line gives them.
[[nodiscard]] std::string ComparablePath(const std::string& path);

}  // namespace filelayer
