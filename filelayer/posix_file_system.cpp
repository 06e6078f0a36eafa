#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <new>
#include <utility>

#include "address_budget.h"
#include "buffered_input.h"
#include "file_system.h"
#include "mapped_view_guard.h"
#include "unique_posix.h"

namespace filelayer {

namespace {

constexpr std::size_t kMaxChunk = 64u << 20;

[[noreturn]] void Fail(int code) {
  throw FileError(std::strerror(code), static_cast<unsigned long>(code));
}
[[noreturn]] void FailWithErrno() { Fail(errno); }

[[noreturn]] void FailTooLarge(std::uint64_t size) {
  throw FileError("The file is too large to hold in memory (" + std::to_string(size) + " bytes).",
                  ENOMEM);
}

[[noreturn]] void FailNoRoomToMap(std::uint64_t viewSize, std::uint64_t fileSize) {
  throw FileError("There is not enough free address space to map " + std::to_string(viewSize) +
                      " bytes of the file (of its " + std::to_string(fileSize) + ") at once.",
                  ENOMEM);
}

using kit::unique_fd;
using kit::unique_file_path;

struct TemporaryFile {
  unique_file_path path;
  unique_fd descriptor;
};

// Not mkstemp: that creates the file 0600, while a new target should get the
// usual 0666 less the umask, which open() applies.
TemporaryFile CreateTemporaryFileIn(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  for (;;) {
    std::string candidate = folder + "/.filelayer-" + std::to_string(::getpid()) + "-" +
                            std::to_string(counter++) + ".tmp";
    const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return {unique_file_path(std::move(candidate)), unique_fd(fd)};
    if (errno != EEXIST) FailWithErrno();
  }
}

// The pieces, in order, with as few calls as the system takes.
void WriteBytes(int fd, std::span<const std::string_view> pieces) {
  constexpr std::size_t kMaxPieces = IOV_MAX < 1024 ? IOV_MAX : 1024;
  iovec slices[kMaxPieces];
  std::size_t next = 0;  // the first piece not yet in `slices`
  std::size_t skip = 0;  // bytes of that piece already written
  while (next < pieces.size()) {
    std::size_t count = 0;
    std::size_t bytes = 0;
    for (std::size_t i = next; i < pieces.size() && count < kMaxPieces && bytes < kMaxChunk; ++i) {
      const std::string_view piece = i == next ? pieces[i].substr(skip) : pieces[i];
      if (piece.empty()) continue;
      slices[count++] = {const_cast<char*>(piece.data()), piece.size()};
      bytes += piece.size();
    }
    if (count == 0) return;
    const ssize_t written = ::writev(fd, slices, static_cast<int>(count));
    if (written < 0) {
      if (errno == EINTR) continue;
      FailWithErrno();
    }
    // Past what was written: whole pieces, then part of one.
    auto left = static_cast<std::size_t>(written);
    while (next < pieces.size() && pieces[next].size() - skip <= left) {
      left -= pieces[next].size() - skip;
      skip = 0;
      ++next;
    }
    skip += left;
  }
}

void CopyFileBytes(int from, int to) {
  if (::lseek(from, 0, SEEK_SET) != 0) FailWithErrno();
  char buffer[1 << 16];
  for (;;) {
    const ssize_t read = ::read(from, buffer, sizeof buffer);
    if (read < 0) {
      if (errno == EINTR) continue;
      FailWithErrno();
    }
    if (read == 0) return;
    const std::string_view piece(buffer, static_cast<std::size_t>(read));
    WriteBytes(to, std::span<const std::string_view>(&piece, 1));
  }
}

bool RefusedForRights(int error) { return error == EACCES || error == EPERM; }

LocalDateTime ToLocal(std::time_t time) {
  std::tm local{};
  if (!::localtime_r(&time, &local)) return {};
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Maps the whole file when it may and can, else one window at a time.
class MappedInput final : public InputFile {
 public:
  MappedInput(unique_fd file, std::uint64_t size, const InputMapping& mapping,
              std::shared_ptr<AddressBudget> budget)
      : file_(std::move(file)), size_(size), window_(mapping.window), budget_(std::move(budget)) {
    if (guard_.valid() && size_ != 0 && size_ <= mapping.wholeFile && size_ <= SIZE_MAX &&
        budget_->Take(size_)) {
      heldWhole_ = size_;
      if (!TryMap({0, size_})) ReturnBudget();
    }
  }
  MappedInput(const MappedInput&) = delete;
  MappedInput& operator=(const MappedInput&) = delete;
  ~MappedInput() override {
    Unmap();
    ReturnBudget();
  }

  std::uint64_t size() const override { return size_; }

  std::string_view View(std::uint64_t offset, std::size_t length) override {
    if (offset >= size_) return {};
    const std::uint64_t wanted = std::min<std::uint64_t>(length, size_ - offset);
    if (!view_ || offset < viewOffset_ || offset + wanted > viewOffset_ + view_.get().size) {
      ReturnBudget();
      const MappedRange range = RangeToMap(size_, offset, length, window_,
                                           static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)));
      if (!TryMap(range)) FailNoRoomToMap(range.size, size_);
    }
    return {view_.get().address + (offset - viewOffset_),
            static_cast<std::size_t>(viewOffset_ + view_.get().size - offset)};
  }

  void CheckViewsRead() const override {
    if (guard_.Faulted()) {
      throw FileError("The file was cut short, or could not be read, while it was being read.",
                      EIO);
    }
  }

  // Whether views of this file are guarded against a fault; unguarded, it
  // must not be mapped, and its file is to be read instead.
  [[nodiscard]] bool Guarded() const { return guard_.valid(); }
  [[nodiscard]] unique_fd TakeFile() { return std::move(file_); }

 private:
  // False when the address space has no room for the range.
  bool TryMap(const MappedRange& range) {
    Unmap();
    if (range.size > SIZE_MAX) return false;
    void* address = ::mmap(nullptr, static_cast<std::size_t>(range.size), PROT_READ, MAP_PRIVATE,
                           file_.get(), static_cast<off_t>(range.offset));
    if (address == MAP_FAILED) {
      if (errno == ENOMEM) return false;
      FailWithErrno();
    }
    ::madvise(address, static_cast<std::size_t>(range.size), MADV_SEQUENTIAL);
    view_.reset({static_cast<const char*>(address), static_cast<std::size_t>(range.size)});
    guard_.Guard(view_.get().address, view_.get().size);
    viewOffset_ = range.offset;
    return true;
  }

  void Unmap() {
    guard_.Guard(nullptr, 0);
    view_.reset();
  }

  void ReturnBudget() { budget_->Give(std::exchange(heldWhole_, 0)); }

  unique_fd file_;
  std::uint64_t size_;
  std::size_t window_;
  std::shared_ptr<AddressBudget> budget_;
  std::uint64_t heldWhole_ = 0;  // taken from the budget while mapped whole
  MappedViewGuard guard_;
  kit::unique_mapped_range view_;
  std::uint64_t viewOffset_ = 0;
};

// A file read with pread into a buffer of the program's own.
class ReadInput final : public BufferedInput {
 public:
  ReadInput(unique_fd file, std::uint64_t size, std::size_t window)
      : BufferedInput(size, window), file_(std::move(file)) {}

 private:
  void ReadAt(std::uint64_t offset, char* into, std::size_t count) override {
    while (count != 0) {
      const ssize_t read =
          ::pread(file_.get(), into, std::min(count, kMaxChunk), static_cast<off_t>(offset));
      if (read < 0) {
        if (errno == EINTR) continue;
        FailWithErrno();
      }
      if (read == 0) Fail(ENODATA);  // the file has shrunk since it was opened
      offset += static_cast<std::uint64_t>(read);
      into += read;
      count -= static_cast<std::size_t>(read);
    }
  }

  [[noreturn]] void FailTooLarge(std::uint64_t size) const override {
    filelayer::FailTooLarge(size);
  }

  unique_fd file_;
};

// The content goes to a temporary file beside the target, renamed over it
// once flushed. Where the folder refuses a new file, or the target refuses
// to be renamed over, for want of rights, the content is gathered in the
// user's temporary folder and then written over the target.
class PosixReplacement final : public FileReplacement {
 public:
  explicit PosixReplacement(const Path& path)
      : target_(path),
        targetExists_(InspectTarget(path, existing_)),
        temporary_(CreateTemporary(path, targetExists_, besideTarget_)) {}

  void Append(std::span<const std::string_view> pieces) override {
    WriteBytes(temporary_.descriptor.get(), pieces);
    for (const std::string_view piece : pieces) written_ += piece.size();
#ifdef __linux__
    // Start writing what has come so far to the disk, without waiting, so
    // that the flush before the commit finds little left to do.
    constexpr std::uint64_t kWriteBackStep = 8 << 20;
    if (besideTarget_ && written_ - writtenBack_ >= kWriteBackStep) {
      ::sync_file_range(temporary_.descriptor.get(), static_cast<off_t>(writtenBack_),
                        static_cast<off_t>(written_ - writtenBack_), SYNC_FILE_RANGE_WRITE);
      writtenBack_ = written_;
    }
#endif
  }

  void WriteOver(std::uint64_t offset, std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t written =
          ::pwrite(temporary_.descriptor.get(), bytes.data(), std::min(bytes.size(), kMaxChunk),
                   static_cast<off_t>(offset));
      if (written < 0) {
        if (errno == EINTR) continue;
        FailWithErrno();
      }
      bytes.remove_prefix(static_cast<std::size_t>(written));
      offset += static_cast<std::uint64_t>(written);
    }
  }

  void Commit() override {
    if (besideTarget_) {
      if (targetExists_ && ::fchmod(temporary_.descriptor.get(), existing_.st_mode & 07777) != 0)
        FailWithErrno();
      if (::fsync(temporary_.descriptor.get()) != 0) FailWithErrno();
      if (::close(temporary_.descriptor.release()) != 0) FailWithErrno();
      if (::rename(temporary_.path.get().c_str(), target_.c_str()) == 0) {
        temporary_.path.release();
        return;
      }
      if (!RefusedForRights(errno)) FailWithErrno();
      // A sticky folder, or a target the user may write but not move.
      temporary_.descriptor.reset(::open(temporary_.path.get().c_str(), O_RDONLY | O_CLOEXEC));
      if (!temporary_.descriptor) FailWithErrno();
    }
    WriteOverTarget();
  }

 private:
  // Whether the target exists; fails when it may not be replaced.
  static bool InspectTarget(const std::string& path, struct stat& existing) {
    if (path.empty()) Fail(ENOENT);
    if (::stat(path.c_str(), &existing) != 0) {
      if (errno != ENOENT) FailWithErrno();
      return false;
    }
    // Checked by hand: running as root, the system would allow the write.
    if (S_ISDIR(existing.st_mode) || (existing.st_mode & 0222) == 0) Fail(EACCES);
    return true;
  }

  static TemporaryFile CreateTemporary(const std::string& target, bool targetExists,
                                       bool& besideTarget) {
    const std::string folder = FolderOf(target);
    try {
      besideTarget = true;
      return CreateTemporaryFileIn(folder);
    } catch (const FileError& failure) {
      if (!RefusedForRights(static_cast<int>(failure.code()))) throw;
      if (!targetExists) {
        throw FileError(
            std::string(failure.what()) + " (no right to create files in " + folder + ")",
            failure.code());
      }
    }
    besideTarget = false;
    const char* temporaryFolder = std::getenv("TMPDIR");
    return CreateTemporaryFileIn(temporaryFolder && *temporaryFolder ? temporaryFolder : "/tmp");
  }

  void WriteOverTarget() {
    const unique_fd target(::open(target_.c_str(), O_WRONLY | O_CLOEXEC));
    if (!target) FailWithErrno();
    if (::ftruncate(target.get(), 0) != 0) FailWithErrno();
    CopyFileBytes(temporary_.descriptor.get(), target.get());
    if (::fsync(target.get()) != 0) FailWithErrno();
  }

  std::string target_;
  struct stat existing_ {};
  bool targetExists_;
  bool besideTarget_ = true;
  TemporaryFile temporary_;
  std::uint64_t written_ = 0;
  std::uint64_t writtenBack_ = 0;
};

class PosixFileSystem final : public FileSystem {
 public:
  explicit PosixFileSystem(const InputMapping& mapping)
      : mapping_(mapping), budget_(std::make_shared<AddressBudget>(mapping.wholeBudget)) {}

  bool FileExists(const Path& path) const override {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
  }

  bool FolderExists(const Path& path) const override {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  }

  std::unique_ptr<InputFile> OpenInput(const Path& path) const override {
    unique_fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) FailWithErrno();
    struct stat info;
    if (::fstat(file.get(), &info) != 0) FailWithErrno();
    if (S_ISDIR(info.st_mode)) Fail(EISDIR);
    const auto fileSize = static_cast<std::uint64_t>(info.st_size);
    if (!mapping_.mapLocalFiles) {
      return std::make_unique<ReadInput>(std::move(file), fileSize, mapping_.window);
    }
    auto mapped = std::make_unique<MappedInput>(std::move(file), fileSize, mapping_, budget_);
    if (mapped->Guarded()) return mapped;
    // Every guard is taken: read rather than risk an unguarded fault.
    return std::make_unique<ReadInput>(mapped->TakeFile(), fileSize, mapping_.window);
  }

  std::unique_ptr<FileReplacement> BeginReplace(const Path& path) const override {
    return std::make_unique<PosixReplacement>(path);
  }

  std::vector<FolderEntry> SubFolders(const Path& folder, EntryDates dates) const override {
    return List(folder, true, dates);
  }

  std::vector<FolderEntry> Files(const Path& folder, EntryDates dates) const override {
    return List(folder, false, dates);
  }

 private:
  std::vector<FolderEntry> List(const Path& folder, bool wantFolders, EntryDates dates) const {
    const kit::unique_dir directory(::opendir(folder.c_str()));
    if (!directory) FailWithErrno();

    std::error_code error;
    std::string prefix = std::filesystem::absolute(folder, error).lexically_normal().string();
    if (error) Fail(error.value());
    if (prefix.back() != '/') prefix += '/';

    std::vector<FolderEntry> entries;
    for (;;) {
      // A failure to move to the next entry ends the listing; what was found stays.
      const dirent* entry = ::readdir(directory.get());
      if (!entry) break;
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;

      // Linux keeps a creation ("birth") time only on some file systems;
      // where there is none, the last-write time stands in for it.
      struct statx info;
      if (::statx(dirfd(directory.get()), entry->d_name, 0, STATX_TYPE | STATX_MTIME | STATX_BTIME,
                  &info) != 0) {
        continue;  // removed since it was listed, or a dangling link
      }
      const bool isFolder = S_ISDIR(info.stx_mode);
      if (isFolder != wantFolders) continue;
      FolderEntry& listed = entries.emplace_back();
      listed.name = name;
      listed.path = prefix + name;
      if (dates == EntryDates::kRead) {
        const auto created = (info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_mtime;
        listed.dateCreated = ToLocal(created.tv_sec);
        listed.dateLastModified = ToLocal(info.stx_mtime.tv_sec);
      }
    }
    return entries;
  }

  InputMapping mapping_;
  std::shared_ptr<AddressBudget> budget_;
};

}  // namespace

std::string ComparablePath(const std::string& path) {
  // Links are not followed: each name of a linked log has an output of its own.
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

std::unique_ptr<FileSystem> MakePlatformFileSystem(const InputMapping& mapping) {
  return std::make_unique<PosixFileSystem>(mapping);
}

Path PathFromUtf8(std::string_view utf8) { return Path(std::string(utf8)); }

std::string Utf8FromPath(const Path& path) { return path.native(); }

}  // namespace filelayer
