#include <windows.h>

#include <winioctl.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <new>
#include <random>
#include <span>
#include <utility>

#include "address_budget.h"
#include "buffered_input.h"
#include "file_system.h"
#include "unique_resource.h"
#include "utf_text.h"
#include "win32_listing.h"

namespace filelayer {

namespace {

// ReadFile and WriteFile take 32-bit counts; smaller pieces also keep a
// single call from pinning a huge buffer.
constexpr std::size_t kMaxChunk = 64u << 20;

// The failure of a system call, described by the system itself.
FileError SystemError(DWORD code) {
  kit::unique_hlocal buffer;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<LPWSTR>(buffer.put()), 0, nullptr);
  if (length == 0) return FileError("Unknown error " + std::to_string(code) + ".", code);
  std::string text = kit::Utf8FromUtf16(
      {static_cast<const wchar_t*>(buffer.get()), static_cast<std::size_t>(length)});
  const std::size_t end = text.find_last_not_of(" \t\r\n");
  text.erase(end == std::string::npos ? 0 : end + 1);
  return FileError(text, code);
}

[[noreturn]] void Fail(DWORD code) { throw SystemError(code); }
[[noreturn]] void FailWithLastError() { Fail(::GetLastError()); }

[[noreturn]] void FailTooLarge(std::uint64_t size) {
  throw FileError("The file is too large to hold in memory (" + std::to_string(size) + " bytes).",
                  ERROR_NOT_ENOUGH_MEMORY);
}

[[noreturn]] void FailNoRoomToMap(std::uint64_t viewSize, std::uint64_t fileSize) {
  throw FileError("There is not enough free address space to map " + std::to_string(viewSize) +
                      " bytes of the file (of its " + std::to_string(fileSize) + ") at once.",
                  ERROR_NOT_ENOUGH_MEMORY);
}

// The absolute form of `path`, with '/' turned into '\'.
std::wstring FullPathOf(const Path& path) {
  // GetFullPathNameW does not reliably set an error for an empty text.
  if (path.empty()) Fail(ERROR_PATH_NOT_FOUND);
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) FailWithLastError();
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);  // too small: length is the size needed, terminator included
  }
}

// The form of a full path that the wide file functions take past MAX_PATH
// characters; shorter paths, and those already in a long form, as they are.
std::wstring WithoutLengthLimit(const std::wstring& fullPath) {
  if (fullPath.size() < MAX_PATH || fullPath.starts_with(LR"(\\?\)") ||
      fullPath.starts_with(LR"(\\.\)")) {
    return fullPath;
  }
  if (fullPath.starts_with(LR"(\\)")) return LR"(\\?\UNC\)" + fullPath.substr(2);
  return LR"(\\?\)" + fullPath;
}

DWORD AttributesOf(const Path& path) {
  return path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(path.c_str());
}

bool IsFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void WriteBytes(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min(bytes.size(), kMaxChunk));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) FailWithLastError();
    bytes.remove_prefix(written);
  }
}

// The whole content of `from`, from its start, in place of `to`'s.
void CopyFileBytes(HANDLE from, HANDLE to) {
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(from, start, nullptr, FILE_BEGIN)) FailWithLastError();
  std::string buffer(1 << 16, '\0');
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
      FailWithLastError();
    if (read == 0) break;
    WriteBytes(to, std::string_view(buffer.data(), read));
  }
  if (!::SetEndOfFile(to)) FailWithLastError();
}

bool RefusedForRights(DWORD error) { return error == ERROR_ACCESS_DENIED; }

struct TemporaryFile {
  kit::unique_file_path path;  // declared first so the handle closes before the delete
  kit::unique_file handle;
};

// How many names CreateTemporaryFileIn and UnusedNameIn try before they give
// up: each is one of 2^32, so even a crowded folder rarely needs a second.
constexpr int kNameAttempts = 100;

// A short name in `folder` (a full path, ending with its separator) that no
// other file is likely to have, in the form the file functions take.
std::wstring CandidateNameIn(const std::wstring& folder) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring name = L"kit00000000.tmp";
  std::uint32_t value = std::random_device{}();
  for (std::size_t digit = 10; digit >= 3; --digit, value >>= 4) name[digit] = kDigits[value & 15];
  return WithoutLengthLimit(folder + name);
}

// A new, empty file in `folder`. Not GetTempFileNameW, which refuses a
// folder path longer than MAX_PATH-14 characters, though an output there
// can be written.
TemporaryFile CreateTemporaryFileIn(const std::wstring& folder) {
  for (int attempt = 1;; ++attempt) {
    std::wstring path = CandidateNameIn(folder);
    kit::unique_file handle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle) {
      TemporaryFile temporary;
      temporary.path = kit::unique_file_path(std::move(path));
      temporary.handle = std::move(handle);
      return temporary;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS || attempt == kNameAttempts) Fail(error);
  }
}

// A name in `folder` that no file has at the moment.
std::wstring UnusedNameIn(const std::wstring& folder) {
  for (int attempt = 1;; ++attempt) {
    std::wstring path = CandidateNameIn(folder);
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_NOT_FOUND) return path;
      Fail(error);
    }
    if (attempt == kNameAttempts) Fail(ERROR_FILE_EXISTS);
  }
}

// Lower-cased by the system's rule for file names (not the linguistic one of
// any language). Throws FileError for what the system cannot map.
std::wstring LowerCasedName(std::wstring_view text) {
  if (text.empty()) return {};
  if (text.size() > INT_MAX) Fail(ERROR_NO_UNICODE_TRANSLATION);
  const int length = static_cast<int>(text.size());
  const int size = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.data(), length,
                                   nullptr, 0, nullptr, nullptr, 0);
  if (size <= 0) Fail(ERROR_NO_UNICODE_TRANSLATION);
  std::wstring lower(static_cast<std::size_t>(size), L'\0');
  ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.data(), length, lower.data(), size,
                  nullptr, nullptr, 0);
  return lower;
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
  MappedInput(kit::unique_handle mapping, std::uint64_t size, const InputMapping& limits,
              std::shared_ptr<AddressBudget> budget)
      : mapping_(std::move(mapping)),
        size_(size),
        window_(limits.window),
        budget_(std::move(budget)) {
    if (size_ != 0 && size_ <= limits.wholeFile && budget_->Take(size_)) {
      heldWhole_ = size_;
      if (!TryMap({0, size_})) ReturnBudget();
    }
  }
  MappedInput(const MappedInput&) = delete;
  MappedInput& operator=(const MappedInput&) = delete;
  ~MappedInput() override {
    view_.reset();
    ReturnBudget();
  }

  std::uint64_t size() const override { return size_; }

  std::string_view View(std::uint64_t offset, std::size_t length) override {
    if (offset >= size_) return {};
    const std::uint64_t wanted = std::min<std::uint64_t>(length, size_ - offset);
    if (!view_ || offset < viewOffset_ || offset + wanted > viewOffset_ + viewSize_) {
      ReturnBudget();
      SYSTEM_INFO system;
      ::GetSystemInfo(&system);
      const MappedRange range =
          RangeToMap(size_, offset, length, window_, system.dwAllocationGranularity);
      if (!TryMap(range)) FailNoRoomToMap(range.size, size_);
    }
    const char* const bytes = static_cast<const char*>(view_.get());
    return {bytes + (offset - viewOffset_),
            static_cast<std::size_t>(viewOffset_ + viewSize_ - offset)};
  }

 private:
  // False when the address space has no room for the range.
  bool TryMap(const MappedRange& range) {
    view_.reset();
    if (range.size > SIZE_MAX) return false;
    view_.reset(::MapViewOfFile(mapping_.get(), FILE_MAP_READ,
                                static_cast<DWORD>(range.offset >> 32),
                                static_cast<DWORD>(range.offset), static_cast<SIZE_T>(range.size)));
    if (!view_) {
      if (::GetLastError() == ERROR_NOT_ENOUGH_MEMORY) return false;
      FailWithLastError();
    }
    viewOffset_ = range.offset;
    viewSize_ = range.size;
    return true;
  }

  void ReturnBudget() { budget_->Give(std::exchange(heldWhole_, 0)); }

  kit::unique_handle mapping_;
  std::uint64_t size_;
  std::size_t window_;
  std::shared_ptr<AddressBudget> budget_;
  std::uint64_t heldWhole_ = 0;  // taken from the budget while mapped whole
  kit::unique_mapped_view view_;
  std::uint64_t viewOffset_ = 0;
  std::uint64_t viewSize_ = 0;
};

// A file read with ReadFile into a buffer of the program's own.
class ReadInput final : public BufferedInput {
 public:
  ReadInput(kit::unique_file file, std::uint64_t size, std::size_t window)
      : BufferedInput(size, window), file_(std::move(file)) {}

 private:
  void ReadAt(std::uint64_t offset, char* into, std::size_t count) override {
    while (count != 0) {
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(offset);
      at.OffsetHigh = static_cast<DWORD>(offset >> 32);
      DWORD read = 0;
      if (!::ReadFile(file_.get(), into, static_cast<DWORD>(std::min(count, kMaxChunk)), &read,
                      &at)) {
        FailWithLastError();  // ERROR_HANDLE_EOF too, where the file has shrunk since
      }
      if (read == 0) Fail(ERROR_HANDLE_EOF);
      offset += read;
      into += read;
      count -= read;
    }
  }

  [[noreturn]] void FailTooLarge(std::uint64_t size) const override {
    filelayer::FailTooLarge(size);
  }

  kit::unique_file file_;
};

// The path the system reached the open file by, links and mounted folders
// followed, with its volume named as `volumeName` asks; empty where there is
// none (a volume without a GUID name, for one).
std::wstring FinalPathOf(HANDLE file, DWORD volumeName) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), volumeName);
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length);  // too small: length is the size needed, terminator included
  }
}

// Whether the file's volume lies on a disk that calls itself fixed but can
// still go away while the program runs: one on USB or FireWire, a memory
// card, an iSCSI disk, a virtual disk kept in a file (perhaps on a share).
// A volume that does not tell is taken to be as fixed as it says.
bool IsOnDetachableDisk(HANDLE file) {
  const std::wstring path = FinalPathOf(file, VOLUME_NAME_GUID);  // \\?\Volume{...}\...
  const std::size_t rootEnd = path.find(L'\\', 4);
  if (rootEnd == std::wstring::npos) return false;
  // The volume itself, opened for queries only, which asks no rights.
  const kit::unique_file volume(::CreateFileW(path.substr(0, rootEnd).c_str(), 0,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
  if (!volume) return false;
  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = StorageDeviceProperty;
  query.QueryType = PropertyStandardQuery;
  // Room for the strings that follow the descriptor, which some drivers
  // will not leave out.
  union {
    STORAGE_DEVICE_DESCRIPTOR descriptor;
    BYTE bytes[1024];
  } device{};
  DWORD returned = 0;
  if (!::DeviceIoControl(volume.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &device,
                         sizeof device, &returned, nullptr) ||
      returned < offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof(STORAGE_BUS_TYPE)) {
    return false;
  }
  if (device.descriptor.RemovableMedia) return true;
  switch (device.descriptor.BusType) {
    case BusTypeUsb:
    case BusType1394:
    case BusTypeSd:
    case BusTypeMmc:
    case BusTypeiScsi:
    case BusTypeFileBackedVirtual:
      return true;
    default:
      return false;
  }
}

// FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS, which some SDKs' headers lack.
constexpr DWORD kRecallOnDataAccess = 0x00400000;

// Whether the open file may be mapped: only a file on a fixed disk of this
// machine, whose data is on that disk, may, since a mapped view of any other
// raises an in-page error where ReadFile would fail, and no handler here can
// catch that error. A cloud-sync placeholder or an archived (offline) file
// is fetched as it is read, and that fetch may fail. When in doubt, no.
bool MayBeMapped(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!::GetFileInformationByHandle(file, &information) ||
      (information.dwFileAttributes & (kRecallOnDataAccess | FILE_ATTRIBUTE_OFFLINE))) {
    return false;
  }
  const std::wstring path = FinalPathOf(file, VOLUME_NAME_DOS);  // \\?\C:\... or \\?\UNC\...
  if (path.empty()) return false;
  std::wstring root(path.size() + 2, L'\0');
  if (!::GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size()))) {
    return false;
  }
  root.resize(std::wcslen(root.c_str()));
  return ::GetDriveTypeW(root.c_str()) == DRIVE_FIXED && !IsOnDetachableDisk(file);
}

// The content goes to a temporary file beside the target, put in its place
// once flushed. Where the folder refuses a new file, or the target refuses
// to be replaced, for want of rights, the content is gathered in the user's
// temporary folder and then written over the target.
class Win32Replacement final : public FileReplacement {
 public:
  explicit Win32Replacement(const Path& path)
      : target_(FullPathOf(path)),
        targetExists_(InspectTarget(target_, existing_)),
        folder_(FolderOf(target_)),
        temporary_(CreateTemporary()) {
    pending_.reserve(kGather);
  }

  // Small pieces are gathered: each WriteFile is a call into the system.
  void Append(std::span<const std::string_view> pieces) override {
    for (const std::string_view piece : pieces) {
      if (pending_.size() + piece.size() > kGather) WritePending();
      if (piece.size() >= kGather) {
        WriteBytes(temporary_.handle.get(), piece);
      } else {
        pending_.append(piece);
      }
    }
  }

  // A positioned write moves the file pointer of a handle opened for
  // synchronous writing: it goes back to the end for the pieces after.
  void WriteOver(std::uint64_t offset, std::string_view bytes) override {
    WritePending();
    while (!bytes.empty()) {
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(offset);
      at.OffsetHigh = static_cast<DWORD>(offset >> 32);
      const DWORD chunk = static_cast<DWORD>(std::min(bytes.size(), kMaxChunk));
      DWORD written = 0;
      if (!::WriteFile(temporary_.handle.get(), bytes.data(), chunk, &written, &at))
        FailWithLastError();
      bytes.remove_prefix(written);
      offset += written;
    }
    const LARGE_INTEGER none{};
    if (!::SetFilePointerEx(temporary_.handle.get(), none, nullptr, FILE_END)) FailWithLastError();
  }

  void Commit() override {
    WritePending();
    if (!besideTarget_) return WriteOverTarget();
    // The new file takes the old one's place: keep its creation time too,
    // should it have to be renamed over the old one. Only cosmetic, so a
    // failure does not stop the write.
    if (targetExists_) {
      ::SetFileTime(temporary_.handle.get(), &existing_.ftCreationTime, nullptr, nullptr);
    }
    if (!::FlushFileBuffers(temporary_.handle.get())) FailWithLastError();
    if (targetExists_) {
      switch (ReplaceTarget()) {
        case Replaced::kYes:
          temporary_.handle.reset();
          temporary_.path.release();
          return;
        case Replaced::kRefused:
          return WriteOverTarget();
        case Replaced::kNotSupported:
          break;
      }
    }
    temporary_.handle.reset();
    if (!::MoveFileExW(temporary_.path.get().c_str(), target_.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      FailWithLastError();
    }
    temporary_.path.release();
  }

 private:
  static constexpr std::size_t kGather = 1 << 20;

  // Whether the target exists; fails when it may not be replaced.
  static bool InspectTarget(const std::wstring& target, WIN32_FILE_ATTRIBUTE_DATA& existing) {
    if (!::GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &existing)) {
      if (::GetLastError() != ERROR_FILE_NOT_FOUND)
        FailWithLastError();  // invalid name, missing folder
      return false;
    }
    // Checked here because a rename may replace a read-only file.
    if (existing.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
      Fail(ERROR_ACCESS_DENIED);
    }
    return true;
  }

  static std::wstring FolderOf(const std::wstring& target) {
    const std::size_t lastSeparator = target.find_last_of(L'\\');
    if (lastSeparator + 1 == target.size()) Fail(ERROR_INVALID_NAME);  // names a folder, not a file
    return target.substr(0, lastSeparator + 1);
  }

  // Beside the target where the folder allows, else, for an existing target,
  // in the user's temporary folder.
  TemporaryFile CreateTemporary() {
    try {
      return CreateTemporaryFileIn(folder_);
    } catch (const FileError& failure) {
      if (!RefusedForRights(failure.code())) throw;
      if (!targetExists_) {
        throw FileError(std::string(failure.what()) + " (no right to create files in " +
                            kit::Utf8FromUtf16(folder_) + ")",
                        failure.code());
      }
    }
    besideTarget_ = false;
    std::wstring temporaryFolder(MAX_PATH + 1, L'\0');
    const DWORD length =
        ::GetTempPathW(static_cast<DWORD>(temporaryFolder.size()), temporaryFolder.data());
    if (length == 0 || length >= temporaryFolder.size()) FailWithLastError();
    temporaryFolder.resize(length);
    return CreateTemporaryFileIn(temporaryFolder);
  }

  void WritePending() {
    WriteBytes(temporary_.handle.get(), pending_);
    pending_.clear();
  }

  // In place: the target keeps its name, security descriptor, attributes,
  // streams and creation time.
  void WriteOverTarget() {
    const kit::unique_file target(::CreateFileW(target_.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!target) FailWithLastError();
    CopyFileBytes(temporary_.handle.get(), target.get());
    if (!::FlushFileBuffers(target.get())) FailWithLastError();
  }

  enum class Replaced { kYes, kRefused, kNotSupported };

  // Puts the temporary file in the existing target's place the way that
  // keeps what the target is beyond its bytes, as writing over it would:
  // security descriptor, attributes, alternate streams, creation time. A
  // descriptor the user may not copy is left behind rather than fail the
  // write. kNotSupported, with nothing changed, where the target's file
  // system cannot replace or the target has gone meanwhile; kRefused, with
  // nothing changed, where the user may not remove or rename the target;
  // throws, with the target as it was, on any other failure.
  Replaced ReplaceTarget() {
    // ReplaceFileW opens the temporary file itself.
    temporary_.handle.reset();
    // The target is moved to the backup name first: a replace that fails
    // half-way can then put it back.
    kit::unique_file_path backup(UnusedNameIn(folder_));
    if (::ReplaceFileW(target_.c_str(), temporary_.path.get().c_str(), backup.get().c_str(),
                       REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
      return Replaced::kYes;
    }
    const DWORD error = ::GetLastError();
    switch (error) {
      case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
        // The target is under the backup name. Where it cannot go back, it
        // stays there rather than be lost, and the user is told where.
        if (!::MoveFileExW(backup.get().c_str(), target_.c_str(), MOVEFILE_WRITE_THROUGH)) {
          const std::wstring kept = backup.release();
          throw FileError(std::string(SystemError(error).what()) +
                              " The previous file is kept as " + kit::Utf8FromUtf16(kept) + ".",
                          error);
        }
        Fail(error);
      case ERROR_FILE_NOT_FOUND:
      case ERROR_INVALID_PARAMETER:
      case ERROR_INVALID_FUNCTION:
      case ERROR_NOT_SUPPORTED:
      case ERROR_CALL_NOT_IMPLEMENTED:
        return Replaced::kNotSupported;
      case ERROR_ACCESS_DENIED:
      case ERROR_UNABLE_TO_REMOVE_REPLACED:
        ReopenTemporary();
        return Replaced::kRefused;
      default:
        // Among them ERROR_UNABLE_TO_MOVE_REPLACEMENT: both files keep
        // their names.
        Fail(error);
    }
  }

  void ReopenTemporary() {
    temporary_.handle.reset(::CreateFileW(temporary_.path.get().c_str(), GENERIC_READ, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    if (!temporary_.handle) FailWithLastError();
  }

  std::wstring target_;
  WIN32_FILE_ATTRIBUTE_DATA existing_{};
  bool targetExists_;
  std::wstring folder_;
  bool besideTarget_ = true;
  TemporaryFile temporary_;
  std::string pending_;
};

// The file opened for reading, shared with other readers and writers, and
// its size.
kit::unique_file OpenForReading(const Path& path, std::uint64_t& size) {
  kit::unique_file file(::CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) FailWithLastError();
  LARGE_INTEGER bytes;
  if (!::GetFileSizeEx(file.get(), &bytes)) FailWithLastError();
  size = static_cast<std::uint64_t>(bytes.QuadPart);
  return file;
}

class Win32FileSystem final : public FileSystem {
 public:
  explicit Win32FileSystem(const InputMapping& mapping)
      : mapping_(mapping), budget_(std::make_shared<AddressBudget>(mapping.wholeBudget)) {}

  bool FileExists(const Path& path) const override {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool FolderExists(const Path& path) const override { return IsFolder(AttributesOf(path)); }

  std::vector<std::string> ExpandWildcards(const std::string& path) const override {
    const std::size_t nameStart = path.find_last_of("\\/:") + 1;
    if (path.find_first_of("*?", nameStart) == std::string::npos) return {path};
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const kit::unique_find find(::FindFirstFileExW(kit::Utf16FromUtf8(path).c_str(),
                                                   FindExInfoBasic, &found, FindExSearchNameMatch,
                                                   nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (find) {
      do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
          names.emplace_back(found.cFileName);
      } while (::FindNextFileW(find.get(), &found));
    }
    if (names.empty()) return {path};  // named as given, so that its run says it is not found
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
      return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                    static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
    });
    std::vector<std::string> paths;
    paths.reserve(names.size());
    const std::string folder = path.substr(0, nameStart);
    // A command line is UTF-8 here: a name with an unpaired surrogate is
    // spelt with U+FFFD, and its run says that no such file is found.
    for (const std::wstring& name : names) paths.push_back(folder + kit::Utf8FromUtf16(name));
    return paths;
  }

  std::unique_ptr<InputFile> OpenInput(const Path& path) const override {
    std::uint64_t fileSize = 0;
    kit::unique_file file = OpenForReading(path, fileSize);
    if (!mapping_.mapLocalFiles || !MayBeMapped(file.get())) {
      return std::make_unique<ReadInput>(std::move(file), fileSize, mapping_.window);
    }
    // An empty file cannot be mapped; the mapping keeps the file open.
    kit::unique_handle mapping;
    if (fileSize != 0) {
      mapping.reset(::CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
      if (!mapping) FailWithLastError();
    }
    return std::make_unique<MappedInput>(std::move(mapping), fileSize, mapping_, budget_);
  }

  std::unique_ptr<FileReplacement> BeginReplace(const Path& path) const override {
    return std::make_unique<Win32Replacement>(path);
  }

  std::vector<FolderEntry> SubFolders(const Path& folder, EntryDates dates) const override {
    return List(folder, true, dates);
  }

  std::vector<FolderEntry> Files(const Path& folder, EntryDates dates) const override {
    return List(folder, false, dates);
  }

 private:
  std::vector<FolderEntry> List(const Path& folder, bool wantFolders, EntryDates dates) const {
    std::wstring prefix = FullPathOf(folder);
    if (prefix.back() != L'\\') prefix += L'\\';

    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW found;
    const kit::unique_find find(::FindFirstFileW((prefix + L'*').c_str(), &found));
    if (!find) {
      const DWORD error = ::GetLastError();
      // An empty drive root has no "." or "..", so nothing at all matches.
      if (error == ERROR_FILE_NOT_FOUND && IsFolder(AttributesOf(prefix))) return entries;
      Fail(error);
    }

    // A failure to move to the next entry ends the listing; what was found stays.
    do {
      const std::wstring_view name = found.cFileName;
      const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (name == L"." || name == L".." || isFolder != wantFolders) continue;
      entries.push_back(ListedEntry(prefix, found, dates));
    } while (::FindNextFileW(find.get(), &found));
    return entries;
  }

  InputMapping mapping_;
  std::shared_ptr<AddressBudget> budget_;
};

}  // namespace

FolderEntry ListedEntry(const std::wstring& folder, const WIN32_FIND_DATAW& found,
                        EntryDates dates) {
  FolderEntry entry;
  std::wstring name = found.cFileName;
  entry.path = folder + name;
  entry.name = std::move(name);
  if (dates == EntryDates::kRead) {
    entry.dateCreated = ToLocal(found.ftCreationTime);
    entry.dateLastModified = ToLocal(found.ftLastWriteTime);
  }
  return entry;
}

std::string ComparablePath(const std::string& path) {
  try {
    std::wstring full = FullPathOf(PathFromUtf8(path));
    // The long names of short ones, where the file or its folders exist.
    std::wstring longForm(full.size() + 1, L'\0');
    for (;;) {
      const DWORD length =
          ::GetLongPathNameW(full.c_str(), longForm.data(), static_cast<DWORD>(longForm.size()));
      if (length == 0) break;
      if (length < longForm.size()) {
        longForm.resize(length);
        full = std::move(longForm);
        break;
      }
      longForm.resize(length);
    }
    return kit::Utf8FromUtf16(LowerCasedName(full));
  } catch (const FileError&) {
    return path;  // names nothing the system could reach
  }
}

std::unique_ptr<FileSystem> MakePlatformFileSystem(const InputMapping& mapping) {
  return std::make_unique<Win32FileSystem>(mapping);
}

bool EqualIgnoringCase(const Path& a, const Path& b) {
  if (a.native() == b.native()) return true;
  try {
    return LowerCasedName(a.native()) == LowerCasedName(b.native());
  } catch (const FileError&) {
    return false;
  }
}

Path PathFromUtf8(std::string_view utf8) { return Path(kit::Utf16FromUtf8(utf8)); }

std::string Utf8FromPath(const Path& path) { return kit::Utf8FromUtf16(path.native()); }

}  // namespace filelayer
