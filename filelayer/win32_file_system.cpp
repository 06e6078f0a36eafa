#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <new>

#include "file_system.h"
#include "unique_resource.h"

namespace filelayer {

namespace {

// ReadFile and WriteFile take 32-bit counts; smaller pieces also keep a
// single call from pinning a huge buffer.
constexpr std::size_t kMaxChunk = 64u << 20;

std::string Describe(DWORD code) {
  kit::unique_hlocal buffer;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<LPSTR>(buffer.put()), 0, nullptr);
  if (length == 0) return "Unknown error " + std::to_string(code) + ".";

  std::string text(static_cast<const char*>(buffer.get()), length);
  const std::size_t end = text.find_last_not_of(" \t\r\n");
  text.erase(end == std::string::npos ? 0 : end + 1);
  return text;
}

[[noreturn]] void Fail(DWORD code) { throw FileError(Describe(code), code); }
[[noreturn]] void FailWithLastError() { Fail(::GetLastError()); }

[[noreturn]] void FailTooLarge(std::uint64_t size) {
  throw FileError("The file is too large to hold in memory (" + std::to_string(size) + " bytes).",
                  ERROR_NOT_ENOUGH_MEMORY);
}

// The absolute form of `path`, with '/' turned into '\'.
std::string FullPathOf(const std::string& path) {
  // GetFullPathNameA does not reliably set an error for an empty text.
  if (path.empty()) Fail(ERROR_PATH_NOT_FOUND);
  std::string full(MAX_PATH, '\0');
  for (;;) {
    const DWORD length =
        ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) FailWithLastError();
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);  // too small: length is the size needed, terminator included
  }
}

DWORD AttributesOf(const std::string& path) {
  return path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(path.c_str());
}

void WriteBytes(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min(bytes.size(), kMaxChunk));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) FailWithLastError();
    bytes.remove_prefix(written);
  }
}

void DeleteFileAt(const std::string& path) noexcept { ::DeleteFileA(path.c_str()); }

// A file that is deleted unless release() is called once it has served.
using unique_temporary_path = kit::unique_any<std::string, DeleteFileAt>;

struct TemporaryFile {
  unique_temporary_path path;  // declared first so the handle closes before the delete
  kit::unique_file handle;
};

TemporaryFile CreateTemporaryFileIn(const std::string& folder) {
  char name[MAX_PATH];
  if (::GetTempFileNameA(folder.c_str(), "kit", 0, name) == 0) FailWithLastError();
  TemporaryFile temporary;
  temporary.path = unique_temporary_path(name);
  temporary.handle = kit::unique_file(::CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!temporary.handle) FailWithLastError();
  return temporary;
}

LocalDateTime ToLocal(const FILETIME& time) {
  SYSTEMTIME utc;
  SYSTEMTIME local;
  // A time the system cannot convert is left as all zeros rather than
  // failing the whole listing.
  if (!::FileTimeToSystemTime(&time, &utc) ||
      !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return {};
  }
  return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

// Maps the whole file when it may and the address space has room, else one
// window at a time.
class MappedInput final : public InputFile {
 public:
  MappedInput(kit::unique_handle mapping, std::uint64_t size, const InputMapping& limits)
      : mapping_(std::move(mapping)), size_(size), window_(limits.window) {
    if (size_ != 0 && size_ <= limits.wholeFile) TryMap({0, size_});
  }

  std::uint64_t size() const override { return size_; }

  std::string_view View(std::uint64_t offset, std::size_t length) override {
    if (offset >= size_) return {};
    const std::uint64_t wanted = std::min<std::uint64_t>(length, size_ - offset);
    if (!view_ || offset < viewOffset_ || offset + wanted > viewOffset_ + viewSize_) {
      SYSTEM_INFO system;
      ::GetSystemInfo(&system);
      const MappedRange range = RangeToMap(size_, offset, length, window_, system.dwAllocationGranularity);
      if (!TryMap(range)) FailTooLarge(range.size);
    }
    const char* const bytes = static_cast<const char*>(view_.get());
    return {bytes + (offset - viewOffset_), static_cast<std::size_t>(viewOffset_ + viewSize_ - offset)};
  }

 private:
  // False when the address space has no room for the range.
  bool TryMap(const MappedRange& range) {
    view_.reset();
    if (range.size > SIZE_MAX) return false;
    view_.reset(::MapViewOfFile(mapping_.get(), FILE_MAP_READ, static_cast<DWORD>(range.offset >> 32),
                                static_cast<DWORD>(range.offset), static_cast<SIZE_T>(range.size)));
    if (!view_) {
      if (::GetLastError() == ERROR_NOT_ENOUGH_MEMORY) return false;
      FailWithLastError();
    }
    viewOffset_ = range.offset;
    viewSize_ = range.size;
    return true;
  }

  kit::unique_handle mapping_;
  std::uint64_t size_;
  std::size_t window_;
  kit::unique_mapped_view view_;
  std::uint64_t viewOffset_ = 0;
  std::uint64_t viewSize_ = 0;
};

class Win32Replacement final : public FileReplacement {
 public:
  explicit Win32Replacement(const std::string& path)
      : target_(FullPathOf(path)),
        targetExists_(InspectTarget(target_, existing_)),
        temporary_(CreateTemporaryFileIn(FolderOf(target_))) {}

  void Append(std::string_view bytes) override { WriteBytes(temporary_.handle.get(), bytes); }

  void Commit() override {
    // The new file takes the old one's place: keep its creation time too.
    if (targetExists_ &&
        !::SetFileTime(temporary_.handle.get(), &existing_.ftCreationTime, nullptr, nullptr)) {
      FailWithLastError();
    }
    if (!::FlushFileBuffers(temporary_.handle.get())) FailWithLastError();
    if (!::CloseHandle(temporary_.handle.release())) FailWithLastError();
    if (!::MoveFileExA(temporary_.path.get().c_str(), target_.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      FailWithLastError();
    }
    temporary_.path.release();
  }

 private:
  // Whether the target exists; fails when it may not be replaced.
  static bool InspectTarget(const std::string& target, WIN32_FILE_ATTRIBUTE_DATA& existing) {
    if (!::GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &existing)) {
      if (::GetLastError() != ERROR_FILE_NOT_FOUND) FailWithLastError();  // invalid name, missing folder
      return false;
    }
    // Checked here because a rename may replace a read-only file.
    if (existing.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
      Fail(ERROR_ACCESS_DENIED);
    }
    return true;
  }

  static std::string FolderOf(const std::string& target) {
    const std::size_t lastSeparator = target.find_last_of('\\');
    if (lastSeparator + 1 == target.size()) Fail(ERROR_INVALID_NAME);  // names a folder, not a file
    return target.substr(0, lastSeparator + 1);
  }

  std::string target_;
  WIN32_FILE_ATTRIBUTE_DATA existing_{};
  bool targetExists_;
  TemporaryFile temporary_;
};

class Win32FileSystem final : public FileSystem {
 public:
  explicit Win32FileSystem(const InputMapping& mapping) : mapping_(mapping) {}

  bool FileExists(const std::string& path) const override {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool FolderExists(const std::string& path) const override {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  std::string ReadAll(const std::string& path) const override {
    const kit::unique_file file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) FailWithLastError();

    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size)) FailWithLastError();
    const auto file_size = static_cast<std::uint64_t>(size.QuadPart);

    std::string contents;
    if (file_size > contents.max_size()) FailTooLarge(file_size);
    try {
      contents.resize(static_cast<std::size_t>(file_size));
    } catch (const std::bad_alloc&) {
      FailTooLarge(file_size);
    }

    std::size_t filled = 0;
    while (filled < contents.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min(contents.size() - filled, kMaxChunk));
      DWORD read = 0;
      if (!::ReadFile(file.get(), contents.data() + filled, chunk, &read, nullptr)) {
        FailWithLastError();
      }
      if (read == 0) break;  // the file shrank since its size was taken
      filled += read;
    }
    contents.resize(filled);
    return contents;
  }

  void WriteAll(const std::string& path, std::string_view bytes) const override {
    Win32Replacement replacement(path);
    replacement.Append(bytes);
    replacement.Commit();
  }

  std::unique_ptr<InputFile> OpenInput(const std::string& path) const override {
    const kit::unique_file file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) FailWithLastError();
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size)) FailWithLastError();
    const auto fileSize = static_cast<std::uint64_t>(size.QuadPart);
    // An empty file cannot be mapped; the mapping keeps the file open.
    kit::unique_handle mapping;
    if (fileSize != 0) {
      mapping.reset(::CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
      if (!mapping) FailWithLastError();
    }
    return std::make_unique<MappedInput>(std::move(mapping), fileSize, mapping_);
  }

  std::unique_ptr<FileReplacement> BeginReplace(const std::string& path) const override {
    return std::make_unique<Win32Replacement>(path);
  }

  std::vector<FolderEntry> SubFolders(const std::string& folder) const override {
    return List(folder, true);
  }

  std::vector<FolderEntry> Files(const std::string& folder) const override {
    return List(folder, false);
  }

 private:
  std::vector<FolderEntry> List(const std::string& folder, bool want_folders) const {
    std::string prefix = FullPathOf(folder);
    if (prefix.back() != '\\') prefix += '\\';

    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAA found;
    const kit::unique_find find(::FindFirstFileA((prefix + '*').c_str(), &found));
    if (!find) {
      const DWORD error = ::GetLastError();
      // An empty drive root has no "." or "..", so nothing at all matches.
      if (error == ERROR_FILE_NOT_FOUND && FolderExists(prefix)) return entries;
      Fail(error);
    }

    do {
      const std::string name = found.cFileName;
      const bool is_folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (name == "." || name == ".." || is_folder != want_folders) continue;
      entries.push_back(
          {name, prefix + name, ToLocal(found.ftCreationTime), ToLocal(found.ftLastWriteTime)});
    } while (::FindNextFileA(find.get(), &found));

    if (::GetLastError() != ERROR_NO_MORE_FILES) FailWithLastError();
    return entries;
  }

  InputMapping mapping_;
};

}  // namespace

std::unique_ptr<FileSystem> MakePlatformFileSystem(const InputMapping& mapping) {
  return std::make_unique<Win32FileSystem>(mapping);
}

}  // namespace filelayer
