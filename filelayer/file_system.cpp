#include "file_system.h"

#include <algorithm>

namespace filelayer {
namespace {

class HeldInput final : public InputFile {
 public:
  explicit HeldInput(std::string bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t size() const override { return bytes_.size(); }
  std::string_view View(std::uint64_t offset, std::size_t) override {
    return offset < bytes_.size()
               ? std::string_view(bytes_).substr(static_cast<std::size_t>(offset))
               : std::string_view();
  }

 private:
  std::string bytes_;
};

class HeldReplacement final : public FileReplacement {
 public:
  HeldReplacement(const FileSystem& files, Path path) : files_(files), path_(std::move(path)) {}
  void Append(std::span<const std::string_view> pieces) override {
    for (const std::string_view piece : pieces) bytes_.append(piece);
  }
  void Commit() override { files_.WriteAll(path_, bytes_); }

 private:
  const FileSystem& files_;
  Path path_;
  std::string bytes_;
};

}  // namespace

std::unique_ptr<InputFile> FileSystem::OpenInput(const Path& path) const {
  return std::make_unique<HeldInput>(ReadAll(path));
}

std::unique_ptr<FileReplacement> FileSystem::BeginReplace(const Path& path) const {
  return std::make_unique<HeldReplacement>(*this, path);
}

MappedRange RangeToMap(std::uint64_t fileSize, std::uint64_t offset, std::size_t length,
                       std::size_t window, std::size_t granularity) {
  MappedRange range;
  range.offset = offset - offset % granularity;
  const std::uint64_t end = offset + std::max<std::uint64_t>(length, window);
  range.size = std::min(end, fileSize) - range.offset;
  return range;
}

}  // namespace filelayer
