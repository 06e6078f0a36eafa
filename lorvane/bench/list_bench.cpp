// Prints what Lorvane.List costs on folders of 1,000, 10,000 and 100,000
// empty files, beside the floor: a program doing exactly the platform's part
// of LoadFileList (list the folder with FindFirstFileW/FindNextFileW, add each
// name to a visible list box and each full path to a hidden one, redraw
// suspended), side by side in one run. Then, on 100,000 entries, what
// GetListFormatted, GetListArray and opening Show cost. The server is
// created from Lorvane.dll beside the program, through its class factory,
// and called by name through IDispatch, as a script host calls it.
//   lorvane_list_bench [FOLDER]
// FOLDER holds the subfolders 1000, 10000 and 100000 of as many files, made
// beforehand (under Wine, making them through Wine takes a quarter of an
// hour: make-files.sh makes them on the Linux side); without it the files
// are made in a scratch folder.
#include <windows.h>

#include <ole2.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "file_system.h"
#include "lorvane_h.h"
#include "scratch_folder.h"
#include "stopwatch.h"
#include "unique_com.h"
#include "unique_resource.h"

namespace {

constexpr int kSizes[] = {1000, 10000, 100000};
constexpr int kRounds = 3;
// The dialog's own: its window class and the id of its OK button.
constexpr wchar_t kDialogClass[] = L"LorvaneListDialog";
constexpr int kOkId = 104;

using kit::testing::Seconds;
using kit::testing::Timed;

// `count` empty files, named as a test run names its captures.
bool MakeFiles(const std::wstring& folder, int count) {
  ::CreateDirectoryW(folder.c_str(), nullptr);
  for (int i = 0; i < count; ++i) {
    wchar_t name[32];
    std::swprintf(name, 32, L"\\capture_%06d.txt", i);
    const kit::unique_file file(::CreateFileW((folder + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
  }
  return true;
}

// ---- The floor ---------------------------------------------------------------

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// A hidden popup with a visible list box for the names and a hidden one for
// the paths, styled as the pick list's.
class FloorDialog {
 public:
  FloorDialog() {
    window_.reset(::CreateWindowExW(0, L"KitBenchFloor", L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 400,
                                    400, nullptr, nullptr, nullptr, nullptr));
    names_ = ::CreateWindowExW(0, L"LISTBOX", L"",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_BORDER |
                                   LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                               4, 28, 377, 264, window_.get(), nullptr, nullptr, nullptr);
    paths_ = ::CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | LBS_NOINTEGRALHEIGHT, 4, 28, 377, 264,
                               window_.get(), nullptr, nullptr, nullptr);
  }

  // The folder's files: names to one list, full paths to the other.
  int Load(const std::wstring& folder) {
    const std::wstring prefix = folder + L"\\";
    ::SendMessageW(names_, WM_SETREDRAW, FALSE, 0);
    int added = 0;
    WIN32_FIND_DATAW found;
    const kit::unique_find find(::FindFirstFileW((prefix + L"*").c_str(), &found));
    if (find) {
      do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        ::SendMessageW(names_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(found.cFileName));
        const std::wstring path = prefix + found.cFileName;
        ::SendMessageW(paths_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path.c_str()));
        ++added;
      } while (::FindNextFileW(find.get(), &found));
    }
    ::SendMessageW(names_, WM_SETREDRAW, TRUE, 0);
    return added;
  }

  static void Register() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = PlainProc;
    windowClass.lpszClassName = L"KitBenchFloor";
    ::RegisterClassW(&windowClass);
  }

 private:
  kit::unique_window window_;
  HWND names_ = nullptr;
  HWND paths_ = nullptr;
};

// The listing alone, names kept as FindNextFileW gives them.
int ListOnly(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const kit::unique_find find(::FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (find) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(found.cFileName);
    } while (::FindNextFileW(find.get(), &found));
  }
  return static_cast<int>(names.size());
}

// ---- Lorvane.List through IDispatch -----------------------------------------

class Script {
 public:
  explicit Script(IDispatch* list) : list_(list) {}

  // Calls `name` with the arguments in call order; the result, or VT_EMPTY
  // after a failure.
  HRESULT Call(const wchar_t* name, std::vector<const wchar_t*> arguments,
               kit::unique_variant& result) const {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = list_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<kit::unique_variant> reversed(arguments.size());
    std::vector<VARIANT> passed;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      V_VT(reversed[i].get()) = VT_BSTR;
      V_BSTR(reversed[i].get()) = ::SysAllocString(arguments[arguments.size() - 1 - i]);
      passed.push_back(*reversed[i].get());
    }
    DISPPARAMS params{passed.data(), nullptr, static_cast<UINT>(passed.size()), 0};
    result.reset();
    return list_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.get(),
                         nullptr, nullptr);
  }

  HRESULT Call(const wchar_t* name, std::vector<const wchar_t*> arguments = {}) const {
    kit::unique_variant ignored;
    return Call(name, std::move(arguments), ignored);
  }

 private:
  IDispatch* list_;
};

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

kit::com_ptr<IDispatch> CreateList(HMODULE server) {
  kit::com_ptr<IDispatch> list;
  const auto getClassObject = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(::GetProcAddress(server, "DllGetClassObject")));
  kit::com_ptr<IClassFactory> factory;
  if (getClassObject && SUCCEEDED(getClassObject(CLSID_List, IID_IClassFactory,
                                                 reinterpret_cast<void**>(factory.put())))) {
    factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(list.put()));
  }
  return list;
}

// Shows the list and times it: until the dialog is on the screen and its
// loop answers, and until OK has brought Show back.
void TimeShow(const Script& list, double& opened, double& roundTrip) {
  std::atomic<double> visibleAt{0};
  const double begun = Seconds();
  std::thread person([&] {
    HWND dialog = nullptr;
    while (!dialog || !::IsWindowVisible(dialog)) {
      dialog = ::FindWindowW(kDialogClass, nullptr);
      std::this_thread::yield();
    }
    // The modal loop answers once it runs, the list box painted before.
    ::SendMessageW(dialog, WM_NULL, 0, 0);
    visibleAt = Seconds();
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(kOkId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, kOkId)));
  });
  list.Call(L"Show");
  roundTrip = Seconds() - begun;
  person.join();
  opened = visibleAt - begun;
}

}  // namespace

int main(int argc, char** argv) {
  const HRESULT initialized = ::CoInitialize(nullptr);
  if (FAILED(initialized)) return 1;
  FloorDialog::Register();
  const kit::unique_hmodule server(
      ::LoadLibraryW(kit::testing::BesideThisProgram(L"Lorvane.dll").c_str()));
  kit::com_ptr<IDispatch> object = server ? CreateList(server.get()) : kit::com_ptr<IDispatch>();
  if (!object) {
    std::puts("Lorvane.dll not found beside the program, or its List cannot be created");
    return 1;
  }
  const Script list(object.get());
  const std::unique_ptr<filelayer::FileSystem> files = filelayer::MakePlatformFileSystem();

  std::unique_ptr<kit::testing::ScratchFolder> scratch;
  std::wstring root;
  if (argc > 1) {
    root = kit::testing::WideFromAnsi(argv[1]);
    std::replace(root.begin(), root.end(), L'/', L'\\');
  } else {
    scratch = std::make_unique<kit::testing::ScratchFolder>(L"lorvane-bench");
    root = scratch->Path();
    std::printf("Making %d, %d and %d empty files...\n", kSizes[0], kSizes[1], kSizes[2]);
    std::fflush(stdout);
    for (int size : kSizes) {
      if (!MakeFiles(root + L"\\" + std::to_wstring(size), size)) {
        std::puts("cannot make the files");
        return 1;
      }
    }
  }

  std::printf("\nLoadFileList beside the floor; best of %d rounds, seconds\n", kRounds);
  std::printf("%8s %9s %10s %9s %9s %7s %11s %13s\n", "files", "listing", "file layer", "floor",
              "Lorvane", "ratio", "floor us/f", "Lorvane us/f");
  for (int size : kSizes) {
    const std::wstring folder = root + L"\\" + std::to_wstring(size);
    const std::string folderUtf8(kit::testing::AnsiFromWide(folder));
    double listing = 1e9, layer = 1e9, floor = 1e9, lorvane = 1e9;
    int listed = 0, floored = 0;
    for (int round = 0; round < kRounds; ++round) {
      listing = std::min(listing, Timed([&] { listed = ListOnly(folder); }));
      layer = std::min(
          layer, Timed([&] { (void)files->Files(folderUtf8, filelayer::EntryDates::kLeftOut); }));
      {
        FloorDialog dialog;
        floor = std::min(floor, Timed([&] { floored = dialog.Load(folder); }));
      }
      list.Call(L"Clear");
      lorvane = std::min(lorvane, Timed([&] { list.Call(L"LoadFileList", {folder.c_str()}); }));
    }
    if (listed != size || floored != size)
      std::printf("  (listed %d, floor %d)\n", listed, floored);
    std::printf("%8d %9.3f %10.3f %9.3f %9.3f %6.2fx %11.2f %13.2f\n", size, listing, layer, floor,
                lorvane, lorvane / floor, floor / size * 1e6, lorvane / size * 1e6);
    std::fflush(stdout);
  }

  // The list now holds the 100,000 files of the last load.
  kit::unique_variant result;
  const double formatted = Timed([&] { list.Call(L"GetListFormatted", {}, result); });
  const std::size_t characters =
      V_VT(result.get()) == VT_BSTR ? ::SysStringLen(V_BSTR(result.get())) : 0;
  const double array = Timed([&] { list.Call(L"GetListArray", {}, result); });
  LONG upper = -1;
  if (V_VT(result.get()) == (VT_ARRAY | VT_VARIANT))
    ::SafeArrayGetUBound(V_ARRAY(result.get()), 1, &upper);
  result.reset();
  double opened = 0, roundTrip = 0;
  TimeShow(list, opened, roundTrip);

  std::printf("\nOn %d entries, seconds\n", kSizes[2]);
  std::printf("  GetListFormatted      %7.3f  (%zu characters)\n", formatted, characters);
  std::printf("  GetListArray          %7.3f  (upper bound %ld)\n", array, upper);
  std::printf("  Show, dialog open     %7.3f\n", opened);
  std::printf("  Show, open to OK      %7.3f\n", roundTrip);

  list.Call(L"Clear");
  object.reset();
  ::CoUninitialize();
  return 0;
}
