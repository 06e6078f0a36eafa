// The platform file layer for callers whose texts are still 8-bit in the
// system code page: paths are translated to UTF-8 on the way in, names and
// descriptions of failures back to the code page on the way out.
#include <windows.h>

#include <climits>

#include "file_system.h"
#include "win32_text.h"

namespace filelayer {
namespace {

std::string Utf8FromCodePage(std::string_view text) {
  if (text.empty()) return {};
  if (text.size() > INT_MAX) throw SystemError(ERROR_FILENAME_EXCED_RANGE);
  const int length = static_cast<int>(text.size());
  const int size = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), size);
  return ToUtf8(wide);
}

// What the code page cannot spell becomes its default character, as before.
std::string CodePageFromUtf8(std::string_view text) {
  const std::wstring wide = ToUtf16(text);
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  const int size = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), length, converted.data(), size, nullptr, nullptr);
  }
  return converted;
}

// Runs one file operation, describing its failure in the code page.
template <typename Operation>
auto InCodePage(Operation operation) -> decltype(operation()) {
  try {
    return operation();
  } catch (const FileError& failure) {
    throw FileError(CodePageFromUtf8(failure.what()), failure.code());
  }
}

std::vector<FolderEntry> EntriesInCodePage(std::vector<FolderEntry> entries) {
  for (FolderEntry& entry : entries) {
    entry.name = CodePageFromUtf8(entry.name);
    entry.path = CodePageFromUtf8(entry.path);
  }
  return entries;
}

class CodePageReplacement final : public FileReplacement {
 public:
  explicit CodePageReplacement(std::unique_ptr<FileReplacement> replacement)
      : replacement_(std::move(replacement)) {}
  void Append(std::string_view bytes) override { InCodePage([&] { replacement_->Append(bytes); }); }
  void Commit() override { InCodePage([&] { replacement_->Commit(); }); }

 private:
  std::unique_ptr<FileReplacement> replacement_;
};

class CodePageFileSystem final : public FileSystem {
 public:
  bool FileExists(const std::string& path) const override {
    return files_->FileExists(Utf8FromCodePage(path));
  }
  bool FolderExists(const std::string& path) const override {
    return files_->FolderExists(Utf8FromCodePage(path));
  }
  std::string ReadAll(const std::string& path) const override {
    return InCodePage([&] { return files_->ReadAll(Utf8FromCodePage(path)); });
  }
  void WriteAll(const std::string& path, std::string_view bytes) const override {
    InCodePage([&] { files_->WriteAll(Utf8FromCodePage(path), bytes); });
  }
  std::unique_ptr<InputFile> OpenInput(const std::string& path) const override {
    return InCodePage([&] { return files_->OpenInput(Utf8FromCodePage(path)); });
  }
  std::unique_ptr<FileReplacement> BeginReplace(const std::string& path) const override {
    return std::make_unique<CodePageReplacement>(
        InCodePage([&] { return files_->BeginReplace(Utf8FromCodePage(path)); }));
  }
  std::vector<FolderEntry> SubFolders(const std::string& folder) const override {
    return EntriesInCodePage(InCodePage([&] { return files_->SubFolders(Utf8FromCodePage(folder)); }));
  }
  std::vector<FolderEntry> Files(const std::string& folder) const override {
    return EntriesInCodePage(InCodePage([&] { return files_->Files(Utf8FromCodePage(folder)); }));
  }

 private:
  std::unique_ptr<FileSystem> files_ = MakePlatformFileSystem();
};

}  // namespace

std::unique_ptr<FileSystem> MakeSystemCodePageFileSystem() {
  return std::make_unique<CodePageFileSystem>();
}

}  // namespace filelayer
