#include "file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <tuple>
#include <utility>

#include "held_files.h"

#ifdef _WIN32
#include <windows.h>

#include "testing/under_wine.h"
#include "unique_resource.h"
#include "win32_listing.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace filelayer {

static void PrintTo(const LocalDateTime& t, std::ostream* out) {
  *out << t.year << '-' << t.month << '-' << t.day << ' ' << t.hour << ':' << t.minute << ':'
       << t.second;
}

namespace {

namespace fs = std::filesystem;
using kit::testing::ReadAll;
using kit::testing::WriteAll;

#ifdef _WIN32
constexpr unsigned long kAccessDenied = ERROR_ACCESS_DENIED;
constexpr unsigned long kFileNotFound = ERROR_FILE_NOT_FOUND;
const std::string kInvalidName = "bad|name.txt";
#else
constexpr unsigned long kAccessDenied = EACCES;
constexpr unsigned long kFileNotFound = ENOENT;
const std::string kInvalidName(300, 'n');  // longer than a file name may be
#endif

const LocalDateTime kSummer{2021, 7, 15, 10, 20, 30};
const LocalDateTime kWinter{2019, 12, 3, 23, 59, 58};

// Every kind of byte a text or data file may hold.
std::string AwkwardBytes() {
  std::string bytes = "first,line\r\nsecond\nthird\r";
  for (int value = 0; value < 256; ++value) bytes += static_cast<char>(value);
  return bytes + '\0' + "end";
}

template <typename Action>
std::optional<FileError> ErrorFrom(Action action) {
  try {
    action();
  } catch (const FileError& error) {
    return error;
  }
  ADD_FAILURE() << "no FileError was thrown";
  return std::nullopt;
}

// Gives a file or folder `when` (local time) as its last-write time and, where
// the platform lets it be set, as its creation time.
void SetTimes(const std::string& path, const LocalDateTime& when) {
#ifdef _WIN32
  SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(when.year);
  local.wMonth = static_cast<WORD>(when.month);
  local.wDay = static_cast<WORD>(when.day);
  local.wHour = static_cast<WORD>(when.hour);
  local.wMinute = static_cast<WORD>(when.minute);
  local.wSecond = static_cast<WORD>(when.second);
  SYSTEMTIME utc;
  FILETIME time;
  ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc));
  ASSERT_TRUE(SystemTimeToFileTime(&utc, &time));
  const kit::unique_file item(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  ASSERT_TRUE(item);
  ASSERT_TRUE(SetFileTime(item.get(), &time, nullptr, &time));
#else
  std::tm local{};
  local.tm_year = when.year - 1900;
  local.tm_mon = when.month - 1;
  local.tm_mday = when.day;
  local.tm_hour = when.hour;
  local.tm_min = when.minute;
  local.tm_sec = when.second;
  local.tm_isdst = -1;
  const std::time_t time = std::mktime(&local);
  const timespec times[2] = {{time, 0}, {time, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
#endif
}

// A listed entry named `name` at `path`, whose times SetTimes gave `when`.
void ExpectEntry(const FolderEntry& entry, const std::string& name, const std::string& path,
                 const LocalDateTime& when) {
  EXPECT_EQ(Path(entry.name), Path(name));
  EXPECT_EQ(Path(entry.path), Path(path));
  EXPECT_EQ(entry.dateLastModified, when) << Path(entry.name);
#ifdef _WIN32
  EXPECT_EQ(entry.dateCreated, when) << Path(entry.name);
#else
  // Linux cannot set a creation time: it reads as the moment the file was
  // made where the file system keeps one, else as the last-write time.
  const std::time_t recently = std::time(nullptr) - 600;
  std::tm local{};
  localtime_r(&recently, &local);
  const auto asTuple = [](const LocalDateTime& t) {
    return std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second);
  };
  const LocalDateTime lower{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                            local.tm_hour,        local.tm_min,     local.tm_sec};
  EXPECT_TRUE(entry.dateCreated == when || asTuple(entry.dateCreated) >= asTuple(lower))
      << Path(entry.name);
#endif
}

std::vector<FolderEntry> SortedByName(std::vector<FolderEntry> entries) {
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
}

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string testName = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    folder_ = fs::temp_directory_path() /
              ("filelayer-" + testName + "-" + std::to_string(std::random_device{}()));
    ASSERT_TRUE(fs::create_directory(folder_));
  }

  void TearDown() override {
    std::error_code ignored;
    // A read-only file would keep the folder from being removed on Windows.
    for (const auto& entry : fs::recursive_directory_iterator(folder_, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(folder_, ignored);
  }

  std::string Folder() const { return folder_.string(); }
  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

  void MakeFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(PathOf(name), std::ios::binary) << bytes;
  }
  void MakeFolder(const std::string& name) const { fs::create_directory(folder_ / name); }
  void MakeReadOnly(const std::string& name) const {
    fs::permissions(folder_ / name,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  }

  std::string ContentsOf(const std::string& name) const {
    std::ifstream in(PathOf(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // Everything in the scratch folder, so stray temporary files show up.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::unique_ptr<FileSystem> files_ = MakePlatformFileSystem();
  fs::path folder_;
};

TEST_F(FileSystemTest, TellsFilesFromFolders) {
  MakeFile("report.txt", "x");
  MakeFolder("sub");
  EXPECT_TRUE(files_->FileExists(PathOf("report.txt")));
  EXPECT_FALSE(files_->FolderExists(PathOf("report.txt")));
  EXPECT_TRUE(files_->FolderExists(PathOf("sub")));
  EXPECT_FALSE(files_->FileExists(PathOf("sub")));
  for (const std::string& absent : {PathOf("missing.txt"), std::string()}) {
    EXPECT_FALSE(files_->FileExists(absent)) << absent;
    EXPECT_FALSE(files_->FolderExists(absent)) << absent;
  }
}

TEST_F(FileSystemTest, InputGivesEveryByteUnchanged) {
  MakeFile("mixed.bin", AwkwardBytes());
  MakeFile("empty.txt", "");
  EXPECT_EQ(ReadAll(*files_, PathOf("mixed.bin")), AwkwardBytes());
  EXPECT_EQ(ReadAll(*files_, PathOf("empty.txt")), "");
}

TEST_F(FileSystemTest, OpeningWhatIsNoFileThrowsWithADescription) {
  const auto missing = ErrorFrom([&] { std::ignore = ReadAll(*files_, PathOf("missing.txt")); });
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->code(), kFileNotFound);
  const std::string description = missing->what();
  ASSERT_FALSE(description.empty());
  EXPECT_EQ(description.find_last_not_of(" \r\n"), description.size() - 1) << description;

  EXPECT_THROW(std::ignore = ReadAll(*files_, Folder()), FileError);
  EXPECT_THROW(std::ignore = ReadAll(*files_, ""), FileError);
}

TEST_F(FileSystemTest, ReplacementsCreateAndReplaceFilesExactly) {
  WriteAll(*files_, PathOf("report.txt"), AwkwardBytes());
  EXPECT_EQ(ContentsOf("report.txt"), AwkwardBytes());

  WriteAll(*files_, PathOf("report.txt"), "short");
  EXPECT_EQ(ContentsOf("report.txt"), "short");

  // A start known only at the end goes over the bytes kept for it.
  const std::unique_ptr<FileReplacement> replacement = files_->BeginReplace(PathOf("report.txt"));
  replacement->Append("....body");
  replacement->WriteOver(0, "head");
  replacement->Append(" end");
  replacement->Commit();
  EXPECT_EQ(ContentsOf("report.txt"), "headbody end");

  WriteAll(*files_, PathOf("report.txt"), "");
  EXPECT_EQ(fs::file_size(folder_ / "report.txt"), 0u);
  EXPECT_EQ(Names(), std::vector<std::string>{"report.txt"});
}

TEST_F(FileSystemTest, LargeFilesGoThroughInSeveralPiecesIntact) {
  // Just over one 64 MiB piece; the pattern does not repeat at piece boundaries.
  std::string bytes((64u << 20) + 3, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251);
  WriteAll(*files_, PathOf("large.bin"), bytes);
  EXPECT_EQ(fs::file_size(folder_ / "large.bin"), bytes.size());
  EXPECT_TRUE(ReadAll(*files_, PathOf("large.bin")) == bytes);  // no EXPECT_EQ: 64 MiB diff
}

TEST_F(FileSystemTest, AReplacementCanReplaceTheFileJustRead) {
  MakeFile("data.csv", "a,b\r\n");
  WriteAll(*files_, PathOf("data.csv"), ReadAll(*files_, PathOf("data.csv")) + "c,d\r\n");
  EXPECT_EQ(ContentsOf("data.csv"), "a,b\r\nc,d\r\n");
  EXPECT_EQ(Names(), std::vector<std::string>{"data.csv"});
}

// Both ways a file comes in: mapped, and read into a buffer (a network share,
// a removable drive).
struct InputWay {
  const char* name;
  bool mapped;
};
constexpr InputWay kMapped{"mapped", true};
constexpr InputWay kRead{"read", false};
constexpr InputWay kInputWays[] = {kMapped, kRead};

InputMapping Way(const InputWay& way, InputMapping mapping = {}) {
  mapping.mapLocalFiles = way.mapped;
  return mapping;
}

TEST_F(FileSystemTest, OpenInputGivesEveryByteOrThrows) {
  MakeFile("mixed.bin", AwkwardBytes());
  MakeFile("empty.txt", "");
  for (const InputWay& way : kInputWays) {
    SCOPED_TRACE(way.name);
    const auto files = MakePlatformFileSystem(Way(way));
    const auto mixed = files->OpenInput(PathOf("mixed.bin"));
    EXPECT_EQ(mixed->size(), AwkwardBytes().size());
    const std::string_view whole = mixed->View(0, 1);
    EXPECT_EQ(whole, AwkwardBytes()) << "a file that fits comes whole";
#ifdef _WIN32
    // A file on the local disk is mapped, unless every file is to be read.
    MEMORY_BASIC_INFORMATION memory{};
    ASSERT_NE(VirtualQuery(whole.data(), &memory, sizeof memory), 0u);
    EXPECT_EQ(memory.Type, way.mapped ? DWORD{MEM_MAPPED} : DWORD{MEM_PRIVATE});
#endif
    EXPECT_EQ(mixed->View(1, 1), AwkwardBytes().substr(1));
    EXPECT_EQ(files->OpenInput(PathOf("empty.txt"))->View(0, 1), "");
    const auto missing = ErrorFrom([&] { std::ignore = files->OpenInput(PathOf("missing.txt")); });
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->code(), kFileNotFound);
    EXPECT_THROW(std::ignore = files->OpenInput(Folder()), FileError);
  }
}

TEST_F(FileSystemTest, AFileNotMappedWholeComesInWindowsOfTheSameBytes) {
  std::string bytes;
  for (int i = 0; i < 300000; ++i) bytes += static_cast<char>('a' + i % 23);
  MakeFile("large.bin", bytes);
  constexpr std::size_t kWindow = 1 << 16;  // the allocation granularity of Windows
  // Across windows, back, and as a reader that looks ahead for a row's end
  // and comes back for the row.
  const std::pair<std::size_t, std::size_t> requests[] = {
      {kWindow - 1, 2},   {2 * kWindow + 7, 100}, {1000, 200000},        {3, 5},
      {kWindow - 100, 5}, {kWindow + 2, 5},       {kWindow - 100, 2000}, {bytes.size() - 10, 50}};
  for (const InputWay& way : kInputWays) {
    SCOPED_TRACE(way.name);
    const auto input =
        MakePlatformFileSystem(Way(way, {0, kWindow}))->OpenInput(PathOf("large.bin"));
    EXPECT_EQ(input->size(), bytes.size());
    EXPECT_EQ(input->View(0, 1).size(), kWindow) << "a window, not the whole file";
    for (const auto& [offset, length] : requests) {
      SCOPED_TRACE(std::to_string(offset) + "+" + std::to_string(length));
      const std::string_view view = input->View(offset, length);
      ASSERT_GE(view.size(), std::min(length, bytes.size() - offset));
      EXPECT_TRUE(view == std::string_view(bytes).substr(offset, view.size()));
    }
    EXPECT_EQ(input->View(bytes.size(), 1), "");
  }
}

TEST_F(FileSystemTest, AReadFileThatShrinksFailsRatherThanEnds) {
  // The log stays open to writers; a mapped one cannot be cut short, a read one can.
  MakeFile("log.htm", std::string(300000, 'x'));
  const auto input = MakePlatformFileSystem(Way(kRead, {0, 1 << 16}))->OpenInput(PathOf("log.htm"));
  EXPECT_EQ(input->View(0, 1).size(), 1u << 16);
  fs::resize_file(folder_ / "log.htm", 100000);
  EXPECT_EQ(input->View(1000, 1).size(), (1u << 16) - 1000) << "what was read stays";
  EXPECT_THROW(std::ignore = input->View(200000, 1), FileError);
}

TEST_F(FileSystemTest, FilesMappedWholeTogetherStayWithinTheBudget) {
  MakeFile("a.htm", std::string(300000, 'a'));
  MakeFile("b.htm", std::string(300000, 'b'));
  const auto files = MakePlatformFileSystem({UINT64_MAX, 1 << 16, true, 500000});
  auto first = files->OpenInput(PathOf("a.htm"));
  const auto second = files->OpenInput(PathOf("b.htm"));
  EXPECT_EQ(first->View(0, 1).size(), 300000u) << "whole";
  EXPECT_EQ(second->View(0, 1).size(), 1u << 16) << "in windows: the budget is spent";
  EXPECT_EQ(second->View(299990, 1), std::string(10, 'b'));
  first.reset();
  EXPECT_EQ(files->OpenInput(PathOf("a.htm"))->View(0, 1).size(), 300000u) << "given back";
}

#ifndef _WIN32
TEST_F(FileSystemTest, AMappedFileCutShortReadsAsZerosAndFailsTheCheckRatherThanTheProcess) {
  const long page = sysconf(_SC_PAGESIZE);
  MakeFile("log.htm", std::string(static_cast<std::size_t>(page) * 8, 'x'));
  const auto input = MakePlatformFileSystem()->OpenInput(PathOf("log.htm"));
  const std::string_view view = input->View(0, 1);
  ASSERT_EQ(view.size(), static_cast<std::size_t>(page) * 8) << "mapped whole";
  EXPECT_NO_THROW(input->CheckViewsRead());
  fs::resize_file(folder_ / "log.htm", static_cast<std::uintmax_t>(page));
  std::size_t letters = 0;
  for (const char c : view) letters += c == 'x';  // would raise SIGBUS past the first page
  EXPECT_EQ(letters, static_cast<std::size_t>(page));
  const auto error = ErrorFrom([&] { input->CheckViewsRead(); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), static_cast<unsigned long>(EIO));
}

// The scratch folder as a user who may not create files in it: root may, so
// as root the check runs in a child process given another user's rights.
template <typename Check>
void WithoutRightToCreateIn(const fs::path& folder, Check check) {
  if (geteuid() != 0) {
    fs::permissions(folder, fs::perms::owner_write, fs::perm_options::remove);
    check();
    fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
    return;
  }
  EXPECT_EXIT(
      {
        constexpr uid_t kNobody = 65534;
        if (setgid(kNobody) != 0 || setuid(kNobody) != 0) std::_Exit(2);
        check();
        std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(FileSystemTest, WithoutRightToCreateBesideTheTargetItIsWrittenInPlace) {
  MakeFile("report.htm", "old report");
  fs::permissions(folder_ / "report.htm", fs::perms::all, fs::perm_options::add);
  WithoutRightToCreateIn(folder_, [&] {
    WriteAll(*files_, PathOf("report.htm"), "new report");
    EXPECT_EQ(ContentsOf("report.htm"), "new report");
    const auto error = ErrorFrom([&] { WriteAll(*files_, PathOf("new.htm"), "x"); });
    ASSERT_TRUE(error);
    EXPECT_NE(std::string(error->what()).find("no right to create files in " + Folder()),
              std::string::npos)
        << error->what();
  });
  EXPECT_EQ(ContentsOf("report.htm"), "new report");
  EXPECT_EQ(Names(), std::vector<std::string>{"report.htm"});
}
#endif

TEST_F(FileSystemTest, ReplacementTakesEffectOnlyWhenCommitted) {
  MakeFile("report.htm", "old");
  {
    const auto replacement = files_->BeginReplace(PathOf("report.htm"));
    replacement->Append("new ");
    replacement->Append("");
    replacement->Append("content");
    EXPECT_EQ(ContentsOf("report.htm"), "old");
    replacement->Commit();
  }
  EXPECT_EQ(ContentsOf("report.htm"), "new content");
  {
    // Dropped half-way, as when filtering fails: nothing changes, nothing is left.
    const auto abandoned = files_->BeginReplace(PathOf("report.htm"));
    abandoned->Append("partial");
  }
  EXPECT_EQ(ContentsOf("report.htm"), "new content");
  EXPECT_EQ(Names(), std::vector<std::string>{"report.htm"});
  EXPECT_THROW(std::ignore = files_->BeginReplace(PathOf("missing/x.htm")), FileError);
}

TEST_F(FileSystemTest, InputCanBeReplacedOnceReleased) {
  // Filtering a log in place: read through the open input, write beside it,
  // release the input, then put the new file in its place.
  MakeFile("log.htm", "<TR>1</TR><TR>2</TR>");
  auto input = files_->OpenInput(PathOf("log.htm"));
  const auto replacement = files_->BeginReplace(PathOf("log.htm"));
  replacement->Append(input->View(0, 10).substr(0, 10));
  input.reset();
  replacement->Commit();
  EXPECT_EQ(ContentsOf("log.htm"), "<TR>1</TR>");
  EXPECT_EQ(Names(), std::vector<std::string>{"log.htm"});
}

TEST_F(FileSystemTest, ReplacementsLeaveReadOnlyFilesAndFoldersUntouched) {
  MakeFile("locked.txt", "keep me");
  MakeReadOnly("locked.txt");
  MakeFolder("sub");
  for (const std::string& target : {PathOf("locked.txt"), PathOf("sub"), PathOf("sub") + "/"}) {
    const auto error = ErrorFrom([&] { WriteAll(*files_, target, "new"); });
    ASSERT_TRUE(error) << target;
    EXPECT_EQ(error->code(), kAccessDenied) << target;
  }
  EXPECT_EQ(ContentsOf("locked.txt"), "keep me");
  EXPECT_TRUE(fs::is_directory(folder_ / "sub"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"locked.txt", "sub"}));
}

TEST_F(FileSystemTest, AReplacementOfAnImpossiblePathCreatesNothing) {
  for (const std::string& target : {std::string(), PathOf("missing/x.txt"), PathOf(kInvalidName)}) {
    EXPECT_THROW(WriteAll(*files_, target, "data"), FileError) << target;
  }
  EXPECT_TRUE(Names().empty());
}

#ifdef _WIN32
TEST_F(FileSystemTest, InputSharesWithReadersButNotWithAnExclusiveHolder) {
  MakeFile("held.txt", "original");
  const auto hold = [&](DWORD share_mode) {
    return kit::unique_file(CreateFileA(PathOf("held.txt").c_str(), GENERIC_READ, share_mode,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
  };
  {
    const kit::unique_file reader = hold(FILE_SHARE_READ);
    ASSERT_TRUE(reader);
    EXPECT_EQ(ReadAll(*files_, PathOf("held.txt")), "original");
  }

  kit::unique_file exclusive = hold(0);
  ASSERT_TRUE(exclusive);
  const auto error = ErrorFrom([&] { ReadAll(*files_, PathOf("held.txt")); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
  // Fails only at the final replace, after the temporary file was written.
  EXPECT_THROW(WriteAll(*files_, PathOf("held.txt"), "new"), FileError);
  exclusive.reset();
  EXPECT_EQ(ContentsOf("held.txt"), "original");
  EXPECT_EQ(Names(), std::vector<std::string>{"held.txt"});
}

TEST_F(FileSystemTest, ReplacementsReachAFolderTooDeepForTheSystemsTemporaryNames) {
  // The output's path stays within MAX_PATH; a temporary name beside it does not.
  const std::string deep(250 - Folder().size() - 1, 'd');
  ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + (folder_ / deep).wstring()).c_str(), nullptr));
  const std::string output = deep + "\\r.htm";
  WriteAll(*files_, PathOf(output), "first");
  WriteAll(*files_, PathOf(output), "second");
  EXPECT_EQ(ContentsOf(output), "second");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / deep), fs::directory_iterator()), 1);
}

TEST_F(FileSystemTest, AReplacedFileKeepsWhatItIsBeyondItsBytes) {
  const std::string report = PathOf("report.htm");
  MakeFile("report.htm", "old");
  const bool underWine = kit::testing::UnderWine();
  if (!underWine) {
    std::ofstream(report + ":notes", std::ios::binary) << "reviewed";
    ASSERT_NO_FATAL_FAILURE(SetTimes(report, kWinter));
  }
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  ASSERT_TRUE(SetFileAttributesA(report.c_str(), kKept));

  WriteAll(*files_, report, "new");
  EXPECT_EQ(ContentsOf("report.htm"), "new");
  EXPECT_EQ(Names(), std::vector<std::string>{"report.htm"}) << "no temporary or backup file";
  if (underWine) {
    GTEST_SKIP() << "Wine's ReplaceFileW merges nothing of the replaced file, and Wine keeps no "
                    "creation time of its own";
  }
  EXPECT_EQ(GetFileAttributesA(report.c_str()) & kKept, kKept);
  EXPECT_EQ(ContentsOf("report.htm:notes"), "reviewed");
  const auto entries = files_->Files(Folder(), EntryDates::kRead);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].dateCreated, kWinter);
  EXPECT_NE(entries[0].dateLastModified, kWinter);
}
#else
TEST_F(FileSystemTest, WrittenFilesGetTheModeUsersExpect) {
  const mode_t umaskBits = umask(0);
  umask(umaskBits);
  MakeFile("shared.txt", "old");
  fs::permissions(folder_ / "shared.txt", fs::perms(0640));
  WriteAll(*files_, PathOf("shared.txt"), "new");
  WriteAll(*files_, PathOf("fresh.txt"), "new");
  EXPECT_EQ(static_cast<mode_t>(fs::status(folder_ / "shared.txt").permissions()), 0640u);
  EXPECT_EQ(static_cast<mode_t>(fs::status(folder_ / "fresh.txt").permissions()),
            0666u & ~umaskBits);
}
#endif

TEST_F(FileSystemTest, ListingsGiveDirectEntriesWithFullPathsAndLocalTimes) {
  MakeFolder("alpha");
  MakeFolder("alpha/inner");
  MakeFile("alpha/nested.txt", "0");
  MakeFile("a.csv", "1");
  MakeFile("b.txt", "2");
  ASSERT_NO_FATAL_FAILURE(SetTimes(PathOf("alpha"), kSummer));
  ASSERT_NO_FATAL_FAILURE(SetTimes(PathOf("a.csv"), kSummer));
  ASSERT_NO_FATAL_FAILURE(SetTimes(PathOf("b.txt"), kWinter));

  const char nativeSeparator = static_cast<char>(fs::path::preferred_separator);
  for (const std::string& folder : {Folder(), Folder() + '/', Folder() + nativeSeparator}) {
    SCOPED_TRACE(folder);
    const auto folders = files_->SubFolders(folder, EntryDates::kRead);
    ASSERT_EQ(folders.size(), 1u);
    ExpectEntry(folders[0], "alpha", PathOf("alpha"), kSummer);

    const auto listed = SortedByName(files_->Files(folder, EntryDates::kRead));
    ASSERT_EQ(listed.size(), 2u);
    ExpectEntry(listed[0], "a.csv", PathOf("a.csv"), kSummer);
    ExpectEntry(listed[1], "b.txt", PathOf("b.txt"), kWinter);
  }
}

TEST_F(FileSystemTest, ListingGivesNothingForAnEmptyFolderAndThrowsForNoFolder) {
  EXPECT_TRUE(files_->Files(Folder(), EntryDates::kRead).empty());
  EXPECT_TRUE(files_->SubFolders(Folder(), EntryDates::kRead).empty());
  MakeFile("file.txt", "x");
  for (const std::string& absent : {PathOf("missing"), PathOf("file.txt"), std::string()}) {
    EXPECT_THROW(std::ignore = files_->Files(absent, EntryDates::kRead), FileError) << absent;
    EXPECT_THROW(std::ignore = files_->SubFolders(absent, EntryDates::kRead), FileError) << absent;
  }
}

TEST_F(FileSystemTest, PathsGoInAndNamesComeBackUnconvertedInAnyScript) {
  const fs::path folder = folder_ / u8"R\u00e9sultats \u03a9mega \u6d4b\u8bd5";
  const fs::path log = folder / u8"\u65e5\u5fd7.htm";
  const fs::path written = folder / u8"\u00c4rger.htm";
  const fs::path user = folder / u8"\u0141ukasz";
  ASSERT_TRUE(fs::create_directory(folder));
  ASSERT_TRUE(fs::create_directory(user));
  std::ofstream(log, std::ios::binary) << "log";

  EXPECT_TRUE(files_->FolderExists(folder));
  EXPECT_TRUE(files_->FileExists(log));
  EXPECT_EQ(ReadAll(*files_, log), "log");
  WriteAll(*files_, written, "written");
  EXPECT_EQ(fs::file_size(written), 7u);

  const auto listed = SortedByName(files_->Files(folder, EntryDates::kLeftOut));
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].name, written.filename().native());
  EXPECT_EQ(listed[0].path, written.native());
  EXPECT_EQ(listed[1].name, log.filename().native());
  const auto folders = files_->SubFolders(folder, EntryDates::kLeftOut);
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_EQ(folders[0].path, user.native());
}

#ifdef _WIN32
// Windows lets a name hold an unpaired surrogate, which no UTF-8 spells: the
// listing keeps it as found, so the path it gives reaches the file. Wine
// cannot make such a name: the listing's own step is given one as
// FindNextFileW would give it, and the whole way is taken where the system
// can make the file.
TEST(ListedEntryTest, KeepsANameWithAnUnpairedSurrogateAsFound) {
  const std::wstring name = std::wstring(L"a") + wchar_t(0xD800) + L"b.txt";
  WIN32_FIND_DATAW found{};
  name.copy(found.cFileName, name.size());
  const FolderEntry entry = ListedEntry(L"C:\\logs\\", found, EntryDates::kLeftOut);
  EXPECT_EQ(entry.name, name);
  EXPECT_EQ(entry.path, L"C:\\logs\\" + name);
}

TEST_F(FileSystemTest, ANameWithAnUnpairedSurrogateIsListedAndReached) {
  const std::wstring name = std::wstring(L"a") + wchar_t(0xD800) + L"b.txt";
  kit::unique_file made(CreateFileW((folder_ / name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!made) GTEST_SKIP() << "this system cannot make the name (Wine cannot)";
  made.reset();
  const auto listed = files_->Files(folder_, EntryDates::kLeftOut);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].name, name);
  EXPECT_TRUE(files_->FileExists(listed[0].path));
  EXPECT_EQ(ReadAll(*files_, listed[0].path), "");
}
#endif

// The extension of a path written in ASCII, as ASCII.
std::string ExtensionOf(std::string_view path) {
  return Utf8FromPath(GetExtensionName(PathFromUtf8(path).native()));
}

TEST_F(FileSystemTest, WildcardsMatchFilesInNameOrderOnWindowsOnly) {
  for (const char* name : {"run1.htm", "Run2.htm", "run10.htm", "notes.txt"}) MakeFile(name, "x");
  MakeFolder("runs.htm");
  const std::string pattern = PathOf("run*.htm");
#ifdef _WIN32
  EXPECT_EQ(
      files_->ExpandWildcards(pattern),
      (std::vector<std::string>{PathOf("run1.htm"), PathOf("run10.htm"), PathOf("Run2.htm")}));
#else
  EXPECT_EQ(files_->ExpandWildcards(pattern), std::vector<std::string>{pattern})
      << "the shell expands them";
#endif
  for (const std::string& kept : {PathOf("none*.htm"), PathOf("run1.htm")})
    EXPECT_EQ(files_->ExpandWildcards(kept), std::vector<std::string>{kept});
}

TEST(GetExtensionNameTest, TakesTheTextAfterTheLastDotOfTheLastComponent) {
  const struct {
    std::string_view path, expected;
  } cases[] = {
      {"report.csv", "csv"},
      {"C:\\data\\report.final.csv", "csv"},
      {"/home/user/archive.tar.gz", "gz"},
      {"\\\\server\\share.x\\settings.ini", "ini"},
      {"noextension", ""},
      {"", ""},
      {"file.", ""},
      {".profile", "profile"},
      {"a.b\\c", ""},
      {"a.b/c", ""},
      {"C:\\dir.x\\", "x"},
      {"dir.x//", "x"},
      {"C:file.txt", "txt"},
      {"C:", ""},
      {"C:\\", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtensionOf(c.path), c.expected) << '"' << c.path << '"';
  }
}

// Bytes of a UTF-8 literal, whatever the compiler's own character set.
std::string U8(std::u8string_view text) { return {text.begin(), text.end()}; }

TEST(EqualIgnoringCaseTest, EveryLetterInAnyScriptButNoOtherSpelling) {
  const std::pair<std::string, std::string> same[] = {
      {"C:\\Logs\\Run.HTM", "c:\\logs\\run.htm"},
      {U8(u8"C:\\\u00c4rger.htm"), U8(u8"C:\\\u00e4rger.htm")},
      {U8(u8"\u03a9MEGA \u0394"), U8(u8"\u03c9mega \u03b4")},
      {U8(u8"\u0416\u0423\u0420\u041d\u0410\u041b"), U8(u8"\u0436\u0443\u0440\u043d\u0430\u043b")},
      {U8(u8"\uff21\U00010400"), U8(u8"\uff41\U00010428")},  // full width; four UTF-8 bytes
      {U8(u8"\u65e5\u5fd7.htm"), U8(u8"\u65e5\u5fd7.HTM")},
      {"", ""},
      {"\xC3(", "\xC3("},
  };
  for (const auto& [a, b] : same) {
    EXPECT_TRUE(EqualIgnoringCase(PathFromUtf8(a), PathFromUtf8(b))) << a << " | " << b;
  }

  const std::pair<std::string, std::string> different[] = {
      {"C:\\logs\\run.htm", "C:\\logs\\.\\run.htm"},
      {"C:\\logs\\run.htm", "C:/logs/run.htm"},
      {U8(u8"r\u00e9sum\u00e9.htm"), "resume.htm"},
      {"run.htm", "run.htm "},
#ifndef _WIN32
      {"\xC4rger", "\xE4rger"},  // not UTF-8: the bytes themselves
#endif
  };
  for (const auto& [a, b] : different) {
    EXPECT_FALSE(EqualIgnoringCase(PathFromUtf8(a), PathFromUtf8(b))) << a << " | " << b;
  }
#ifdef _WIN32
  const std::wstring lone = std::wstring(L"x") + wchar_t(0xDC00);
  EXPECT_TRUE(EqualIgnoringCase(Path(lone), Path(L"X" + lone.substr(1))));
  EXPECT_FALSE(EqualIgnoringCase(Path(lone), Path(L"x\uFFFD")));
#endif
}

}  // namespace
}  // namespace filelayer
