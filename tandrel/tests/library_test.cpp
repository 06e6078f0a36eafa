// The library as a whole, through the life of a host: every export found by
// its name; loading and unloading it any number of times, from threads that
// come and go, changes nothing and leaves nothing behind; a host may end
// while a thread is inside a call. Run under Wine's heap checking, where a
// freed block used again shows.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "exit_host.h"
#include "library_binding.h"
#include "scratch_folder.h"
#include "unique_resource.h"
#include "window_driver.h"

namespace {

// The whole export index, family by family.
constexpr const char* kExports[] = {
    // registry
    "create_reg_value", "get_reg_value", "del_reg_value", "del_reg_key", "enum_reg_key",
    "regenumsubkeys", "reg_key_exists",
    // files and drives
    "get_drives", "get_win_dir", "findfile", "get_83filename", "get_file_size",
    "get_file_creation_date", "get_file_modified_date", "get_file_creation_time", "del_multi_files",
    // date, time and locale
    "get_date_long", "get_local_time", "get_time_in_ms", "get_dow_string", "GmtToLocalTime",
    "set_sys_date", "set_sys_time", "set_sys_time_date", "set_locale_shortdate_format",
    "set_locale_longdate_format",
    // system
    "get_comp_name", "get_os_ver", "get_screen_res", "get_free_mem", "shut_down", "register_dll",
    "set_auto_logon",
    // windows and controls
    "set_win_title", "get_win_text", "get_button_focus", "ClientToWinCoord", "web_obj_get_abs_pos",
    "win_from_point", "get_tooltip_hwnd", "get_tooltip_hwnd2", "win_has_scroll", "type_edit",
    "get_menu_name", "get_dlg_id", "CB_sel_item", "alt_list_select_item", "list_get_sel_item",
    "is_lb_item_checked", "col_brnch", "rclick_tvitem", "sel_tab", "get_sel_tab",
    "get_active_mdi_child", "twips_to_pix", "pix_to_twips",
    // keyboard
    "keybd_type", "keybd_type2", "print_scrn", "capture_screen",
    // screen capture, pixel read-back, URL check
    "CaptureAreaToFile", "CaptureBmpToFile", "get_bmp", "get_bmp_area", "web_complex_url_valid"};
static_assert(std::size(kExports) == 65, "every export of the library, once");

std::string ScreenSize() {
  const kit::unique_hmodule library(::LoadLibraryA("Tandrel.dll"));
  const decltype(&::get_screen_res) screenRes = TANDREL_BIND(library.get(), get_screen_res);
  if (!screenRes) return "unbound";
  char width[8], height[8];
  screenRes(width, height);
  return std::string(width) + "x" + height;
}

TEST(Library, EveryExportIsFoundByItsName) {
  const kit::unique_hmodule library(::LoadLibraryA("Tandrel.dll"));
  ASSERT_TRUE(library) << "Tandrel.dll beside the test program";
  for (const char* name : kExports)
    EXPECT_NE(::GetProcAddress(library.get(), name), nullptr) << name;
}

TEST(Library, LoadingAndUnloadingFromManyThreadsChangesNothing) {
  const std::string expected = ScreenSize();
  ASSERT_NE(expected, "unbound");
  std::vector<std::string> results(4);
  std::vector<std::thread> threads;
  for (std::string& result : results) {
    threads.emplace_back([&result, &expected] {
      for (int i = 0; i < 50 && result.empty(); ++i) {
        const std::string answer = ScreenSize();
        if (answer != expected) result = answer;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::string& result : results) EXPECT_EQ(result, "") << "a call answered differently";
  EXPECT_EQ(::GetModuleHandleA("Tandrel.dll"), nullptr) << "the library stays loaded";
}

// Threads of a host that each load the library, call a few exports and end:
// the library comes and goes while other threads still use it.
TEST(Library, ThreadsThatLoadCallUnloadAndEndLeaveItSound) {
  const kit::testing::ScratchFolder scratch(L"tandrel-threads");
  const std::string folder = scratch.AnsiPath();
  ASSERT_TRUE(kit::testing::WriteBytes(scratch.Folder(L"deep") + L"\\found.txt", "x"));
  const std::string expected = ScreenSize();
  std::atomic<int> failures{0};
  const auto useOnce = [&] {
    const kit::unique_hmodule library(::LoadLibraryA("Tandrel.dll"));
    char first[MAX_PATH], second[MAX_PATH];
    TANDREL_BIND(library.get(), get_screen_res)(first, second);
    const bool sameScreen = std::string(first) + "x" + second == expected;
    TANDREL_BIND(library.get(), get_drives)(first);
    TANDREL_BIND(library.get(), GmtToLocalTime)(86400, first);
    TANDREL_BIND(library.get(), get_comp_name)(first);
    const bool found =
        TANDREL_BIND(library.get(), findfile)(folder.c_str(), "found.txt", second) == 0;
    if (!sameScreen || !found) ++failures;
  };
  constexpr int kRounds = 250, kThreadsAtOnce = 4;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreadsAtOnce; ++i) threads.emplace_back(useOnce);
    for (std::thread& thread : threads) thread.join();
  }
  EXPECT_EQ(failures, 0) << "calls that answered wrongly";
  EXPECT_EQ(::GetModuleHandleA("Tandrel.dll"), nullptr) << "the library stays loaded";
}

TEST(Library, AHostThatEndsWhileAThreadIsInsideACallEndsPromptly) {
  const auto started =
      kit::testing::Process::Launch(kit::testing::BesideThisProgram("tandrel_exit_host.exe"));
  EXPECT_EQ(started.WaitForExit(std::chrono::seconds(30)), kit::testing::kHostExitCode);
}

}  // namespace
