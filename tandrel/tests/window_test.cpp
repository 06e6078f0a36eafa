// The window and control family as a script host binds it, run against
// fixture windows this program makes. Expected coordinates come from the
// fixture's own layout and the platform's frame metrics, not from the calls
// the library makes; Wine's own answers are marked where they differ.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "library_binding.h"
#include "screen_dpi.h"
#include "under_wine.h"
#include "unique_resource.h"
#include "window_driver.h"
#include "window_fixture.h"

namespace {

using kit::testing::UnderWine;
using tandrel_test::ControlsWindow;
using tandrel_test::HandleArgument;
using tandrel_test::HandleText;
using tandrel_test::MdiFrameThread;
using tandrel_test::MenuWindow;
using tandrel_test::unique_window;

using Conversion = decltype(&::twips_to_pix);

constexpr auto kBoxTimeout = std::chrono::milliseconds(10000);

// Answers the one message box the library is about to show on this thread,
// from a second thread, and tells what it showed. A box that never comes
// fails the test after the timeout instead of holding it.
class MessageBoxAnswerer {
 public:
  MessageBoxAnswerer() : thread_([this] { Answer(); }) {}
  MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
  MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;
  ~MessageBoxAnswerer() {
    if (thread_.joinable()) thread_.join();
  }

  kit::testing::MessageBoxView Seen() {
    thread_.join();
    if (!error_.empty()) ADD_FAILURE() << error_;
    return view_;
  }
  HWND Owner() const { return owner_; }

 private:
  void Answer() {
    try {
      view_ = kit::testing::WaitForMessageBox(::GetCurrentProcessId(), "", kBoxTimeout);
      owner_ = ::GetWindow(view_.window, GW_OWNER);
      kit::testing::PressDialogButton(view_.window, IDOK, kBoxTimeout);
    } catch (const std::exception& error) {
      error_ = error.what();
      // Whatever went wrong, the box must not hold the test.
      if (const HWND box = kit::testing::FindDialog(::GetCurrentProcessId(), ""))
        ::PostMessageA(box, WM_CLOSE, 0, 0);
    }
  }

  kit::testing::MessageBoxView view_;
  HWND owner_ = nullptr;
  std::string error_;
  std::thread thread_;
};

void ExpectPlainBox(const kit::testing::MessageBoxView& box, HWND owner, const std::string& text) {
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.ButtonIds(), std::vector<int>{IDOK});
  EXPECT_EQ(box.iconControl, nullptr);
  EXPECT_EQ(owner, nullptr);
  EXPECT_FALSE(box.caption.empty()) << "the system's default caption";
  if (UnderWine()) {
    EXPECT_EQ(box.caption, "Error");
  }
}

// How far a window's client origin lies inside its outer rectangle.
POINT ClientOffset(DWORD style) {
  RECT frame = {};
  ::AdjustWindowRectEx(&frame, style, FALSE, 0);
  return {-frame.left, -frame.top};
}

std::string WindowText(HWND window) {
  char text[512] = "";
  ::GetWindowTextA(window, text, sizeof text);
  return text;
}

// Enough digits to tell neighbouring single-precision values apart.
std::string Digits(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

class WindowFunctions : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_) << "Tandrel.dll beside the test program";
    ASSERT_TRUE(setWinTitle_ && getWinText_ && getButtonFocus_ && clientToWinCoord_ &&
                webObjGetAbsPos_ && winFromPoint_ && getTooltipHwnd_ && getTooltipHwnd2_ &&
                winHasScroll_ && typeEdit_ && getMenuName_ && getDlgId_ && cbSelItem_ &&
                altListSelectItem_ && listGetSelItem_ && isLbItemChecked_ && colBrnch_ &&
                rclickTvitem_ && selTab_ && getSelTab_ && getActiveMdiChild_ && twipsToPix_ &&
                pixToTwips_);
  }

  const kit::unique_hmodule library_{::LoadLibraryA("Tandrel.dll")};
  const decltype(&::set_win_title) setWinTitle_ = TANDREL_BIND(library_.get(), set_win_title);
  const decltype(&::get_win_text) getWinText_ = TANDREL_BIND(library_.get(), get_win_text);
  const decltype(&::get_button_focus) getButtonFocus_ =
      TANDREL_BIND(library_.get(), get_button_focus);
  const decltype(&::ClientToWinCoord) clientToWinCoord_ =
      TANDREL_BIND(library_.get(), ClientToWinCoord);
  const decltype(&::web_obj_get_abs_pos) webObjGetAbsPos_ =
      TANDREL_BIND(library_.get(), web_obj_get_abs_pos);
  const decltype(&::win_from_point) winFromPoint_ = TANDREL_BIND(library_.get(), win_from_point);
  const decltype(&::get_tooltip_hwnd) getTooltipHwnd_ =
      TANDREL_BIND(library_.get(), get_tooltip_hwnd);
  const decltype(&::get_tooltip_hwnd2) getTooltipHwnd2_ =
      TANDREL_BIND(library_.get(), get_tooltip_hwnd2);
  const decltype(&::win_has_scroll) winHasScroll_ = TANDREL_BIND(library_.get(), win_has_scroll);
  const decltype(&::type_edit) typeEdit_ = TANDREL_BIND(library_.get(), type_edit);
  const decltype(&::get_menu_name) getMenuName_ = TANDREL_BIND(library_.get(), get_menu_name);
  const decltype(&::get_dlg_id) getDlgId_ = TANDREL_BIND(library_.get(), get_dlg_id);
  const decltype(&::CB_sel_item) cbSelItem_ = TANDREL_BIND(library_.get(), CB_sel_item);
  const decltype(&::alt_list_select_item) altListSelectItem_ =
      TANDREL_BIND(library_.get(), alt_list_select_item);
  const decltype(&::list_get_sel_item) listGetSelItem_ =
      TANDREL_BIND(library_.get(), list_get_sel_item);
  const decltype(&::is_lb_item_checked) isLbItemChecked_ =
      TANDREL_BIND(library_.get(), is_lb_item_checked);
  const decltype(&::col_brnch) colBrnch_ = TANDREL_BIND(library_.get(), col_brnch);
  const decltype(&::rclick_tvitem) rclickTvitem_ = TANDREL_BIND(library_.get(), rclick_tvitem);
  const decltype(&::sel_tab) selTab_ = TANDREL_BIND(library_.get(), sel_tab);
  const decltype(&::get_sel_tab) getSelTab_ = TANDREL_BIND(library_.get(), get_sel_tab);
  const decltype(&::get_active_mdi_child) getActiveMdiChild_ =
      TANDREL_BIND(library_.get(), get_active_mdi_child);
  const decltype(&::twips_to_pix) twipsToPix_ = TANDREL_BIND(library_.get(), twips_to_pix);
  const decltype(&::pix_to_twips) pixToTwips_ = TANDREL_BIND(library_.get(), pix_to_twips);
};

// A fresh fixture window for each test, so no test sees another's changes.
class Controls : public WindowFunctions {
 protected:
  ControlsWindow window_;
  const int frame_ = HandleArgument(window_.frame.get());
};

TEST_F(Controls, WindowTextIsSetAndCopiedUpTo255Characters) {
  // A script hands over what FindWindow gave it, cut to 32 bits by its
  // integer type; the library widens it back, in a 64-bit process too.
  const HWND found = ::FindWindowA(nullptr, "Tandrel controls");
  ASSERT_EQ(found, window_.frame.get());
  char title[256];
  EXPECT_EQ(getWinText_(static_cast<int>(reinterpret_cast<INT_PTR>(found)), title), 0);
  EXPECT_STREQ(title, "Tandrel controls");

  EXPECT_EQ(setWinTitle_(frame_, "New caption"), 0);
  EXPECT_EQ(WindowText(window_.frame.get()), "New caption");

  const std::string longCaption = std::string(299, 'c') + "!";
  EXPECT_EQ(setWinTitle_(frame_, longCaption.c_str()), 0);
  char out[300];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(getWinText_(frame_, out), 0);
  EXPECT_EQ(out, longCaption.substr(0, 255));
  EXPECT_EQ(out[256], 'x') << "written beyond 256 bytes";

  EXPECT_EQ(getWinText_(HandleArgument(window_.edit), out), 0);
  EXPECT_STREQ(out, "old text");
}

TEST_F(Controls, ButtonFocusIsReportedOnlyForTheFocusedButton) {
  const int focus = HandleArgument(window_.focusButton);
  const int check = HandleArgument(window_.checkButton);  // checked and pressed
  ::SetFocus(window_.focusButton);
  ASSERT_EQ(::GetFocus(), window_.focusButton);
  EXPECT_EQ(getButtonFocus_(focus), 1);
  EXPECT_EQ(getButtonFocus_(check), 0);

  ::SetFocus(window_.checkButton);
  ASSERT_EQ(::GetFocus(), window_.checkButton);
  EXPECT_EQ(getButtonFocus_(check), 1);
  EXPECT_EQ(getButtonFocus_(focus), 0);
}

TEST_F(Controls, ClientPointsAreMeasuredFromTheOuterTopLeftCorner) {
  const POINT frame = ClientOffset(ControlsWindow::kStyle);
  const POINT captioned = ClientOffset(ControlsWindow::kCaptionedStyle);
  const struct {
    HWND window;
    POINT offset;
    int x, y;
  } cases[] = {{window_.frame.get(), frame, 0, 0},
               {window_.frame.get(), frame, 10, 20},
               {window_.frame.get(), frame, -3, -4},
               {window_.captioned, captioned, 0, 0},
               {window_.captioned, captioned, 7, 2}};
  for (const auto& c : cases) {
    char x[12], y[12];
    EXPECT_EQ(clientToWinCoord_(HandleArgument(c.window), c.x, c.y, x, y), 0);
    EXPECT_EQ(x, std::to_string(c.offset.x + c.x)) << c.x;
    EXPECT_EQ(y, std::to_string(c.offset.y + c.y)) << c.y;
  }
}

TEST_F(Controls, AbsolutePositionIsTheOuterTopLeftOnScreen) {
  char left[12], top[12];
  EXPECT_NE(webObjGetAbsPos_(frame_, left, top), 0);
  EXPECT_EQ(left, std::to_string(ControlsWindow::kScreenOrigin.x));
  EXPECT_EQ(top, std::to_string(ControlsWindow::kScreenOrigin.y));

  const POINT client = ClientOffset(ControlsWindow::kStyle);
  EXPECT_NE(webObjGetAbsPos_(HandleArgument(window_.edit), left, top), 0);
  EXPECT_EQ(left, std::to_string(ControlsWindow::kScreenOrigin.x + client.x +
                                 ControlsWindow::kEditRect.left));
  EXPECT_EQ(top, std::to_string(ControlsWindow::kScreenOrigin.y + client.y +
                                ControlsWindow::kEditRect.top));

  ASSERT_TRUE(::SetWindowPos(window_.frame.get(), nullptr, -50, -40, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
  EXPECT_NE(webObjGetAbsPos_(frame_, left, top), 0);
  EXPECT_STREQ(left, "-50");
  EXPECT_STREQ(top, "-40");
}

TEST_F(Controls, WindowFromPointNamesTheWindowShownThere) {
  const POINT client = ClientOffset(ControlsWindow::kStyle);
  const POINT origin = {ControlsWindow::kScreenOrigin.x + client.x,
                        ControlsWindow::kScreenOrigin.y + client.y};
  char out[12];
  EXPECT_EQ(winFromPoint_(origin.x + ControlsWindow::kEditRect.left + 5,
                          origin.y + ControlsWindow::kEditRect.top + 5, out),
            0);
  EXPECT_EQ(out, HandleText(window_.edit));
  EXPECT_EQ(winFromPoint_(origin.x + 600, origin.y + 400, out), 0);  // no child there
  EXPECT_EQ(out, HandleText(window_.frame.get()));
  EXPECT_EQ(winFromPoint_(-30000, -30000, out), 0);
  EXPECT_STREQ(out, "0");
}

// One-pixel windows at the probe points: an offset one pixel wrong in any
// direction misses them.
TEST_F(WindowFunctions, TooltipProbeLiesBelowAndRightOfTheCursor) {
  POINT cursor;
  ASSERT_TRUE(::GetCursorPos(&cursor));
  const POINT corner = {cursor.x + ::GetSystemMetrics(SM_CXCURSOR),
                        cursor.y + ::GetSystemMetrics(SM_CYCURSOR)};
  if (corner.x + 40 >= ::GetSystemMetrics(SM_CXSCREEN) ||
      corner.y + 40 >= ::GetSystemMetrics(SM_CYSCREEN))
    GTEST_SKIP() << "the cursor stands too near the screen's lower right corner";

  const auto pixelWindow = [](POINT at) {
    return tandrel_test::CreatePopup({at.x, at.y, at.x + 1, at.y + 1});
  };
  const unique_window fixed = pixelWindow({corner.x + 5, corner.y + 5});
  const unique_window given = pixelWindow({corner.x + 30, corner.y + 40});
  const unique_window inside = pixelWindow({corner.x - 6, corner.y - 2});
  tandrel_test::PumpMessages();

  char out[12];
  EXPECT_EQ(getTooltipHwnd_(out), 0);
  EXPECT_EQ(out, HandleText(fixed.get()));
  EXPECT_EQ(getTooltipHwnd2_(out, 30, 40), 0);
  EXPECT_EQ(out, HandleText(given.get()));
  EXPECT_EQ(getTooltipHwnd2_(out, -6, -2), 0);
  EXPECT_EQ(out, HandleText(inside.get()));
  EXPECT_EQ(getTooltipHwnd2_(out, 5, 6), 0);
  EXPECT_NE(out, HandleText(fixed.get()));
}

struct ScrollCase {
  int min, max, position;
};

unique_window ScrolledChild(HWND parent, DWORD styles, ScrollCase horizontal, ScrollCase vertical) {
  unique_window child = tandrel_test::CreateScrollableChild(parent, styles);
  if ((styles & WS_HSCROLL) != 0) {
    ::SetScrollRange(child.get(), SB_HORZ, horizontal.min, horizontal.max, FALSE);
    ::SetScrollPos(child.get(), SB_HORZ, horizontal.position, FALSE);
  }
  if ((styles & WS_VSCROLL) != 0) {
    ::SetScrollRange(child.get(), SB_VERT, vertical.min, vertical.max, FALSE);
    ::SetScrollPos(child.get(), SB_VERT, vertical.position, FALSE);
  }
  return child;
}

TEST_F(Controls, ScrollProbeFindsBothBarsAndLeavesThemAtTheirStart) {
  const struct {
    ScrollCase horizontal, vertical;
  } cases[] = {{{0, 10, 5}, {0, 20, 7}},  // ranges reaching both probes
               {{3, 9, 6}, {-4, 8, 6}},
               // Ranges that miss a probe: the bars are there all the same.
               {{10, 50, 30}, {0, 1, 1}},
               {{-9, -1, -5}, {5, 6, 6}}};
  for (const auto& c : cases) {
    const unique_window child =
        ScrolledChild(window_.frame.get(), WS_HSCROLL | WS_VSCROLL, c.horizontal, c.vertical);
    EXPECT_EQ(winHasScroll_(HandleArgument(child.get())), 3) << c.horizontal.min;
    EXPECT_EQ(::GetScrollPos(child.get(), SB_HORZ), c.horizontal.min);
    EXPECT_EQ(::GetScrollPos(child.get(), SB_VERT), c.vertical.min);
  }
}

TEST_F(Controls, ScrollProbeTellsWhichBarIsThere) {
  const unique_window horizontal = ScrolledChild(window_.frame.get(), WS_HSCROLL, {0, 10, 4}, {});
  const unique_window vertical = ScrolledChild(window_.frame.get(), WS_VSCROLL, {}, {0, 1, 1});
  const unique_window neither = ScrolledChild(window_.frame.get(), 0, {}, {});
  // Wine gives a window a scroll range of 0 to 100 on the first move of a bar
  // it does not have, so the probe finds every bar there.
  EXPECT_EQ(winHasScroll_(HandleArgument(horizontal.get())), UnderWine() ? 3 : 1);
  EXPECT_EQ(winHasScroll_(HandleArgument(vertical.get())), UnderWine() ? 3 : 2);
  EXPECT_EQ(winHasScroll_(HandleArgument(neither.get())), UnderWine() ? 3 : 0);
  EXPECT_EQ(::GetScrollPos(horizontal.get(), SB_HORZ), 0);
  EXPECT_EQ(::GetScrollPos(vertical.get(), SB_VERT), 0);
}

TEST_F(Controls, TypeEditReplacesEverythingAsOneChangeThatCanBeUndone) {
  const int edit = HandleArgument(window_.edit);
  EXPECT_EQ(typeEdit_(edit, "new text"), 0);
  EXPECT_EQ(WindowText(window_.edit), "new text");
  EXPECT_EQ(::GetWindowLongA(window_.edit, GWL_STYLE) & ES_READONLY, 0) << "still read-only";
  ASSERT_NE(::SendMessageA(window_.edit, EM_CANUNDO, 0, 0), 0);
  ::SendMessageA(window_.edit, EM_UNDO, 0, 0);
  EXPECT_EQ(WindowText(window_.edit), "old text");

  EXPECT_EQ(typeEdit_(edit, ""), 0);
  EXPECT_EQ(WindowText(window_.edit), "");
}

TEST_F(WindowFunctions, MenuItemTextIsCopiedByCommandIdentifierAndAlwaysTerminated) {
  const MenuWindow menu;
  const int window = HandleArgument(menu.window.get());
  const struct {
    int id;
    std::string text;
  } cases[] = {{MenuWindow::kOpenId, "&Open"},
               {MenuWindow::kLongId, MenuWindow::kLongText.substr(0, 255)},
               {MenuWindow::kExactId, MenuWindow::kExactText},
               {999, ""}};
  for (const auto& c : cases) {
    char out[300];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(getMenuName_(window, c.id, out), static_cast<int>(c.text.size())) << c.id;
    EXPECT_EQ(out, c.text) << c.id;
    EXPECT_EQ(out[256], 'x') << "written beyond 256 bytes";
  }

  const ControlsWindow withoutMenu;
  char out[300] = "before";
  EXPECT_EQ(getMenuName_(HandleArgument(withoutMenu.frame.get()), MenuWindow::kOpenId, out), 0);
  EXPECT_STREQ(out, "");
}

TEST_F(Controls, ControlIdentifiersAreWrittenAsDecimalText) {
  char out[12];
  EXPECT_EQ(getDlgId_(HandleArgument(window_.edit), out), 0);
  EXPECT_EQ(out, std::to_string(ControlsWindow::kEditId));
  EXPECT_EQ(getDlgId_(HandleArgument(window_.staticMinusOne), out), 0);
  EXPECT_STREQ(out, "-1");
}

TEST_F(Controls, ComboSelectsTheFirstItemBeginningWithTheText) {
  const int combo = HandleArgument(window_.combo);
  const auto selected = [this] {
    return static_cast<int>(::SendMessageA(window_.combo, CB_GETCURSEL, 0, 0));
  };
  EXPECT_EQ(cbSelItem_(combo, "ab"), 1);  // "abacus", not "alpha" nor "abc"
  EXPECT_EQ(selected(), 1);
  EXPECT_EQ(cbSelItem_(combo, "ABC"), 2);
  EXPECT_EQ(cbSelItem_(combo, "abz"), -1);
  EXPECT_EQ(selected(), 2) << "a failed search keeps the selection";

  EXPECT_EQ(altListSelectItem_(combo, "b"), 0);
  EXPECT_EQ(selected(), 3);
  EXPECT_EQ(altListSelectItem_(combo, "al"), 0);
  EXPECT_EQ(selected(), 0);
  EXPECT_EQ(altListSelectItem_(combo, "gamma"), -10105);
  EXPECT_EQ(selected(), 0);
}

TEST_F(Controls, ListSelectionRectangleIsInTheListsClientCoordinates) {
  const int list = HandleArgument(window_.list);
  RECT client;
  ASSERT_TRUE(::GetClientRect(window_.list, &client));
  const std::string right = std::to_string(client.right);
  const int height = ControlsWindow::kListItemHeight;
  const struct {
    int topIndex, selection, top;
  } cases[] = {{0, 2, 2 * height}, {1, 2, height}, {1, 0, -height}};
  for (const auto& c : cases) {
    ::SendMessageA(window_.list, LB_SETCURSEL, static_cast<WPARAM>(c.selection), 0);
    ::SendMessageA(window_.list, LB_SETTOPINDEX, static_cast<WPARAM>(c.topIndex), 0);
    char sides[4][12];
    EXPECT_EQ(listGetSelItem_(list, sides[0], sides[1], sides[2], sides[3]), 0);
    EXPECT_STREQ(sides[0], "0");
    EXPECT_EQ(sides[1], std::to_string(c.top)) << c.selection;
    EXPECT_EQ(sides[2], right);
    EXPECT_EQ(sides[3], std::to_string(c.top + height)) << c.selection;
  }

  ::SendMessageA(window_.list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  char sides[4][12] = {"keep", "keep", "keep", "keep"};
  const int result = listGetSelItem_(list, sides[0], sides[1], sides[2], sides[3]);
  if (UnderWine()) {
    // Wine answers the rectangle request for index -1 with 0, not LB_ERR.
    EXPECT_EQ(result, 0);
  } else {
    EXPECT_EQ(result, -1);
    for (const auto& side : sides) EXPECT_STREQ(side, "keep");
  }
}

TEST_F(Controls, ListItemDataIsReturnedAsStored) {
  const int list = HandleArgument(window_.list);
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(isLbItemChecked_(list, i), tandrel_test::kListItemData[i]) << i;
  EXPECT_EQ(isLbItemChecked_(list, 10), LB_ERR);
  EXPECT_EQ(isLbItemChecked_(list, -1), LB_ERR);
}

TEST_F(WindowFunctions, ListItemDataOfANullHandleSaysNope) {
  MessageBoxAnswerer answerer;
  const int result = isLbItemChecked_(0, 3);
  const kit::testing::MessageBoxView box = answerer.Seen();
  ExpectPlainBox(box, answerer.Owner(), "nope");
  EXPECT_EQ(result, LB_ERR);
}

TEST_F(Controls, TreeCollapseClosesTheSelectedItemAndDropsItsChildren) {
  const auto tree = window_.tree;
  const auto root =
      reinterpret_cast<HTREEITEM>(::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  const auto childrenOf = [tree](HTREEITEM item) {
    return ::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item));
  };
  const auto expanded = [tree](HTREEITEM item) {
    return (::SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) &
            TVIS_EXPANDED) != 0;
  };
  ASSERT_TRUE(expanded(root) && childrenOf(root) != 0);

  EXPECT_NE(colBrnch_(HandleArgument(tree)), 0);
  EXPECT_FALSE(expanded(root));
  EXPECT_EQ(childrenOf(root), 0) << "the children stay";

  ::SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, 0);
  EXPECT_EQ(colBrnch_(HandleArgument(tree)), 0) << "no selected item";
}

TEST_F(Controls, TreeVisibleCountIsWrittenAndItsIndentReturned) {
  RECT client;
  ASSERT_TRUE(::GetClientRect(window_.tree, &client));
  const auto selected = [this] {
    return ::SendMessageA(window_.tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
  };
  const LRESULT before = selected();
  char count[12];
  EXPECT_EQ(rclickTvitem_(HandleArgument(window_.tree), count), ControlsWindow::kTreeIndent);
  EXPECT_EQ(count, std::to_string(client.bottom / ControlsWindow::kTreeItemHeight));
  EXPECT_EQ(selected(), before) << "nothing is clicked";
}

TEST_F(Controls, TabsAreSelectedByIndex) {
  const int tabs = HandleArgument(window_.tabs);
  EXPECT_EQ(getSelTab_(tabs), 0);
  EXPECT_EQ(selTab_(tabs, 2), 0);
  EXPECT_EQ(getSelTab_(tabs), 2);
  EXPECT_EQ(selTab_(tabs, 7), -1);
  EXPECT_EQ(getSelTab_(tabs), 2);
  EXPECT_EQ(selTab_(tabs, 1), 2);

  ::SendMessageA(window_.tabs, TCM_DELETEALLITEMS, 0, 0);
  EXPECT_EQ(getSelTab_(tabs), -1);
}

// The frames run on a thread of their own, as another program's would.
TEST_F(WindowFunctions, ActiveMdiChildIsShownInABox) {
  const MdiFrameThread withChildren(true);
  const MdiFrameThread withoutChildren(false);
  const ControlsWindow notAFrame;
  const struct {
    HWND frame;
    std::string shown;
  } cases[] = {{withChildren.Frame(), HandleText(withChildren.ActiveChild())},
               {withoutChildren.Frame(), "0"},
               {notAFrame.frame.get(), "0"}};
  for (const auto& c : cases) {
    MessageBoxAnswerer answerer;
    EXPECT_EQ(getActiveMdiChild_(HandleArgument(c.frame)), 0);
    const kit::testing::MessageBoxView box = answerer.Seen();
    ExpectPlainBox(box, answerer.Owner(), c.shown);
  }
}

TEST_F(WindowFunctions, TwipsAndPixelsConvertInPlace) {
  const auto [per_inch_x, per_inch_y] = kit::GetScreenDpi();

  float x = 1440, y = 2880;
  EXPECT_EQ(twipsToPix_(&x, &y), static_cast<float>(per_inch_x));
  EXPECT_EQ(x, static_cast<float>(per_inch_x));
  EXPECT_EQ(y, static_cast<float>(2 * per_inch_y));
  EXPECT_EQ(pixToTwips_(&x, &y), 1440.0f);
  EXPECT_EQ(x, 1440.0f);
  EXPECT_EQ(y, 2880.0f);

  if (per_inch_x != 96 || per_inch_y != 96) GTEST_SKIP() << "the figures below are for 96 dpi";
  // Values whose last bit tells the single-precision 1/1440, the order of
  // the operations and the double-precision intermediates apart.
  const struct {
    Conversion convert;
    float in, out;
  } cases[] = {{twipsToPix_, 27520.0f, 1834.666748046875f},
               {twipsToPix_, 74607.0f, 4973.80029296875f},
               {twipsToPix_, -1440.0f, -96.0f},
               {pixToTwips_, 1589.2857666015625f, 23839.287109375f},
               {pixToTwips_, 3166.142822265625f, 47492.140625f},
               {pixToTwips_, 1.0f, 15.0f},
               {pixToTwips_, -7.0f, -105.0f}};
  for (const auto& c : cases) {
    float inX = c.in, inY = c.in;
    EXPECT_EQ(Digits(c.convert(&inX, &inY)), Digits(c.out)) << Digits(c.in);
    EXPECT_EQ(Digits(inX), Digits(c.out)) << Digits(c.in);
    EXPECT_EQ(Digits(inY), Digits(c.out)) << Digits(c.in);
  }
}

// A handle that names no window: messages reply 0 and pass it on; nothing is
// written where there is nothing to read.
TEST_F(WindowFunctions, AHandleThatNamesNoWindowAnswersZero) {
  const int gone = HandleArgument(tandrel_test::DestroyedWindowHandle());
  EXPECT_EQ(setWinTitle_(gone, "title"), 1);
  EXPECT_EQ(getButtonFocus_(gone), 0);
  EXPECT_EQ(winHasScroll_(gone), 0);
  EXPECT_EQ(typeEdit_(gone, "text"), 0);
  EXPECT_EQ(cbSelItem_(gone, "a"), 0);
  EXPECT_EQ(altListSelectItem_(gone, "a"), 0);
  EXPECT_EQ(isLbItemChecked_(gone, 0), 0) << "no message box either";
  EXPECT_EQ(colBrnch_(gone), 0);
  EXPECT_EQ(selTab_(gone, 1), 0);
  EXPECT_EQ(getSelTab_(gone), 0);

  char text[300] = "before";
  EXPECT_EQ(getWinText_(gone, text), 0);
  EXPECT_STREQ(text, "");
  std::strcpy(text, "before");
  EXPECT_EQ(getMenuName_(gone, 1, text), 0);
  EXPECT_STREQ(text, "");
  char number[12] = "before";
  EXPECT_EQ(getDlgId_(gone, number), 0);
  EXPECT_STREQ(number, "0");
  std::strcpy(number, "before");
  EXPECT_EQ(rclickTvitem_(gone, number), 0);
  EXPECT_STREQ(number, "0");

  char first[12] = "before", second[12] = "before";
  EXPECT_EQ(clientToWinCoord_(gone, 1, 2, first, second), 0);
  EXPECT_STREQ(first, "");
  EXPECT_STREQ(second, "");
  std::strcpy(first, "before");
  std::strcpy(second, "before");
  EXPECT_EQ(webObjGetAbsPos_(gone, first, second), 0);
  EXPECT_STREQ(first, "");
  EXPECT_STREQ(second, "");

  char sides[4][12] = {"keep", "keep", "keep", "keep"};
  EXPECT_EQ(listGetSelItem_(gone, sides[0], sides[1], sides[2], sides[3]), -1);
  for (const auto& side : sides) EXPECT_STREQ(side, "keep");
}

}  // namespace
