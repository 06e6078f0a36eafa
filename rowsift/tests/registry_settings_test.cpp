#include <gtest/gtest.h>
#include <windows.h>

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
    ::RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\" + app_).c_str());
  }

  kit::unique_hkey SettingsKey() const {
    kit::unique_hkey key;
    ::RegOpenKeyExA(HKEY_CURRENT_USER, ("Software\\" + app_ + "\\Settings").c_str(), 0,
                    KEY_QUERY_VALUE | KEY_SET_VALUE, key.put());
    return key;
  }

  const std::string app_ = "RowsiftSettingsTest" + std::to_string(::GetCurrentProcessId());
  const std::unique_ptr<SettingsStore> store_ = MakeUserSettingsStore();
};

TEST_F(RegistrySettingsTest, MissingKeyOrValueReadsEmpty) {
  EXPECT_EQ(store_->Read(app_, "Settings", "InputFileName"), "");
  store_->Write(app_, "Settings", "InputFileName", "C:\\logs\\run.htm");
  EXPECT_EQ(store_->Read(app_, "Settings", "OutputFileName"), "");
  EXPECT_EQ(store_->Read(app_, "Other", "InputFileName"), "");
}

TEST_F(RegistrySettingsTest, TextsAreStringValuesUnderSoftwareAppSection) {
  store_->Write(app_, "Settings", "InputFileName", "C:\\logs\\run.htm");

  char stored[64] = {};
  DWORD type = REG_NONE;
  DWORD size = sizeof stored;
  ASSERT_EQ(::RegQueryValueExA(SettingsKey().get(), "InputFileName", nullptr, &type,
                               reinterpret_cast<BYTE*>(stored), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD{REG_SZ});
  EXPECT_EQ(std::string(stored, size), std::string("C:\\logs\\run.htm") + '\0');
}

TEST_F(RegistrySettingsTest, EmptyLongAndEightBitTextsRoundTrip) {
  store_->Write(app_, "Settings", "FilterOn", "Login");
  store_->Write(app_, "Settings", "FilterOn", "");
  EXPECT_EQ(store_->Read(app_, "Settings", "FilterOn"), "");
  EXPECT_EQ(::RegQueryValueExA(SettingsKey().get(), "FilterOn", nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS)
      << "an empty text is kept, not removed";

  const std::string longPath = "C:\\" + std::string(5000, 'x') + ".htm";
  store_->Write(app_, "Settings", "InputFileName", longPath);
  EXPECT_EQ(store_->Read(app_, "Settings", "InputFileName"), longPath);

  const std::string accented = "R\xE9sultats \xBB \"Login\" ";
  store_->Write(app_, "Settings", "FilterOn", accented);
  EXPECT_EQ(store_->Read(app_, "Settings", "FilterOn"), accented);
}

TEST_F(RegistrySettingsTest, ValueStoredWithoutItsNullReadsWhole) {
  store_->Write(app_, "Settings", "FilterOn", "");
  ASSERT_EQ(::RegSetValueExA(SettingsKey().get(), "FilterOn", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>("Login"), 5),
            ERROR_SUCCESS);
  EXPECT_EQ(store_->Read(app_, "Settings", "FilterOn"), "Login");
}

}  // namespace
}  // namespace rowsift
