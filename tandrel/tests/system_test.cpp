// The system family as a script host sees it: Tandrel.dll loaded by name and
// each export bound by its name. Answers are compared with what the platform
// itself says; Wine's own literal answers are checked only under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "library_binding.h"
#include "scratch_folder.h"
#include "under_wine.h"
#include "unique_resource.h"

namespace {

using kit::testing::UnderWine;

class System : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(compName_ && osVer_ && screenRes_ && freeMem_ && shutDown_ && registerDll_ &&
                setAutoLogon_);
  }

  const kit::unique_hmodule library_{::LoadLibraryA("Tandrel.dll")};
  const decltype(&::get_comp_name) compName_ = TANDREL_BIND(library_.get(), get_comp_name);
  const decltype(&::get_os_ver) osVer_ = TANDREL_BIND(library_.get(), get_os_ver);
  const decltype(&::get_screen_res) screenRes_ = TANDREL_BIND(library_.get(), get_screen_res);
  const decltype(&::get_free_mem) freeMem_ = TANDREL_BIND(library_.get(), get_free_mem);
  const decltype(&::shut_down) shutDown_ = TANDREL_BIND(library_.get(), shut_down);
  const decltype(&::register_dll) registerDll_ = TANDREL_BIND(library_.get(), register_dll);
  const decltype(&::set_auto_logon) setAutoLogon_ = TANDREL_BIND(library_.get(), set_auto_logon);
};

TEST_F(System, MachineFactsAreThePlatformsAsText) {
  char name[MAX_COMPUTERNAME_LENGTH + 1], out[16];
  DWORD size = sizeof name;
  ASSERT_TRUE(::GetComputerNameA(name, &size));
  EXPECT_EQ(compName_(out), 0);
  EXPECT_STREQ(out, name);

  char width[8], height[8];
  EXPECT_EQ(screenRes_(width, height), 0);
  EXPECT_EQ(width, std::to_string(::GetSystemMetrics(SM_CXSCREEN)));
  EXPECT_EQ(height, std::to_string(::GetSystemMetrics(SM_CYSCREEN)));

  // Only the totals hold still between two readings.
  char memory[6][16];
  std::memset(memory, 'x', sizeof memory);
  const int load = freeMem_(memory[0], memory[1], memory[2], memory[3], memory[4], memory[5]);
  MEMORYSTATUS status = {};
  status.dwLength = sizeof status;
  ::GlobalMemoryStatus(&status);
  EXPECT_TRUE(load >= 0 && load <= 100) << load;
  // A 32-bit process never sees more than 32 bits; the 64-bit build reads
  // a larger quantity as -1.
  const auto reading = [](std::uint64_t bytes) {
    return static_cast<long>(bytes > UINT32_MAX ? -1 : static_cast<std::int32_t>(bytes));
  };
  EXPECT_EQ(std::atol(memory[0]), reading(status.dwTotalPhys));
  EXPECT_EQ(std::atol(memory[2]), reading(status.dwTotalPageFile));
  EXPECT_EQ(std::atol(memory[4]), reading(status.dwTotalVirtual));
  // The available figures move between readings, and a 32-bit process gets
  // every quantity clamped on its own, so an available figure may read more
  // than its total: each is only checked to be one whole decimal number.
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(memory[i][12], 'x') << i;
    char* end = nullptr;
    std::strtol(memory[i], &end, 10);
    EXPECT_TRUE(end != memory[i] && *end == '\0') << i << ": " << memory[i];
  }
}

TEST_F(System, VersionIsAppendedToWhatTheBufferHolds) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(::GetVersionExA(&version));
  const std::string text = "Version " + std::to_string(version.dwMajorVersion) + "." +
                           std::to_string(version.dwMinorVersion) +
                           " Build: " + std::to_string(version.dwBuildNumber) + " " +
                           version.szCSDVersion;
  char out[512] = "before|";
  EXPECT_EQ(osVer_(out), 0);
  EXPECT_EQ(osVer_(out), 0);
  EXPECT_EQ(out, "before|" + text + text);
  if (UnderWine()) {
    EXPECT_EQ(text, "Version 6.1 Build: 7601 Service Pack 1");
  }
}

// Close requests seen by a window that ignores them.
struct {
  int count;
  WPARAM wparam;
  LPARAM lparam;
} gClose;

LRESULT CALLBACK IgnoreClose(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_CLOSE) return ::DefWindowProcA(window, message, wparam, lparam);
  gClose = {gClose.count + 1, wparam, lparam};
  return 0;
}

TEST_F(System, ShutDownQueuesACloseRequestAndReturnsAtOnce) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = IgnoreClose;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "TandrelIgnoresClose";
  ASSERT_TRUE(::RegisterClassA(&windowClass));
  const HWND window = ::CreateWindowA(windowClass.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10,
                                      nullptr, nullptr, windowClass.hInstance, nullptr);
  ASSERT_TRUE(window);
  const int handle = static_cast<int>(reinterpret_cast<INT_PTR>(window));
  gClose = {0, 1, 1};
  EXPECT_NE(shutDown_(handle), 0);
  EXPECT_EQ(gClose.count, 0) << "sent, not queued";
  MSG message;
  while (::PeekMessageA(&message, window, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
  EXPECT_EQ(gClose.count, 1);
  EXPECT_EQ(gClose.wparam, 0u);
  EXPECT_EQ(gClose.lparam, 0);
  EXPECT_TRUE(::DestroyWindow(window));
  ::UnregisterClassA(windowClass.lpszClassName, windowClass.hInstance);
  EXPECT_EQ(shutDown_(handle), 0);
}

TEST_F(System, RegisterDllAnswersZeroOnlyWhenTheEntryRegistered) {
  const std::string folder = kit::testing::BesideThisProgram("");
  const struct {
    std::string library;
    int result;
    const char* entryRan;                                       // as the test library notes it
  } cases[] = {{"tandrel_test_registers.dll", 0, "registers"},  // found by the search rules
               {folder + "tandrel_test_declines.dll", -1, "declines"},
               {folder + "tandrel_test_fails.dll", -1, "fails"},
               {folder + "tandrel_test_no_entry.dll", -1, ""},
               {folder + "tandrel_test_missing.dll", -1, ""}};
  for (const auto& c : cases) {
    ::SetEnvironmentVariableA("TANDREL_TEST_REGISTERED", nullptr);
    EXPECT_EQ(registerDll_(c.library.c_str()), c.result) << c.library;
    char ran[32] = "";
    ::GetEnvironmentVariableA("TANDREL_TEST_REGISTERED", ran, sizeof ran);
    EXPECT_STREQ(ran, c.entryRan) << c.library;
    EXPECT_EQ(::GetModuleHandleA(c.library.c_str()), nullptr) << c.library << " stays loaded";
  }
}

// Saves the two automatic-logon values and puts them back after each test,
// deleting those that were not there, also after a failure.
class AutoLogon : public System {
 protected:
  using Value = std::pair<DWORD, std::string>;  // type and bytes; REG_NONE: absent
  static constexpr const char* kNames[] = {"AutoAdminLogon", "DefaultPassword"};

  void SetUp() override {
    System::SetUp();
    writable_ = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kWinlogon, 0, KEY_ALL_ACCESS, key_.put()) == 0;
    if (!writable_) ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kWinlogon, 0, KEY_READ, key_.put());
    for (int i = 0; i < 2; ++i) saved_[i] = Read(kNames[i]);
  }
  void TearDown() override {
    for (int i = 0; writable_ && i < 2; ++i) {
      if (saved_[i].first == REG_NONE)
        ::RegDeleteValueA(key_.get(), kNames[i]);
      else
        ::RegSetValueExA(key_.get(), kNames[i], 0, saved_[i].first,
                         reinterpret_cast<const BYTE*>(saved_[i].second.data()),
                         static_cast<DWORD>(saved_[i].second.size()));
    }
  }
  Value Read(const char* name) const {
    char data[512];
    DWORD type = REG_NONE, size = sizeof data;
    if (::RegQueryValueExA(key_.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data),
                           &size) != ERROR_SUCCESS)
      return {REG_NONE, ""};
    return {type, std::string(data, size)};
  }

  static constexpr char kWinlogon[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
  bool writable_ = false;
  kit::unique_hkey key_;
  Value saved_[2];
};

TEST_F(AutoLogon, OnlyOneSwitchesOnAndOffClearsThePassword) {
  // The Wine user is an administrator and may write there; on Windows without
  // administrator rights both writes fail and the result is 1.
  if (UnderWine()) {
    EXPECT_TRUE(writable_);
  }
  const struct {
    int on;
    std::string flag, password;
  } cases[] = {{1, "1", "secret"}, {0, "0", ""}, {-1, "0", ""}, {2, "0", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(setAutoLogon_("secret", c.on), writable_ ? 0 : 1) << c.on;
    if (!writable_) continue;
    EXPECT_EQ(Read("AutoAdminLogon"), Value(REG_SZ, c.flag + '\0')) << c.on;
    EXPECT_EQ(Read("DefaultPassword"), Value(REG_SZ, c.password + '\0')) << c.on;
  }
}

}  // namespace
