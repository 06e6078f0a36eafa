// Test support: a file system whose doubles hold whole files, and whole-file
// reads and writes through any file system's streaming calls.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "file_system.h"

namespace kit::testing {

using filelayer::FileReplacement;
using filelayer::FileSystem;
using filelayer::InputFile;
using filelayer::Path;

// A double that reads and writes files whole: its input comes from
// ReadAll, its replacement goes to WriteAll on Commit. It lists no folder
// unless it says otherwise.
class HeldFileSystem : public FileSystem {
 public:
  [[nodiscard]] virtual std::string ReadAll(const Path& path) const = 0;
  virtual void WriteAll(const Path& path, std::string_view bytes) const = 0;

  [[nodiscard]] std::unique_ptr<InputFile> OpenInput(const Path& path) const override {
    return std::make_unique<HeldInput>(ReadAll(path));
  }
  [[nodiscard]] std::unique_ptr<FileReplacement> BeginReplace(const Path& path) const override {
    return std::make_unique<HeldReplacement>(*this, path);
  }
  [[nodiscard]] std::vector<filelayer::FolderEntry> SubFolders(
      const Path&, filelayer::EntryDates) const override {
    return {};
  }
  [[nodiscard]] std::vector<filelayer::FolderEntry> Files(const Path&,
                                                          filelayer::EntryDates) const override {
    return {};
  }

 private:
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
    HeldReplacement(const HeldFileSystem& files, Path path)
        : files_(files), path_(std::move(path)) {}
    void Append(std::span<const std::string_view> pieces) override {
      for (const std::string_view piece : pieces) bytes_.append(piece);
    }
    void WriteOver(std::uint64_t offset, std::string_view bytes) override {
      bytes_.replace(static_cast<std::size_t>(offset), bytes.size(), bytes);
    }
    void Commit() override { files_.WriteAll(path_, bytes_); }

   private:
    const HeldFileSystem& files_;
    Path path_;
    std::string bytes_;
  };
};

// The whole file, read through OpenInput.
inline std::string ReadAll(const FileSystem& files, const Path& path) {
  const std::unique_ptr<InputFile> input = files.OpenInput(path);
  const std::string_view bytes = input->View(0, static_cast<std::size_t>(input->size()));
  std::string whole(bytes.substr(0, static_cast<std::size_t>(input->size())));
  input->CheckViewsRead();
  return whole;
}

// Makes the file hold `bytes`, through BeginReplace.
inline void WriteAll(const FileSystem& files, const Path& path, std::string_view bytes) {
  const std::unique_ptr<FileReplacement> replacement = files.BeginReplace(path);
  replacement->Append(bytes);
  replacement->Commit();
}

}  // namespace kit::testing
