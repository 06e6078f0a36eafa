#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "settings_store.h"
#include "unique_resource.h"

namespace rowsift {
namespace {

// Works under a scratch application name, deleted before and after.
class RegistrySettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteScratchKey(); }
  void TearDown() override { DeleteScratchKey(); }
  void DeleteScratchKey() const {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\" + app_).c_str());
  }

  kit::unique_hkey SettingsKey() const {
    kit::unique_hkey key;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, (L"Software\\" + app_ + L"\\Settings").c_str(), 0, nullptr,
                      0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.put(), nullptr);
    return key;
  }

  const std::wstring app_ = L"RowsiftSettingsTest" + std::to_wstring(::GetCurrentProcessId());
  const std::unique_ptr<SettingsStore> store_ = MakeUserSettingsStore();
};

TEST_F(RegistrySettingsTest, MissingKeyOrValueReadsEmpty) {
  EXPECT_EQ(store_->Read(app_, L"Settings", L"InputFileName"), L"");
  store_->Write(app_, L"Settings", L"InputFileName", L"C:\\logs\\run.htm");
  EXPECT_EQ(store_->Read(app_, L"Settings", L"OutputFileName"), L"");
  EXPECT_EQ(store_->Read(app_, L"Other", L"InputFileName"), L"");
}

TEST_F(RegistrySettingsTest, TextsAreStringValuesUnderSoftwareAppSection) {
  store_->Write(app_, L"Settings", L"InputFileName", L"C:\\logs\\run.htm");

  wchar_t stored[64] = {};
  DWORD type = REG_NONE;
  DWORD size = sizeof stored;
  ASSERT_EQ(::RegQueryValueExW(SettingsKey().get(), L"InputFileName", nullptr, &type,
                               reinterpret_cast<BYTE*>(stored), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD{REG_SZ});
  EXPECT_EQ(std::wstring(stored, size / sizeof(wchar_t)),
            std::wstring(L"C:\\logs\\run.htm") + L'\0');
}

TEST_F(RegistrySettingsTest, EmptyLongAndUnicodeTextsRoundTrip) {
  store_->Write(app_, L"Settings", L"FilterOn", L"Login");
  store_->Write(app_, L"Settings", L"FilterOn", L"");
  EXPECT_EQ(store_->Read(app_, L"Settings", L"FilterOn"), L"");
  EXPECT_EQ(
      ::RegQueryValueExW(SettingsKey().get(), L"FilterOn", nullptr, nullptr, nullptr, nullptr),
      ERROR_SUCCESS)
      << "an empty text is kept, not removed";

  const std::wstring longPath = L"C:\\" + std::wstring(5000, L'x') + L".htm";
  store_->Write(app_, L"Settings", L"InputFileName", longPath);
  EXPECT_EQ(store_->Read(app_, L"Settings", L"InputFileName"), longPath);

  const std::wstring scripts = L"C:\\R\u00e9sultats\\\u03a9mega\\\u65e5\u5fd7 \U0001F600.htm";
  store_->Write(app_, L"Settings", L"InputFileName", scripts);
  EXPECT_EQ(store_->Read(app_, L"Settings", L"InputFileName"), scripts);
}

TEST_F(RegistrySettingsTest, TextsAnEarlierVersionStoredInTheCodePageReadAsTheSameTexts) {
  const std::wstring text = L"R\u00e9sultats \u00bb \"Login\" ";
  char spelt[64] = {};
  BOOL lossy = FALSE;
  ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, spelt, sizeof spelt, nullptr, &lossy);
  if (lossy) GTEST_SKIP() << "the system code page cannot spell the text";
  // As the earlier version wrote them: ANSI functions, code-page bytes.
  ASSERT_EQ(::RegSetValueExA(SettingsKey().get(), "FilterOn", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(spelt),
                             static_cast<DWORD>(std::strlen(spelt) + 1)),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExA(SettingsKey().get(), "InputFileName", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>("Login"), 5),
            ERROR_SUCCESS);
  EXPECT_EQ(store_->Read(app_, L"Settings", L"FilterOn"), text);
  EXPECT_EQ(store_->Read(app_, L"Settings", L"InputFileName"), L"Login")
      << "stored without its null";
}

}  // namespace
}  // namespace rowsift
