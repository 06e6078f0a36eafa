// The file and drive family as a script host sees it, on scratch folders whose
// files get their times from the test. Expected answers come from the
// platform's own calls, made here independently of the library.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "library_binding.h"
#include "scratch_folder.h"
#include "under_wine.h"
#include "unique_resource.h"

namespace {

using kit::testing::Exists;
using kit::testing::ScratchFolder;
using kit::testing::UnderWine;

// The file time of a local date and time, in the zone the system uses.
FILETIME FromLocal(WORD year, WORD month, WORD day, WORD hours, WORD minutes, WORD seconds) {
  SYSTEMTIME local = {};
  local.wYear = year;
  local.wMonth = month;
  local.wDay = day;
  local.wHour = hours;
  local.wMinute = minutes;
  local.wSecond = seconds;
  FILETIME localTime, utc;
  EXPECT_TRUE(::SystemTimeToFileTime(&local, &localTime));
  EXPECT_TRUE(::LocalFileTimeToFileTime(&localTime, &utc));
  return utc;
}

void SetTimes(const std::string& path, const FILETIME& creation, const FILETIME& lastWrite) {
  const kit::unique_file file(::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  ASSERT_TRUE(file) << path;
  ASSERT_TRUE(::SetFileTime(file.get(), &creation, nullptr, &lastWrite));
}

// What the platform itself reports as a file's creation time, as local time.
SYSTEMTIME CreationAsLocal(const std::string& path) {
  WIN32_FIND_DATAA entry;
  kit::unique_find find(::FindFirstFileA(path.c_str(), &entry));
  FILETIME local;
  SYSTEMTIME time = {};
  ::FileTimeToLocalFileTime(&entry.ftCreationTime, &local);
  ::FileTimeToSystemTime(&local, &time);
  return time;
}

std::string Text(const char* format, int a, int b, int c) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

class Files : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(drives_ && winDir_ && findfile_ && shortName_ && size_ && createdOn_ &&
                modifiedOn_ && createdAt_ && delete_);
    if (UnderWine()) {
      // The suite runs with a zone set through TZ, away from UTC, so a time
      // left in UTC shows.
      TIME_ZONE_INFORMATION zone;
      ::GetTimeZoneInformation(&zone);
      ASSERT_EQ(zone.Bias, -330) << "the test's time zone (TZ=IST-5:30) is not in effect";
    }
  }

  const kit::unique_hmodule library_{::LoadLibraryA("Tandrel.dll")};
  const decltype(&::get_drives) drives_ = TANDREL_BIND(library_.get(), get_drives);
  const decltype(&::get_win_dir) winDir_ = TANDREL_BIND(library_.get(), get_win_dir);
  const decltype(&::findfile) findfile_ = TANDREL_BIND(library_.get(), findfile);
  const decltype(&::get_83filename) shortName_ = TANDREL_BIND(library_.get(), get_83filename);
  const decltype(&::get_file_size) size_ = TANDREL_BIND(library_.get(), get_file_size);
  const decltype(&::get_file_creation_date) createdOn_ =
      TANDREL_BIND(library_.get(), get_file_creation_date);
  const decltype(&::get_file_modified_date) modifiedOn_ =
      TANDREL_BIND(library_.get(), get_file_modified_date);
  const decltype(&::get_file_creation_time) createdAt_ =
      TANDREL_BIND(library_.get(), get_file_creation_time);
  const decltype(&::del_multi_files) delete_ = TANDREL_BIND(library_.get(), del_multi_files);
  ScratchFolder scratch_;
};

TEST_F(Files, DrivesAndWindowsFolderAreThePlatforms) {
  std::string letters;
  const DWORD mask = ::GetLogicalDrives();
  for (int letter = 0; letter < 14; ++letter)
    if (mask & (1u << letter)) letters += std::string(1, static_cast<char>('A' + letter)) + ",";
  char out[64];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(drives_(out), static_cast<int>(letters.size() / 2));
  EXPECT_EQ(out, letters);
  if (UnderWine()) {
    EXPECT_STREQ(out, "C,") << "C: and Z:, and Z is past N";
  }

  char windows[MAX_PATH];
  ::GetWindowsDirectoryA(windows, MAX_PATH);
  std::memset(out, 'x', sizeof out);
  char folder[256];
  EXPECT_EQ(winDir_(folder), 0);
  EXPECT_STREQ(folder, windows);
}

TEST_F(Files, FindfileSearchesTheTreeBelowTheRoot) {
  scratch_.Folder("one");
  scratch_.Folder("one\\two");
  const std::string target = scratch_.File("one\\two\\needle.txt");
  char out[MAX_PATH] = "";
  EXPECT_EQ(findfile_(scratch_.AnsiPath().c_str(), "needle.txt", out), 0);
  EXPECT_EQ(_stricmp(out, target.c_str()), 0) << out;

  EXPECT_EQ(findfile_(scratch_.AnsiPath().c_str(), "haystack.txt", out), -10033);
  EXPECT_EQ(findfile_((scratch_ / "missing").c_str(), "needle.txt", out), -10033);
}

TEST_F(Files, ShortNameIsThePlatformsOrEmptyForAnEightDotThreeName) {
  scratch_.File("README.TXT");
  const std::string longName = scratch_.File("a rather long file name.html");
  char out[14];
  EXPECT_EQ(shortName_((scratch_ / "README.TXT").c_str(), out), 0);
  EXPECT_STREQ(out, "");

  char shortPath[MAX_PATH] = "";
  ASSERT_NE(::GetShortPathNameA(longName.c_str(), shortPath, MAX_PATH), 0u);
  const std::string expected = std::strrchr(shortPath, '\\') + 1;
  EXPECT_EQ(shortName_((scratch_ / "*.html").c_str(), out), 0);
  EXPECT_EQ(out, expected);
  EXPECT_NE(expected, "a rather long file name.html");

  std::strcpy(out, "stale");
  EXPECT_EQ(shortName_((scratch_ / "nothing.*").c_str(), out), 1);
  EXPECT_STREQ(out, "");
}

TEST_F(Files, SizeIsTheLow32BitsOrOneForNoMatch) {
  scratch_.File("twelve.bin", 12345);
  scratch_.File("one.bin", 1);
  EXPECT_EQ(size_((scratch_ / "twelve.bin").c_str()), 12345);
  EXPECT_EQ(size_((scratch_ / "one.bin").c_str()), 1);
  EXPECT_EQ(size_((scratch_ / "none.bin").c_str()), 1);  // cannot be told from one byte
  // Past 4 GB only the low 32 bits remain (a sparse file: no space is used).
  scratch_.File("large.bin", 0x100000005LL);
  EXPECT_EQ(size_((scratch_ / "large.bin").c_str()), 5);
  scratch_.File("negative.bin", 0xFFFFFFFFLL);
  EXPECT_EQ(size_((scratch_ / "negative.bin").c_str()), -1);
}

TEST_F(Files, DatesAndTimeAreLocalInFixedForms) {
  const std::string file = scratch_.File("dated.txt");
  // Wine keeps no creation time apart from the last write, so both match.
  const FILETIME created = FromLocal(2001, 3, 3, 9, 5, 9);
  SetTimes(file, created, created);
  char date[11], time[9];
  EXPECT_EQ(createdOn_(file.c_str(), date), 0);
  EXPECT_STREQ(date, "03/03/2001");
  EXPECT_EQ(createdAt_(file.c_str(), time), 0);
  EXPECT_STREQ(time, "9:05:08");  // two-second steps, no leading zero
  EXPECT_EQ(modifiedOn_(file.c_str(), date), 0);
  EXPECT_STREQ(date, "03/03/2001");

  // Ten to midnight local is already the next day in UTC in this zone.
  SetTimes(file, FromLocal(2002, 4, 22, 23, 50, 0), FromLocal(2002, 4, 22, 23, 50, 0));
  EXPECT_EQ(modifiedOn_((scratch_ / "dated.*").c_str(), date), 0);
  EXPECT_STREQ(date, "04/22/2002");
  EXPECT_EQ(createdAt_(file.c_str(), time), 0);
  EXPECT_STREQ(time, "23:50:00");
}

TEST_F(Files, CreationAndLastWriteAreToldApart) {
  const std::string file = scratch_.File("two-times.txt");
  SetTimes(file, FromLocal(2001, 3, 3, 8, 0, 0), FromLocal(2002, 4, 22, 10, 30, 0));
  const SYSTEMTIME creation = CreationAsLocal(file);
  if (!UnderWine()) {  // Wine reports the last write
    EXPECT_EQ(creation.wYear, 2001);
  }
  char date[11], time[9];
  EXPECT_EQ(createdOn_(file.c_str(), date), 0);
  EXPECT_EQ(date, Text("%.2d/%.2d/%d", creation.wMonth, creation.wDay, creation.wYear));
  EXPECT_EQ(createdAt_(file.c_str(), time), 0);
  EXPECT_EQ(time, Text("%d:%.2d:%.2d", creation.wHour, creation.wMinute, creation.wSecond & ~1));
  EXPECT_EQ(modifiedOn_(file.c_str(), date), 0);
  EXPECT_STREQ(date, "04/22/2002");
}

TEST_F(Files, TimesOutsideTheDosRangeOrNoMatchAnswerOne) {
  const std::string file = scratch_.File("old.txt");
  SetTimes(file, FromLocal(1979, 12, 31, 23, 59, 59), FromLocal(1979, 12, 31, 23, 59, 59));
  char date[64], time[64];
  EXPECT_EQ(createdOn_(file.c_str(), date), 1);
  EXPECT_EQ(modifiedOn_(file.c_str(), date), 1);
  EXPECT_EQ(createdAt_(file.c_str(), time), 1);

  SetTimes(file, FromLocal(1980, 1, 1, 0, 0, 0), FromLocal(1980, 1, 1, 0, 0, 0));
  EXPECT_EQ(modifiedOn_(file.c_str(), date), 0);
  EXPECT_STREQ(date, "01/01/1980");

  // Windows refuses DOS times after 2107; Wine does not.
  SetTimes(file, FromLocal(2108, 1, 1, 0, 0, 0), FromLocal(2108, 1, 1, 0, 0, 0));
  if (!UnderWine()) {
    EXPECT_EQ(modifiedOn_(file.c_str(), date), 1);
  }

  const std::string missing = scratch_ / "missing.txt";
  EXPECT_EQ(createdOn_(missing.c_str(), date), 1);
  EXPECT_EQ(modifiedOn_(missing.c_str(), date), 1);
  EXPECT_EQ(createdAt_(missing.c_str(), time), 1);
}

// The names a search for the pattern gives, in the platform's order.
std::vector<std::string> Matches(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  kit::unique_find find(::FindFirstFileA(pattern.c_str(), &entry));
  if (find) {
    do names.push_back(entry.cFileName);
    while (::FindNextFileA(find.get(), &entry));
  }
  return names;
}

// Runs with the scratch folder as the current directory, restored after.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& folder) {
    ::GetCurrentDirectoryA(MAX_PATH, previous_);
    ::SetCurrentDirectoryA(folder.c_str());
  }
  ~CurrentDirectory() { ::SetCurrentDirectoryA(previous_); }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

 private:
  char previous_[MAX_PATH] = {};
};

TEST_F(Files, DeleteMultiFilesDeletesMatchingFilesOnly) {
  scratch_.File("a.tmp");
  scratch_.File("b.tmp");
  scratch_.File("keep.txt");
  scratch_.Folder("folder.tmp");
  {
    const CurrentDirectory here(scratch_.AnsiPath());
    EXPECT_EQ(delete_("*.tmp"), 0);
  }
  EXPECT_FALSE(Exists(scratch_ / "a.tmp"));
  EXPECT_FALSE(Exists(scratch_ / "b.tmp"));
  EXPECT_TRUE(Exists(scratch_ / "keep.txt"));
  EXPECT_TRUE(Exists(scratch_ / "folder.tmp"));

  // Only folders match: nothing is deleted, and that is success.
  EXPECT_EQ(delete_((scratch_ / "folder.*").c_str()), 0);
  EXPECT_EQ(delete_((scratch_ / "*.none").c_str()), 2);
  // "*" also meets the entries for the folder itself and its parent.
  scratch_.File("x.dat");
  EXPECT_EQ(delete_((scratch_ / "*").c_str()), 0);
  EXPECT_TRUE(Exists(scratch_ / "folder.tmp"));
  EXPECT_FALSE(Exists(scratch_ / "keep.txt"));
  // A relative pattern with a folder part, and a single-character wildcard.
  scratch_.File("folder.tmp\\in1.log");
  scratch_.File("folder.tmp\\in22.log");
  {
    const CurrentDirectory here(scratch_.AnsiPath());
    EXPECT_EQ(delete_("folder.tmp\\in?.log"), 0);
  }
  EXPECT_FALSE(Exists(scratch_ / "folder.tmp\\in1.log"));
  EXPECT_TRUE(Exists(scratch_ / "folder.tmp\\in22.log"));
}

TEST_F(Files, DeleteMultiFilesPatternLengthLimit) {
  // 261 characters are refused before any search; 260 go on to the search.
  std::string pattern = scratch_.AnsiPath() + "\\";
  const std::string tooLong = pattern + std::string(261 - pattern.size(), 'q');
  const std::string longest = pattern + std::string(260 - pattern.size(), 'q');
  EXPECT_EQ(delete_(tooLong.c_str()), 1);
  EXPECT_EQ(delete_(longest.c_str()), 2);
}

TEST_F(Files, DeleteMultiFilesTellsFirstFromLaterFailure) {
  const std::string locked = scratch_.File("locked.tmp");
  ASSERT_TRUE(::SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(delete_((scratch_ / "locked.tmp").c_str()), 3);
  EXPECT_TRUE(Exists(locked));

  scratch_.File("free.tmp");
  const std::vector<std::string> order = Matches(scratch_ / "*.tmp");
  ASSERT_EQ(order.size(), 2u);
  const bool lockedFirst = order[0] == "locked.tmp";
  EXPECT_EQ(delete_((scratch_ / "*.tmp").c_str()), lockedFirst ? 3 : 4);
  EXPECT_TRUE(Exists(locked));
  // Files before the failure stay deleted; after it, untouched.
  EXPECT_EQ(Exists(scratch_ / "free.tmp"), lockedFirst);
}

TEST_F(Files, DeleteMultiFilesNeverCutsAPathThatDoesNotFit) {
  // A folder deep enough that a long entry name overflows 260 bytes while the
  // pattern itself still fits.
  std::string deep = "d";
  while ((scratch_ / deep).size() < 200) deep += "\\" + std::string(20, 'd');
  std::string made;
  for (size_t start = 0; start < deep.size();) {
    const size_t end = deep.find('\\', start);
    made = deep.substr(0, end);
    scratch_.Folder(made);
    start = end == std::string::npos ? deep.size() : end + 1;
  }
  const std::string folder = scratch_ / deep;
  const std::string longName = std::string(80, 'L') + ".tmp";
  ASSERT_GT(folder.size() + 1 + longName.size(), 259u);
  scratch_.File(deep + "\\" + longName);
  // What a path cut at 259 characters would name: it must survive.
  const std::string cut = (folder + "\\" + longName).substr(0, 259);
  scratch_.File(cut.substr(scratch_.AnsiPath().size() + 1));
  ASSERT_TRUE(Exists(cut));

  EXPECT_EQ(delete_((folder + "\\*.tmp").c_str()), 3);
  EXPECT_TRUE(Exists(folder + "\\" + longName));
  EXPECT_TRUE(Exists(cut));

  // A short name beside it is deleted when it comes first, and the run then
  // reports the long one as a later failure.
  scratch_.File(deep + "\\s.tmp");
  const std::vector<std::string> order = Matches(folder + "\\*.tmp");
  ASSERT_EQ(order.size(), 2u);
  EXPECT_EQ(delete_((folder + "\\*.tmp").c_str()), order[0] == "s.tmp" ? 4 : 3);
  EXPECT_TRUE(Exists(folder + "\\" + longName));
  EXPECT_TRUE(Exists(cut));
}

}  // namespace
