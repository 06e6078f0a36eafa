// Rowsift.exe driven from this process the way a person uses it: start it,
// type into its boxes, press its buttons, answer its message boxes and its
// open-file dialog, look at the files it writes, close it and start it again.
// Each test runs a copy of the program under its own name, so its settings
// live under a scratch registry key, and works in a scratch folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "main_window_ids.h"
#include "scratch_folder.h"
#include "screen_dpi.h"
#include "unique_resource.h"
#include "window_driver.h"

namespace rowsift {
namespace {

namespace driver = kit::testing;

constexpr char kNotFound[] =
    "Input File Not Found.  Please make sure the file path name is correct.";
constexpr char kNotHtml[] = "File Format Mismatch.  Please select a HTML file ( .htm or .html)";
constexpr char kSameFile[] =
    "The output file you specify is the same as input file.  This will override the input "
    "file.  Are you sure?";
constexpr char kOutputExists[] =
    "Output file already exists.  Would you like to override it?\r\n\r\nPlease click \r\n"
    "    'Yes' to override the output file and continue the process.  \r\n"
    "    'No' to cancel the process and view the output file.  ";
constexpr char kSuccess[] = "Output File Created Successfully!";
constexpr char kParseErrorIntro[] = "Error parsing the HTML file: \r\n";
// Detail pieces of samples/results.htm: one per "</TR>" after its first
// "<TR>".
constexpr int kSampleDetailPieces = 81;

// --- Files ---------------------------------------------------------------

using kit::testing::Exists;
using kit::testing::ReadBytes;
using kit::testing::ScratchFolder;
using kit::testing::WriteBytes;

// The build copies the sample log and its filtered form beside this program.
std::string SampleLog() {
  return ReadBytes(kit::testing::BesideThisProgram("samples\\results.htm"));
}
std::string SampleLoginOutput() {
  return ReadBytes(kit::testing::BesideThisProgram("samples\\results_Login_expected.htm"));
}

// HKEY_CURRENT_USER\Software\<application>, deleted before and after.
class ScratchSettings {
 public:
  explicit ScratchSettings(const std::string& application) : key_("Software\\" + application) {
    Delete();
  }
  ScratchSettings(const ScratchSettings&) = delete;
  ScratchSettings& operator=(const ScratchSettings&) = delete;
  ~ScratchSettings() { Delete(); }

  bool Exists() const {
    kit::unique_hkey key;
    return ::RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_READ, key.put()) ==
           ERROR_SUCCESS;
  }

  // The text of a REG_SZ value in "Settings"; none when the value is missing
  // or of another type.
  std::optional<std::string> Text(const std::string& name) const {
    kit::unique_hkey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, (key_ + "\\Settings").c_str(), 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
      return std::nullopt;
    }
    std::string text(size, '\0');
    ::RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr,
                       reinterpret_cast<BYTE*>(text.data()), &size);
    text.resize(text.find('\0') == std::string::npos ? size : text.find('\0'));
    return text;
  }

 private:
  void Delete() const { ::RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str()); }

  std::string key_;
};

// --- The program ---------------------------------------------------------

// One running Rowsift and its main window.
class RunningRowsift {
 public:
  RunningRowsift(const std::string& program, const std::string& arguments,
                 const std::string& folder)
      : process_(driver::Process::Launch(program, arguments, folder)),
        window_(driver::WaitForTopLevelWindow(process_, kMainWindowClass, kMainWindowCaption)) {}
  RunningRowsift(const RunningRowsift&) = delete;
  RunningRowsift& operator=(const RunningRowsift&) = delete;
  // A test that leaves the program running ends it as its close box does, so
  // that the next test starts on a desktop the program has left as it
  // leaves a person's; terminated only when it does not end so.
  ~RunningRowsift() {
    if (!process_.Running()) return;
    try {
      driver::Close(window_);
      process_.WaitForExit();
    } catch (const driver::DriverError&) {
    }
  }

  HWND Window() const { return window_; }
  HWND Item(ControlId id) const { return driver::Control(window_, id); }
  DWORD ProcessId() const { return process_.Id(); }

  std::string TextOf(ControlId id) const { return driver::Text(Item(id)); }
  std::wstring WideTextOf(ControlId id) const { return driver::WideText(Item(id)); }
  void Type(ControlId id, const std::string& text) const { driver::SetText(Item(id), text); }
  void Type(ControlId id, const std::wstring& text) const { driver::SetWideText(Item(id), text); }

  // The three boxes, and the check box cleared so that no viewer starts.
  void Fill(const std::string& input, const std::string& output, const std::string& filter) const {
    Type(kIdInputFile, input);
    Type(kIdOutputFile, output);
    Type(kIdFilterOn, filter);
    if (driver::IsChecked(Item(kIdOpenOutputFile))) driver::ClickAndWait(Item(kIdOpenOutputFile));
    ASSERT_FALSE(driver::IsChecked(Item(kIdOpenOutputFile)));
  }

  void PressParse() const { driver::Click(Item(kIdParse)); }

  // The next "Rowsift" box, which must block the main window while it is up.
  driver::MessageBoxView NextBox() const {
    driver::MessageBoxView box = driver::WaitForMessageBox(ProcessId(), kMainWindowCaption);
    EXPECT_EQ(::GetWindow(box.window, GW_OWNER), window_) << "box: " << box.text;
    EXPECT_FALSE(::IsWindowEnabled(window_)) << "box: " << box.text;
    return box;
  }

  void Answer(const driver::MessageBoxView& box, int button) const {
    driver::PressDialogButton(box.window, button);
  }

  void ExpectNoBox() const { driver::ExpectNoDialogOnceAnswering(window_, kMainWindowCaption); }

  std::vector<std::string> DebugLines() const { return driver::ListBoxLines(Item(kIdDebugList)); }

  // As the close box does; the program must end.
  void Close() const {
    driver::Close(window_);
    EXPECT_EQ(process_.WaitForExit(), 0u);
  }

 private:
  driver::Process process_;
  HWND window_;
};

std::string Describe(const driver::MessageBoxView& box) { return "box: \"" + box.text + "\""; }

// An error box as the parse run shows it: stop sign, OK only.
void ExpectErrorBox(const driver::MessageBoxView& box, const std::string& text) {
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.ButtonIds(), std::vector<int>{IDOK}) << Describe(box);
  EXPECT_TRUE(driver::ShowsSystemIcon(box, IDI_HAND)) << "no stop sign on " << Describe(box);
}

void ExpectQuestion(const driver::MessageBoxView& box, const std::string& text) {
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.ButtonIds(), (std::vector<int>{IDYES, IDNO})) << Describe(box);
  EXPECT_EQ(box.defaultButton, IDYES) << Describe(box);
  EXPECT_TRUE(driver::ShowsSystemIcon(box, IDI_QUESTION))
      << "no question mark on " << Describe(box);
}

void ExpectPlainBox(const driver::MessageBoxView& box, const std::string& text) {
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.ButtonIds(), std::vector<int>{IDOK}) << Describe(box);
  EXPECT_EQ(box.iconControl, nullptr) << "an icon on " << Describe(box);
}

// The run's last box: success, closed with OK.
void ExpectSuccessBox(const RunningRowsift& app) {
  const driver::MessageBoxView box = app.NextBox();
  ExpectPlainBox(box, kSuccess);
  app.Answer(box, IDOK);
}

void ParseSuccessfully(const RunningRowsift& app) {
  app.PressParse();
  ExpectSuccessBox(app);
}

// A run whose output names its input: the same-file question, then the
// already-exists one, both answered Yes, then the success box.
void ParseInPlace(const RunningRowsift& app) {
  app.PressParse();
  const driver::MessageBoxView same = app.NextBox();
  ExpectQuestion(same, kSameFile);
  app.Answer(same, IDYES);
  const driver::MessageBoxView exists = app.NextBox();
  ExpectQuestion(exists, kOutputExists);
  app.Answer(exists, IDYES);
  ExpectSuccessBox(app);
}

class RowsiftWindowTest : public ::testing::Test {
 protected:
  RowsiftWindowTest()
      : application_("RowsiftE2E" + std::to_string(::GetCurrentProcessId())),
        folder_(kit::testing::WideFromAnsi(application_)),
        settings_(application_) {}

  void SetUp() override {
    ASSERT_TRUE(::CopyFileA(kit::testing::BesideThisProgram("Rowsift.exe").c_str(),
                            Program().c_str(), FALSE))
        << "Rowsift.exe must be built beside this program";
  }

  std::string Program() const { return folder_ / (application_ + ".exe"); }

  // Started in the scratch folder, so relative paths point there.
  RunningRowsift Start(const std::string& arguments = {}) const {
    return RunningRowsift(Program(), arguments, folder_.AnsiPath());
  }

  // The sample log copied into the scratch folder under `name`.
  std::string PutSample(const std::string& name) const {
    const std::string path = folder_ / name;
    WriteBytes(path, SampleLog());
    return path;
  }

  const std::string application_;
  const ScratchFolder folder_;
  const ScratchSettings settings_;
};

int Pixels(int twips) { return ::MulDiv(twips, kit::GetScreenDpi().y, 1440); }

int OuterHeight(HWND window) {
  const RECT rect = driver::OuterRect(window);
  return rect.bottom - rect.top;
}

// --- Start-up ------------------------------------------------------------

using WindowStartUpTest = RowsiftWindowTest;

struct ExpectedControl {
  ControlId id;
  const char* className;
  const char* caption;           // null for the boxes whose text comes from the settings
  int left, top, width, height;  // twips
};

constexpr ExpectedControl kLayout[] = {
    {kIdInputLabel, "Static", "Input File:", 240, 360, 945, 255},
    {kIdOutputLabel, "Static", "Output File:", 240, 780, 945, 285},
    {kIdFilterLabel, "Static", "Filter on:", 240, 1200, 945, 315},
    {kIdParse, "Button", "Parse", 2550, 2100, 1545, 435},
    {kIdInputFile, "Edit", nullptr, 1230, 330, 4785, 345},
    {kIdOutputFile, "Edit", nullptr, 1230, 750, 4785, 345},
    {kIdFilterOn, "Edit", nullptr, 1230, 1200, 4785, 345},
    {kIdBrowse, "Button", "...", 6000, 330, 345, 345},
    {kIdOpenOutputFile, "Button", "Open Output File When Done", 1230, 1620, 4665, 315},
    {kIdDebugList, "ListBox", nullptr, 120, 2850, 6345, 1620},
};

TEST_F(WindowStartUpTest, ShowsTheControlsWhereTheLayoutPutsThem) {
  const RunningRowsift app = Start();
  EXPECT_EQ(driver::Text(app.Window()), "Rowsift");
  constexpr int kSlack = 2;  // pixels, for rounding
  for (const ExpectedControl& expected : kLayout) {
    SCOPED_TRACE("control #" + std::to_string(expected.id));
    const HWND control = app.Item(expected.id);
    EXPECT_EQ(driver::ClassName(control), expected.className);
    if (expected.caption) {
      EXPECT_EQ(driver::Text(control), expected.caption);
    }
    const RECT rect = driver::RectInParent(control);
    EXPECT_NEAR(rect.left, Pixels(expected.left), kSlack);
    EXPECT_NEAR(rect.top, Pixels(expected.top), kSlack);
    EXPECT_NEAR(rect.right - rect.left, Pixels(expected.width), kSlack);
    EXPECT_NEAR(rect.bottom - rect.top, Pixels(expected.height), kSlack);
  }
  EXPECT_NEAR(driver::ClientSize(app.Window()).cx, Pixels(6600), kSlack);
  EXPECT_NEAR(OuterHeight(app.Window()), Pixels(3000), kSlack);
}

void DestroyIconValue(HICON icon) noexcept { ::DestroyIcon(icon); }
using unique_icon = kit::unique_any<HICON, DestroyIconValue>;

// A resource's name: a number or a text.
struct ResourceName {
  WORD number = 0;
  std::string text;

  LPCSTR Get() const { return number ? MAKEINTRESOURCEA(number) : text.c_str(); }
  bool Empty() const { return number == 0 && text.empty(); }
};

BOOL CALLBACK KeepFirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR first) {
  auto* kept = reinterpret_cast<ResourceName*>(first);
  if (IS_INTRESOURCE(name)) {
    kept->number = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
  } else {
    kept->text = name;
  }
  return FALSE;
}

// The first icon in the program's file, at `size`.
unique_icon IconOf(const std::string& program, SIZE size) {
  const kit::unique_hmodule module(::LoadLibraryExA(
      program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  ResourceName name;
  if (module) {
    ::EnumResourceNamesA(module.get(), RT_GROUP_ICON, KeepFirstName,
                         reinterpret_cast<LONG_PTR>(&name));
  }
  if (name.Empty()) return unique_icon();
  return unique_icon(
      static_cast<HICON>(::LoadImageA(module.get(), name.Get(), IMAGE_ICON, size.cx, size.cy, 0)));
}

TEST_F(WindowStartUpTest, TheTitleBarShowsTheProgramsOwnIcon) {
  const SIZE size = {::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON)};
  const unique_icon icon = IconOf(Program(), size);
  ASSERT_TRUE(icon) << "Rowsift.exe carries no icon";
  const RunningRowsift app = Start();

  const driver::Image picture = driver::CaptureWindow(app.Window());
  const RECT titleBarStart = {0, 0, 48, ::GetSystemMetrics(SM_CYCAPTION) + 16};
  EXPECT_TRUE(driver::ShowsIconIn(picture, icon.get(), size, titleBarStart));
  EXPECT_FALSE(
      driver::ShowsIconIn(picture, ::LoadIconA(nullptr, IDI_APPLICATION), size, titleBarStart));
}

TEST_F(WindowStartUpTest, ParseHasTheFocusTheBoxIsCheckedAndTheListHidden) {
  const RunningRowsift app = Start();
  driver::WaitForFocus(app.Item(kIdParse));
  EXPECT_TRUE(driver::IsChecked(app.Item(kIdOpenOutputFile)));
  EXPECT_FALSE(::IsWindowVisible(app.Item(kIdDebugList)));
  for (ControlId id :
       {kIdParse, kIdInputFile, kIdOutputFile, kIdFilterOn, kIdBrowse, kIdOpenOutputFile}) {
    EXPECT_TRUE(::IsWindowVisible(app.Item(id))) << "control #" << id;
    EXPECT_TRUE(::IsWindowEnabled(app.Item(id))) << "control #" << id;
  }
}

TEST_F(WindowStartUpTest, TabMovesTheFocusInTheLayoutsOrder) {
  const RunningRowsift app = Start();
  const ControlId order[] = {kIdParse,  kIdInputFile,      kIdOutputFile, kIdFilterOn,
                             kIdBrowse, kIdOpenOutputFile, kIdParse};
  driver::WaitForFocus(app.Item(order[0]));
  for (std::size_t next = 1; next < std::size(order); ++next) {
    driver::PressKey(app.Item(order[next - 1]), VK_TAB);
    driver::WaitForFocus(app.Item(order[next]));
  }
}

struct CommandLineCase {
  const char* name;
  const char* arguments;
  bool debug;
};

void PrintTo(const CommandLineCase& given, std::ostream* out) {
  *out << '"' << given.arguments << '"';
}

class WindowCommandLineTest : public RowsiftWindowTest,
                              public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(WindowCommandLineTest, OnlyTheDebugSwitchAloneShowsTheTallerWindowWithTheList) {
  const RunningRowsift app = Start(GetParam().arguments);
  const HWND list = app.Item(kIdDebugList);
  if (GetParam().debug) {
    EXPECT_NEAR(OuterHeight(app.Window()), Pixels(5000), 2);
    EXPECT_TRUE(::IsWindowVisible(list));
    // The whole list fits in the taller window.
    EXPECT_LE(driver::RectInParent(list).bottom, driver::ClientSize(app.Window()).cy);
  } else {
    EXPECT_NEAR(OuterHeight(app.Window()), Pixels(3000), 2);
    EXPECT_FALSE(::IsWindowVisible(list));
  }
  driver::WaitForFocus(app.Item(kIdParse));
}

INSTANTIATE_TEST_SUITE_P(
    Switches, WindowCommandLineTest,
    ::testing::Values(CommandLineCase{"None", "", false}, CommandLineCase{"Debug", "-debug", true},
                      CommandLineCase{"UpperCase", "-DEBUG", true},
                      CommandLineCase{"MixedCase", "-Debug", true},
                      CommandLineCase{"BlanksBefore", "   -debug", true},
                      CommandLineCase{"WithAnotherArgument", "-debug x", false},
                      CommandLineCase{"Longer", "-debugx", false}),
    [](const ::testing::TestParamInfo<CommandLineCase>& info) { return info.param.name; });

// --- Settings ------------------------------------------------------------

using WindowSettingsTest = RowsiftWindowTest;

TEST_F(WindowSettingsTest, WithoutSavedSettingsTheBoxesAreEmpty) {
  ASSERT_FALSE(settings_.Exists());
  const RunningRowsift app = Start();
  EXPECT_EQ(app.TextOf(kIdInputFile), "");
  EXPECT_EQ(app.TextOf(kIdOutputFile), "");
  EXPECT_EQ(app.TextOf(kIdFilterOn), "");
}

TEST_F(WindowSettingsTest, ClosingSavesTheThreeTextsAndTheNextStartRestoresThem) {
  const std::string input = folder_ / "Suite results.htm";
  const std::string output = folder_ / "Suite results_Output.htm";
  const std::string filter = " Login step ";  // blanks are part of it
  {
    const RunningRowsift app = Start();
    app.Fill(input, output, filter);  // also clears the check box
    app.Close();
  }
  EXPECT_EQ(settings_.Text("InputFileName"), input);
  EXPECT_EQ(settings_.Text("OutputFileName"), output);
  EXPECT_EQ(settings_.Text("FilterOn"), filter);

  const RunningRowsift app = Start();
  EXPECT_EQ(app.TextOf(kIdInputFile), input);
  EXPECT_EQ(app.TextOf(kIdOutputFile), output);
  EXPECT_EQ(app.TextOf(kIdFilterOn), filter);
  EXPECT_TRUE(driver::IsChecked(app.Item(kIdOpenOutputFile))) << "the check box is not saved";
}

TEST_F(WindowSettingsTest, AnEmptiedFilterIsRestoredEmpty) {
  {
    const RunningRowsift app = Start();
    app.Fill("in.htm", "out.htm", "Login");
    app.Close();
  }
  {
    const RunningRowsift app = Start();
    ASSERT_EQ(app.TextOf(kIdFilterOn), "Login");
    app.Type(kIdFilterOn, "");
    app.Close();
  }
  EXPECT_EQ(settings_.Text("FilterOn"), "");

  const RunningRowsift app = Start();
  EXPECT_EQ(app.TextOf(kIdInputFile), "in.htm");
  EXPECT_EQ(app.TextOf(kIdOutputFile), "out.htm");
  EXPECT_EQ(app.TextOf(kIdFilterOn), "");
}

// --- Parse run -----------------------------------------------------------

using WindowParseTest = RowsiftWindowTest;

TEST_F(WindowParseTest, FiltersTheLogIntoANewFileAndSaysSo) {
  const std::string input = PutSample("results.htm");
  const std::string output = folder_ / "results_Output.htm";
  const RunningRowsift app = Start();
  app.Fill(input, output, "Login");

  ParseSuccessfully(app);

  EXPECT_EQ(ReadBytes(output), SampleLoginOutput());
  EXPECT_EQ(ReadBytes(input), SampleLog());
  EXPECT_TRUE(app.DebugLines().empty()) << "debug lines outside debug mode";
  app.ExpectNoBox();
}

TEST_F(WindowParseTest, HtmlEndingsInAnyLetterCaseAreAccepted) {
  const RunningRowsift app = Start();
  for (const char* name : {"REPORT.HTM", "report.Html"}) {
    SCOPED_TRACE(name);
    const std::string output = folder_ / (std::string(name) + ".out");
    app.Fill(PutSample(name), output, "Login");
    ParseSuccessfully(app);
    EXPECT_EQ(ReadBytes(output), SampleLoginOutput());
  }
}

TEST_F(WindowParseTest, AMissingInputIsRefusedWithTheStopSignAndTheFocusGoesToIt) {
  const RunningRowsift app = Start();
  // Existence is checked first, so the ending does not matter.
  for (const std::string& input :
       {folder_ / "missing.htm", folder_ / "missing.txt", std::string()}) {
    SCOPED_TRACE("input \"" + input + "\"");
    const std::string output = folder_ / "never.htm";
    app.Fill(input, output, "Login");
    app.PressParse();
    const driver::MessageBoxView box = app.NextBox();
    ExpectErrorBox(box, kNotFound);
    app.Answer(box, IDOK);
    driver::WaitForFocus(app.Item(kIdInputFile));
    EXPECT_FALSE(Exists(output));
  }
  app.ExpectNoBox();
}

TEST_F(WindowParseTest, AnInputThatIsNoHtmlFileIsRefused) {
  const std::string input = folder_ / "report.txt";
  WriteBytes(input, SampleLog());
  const std::string output = folder_ / "report_Output.htm";
  const RunningRowsift app = Start();
  app.Fill(input, output, "Login");

  app.PressParse();
  const driver::MessageBoxView box = app.NextBox();
  ExpectErrorBox(box, kNotHtml);
  app.Answer(box, IDOK);

  driver::WaitForFocus(app.Item(kIdInputFile));
  EXPECT_FALSE(Exists(output));
  app.ExpectNoBox();
}

TEST_F(WindowParseTest, AFilterTheCodePageCannotSpellIsRefusedBeforeAnythingIsWritten) {
  if (::GetACP() == CP_UTF8) GTEST_SKIP() << "the system code page spells every text";
  // Thai and Hebrew: no single other code page has both.
  const std::string input = PutSample("inplace.htm");
  const RunningRowsift app = Start();
  app.Fill(input, input, "");
  app.Type(kIdFilterOn, std::wstring(L"\u0e01\u05d0"));

  app.PressParse();
  const driver::MessageBoxView box = app.NextBox();
  ExpectErrorBox(box,
                 "The filter text cannot be written in the code page of the input file, so no "
                 "row could match it.  Please change the filter text.");
  app.Answer(box, IDOK);

  driver::WaitForFocus(app.Item(kIdFilterOn));
  EXPECT_EQ(ReadBytes(input), SampleLog());
  app.ExpectNoBox();
}

TEST_F(WindowParseTest, TheInputAsOutputIsFilteredInPlaceAfterTwoYes) {
  const std::string input = PutSample("inplace.htm");
  const RunningRowsift app = Start();
  // The same file in other letters is still the same file.
  app.Fill(input, folder_ / "INPLACE.HTM", "Login");

  ParseInPlace(app);

  EXPECT_EQ(ReadBytes(input), SampleLoginOutput());
}

TEST_F(WindowParseTest, NoToTheSameFileQuestionChangesNothing) {
  const std::string input = PutSample("inplace.htm");
  const RunningRowsift app = Start();
  app.Fill(input, input, "Login");

  app.PressParse();
  const driver::MessageBoxView same = app.NextBox();
  ExpectQuestion(same, kSameFile);
  app.Answer(same, IDNO);

  driver::WaitForFocus(app.Item(kIdOutputFile));
  app.ExpectNoBox();
  EXPECT_EQ(ReadBytes(input), SampleLog());
}

TEST_F(WindowParseTest, AnotherSpellingOfTheInputIsOnlyAskedAboutAsAnExistingFile) {
  const std::string input = PutSample("results.htm");
  const RunningRowsift app = Start();
  // Relative to the program's folder, which is the scratch folder.
  app.Fill(input, "results.htm", "Login");

  app.PressParse();
  const driver::MessageBoxView exists = app.NextBox();
  ExpectQuestion(exists, kOutputExists);
  app.Answer(exists, IDYES);
  ExpectSuccessBox(app);

  EXPECT_EQ(ReadBytes(input), SampleLoginOutput());
}

TEST_F(WindowParseTest, NoToTheExistingOutputQuestionKeepsTheFile) {
  const std::string input = PutSample("results.htm");
  // An ending no program opens: answering No shows the existing output in its
  // viewer, and the test must not start one.
  const std::string output = folder_ / "kept.rowsifttest";
  WriteBytes(output, "previous output");
  const RunningRowsift app = Start();
  app.Fill(input, output, "Login");

  app.PressParse();
  const driver::MessageBoxView exists = app.NextBox();
  ExpectQuestion(exists, kOutputExists);
  app.Answer(exists, IDNO);

  driver::WaitForFocus(app.Item(kIdOutputFile));
  app.ExpectNoBox();
  EXPECT_EQ(ReadBytes(output), "previous output");
}

TEST_F(WindowParseTest, YesToTheExistingOutputQuestionReplacesTheFile) {
  const std::string input = PutSample("results.htm");
  const std::string output = folder_ / "results_Output.htm";
  WriteBytes(output, "previous output");
  const RunningRowsift app = Start();
  app.Fill(input, output, "Login");

  app.PressParse();
  const driver::MessageBoxView exists = app.NextBox();
  ExpectQuestion(exists, kOutputExists);
  app.Answer(exists, IDYES);
  ExpectSuccessBox(app);

  EXPECT_EQ(ReadBytes(output), SampleLoginOutput());
}

// Releases the test's hold on a file.
using FileLock = kit::unique_file;

TEST_F(WindowParseTest, AnInputHeldByAnotherProgramIsReportedAsAParseError) {
  const std::string input = PutSample("held.htm");
  const std::string output = folder_ / "held_Output.htm";
  const FileLock lock(::CreateFileA(input.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(lock);
  const RunningRowsift app = Start();
  app.Fill(input, output, "Login");

  app.PressParse();
  const driver::MessageBoxView box = app.NextBox();
  EXPECT_EQ(box.text.rfind(kParseErrorIntro, 0), 0u) << Describe(box);
  EXPECT_GT(box.text.size(), std::string(kParseErrorIntro).size()) << "no reason given";
  EXPECT_EQ(box.ButtonIds(), std::vector<int>{IDOK}) << Describe(box);
  EXPECT_EQ(box.iconControl, nullptr) << Describe(box);
  app.Answer(box, IDOK);

  app.ExpectNoBox();
  EXPECT_FALSE(Exists(output));
}

TEST_F(WindowParseTest, AnOutputThatCannotBeWrittenIsNotReportedAsWritten) {
  const std::string input = PutSample("results.htm");
  const std::string output = folder_ / "no such folder\\results_Output.htm";
  const RunningRowsift app = Start();
  app.Fill(input, output, "Login");

  app.PressParse();
  const driver::MessageBoxView box = app.NextBox();
  EXPECT_NE(box.text, kSuccess);
  ASSERT_FALSE(box.buttons.empty()) << Describe(box);
  app.Answer(box, box.buttons.front().id);

  app.ExpectNoBox();
  EXPECT_FALSE(Exists(output));
  EXPECT_TRUE(::IsWindowEnabled(app.Window())) << "the window must be usable again";
}

// --- Paths in any script -------------------------------------------------

using WindowUnicodeTest = RowsiftWindowTest;

TEST_F(WindowUnicodeTest, ALogInFoldersNamedInThreeScriptsIsFilteredAndItsPathsKept) {
  // Latin, Greek and Chinese, which no 8-bit code page spells together.
  const std::filesystem::path folder = folder_.Path() + L"\\R\u00e9sultats\\\u03a9mega";
  ASSERT_TRUE(std::filesystem::create_directories(folder));
  const std::wstring input = folder.wstring() + L"\\\u65e5\u5fd7.htm";
  const std::wstring output = folder.wstring() + L"\\\u65e5\u5fd7_Output.htm";
  WriteBytes(input, SampleLog());
  // The input again, its Latin and Greek letters in the other case.
  const std::wstring inputInOtherCase =
      folder_.Path() + L"\\R\u00c9SULTATS\\\u03c9MEGA\\\u65e5\u5fd7.HTM";
  {
    const RunningRowsift app = Start();
    app.Fill("", "", "Login");
    app.Type(kIdInputFile, input);
    app.Type(kIdOutputFile, output);
    ParseSuccessfully(app);
    EXPECT_EQ(ReadBytes(output), SampleLoginOutput());

    app.Type(kIdOutputFile, inputInOtherCase);
    ParseInPlace(app);
    EXPECT_EQ(ReadBytes(input), SampleLoginOutput());
    app.Close();
  }
  const RunningRowsift app = Start();
  EXPECT_EQ(app.WideTextOf(kIdInputFile), input);
  EXPECT_EQ(app.WideTextOf(kIdOutputFile), inputInOtherCase);
}

// --- Debug mode ----------------------------------------------------------

using WindowDebugModeTest = RowsiftWindowTest;

SYSTEMTIME Now() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return now;
}

// Every time stamp the program may write between `from` and `to`: the user's
// short date and long time of each second in between.
std::set<std::string> StampsBetween(const SYSTEMTIME& from, const SYSTEMTIME& to) {
  const auto ticks = [](const SYSTEMTIME& time) {
    FILETIME file;
    ::SystemTimeToFileTime(&time, &file);
    return (static_cast<std::uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
  };
  constexpr std::uint64_t kSecond = 10000000;  // in 100 ns
  std::set<std::string> stamps;
  for (std::uint64_t tick = ticks(from) - kSecond; tick <= ticks(to) + kSecond; tick += kSecond) {
    FILETIME file = {static_cast<DWORD>(tick), static_cast<DWORD>(tick >> 32)};
    SYSTEMTIME time;
    ::FileTimeToSystemTime(&file, &time);
    char date[80] = {};
    char clock[80] = {};
    ::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, sizeof date);
    ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, sizeof clock);
    stamps.insert(std::string(date) + " " + clock);
  }
  return stamps;
}

bool IsStamped(const std::string& line, const std::set<std::string>& stamps,
               const std::string& rest) {
  for (const std::string& stamp : stamps) {
    if (line == stamp + rest) return true;
  }
  return false;
}

// The seven lines of one successful run.
void ExpectRunLines(const std::vector<std::string>& lines, std::size_t first,
                    const std::set<std::string>& stamps, const std::string& input,
                    const std::string& output, int pieces) {
  ASSERT_GE(lines.size(), first + 7);
  const auto line = [&](std::size_t index) { return lines[first + index]; };
  EXPECT_TRUE(IsStamped(line(0), stamps, ": Open Input File " + input)) << line(0);
  EXPECT_EQ(line(1), "Number of Detail lines = " + std::to_string(pieces));
  EXPECT_TRUE(IsStamped(line(2), stamps, ": Parsing detail lines.")) << line(2);
  EXPECT_TRUE(IsStamped(line(3), stamps, ": Populating output data...")) << line(3);
  EXPECT_TRUE(IsStamped(line(4), stamps, ": Writing to output file " + output + "...")) << line(4);
  EXPECT_TRUE(IsStamped(line(5), stamps, ": Process completed.")) << line(5);
  EXPECT_EQ(line(6), "");
}

TEST_F(WindowDebugModeTest, EachRunAddsItsSevenTimeStampedLines) {
  const std::string input = PutSample("results.htm");
  const std::string output = folder_ / "results_Output.htm";
  const RunningRowsift app = Start("-debug");
  app.Fill(input, output, "Login");

  const SYSTEMTIME before = Now();
  ParseSuccessfully(app);
  const SYSTEMTIME between = Now();
  std::vector<std::string> lines = app.DebugLines();
  ASSERT_EQ(lines.size(), 7u);
  ExpectRunLines(lines, 0, StampsBetween(before, between), input, output, kSampleDetailPieces);
  EXPECT_EQ(ReadBytes(output), SampleLoginOutput());

  // The list is never cleared: a second run adds below the first.
  app.PressParse();
  const driver::MessageBoxView exists = app.NextBox();
  ExpectQuestion(exists, kOutputExists);
  app.Answer(exists, IDYES);
  ExpectSuccessBox(app);
  lines = app.DebugLines();
  ASSERT_EQ(lines.size(), 14u);
  ExpectRunLines(lines, 7, StampsBetween(between, Now()), input, output, kSampleDetailPieces);
}

// A log of several megabytes, so that a run lasts long enough to press
// again, and what the filter "Login" makes of it.
constexpr char kFillerRow[] =
    "<TR><TD>2</TD><TD>Passed</TD><TD>Login again</TD><TD>21:05:00</TD><TD>filler</TD></TR>\r\n";
constexpr char kFilteredFillerRow[] =
    "<TR><TD>2</TD><TD>Passed</TD><TD> again</TD><TD>21:05:00</TD><TD>filler</TD></TR>\r\n";

std::string WithRows(std::string log, const std::string& row, int count) {
  std::string rows;
  rows.reserve(row.size() * static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) rows += row;
  log.insert(log.find("</TABLE>"), rows);
  return log;
}

std::string LargeLog(int rows = 50000) { return WithRows(SampleLog(), kFillerRow, rows); }
std::string LargeLogLoginOutput(int rows) {
  return WithRows(SampleLoginOutput(), kFilteredFillerRow, rows);
}

TEST_F(WindowDebugModeTest, ASecondPressDuringARunIsIgnored) {
  const std::string input = folder_ / "large.htm";
  WriteBytes(input, LargeLog());
  const std::string output = folder_ / "large_Output.htm";
  const RunningRowsift app = Start("-debug");
  app.Fill(input, output, "Login");

  app.PressParse();
  // The list answers between the run's steps, once the first line is there.
  driver::WaitUntil([&] { return !app.DebugLines().empty(); }, "the run's first debug line");
  const HWND parse = app.Item(kIdParse);
  // The run lasts until its success box is answered below, so this press
  // always lands inside it, however far its steps have come. A button the
  // person cannot press ignores the press just as well.
  if (::IsWindowEnabled(parse) && ::IsWindowEnabled(app.Window())) driver::Click(parse);
  ExpectSuccessBox(app);

  app.ExpectNoBox();
  EXPECT_EQ(app.DebugLines().size(), 7u);
}

TEST_F(WindowDebugModeTest, TheFilesTheChecksApprovedAreTheFilesWritten) {
  constexpr int kRows = 200000;
  const std::string input = folder_ / "large.htm";
  WriteBytes(input, LargeLog(kRows));
  const std::string output = folder_ / "large_Output.htm";
  WriteBytes(output, "previous output");
  const RunningRowsift app = Start("-debug");
  app.Fill(input, output, "Login");

  app.PressParse();
  const driver::MessageBoxView exists = app.NextBox();
  ExpectQuestion(exists, kOutputExists);
  // The boxes change once the run has asked (here while its question is up,
  // as another program may change them): the run keeps to what it asked.
  const std::string edited = folder_ / "edited_Output.htm";
  app.Type(kIdOutputFile, edited);
  app.Type(kIdFilterOn, "Logout");
  app.Answer(exists, IDYES);
  // Nor does browsing during the run change the job: a press is ignored.
  const HWND browse = app.Item(kIdBrowse);
  if (::IsWindowEnabled(browse) && ::IsWindowEnabled(app.Window())) driver::Click(browse);
  ExpectSuccessBox(app);

  driver::ExpectNoDialogOnceAnswering(app.Window(), "");
  EXPECT_FALSE(Exists(edited));
  EXPECT_TRUE(ReadBytes(output) == LargeLogLoginOutput(kRows))
      << "the output is not the filtered log";
  const std::vector<std::string> lines = app.DebugLines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_NE(lines[4].find(": Writing to output file " + output + "..."), std::string::npos)
      << lines[4];
  EXPECT_EQ(app.TextOf(kIdOutputFile), edited) << "the boxes keep what was typed";
}

// --- Browse --------------------------------------------------------------

using WindowBrowseTest = RowsiftWindowTest;

// Presses "..." and waits for the open-file dialog, which holds the window.
HWND OpenFileDialog(const RunningRowsift& app) {
  driver::Click(app.Item(kIdBrowse));
  const HWND dialog = driver::WaitForFileDialog(app.ProcessId());
  EXPECT_FALSE(::IsWindowEnabled(app.Window())) << "the file dialog must be modal";
  EXPECT_EQ(driver::Text(driver::FileNameBox(dialog)), "*.htm*");
  return dialog;
}

TEST_F(WindowBrowseTest, CancellingEmptiesTheInputPathOnly) {
  const RunningRowsift app = Start();
  app.Fill(folder_ / "before.htm", folder_ / "before_Output.htm", "Login");

  driver::PressDialogButton(OpenFileDialog(app), IDCANCEL);

  driver::WaitUntil([&] { return app.TextOf(kIdInputFile).empty(); }, "an empty input path");
  EXPECT_EQ(app.TextOf(kIdOutputFile), folder_ / "before_Output.htm");
  EXPECT_EQ(app.TextOf(kIdFilterOn), "Login");
}

TEST_F(WindowBrowseTest, AChosenHtmlFileIsProposedWithAnOutputNameAndParsed) {
  const std::string chosen = PutSample("Suite.HTML");
  const RunningRowsift app = Start();
  app.Fill("", folder_ / "earlier_Output.htm", "Login");

  driver::ChooseFile(OpenFileDialog(app), chosen);

  driver::WaitUntil([&] { return !app.TextOf(kIdInputFile).empty(); }, "the chosen input path");
  EXPECT_EQ(app.TextOf(kIdInputFile), chosen);
  const std::string proposed = folder_ / "Suite_Output.html";
  EXPECT_EQ(app.TextOf(kIdOutputFile), proposed);
  EXPECT_EQ(app.TextOf(kIdFilterOn), "Login");

  ParseSuccessfully(app);
  EXPECT_EQ(ReadBytes(proposed), SampleLoginOutput());
}

TEST_F(WindowBrowseTest, AChosenFileWithoutAnHtmlEndingKeepsTheOutputPath) {
  const std::string chosen = folder_ / "notes.txt";
  WriteBytes(chosen, "not a log");
  const RunningRowsift app = Start();
  app.Fill("", folder_ / "earlier_Output.htm", "Login");

  driver::ChooseFile(OpenFileDialog(app), chosen);

  driver::WaitUntil([&] { return !app.TextOf(kIdInputFile).empty(); }, "the chosen input path");
  EXPECT_EQ(app.TextOf(kIdInputFile), chosen);
  EXPECT_EQ(app.TextOf(kIdOutputFile), folder_ / "earlier_Output.htm");
}

// --- Pictures for a reviewer ---------------------------------------------

// Saved beside this program, not compared: a reviewer looks at them.
using WindowScreenshotTest = RowsiftWindowTest;

void SavePicture(HWND window, const std::string& name) {
  const driver::Image picture = driver::CaptureWindow(window);
  const RECT rect = driver::OuterRect(window);
  EXPECT_EQ(picture.width, rect.right - rect.left);
  EXPECT_EQ(picture.height, rect.bottom - rect.top);
  EXPECT_GT(picture.DistinctColours(), 8u) << "the window looks blank";
  const std::string folder = kit::testing::BesideThisProgram("artifacts");
  ::CreateDirectoryA(folder.c_str(), nullptr);
  driver::SaveBmp(picture, folder + "\\" + name);
}

TEST_F(WindowScreenshotTest, NormalWindowReadyToParse) {
  const RunningRowsift app = Start();
  app.Fill(folder_ / "results.htm", folder_ / "results_Output.htm", "Login");
  SavePicture(app.Window(), "rowsift-normal.bmp");
}

TEST_F(WindowScreenshotTest, DebugWindowAfterARun) {
  const std::string input = PutSample("results.htm");
  const RunningRowsift app = Start("-debug");
  app.Fill(input, folder_ / "results_Output.htm", "Login");
  ParseSuccessfully(app);
  SavePicture(app.Window(), "rowsift-debug.bmp");
}

}  // namespace
}  // namespace rowsift
