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

#include "held_files.h"

namespace {

using filelayer::FolderEntry;
using filelayer::LocalDateTime;
using lorvane::LoadOutcome;

class FakeFileSystem final : public kit::testing::HeldFileSystem {
 public:
  std::map<std::wstring, std::vector<FolderEntry>> files, folders;
  bool unlistable = false;

  bool FileExists(const filelayer::Path&) const override { return false; }
  bool FolderExists(const filelayer::Path& path) const override {
    return files.count(path.native()) || folders.count(path.native());
  }
  std::string ReadAll(const filelayer::Path&) const override { return {}; }
  void WriteAll(const filelayer::Path&, std::string_view) const override {}
  std::vector<FolderEntry> SubFolders(const filelayer::Path& folder,
                                      filelayer::EntryDates) const override {
    return Listing(folders, folder);
  }
  std::vector<FolderEntry> Files(const filelayer::Path& folder,
                                 filelayer::EntryDates) const override {
    return Listing(files, folder);
  }

 private:
  std::vector<FolderEntry> Listing(const std::map<std::wstring, std::vector<FolderEntry>>& from,
                                   const filelayer::Path& folder) const {
    if (unlistable) throw filelayer::FileError("Access is denied.", ERROR_ACCESS_DENIED);
    const auto found = from.find(folder.native());
    return found == from.end() ? std::vector<FolderEntry>{} : found->second;
  }
};

LocalDateTime Day(int day, int hour = 0) { return {2024, 3, day, hour, 0, 0}; }

FolderEntry Entry(const std::wstring& name, LocalDateTime created, LocalDateTime modified,
                  const std::wstring& folder = L"C:\\d") {
  return {name, folder + L"\\" + name, created, modified};
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
  fs_.files[L"C:\\d"] = {Entry(L"a.txt", Day(1), Day(1))};
  fs_.folders[L"C:\\d"] = {Entry(L"sub", Day(1), Day(1))};
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
  fs_.files[L"C:\\d"] = {Entry(L"a", Day(1), Day(1)), Entry(L"fails", Day(2), Day(2)),
                         Entry(L"c", Day(1), Day(1))};
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
  fs_.files[L"C:\\d"] = {Entry(L"created", Day(1), Day(2)), Entry(L"modified", Day(2), Day(1)),
                         Entry(L"both", Day(1), Day(1)), Entry(L"neither", Day(2), Day(2))};
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
  fs_.files[L"C:\\d"] = {Entry(L"f", Day(1), Day(1)), Entry(L"bad", {}, {})};
  fs_.folders[L"C:\\d"] = fs_.files[L"C:\\d"];
  for (const wchar_t* other : {L"01/03/2024", L"1/3/2024 ", L"2024-03-01", L""}) {
    EXPECT_EQ(lorvane::LoadFilesOfDate(seams_, L"C:\\d", other, true, true), LoadOutcome::kLoaded);
    EXPECT_EQ(lorvane::LoadFoldersOfDate(seams_, L"C:\\d", other), LoadOutcome::kLoaded);
  }
  EXPECT_TRUE(names_.empty());
  EXPECT_TRUE(told_.empty());
}

TEST_F(Loaders, FoldersOfDateLooksAtCreationOnly) {
  fs_.folders[L"C:\\d"] = {Entry(L"created", Day(1), Day(2)), Entry(L"modified", Day(2), Day(1))};
  EXPECT_EQ(lorvane::LoadFoldersOfDate(seams_, L"C:\\d", L"1/3/2024"), LoadOutcome::kLoaded);
  EXPECT_EQ(names_, std::vector<std::wstring>{L"created"});
  EXPECT_EQ(paths_, std::vector<std::wstring>{L"C:\\d\\created"}) << "box2 gets the full path";
}

// The script's texts reach the file layer, and its names and paths the
// lists, as they are: names in any script and an unpaired surrogate, which
// no conversion to UTF-8 keeps, cross whole, and the extension compares in
// the locale's capitals.
TEST_F(Loaders, NamesInAnyScriptAndUnpairedSurrogatesCrossWhole) {
  const std::wstring folder = std::wstring(L"C:\\R\u00e9sultats \u6d4b\u8bd5 ") + wchar_t(0xD800);
  const std::wstring lone = std::wstring(L"a") + wchar_t(0xDC00) + L".\u00e9t\u00e9";
  fs_.files[folder] = {Entry(L"\u0141ukasz.\u00e9t\u00e9", Day(1), Day(1), folder),
                       Entry(lone, Day(1), Day(1), folder),
                       Entry(L"other.ete", Day(1), Day(1), folder)};
  EXPECT_EQ(lorvane::LoadFilesWithExt(seams_, folder, L"\u00c9T\u00c9"), LoadOutcome::kLoaded);
  EXPECT_EQ(names_, (std::vector<std::wstring>{L"\u0141ukasz.\u00e9t\u00e9", lone}));
  EXPECT_EQ(paths_, (std::vector<std::wstring>{folder + L"\\\u0141ukasz.\u00e9t\u00e9",
                                               folder + L"\\" + lone}));
}

}  // namespace
