#include "file_system.h"

namespace filelayer {
namespace {

class HeldInput final : public InputFile {
 public:
  explicit HeldInput(std::string bytes) : bytes_(std::move(bytes)) {}
  std::string_view bytes() const override { return bytes_; }

 private:
  std::string bytes_;
};

class HeldReplacement final : public FileReplacement {
 public:
  HeldReplacement(const FileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}
  void Append(std::string_view bytes) override { bytes_.append(bytes); }
  void Commit() override { files_.WriteAll(path_, bytes_); }

 private:
  const FileSystem& files_;
  std::string path_;
  std::string bytes_;
};

}  // namespace

std::unique_ptr<InputFile> FileSystem::OpenInput(const std::string& path) const {
  return std::make_unique<HeldInput>(ReadAll(path));
}

std::unique_ptr<FileReplacement> FileSystem::BeginReplace(const std::string& path) const {
  return std::make_unique<HeldReplacement>(*this, path);
}

}  // namespace filelayer
