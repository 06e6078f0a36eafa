// The registry family as a script host sees it: Tandrel.dll loaded by name,
// each export bound by its name, working below a scratch key of the current
// user that is deleted before and after every test.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>

#include "library_binding.h"
#include "under_wine.h"
#include "unique_resource.h"

namespace {

using kit::testing::UnderWine;

constexpr int kUser = 1;

// A value's type and bytes as stored.
using Stored = std::pair<DWORD, std::string>;
Stored Text(const std::string& text) { return {REG_SZ, text + '\0'}; }
Stored Number(DWORD number) {
  return {REG_DWORD, std::string(reinterpret_cast<char*>(&number), 4)};
}

class Registry : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(create_ && get_ && delValue_ && delKey_ && enum_ && list_ && exists_);
    ::RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
    ASSERT_EQ(::RegCreateKeyA(HKEY_CURRENT_USER, key_.c_str(), scratch_.put()), ERROR_SUCCESS);
  }
  void TearDown() override {
    scratch_.reset();
    ::RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
  }

  std::string Path(const char* below) const { return key_ + "\\" + below; }
  void Put(const char* name, DWORD type, const std::string& bytes, const char* below = nullptr) {
    ASSERT_EQ(::RegSetKeyValueA(scratch_.get(), below, name, type, bytes.data(),
                                static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
  }
  void MakeKey(const char* below) {
    kit::unique_hkey key;
    ASSERT_EQ(::RegCreateKeyA(scratch_.get(), below, key.put()), ERROR_SUCCESS);
  }
  Stored Read(const char* name, const char* below = "") const {
    kit::unique_hkey key;
    char data[64];
    DWORD type = REG_NONE, size = sizeof data;
    if (::RegOpenKeyExA(scratch_.get(), below, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS ||
        ::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS)
      return {};
    return {type, std::string(data, size)};
  }
  // What get_reg_value writes over a buffer that held other text.
  std::string Get(const char* name, int expectedResult = ERROR_SUCCESS) {
    char out[300];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(get_(kUser, key_.c_str(), name, out), expectedResult) << name;
    EXPECT_EQ(out[256], 'x') << name;
    return std::string(out, strnlen(out, 256));
  }

  // Among the user's classes, so that Windows also shows it below
  // HKEY_CLASSES_ROOT.
  const std::string className_ = "TandrelRegistryTest-" + std::to_string(::GetCurrentProcessId()) +
                                 "-" + std::to_string(::GetTickCount());
  const std::string key_ = "Software\\Classes\\" + className_;
  kit::unique_hkey scratch_;
  const kit::unique_hmodule library_{::LoadLibraryA("Tandrel.dll")};
  const decltype(&::create_reg_value) create_ = TANDREL_BIND(library_.get(), create_reg_value);
  const decltype(&::get_reg_value) get_ = TANDREL_BIND(library_.get(), get_reg_value);
  const decltype(&::del_reg_value) delValue_ = TANDREL_BIND(library_.get(), del_reg_value);
  const decltype(&::del_reg_key) delKey_ = TANDREL_BIND(library_.get(), del_reg_key);
  const decltype(&::enum_reg_key) enum_ = TANDREL_BIND(library_.get(), enum_reg_key);
  const decltype(&::regenumsubkeys) list_ = TANDREL_BIND(library_.get(), regenumsubkeys);
  const decltype(&::reg_key_exists) exists_ = TANDREL_BIND(library_.get(), reg_key_exists);
};

TEST_F(Registry, CreateWritesTextWithTerminatorOrANumberReadAsAtolDoes) {
  const struct {
    const char *name, *text;
    int flag;
    Stored stored;
  } cases[] = {{"text", "12abc", 0, Text("12abc")},
               {"empty", "", 0, Text("")},  // Wine terminates any other text itself
               {"number", "12abc", 1, Number(12)},
               {"letters", "abc", 1, Number(0)},
               {"negative", " -7", -1, Number(static_cast<DWORD>(-7))}};
  for (const auto& c : cases) {
    EXPECT_EQ(create_(kUser, key_.c_str(), c.name, c.text, c.flag), 0) << c.name;
    EXPECT_EQ(Read(c.name), c.stored) << c.name;
  }
  EXPECT_EQ(create_(kUser, Path("a\\b\\c").c_str(), "v", "1", 0), 0);
  EXPECT_EQ(Read("v", "a\\b\\c"), Text("1"));
  // The platform refuses a lasting key below a volatile one.
  kit::unique_hkey volatileKey;
  ASSERT_EQ(::RegCreateKeyExA(scratch_.get(), "volatile", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, volatileKey.put(), nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(create_(kUser, Path("volatile\\lasting").c_str(), "v", "1", 0), 1);
  EXPECT_EQ(Read("v", "volatile"), Stored{});
}

TEST_F(Registry, GetWritesTextWholeDwordsAndTheFirstByteOfOtherTypes) {
  Put("text", REG_SZ, Text("words").second);
  Put("unterminated", REG_SZ, "abc");
  Put("dword", REG_DWORD, Number(300).second);
  Put("minus one", REG_DWORD, Number(0xFFFFFFFF).second);
  Put("empty dword", REG_DWORD, "");
  Put("binary", REG_BINARY, "\xC8\x01");
  Put("empty binary", REG_BINARY, "");
  Put("expand", REG_EXPAND_SZ, Text("%x%").second);
  Put("longest", REG_SZ, Text(std::string(255, 'a')).second);
  Put("too long", REG_SZ, Text(std::string(256, 'b')).second);
  Put("full", REG_SZ, std::string(256, 'c'));  // no room left for a terminator
  EXPECT_EQ(Get("text"), "words");
  EXPECT_EQ(Get("unterminated"), "abc");
  EXPECT_EQ(Get("dword"), "300");
  EXPECT_EQ(Get("minus one"), "-1");
  EXPECT_EQ(Get("empty dword"), "0");
  EXPECT_EQ(Get("binary"), "200");
  EXPECT_EQ(Get("empty binary"), "0");
  EXPECT_EQ(Get("expand"), "37");
  EXPECT_EQ(Get("longest"), std::string(255, 'a'));
  Get("too long", ERROR_MORE_DATA);
  // Windows reads it as stored, so the copy keeps 255 characters; Wine counts
  // a terminator of its own, which does not fit.
  if (UnderWine()) {
    Get("full", ERROR_MORE_DATA);
  } else {
    EXPECT_EQ(Get("full"), std::string(255, 'c'));
  }
}

TEST_F(Registry, DeletionsAndReadsReportThePlatformError) {
  Put("v", REG_SZ, "1");
  MakeKey("parent\\child");
  const std::string missing = Path("missing");
  char out[256];
  EXPECT_EQ(get_(kUser, key_.c_str(), "other", out), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(get_(kUser, missing.c_str(), "v", out), ERROR_INVALID_HANDLE);
  EXPECT_EQ(delValue_(kUser, missing.c_str(), "v"), ERROR_INVALID_HANDLE);
  EXPECT_EQ(delValue_(kUser, key_.c_str(), "v"), ERROR_SUCCESS);
  EXPECT_EQ(Read("v"), Stored{});
  EXPECT_EQ(delValue_(kUser, key_.c_str(), "v"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(delKey_(kUser, Path("parent").c_str()), ERROR_ACCESS_DENIED);  // has a subkey
  EXPECT_EQ(delKey_(kUser, Path("parent\\child").c_str()), ERROR_SUCCESS);
  EXPECT_EQ(delKey_(kUser, Path("parent\\child").c_str()), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, ListsSubkeysWithTheirSeparators) {
  const std::string longest(255, 'z');
  MakeKey("list\\a");
  MakeKey("list\\b");
  MakeKey(("list\\" + longest).c_str());
  Put("value", REG_SZ, "not a subkey", "list");
  Put("value", REG_SZ, "not a subkey", "none");
  const struct {
    std::string path;
    int count;
    std::string enumText, listText;
  } cases[] = {{Path("list"), 3, "a;b;" + longest + ";", "a,b," + longest},
               {Path("none"), 0, "", ""},
               {Path("missing"), ERROR_INVALID_HANDLE, "", ""}};
  for (const auto& c : cases) {
    char out[600] = "left over";
    EXPECT_EQ(enum_(kUser, c.path.c_str(), out), c.count) << c.path;
    EXPECT_EQ(out, c.enumText) << c.path;
    std::strcpy(out, "left over");
    EXPECT_EQ(list_(kUser, c.path.c_str(), out), 0) << c.path;
    EXPECT_EQ(out, c.listText) << c.path;
  }
}

TEST_F(Registry, KeyExistsMatchesValueNamesExactly) {
  const std::string longest(1023, 'n'), tooLong(1024, 'o');
  Put("a", REG_SZ, "1");
  Put("Bee", REG_DWORD, Number(1).second);
  Put(longest.c_str(), REG_SZ, "1");
  Put(tooLong.c_str(), REG_SZ, "1");
  const std::string missing = Path("missing");
  EXPECT_EQ(exists_(kUser, key_.c_str(), ""), 0);
  EXPECT_EQ(exists_(kUser, missing.c_str(), ""), -1);
  EXPECT_EQ(exists_(kUser, missing.c_str(), "a"), -1);
  EXPECT_EQ(exists_(kUser, key_.c_str(), "Bee"), 0);  // after a shorter name
  EXPECT_EQ(exists_(kUser, key_.c_str(), "bee"), -1);
  EXPECT_EQ(exists_(kUser, key_.c_str(), "B"), -1);
  EXPECT_EQ(exists_(kUser, key_.c_str(), longest.c_str()), 0);
  EXPECT_EQ(exists_(kUser, key_.c_str(), tooLong.c_str()), -1);  // does not fit 1,024
}

// Every index beyond 0 to 6 means HKEY_CLASSES_ROOT, as 0 does. Probed
// read-only with keys that only the classes root has: the machine's CLSID
// (full access needs an administrator, as the Wine user is) and the scratch
// key, which Windows (not Wine) also shows there among the user's classes.
TEST_F(Registry, RootIndexOutOfRangeMeansClassesRoot) {
  int visible = 0;
  for (const char* probe : {"CLSID", className_.c_str()}) {
    kit::unique_hkey key;
    const int expected =
        ::RegOpenKeyExA(HKEY_CLASSES_ROOT, probe, 0, KEY_ALL_ACCESS, key.put()) ? -1 : 0;
    visible += expected == 0;
    for (int root : {0, 7, -1, 100, INT_MIN, INT_MAX})
      EXPECT_EQ(exists_(root, probe, ""), expected) << probe << " at root " << root;
    EXPECT_EQ(exists_(kUser, probe, ""), -1) << probe;
  }
  EXPECT_GT(visible, 0) << "nothing below HKEY_CLASSES_ROOT to probe";
}

}  // namespace
