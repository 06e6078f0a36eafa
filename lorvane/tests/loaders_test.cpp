// The loader logic behind seams: a file layer double whose creation and
// last-write dates differ (Wine cannot produce that), a recorded message
// box and a plain date text.
#include "loaders.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <new>
#include <string>
#include <vector>

namespace {

using filelayer::FolderEntry;
using filelayer::LocalDateTime;
using lorvane::LoadOutcome;

class FakeFileSystem final : public filelayer::FileSystem {
 public:
  std::map<std::string, std::vector<FolderEntry>> files, folders;
  bool unlistable = false;

  bool FileExists(const std::string&) const override { return false; }
  bool FolderExists(const std::string& path) const override {
    return files.count(path) || folders.count(path);
  }
  std::string ReadAll(const std::string&) const override { return {}; }
  void WriteAll(const std::string&, std::string_view) const override {}
  std::vector<FolderEntry> SubFolders(const std::string& folder,
                                      filelayer::EntryDates) const override {
    return Listing(folders, folder);
  }
  std::vector<FolderEntry> Files(const std::string& folder, filelayer::EntryDates) const override {
    return Listing(files, folder);
  }

 private:
  std::vector<FolderEntry> Listing(const std::map<std::string, std::vector<FolderEntry>>& from,
                                   const std::string& folder) const {
    if (unlistable) throw filelayer::FileError("Access is denied.", ERROR_ACCESS_DENIED);
    const auto found = from.find(folder);
    return found == from.end() ? std::vector<FolderEntry>{} : found->second;
  }
};

LocalDateTime Day(int day, int hour = 0) { return {2024, 3, day, hour, 0, 0}; }

FolderEntry Entry(const std::string& name, LocalDateTime created, LocalDateTime modified,
                  const std::string& folder = "C:\\d") {
  return {name, folder + "\\" + name, created, modified};
}

class Loaders : public ::testing::Test {
 protected:
  Loaders() {
    seams_.fso = &fs_;
    seams_.tell = [this](const wchar_t* message) { told_.push_back(message); };
    seams_.dateText = [](const LocalDateTime& t) -> std::optional<std::wstring> {
      if (t.year == 0) return std::nullopt;  // stands for a date that cannot be formed
      return std::to_wstring(t.day) + L"/" + std::to_wstring(t.month) + L"/" +
             std::to_wstring(t.year);
    };
    seams_.append = [this](const std::vector<lorvane::ListEntry>& entries) {
      for (const auto& entry : entries) {
        names_.push_back(entry.display);
        paths_.push_back(entry.value);
      }
    };
  }

  FakeFileSystem fs_;
  lorvane::LoaderSeams seams_;
  std::vector<std::wstring> told_;
  std::vector<std::wstring> names_, paths_;
};

TEST_F(Loaders, AFolderThatCannotBeListedChangesNothingSilently) {
  fs_.files["C:\\d"] = {Entry("a.txt", Day(1), Day(1))};
  fs_.folders["C:\\d"] = {Entry("sub", Day(1), Day(1))};
  fs_.unlistable = true;
  EXPECT_EQ(lorvane::LoadFileList(seams_, L"C:\\d"), LoadOutcome::kUnlisted);
  EXPECT_EQ(lorvane::LoadFolderList(seams_, L"C:\\d"), LoadOutcome::kUnlisted);
  EXPECT_EQ(lorvane::LoadFilesWithExt(seams_, L"C:\\d", L"txt"), LoadOutcome::kUnlisted);
  EXPECT_EQ(lorvane::LoadFilesOfDate(seams_, L"C:\\d", L"1/3/2024", true, true),
            LoadOutcome::kUnlisted);
  EXPECT_EQ(lorvane::LoadFoldersOfDate(seams_, L"C:\\d", L"1/3/2024"), LoadOutcome::kUnlisted);
  EXPECT_TRUE(told_.empty());
  EXPECT_TRUE(names_.empty());
}

TEST_F(Loaders, AStepThatFailsSkipsItsEntryAndTheLoadGoesOn) {
  fs_.files["C:\\d"] = {Entry("a", Day(1), Day(1)), Entry("fails", Day(2), Day(2)),
                        Entry("c", Day(1), Day(1))};
  const auto dateText = seams_.dateText;
  seams_.dateText = [&](const LocalDateTime& t) {
    if (t.day == 2) throw std::bad_alloc();
    return dateText(t);
  };
  EXPECT_EQ(lorvane::LoadFilesOfDate(seams_, L"C:\\d", L"1/3/2024", true, true),
            LoadOutcome::kLoaded)
      << "the label is set";
  EXPECT_EQ(names_, (std::vector<std::wstring>{L"a", L"c"}));
}

TEST_F(Loaders, FilesOfDateTestsCreationThenModificationAndAddsAFileOnce) {
  fs_.files["C:\\d"] = {Entry("created", Day(1), Day(2)), Entry("modified", Day(2), Day(1)),
                        Entry("both", Day(1), Day(1)), Entry("neither", Day(2), Day(2))};
  EXPECT_EQ(lorvane::LoadFilesOfDate(seams_, L"C:\\d", L"1/3/2024", true, false),
            LoadOutcome::kLoaded);
  EXPECT_EQ(names_, (std::vector<std::wstring>{L"created", L"both"}));
  names_.clear();
  EXPECT_EQ(lorvane::LoadFilesOfDate(seams_, L"C:\\d", L"1/3/2024", false, true),
            LoadOutcome::kLoaded);
  EXPECT_EQ(names_, (std::vector<std::wstring>{L"modified", L"both"}));
  names_.clear();
  EXPECT_EQ(lorvane::LoadFilesOfDate(seams_, L"C:\\d", L"1/3/2024", true, true),
            LoadOutcome::kLoaded);
  EXPECT_EQ(names_, (std::vector<std::wstring>{L"created", L"modified", L"both"}));
}

TEST_F(Loaders, DateMustMatchExactlyAndAnUnformableDateMatchesNothing) {
  fs_.files["C:\\d"] = {Entry("f", Day(1), Day(1)), Entry("bad", {}, {})};
  fs_.folders["C:\\d"] = fs_.files["C:\\d"];
  for (const wchar_t* other : {L"01/03/2024", L"1/3/2024 ", L"2024-03-01", L""}) {
    EXPECT_EQ(lorvane::LoadFilesOfDate(seams_, L"C:\\d", other, true, true), LoadOutcome::kLoaded);
    EXPECT_EQ(lorvane::LoadFoldersOfDate(seams_, L"C:\\d", other), LoadOutcome::kLoaded);
  }
  EXPECT_TRUE(names_.empty());
  EXPECT_TRUE(told_.empty());
}

TEST_F(Loaders, FoldersOfDateLooksAtCreationOnly) {
  fs_.folders["C:\\d"] = {Entry("created", Day(1), Day(2)), Entry("modified", Day(2), Day(1))};
  EXPECT_EQ(lorvane::LoadFoldersOfDate(seams_, L"C:\\d", L"1/3/2024"), LoadOutcome::kLoaded);
  EXPECT_EQ(names_, std::vector<std::wstring>{L"created"});
  EXPECT_EQ(paths_, std::vector<std::wstring>{L"C:\\d\\created"}) << "box2 gets the full path";
}

// The script's texts are UTF-16, the file layer's UTF-8: names in any
// script cross whole, and the extension compares in the locale's capitals.
TEST_F(Loaders, NamesAndExtensionsInAnyScriptCrossWhole) {
  const std::string folder = "C:\\R\xc3\xa9sultats \xe6\xb5\x8b\xe8\xaf\x95";
  fs_.files[folder] = {Entry("\xc5\x81ukasz.\xc3\xa9t\xc3\xa9", Day(1), Day(1), folder),
                       Entry("other.ete", Day(1), Day(1), folder)};
  const std::wstring wide = L"C:\\R\u00e9sultats \u6d4b\u8bd5";
  EXPECT_EQ(lorvane::LoadFilesWithExt(seams_, wide, L"\u00c9T\u00c9"), LoadOutcome::kLoaded);
  EXPECT_EQ(names_, std::vector<std::wstring>{L"\u0141ukasz.\u00e9t\u00e9"});
  EXPECT_EQ(paths_, std::vector<std::wstring>{wide + L"\\\u0141ukasz.\u00e9t\u00e9"});
}

}  // namespace
