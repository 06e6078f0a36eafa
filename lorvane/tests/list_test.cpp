// Lorvane.List as a script host sees it: registered in the test prefix,
// created by ProgID, called by name through IDispatch, its dialog driven
// from another thread while Show runs.
#include <gtest/gtest.h>
#include <ole2.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "exit_host.h"
#include "lorvane_h.h"
#include "scratch_folder.h"
#include "screen_dpi.h"
#include "unique_com.h"
#include "window_driver.h"

namespace {

namespace driver = kit::testing;

kit::unique_variant TextVariant(const wchar_t* text) {
  kit::unique_variant variant;
  V_VT(variant.get()) = VT_BSTR;
  V_BSTR(variant.get()) = ::SysAllocString(text);
  return variant;
}

VARIANT Short(short value) {  // a VBScript number literal
  VARIANT v{};
  V_VT(&v) = VT_I2;
  V_I2(&v) = value;
  return v;
}

VARIANT ByRef(VARIANT* target) {  // a VBScript variable
  VARIANT v{};
  V_VT(&v) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&v) = target;
  return v;
}

std::wstring Text(const VARIANT& v) {
  return V_VT(&v) == VT_BSTR ? std::wstring(V_BSTR(&v), ::SysStringLen(V_BSTR(&v))) : L"<not text>";
}

struct CallResult {
  HRESULT hr = E_FAIL;  // the method's own code also when Invoke wraps it as an exception
  kit::unique_variant value;
};

// Looks `name` up and invokes it with `arguments` in call order. The call
// gets copies of its own: parameters are [in, out], and the dispatcher may
// give a changed value back in place of the one passed.
void Call(IDispatch* object, const wchar_t* name, const std::vector<VARIANT>& arguments,
          CallResult& result, WORD flags = DISPATCH_METHOD) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  result.hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(result.hr)) return;
  std::vector<VARIANT> reversed(arguments.size());
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    ::VariantInit(&reversed[i]);
    ::VariantCopy(&reversed[i], const_cast<VARIANT*>(&arguments[arguments.size() - 1 - i]));
  }
  const kit::scope_exit clear([&reversed] {
    for (VARIANT& argument : reversed) ::VariantClear(&argument);
  });
  DISPID named = DISPID_PROPERTYPUT;
  const bool put = flags == DISPATCH_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), put ? &named : nullptr, static_cast<UINT>(reversed.size()),
                    put ? 1u : 0u};
  EXCEPINFO exception{};
  result.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.value.get(),
                             &exception, nullptr);
  if (result.hr == DISP_E_EXCEPTION) {
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    result.hr = exception.scode;
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
  }
}

std::wstring DllPath() { return kit::testing::BesideThisProgram(L"Lorvane.dll"); }

// The server loaded as regsvr32 loads it.
class Server {
 public:
  bool Loaded() const { return module_.valid(); }
  HRESULT Register() const { return Entry<HRESULT WINAPI()>("DllRegisterServer")(); }
  HRESULT Unregister() const { return Entry<HRESULT WINAPI()>("DllUnregisterServer")(); }
  HRESULT Install(BOOL install, const wchar_t* commandLine) const {
    return Entry<HRESULT WINAPI(BOOL, LPCWSTR)>("DllInstall")(install, commandLine);
  }
  HRESULT CanUnloadNow() const { return Entry<HRESULT WINAPI()>("DllCanUnloadNow")(); }
  HRESULT GetClassObject(REFCLSID clsid, void** factory) const {
    return Entry<HRESULT WINAPI(REFCLSID, REFIID, void**)>("DllGetClassObject")(
        clsid, IID_IClassFactory, factory);
  }

 private:
  template <typename Function>
  Function* Entry(const char* name) const {
    return reinterpret_cast<Function*>(
        reinterpret_cast<void*>(::GetProcAddress(module_.get(), name)));
  }
  kit::unique_hmodule module_{::LoadLibraryW(DllPath().c_str())};
};

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring RegText(HKEY root, const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t buffer[MAX_PATH] = {};
  DWORD bytes = sizeof buffer;
  return ::RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) ==
                 ERROR_SUCCESS
             ? buffer
             : L"<missing>";
}

bool KeyExists(HKEY root, const std::wstring& key) {
  kit::unique_hkey opened;
  return ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

// ---- Registration -----------------------------------------------------------

const std::wstring kClassKey = L"CLSID\\" + GuidText(CLSID_List);

void ExpectClassKeys(HKEY classes) {
  EXPECT_NE(RegText(classes, kClassKey), L"<missing>");
  EXPECT_EQ(RegText(classes, kClassKey + L"\\InprocServer32"), DllPath());
  EXPECT_EQ(RegText(classes, kClassKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(RegText(classes, kClassKey + L"\\ProgID"), L"Lorvane.List");
  EXPECT_EQ(RegText(classes, kClassKey + L"\\TypeLib"), GuidText(LIBID_Lorvane));
  EXPECT_EQ(RegText(classes, kClassKey + L"\\Version"), L"1.0");
  EXPECT_EQ(RegText(classes, L"Lorvane.List\\CLSID"), GuidText(CLSID_List));
}

void ExpectNoClassKeys(HKEY classes) {
  EXPECT_FALSE(KeyExists(classes, kClassKey));
  EXPECT_FALSE(KeyExists(classes, L"Lorvane.List"));
}

TEST(Registration, PerMachineWritesClassProgIdAndTypeLibraryAndRemovesThem) {
  const kit::unique_couninitialize_call com = kit::CoInitializeApartment();
  Server server;
  ASSERT_TRUE(server.Loaded());
  ASSERT_EQ(server.Register(), S_OK);
  ExpectClassKeys(HKEY_CLASSES_ROOT);
  const std::wstring library = L"TypeLib\\" + GuidText(LIBID_Lorvane) + L"\\1.0";
  const std::wstring iface = L"Interface\\" + GuidText(IID__List);
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, library));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, iface));

  ASSERT_EQ(server.Unregister(), S_OK);
  ExpectNoClassKeys(HKEY_CLASSES_ROOT);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, library));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, iface));
}

// Each scope touches its own classes only: a machine-wide registration and
// unregistration leave a user's own registration whole, type library
// included. (Wine creates objects from the machine's classes only, so the
// user's keys are read rather than used.)
TEST(Registration, PerUserWritesOnlyUnderTheUsersClassesWhichMachineWideCallsLeaveAlone) {
  const kit::unique_couninitialize_call com = kit::CoInitializeApartment();
  Server server;
  ASSERT_TRUE(server.Loaded());
  EXPECT_EQ(server.Install(TRUE, L""), E_INVALIDARG) << "only \"user\" is understood";
  kit::unique_hkey user, machine;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_READ,
                              nullptr, user.put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, KEY_READ, machine.put()),
            ERROR_SUCCESS);
  const std::wstring library = L"TypeLib\\" + GuidText(LIBID_Lorvane) + L"\\1.0\\0\\" +
                               (sizeof(void*) == 8 ? L"win64" : L"win32");
  const kit::scope_exit cleanUp([&] {
    server.Install(FALSE, L"user");
    server.Unregister();
  });

  ASSERT_EQ(server.Install(TRUE, L"user"), S_OK);
  ExpectClassKeys(user.get());
  EXPECT_TRUE(KeyExists(user.get(), library));
  ExpectNoClassKeys(machine.get());

  ASSERT_EQ(server.Register(), S_OK);
  ExpectClassKeys(machine.get());
  EXPECT_TRUE(KeyExists(machine.get(), library));
  ASSERT_EQ(server.Unregister(), S_OK);
  ExpectNoClassKeys(machine.get());
  EXPECT_FALSE(KeyExists(machine.get(), library));
  ExpectClassKeys(user.get());
  EXPECT_TRUE(KeyExists(user.get(), library)) << "the user's type library entry";

  ASSERT_EQ(server.Install(FALSE, L"user"), S_OK);
  ExpectNoClassKeys(user.get());
  EXPECT_FALSE(KeyExists(user.get(), library));
}

TEST(ServerLifetime, CanUnloadOnlyWithoutObjectsOrLocks) {
  const kit::unique_couninitialize_call com = kit::CoInitializeApartment();
  Server server;
  ASSERT_TRUE(server.Loaded());
  EXPECT_EQ(server.CanUnloadNow(), S_OK);
  kit::com_ptr<IClassFactory> factory;
  ASSERT_EQ(server.GetClassObject(CLSID_List, factory.put_void()), S_OK);
  EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "the factory is held";
  kit::com_ptr<IDispatch> list, second;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, list.put_void()), S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory.reset();
  ASSERT_EQ(list->QueryInterface(IID_IDispatch, second.put_void()), S_OK);
  list.reset();
  EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "one reference left";
  second.reset();
  EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "still locked";

  ASSERT_EQ(server.GetClassObject(CLSID_List, factory.put_void()), S_OK);
  factory->LockServer(FALSE);
  factory.reset();
  EXPECT_EQ(server.CanUnloadNow(), S_OK);
  EXPECT_EQ(server.GetClassObject(GUID_NULL, factory.put_void()), CLASS_E_CLASSNOTAVAILABLE);
}

// ---- Calls by name ----------------------------------------------------------

kit::com_ptr<IDispatch> CreateList() {
  CLSID clsid{};
  kit::com_ptr<IDispatch> object;
  if (SUCCEEDED(::CLSIDFromProgID(L"Lorvane.List", &clsid)))
    ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put_void());
  return object;
}

std::wstring Formatted(IDispatch* list) {
  CallResult r;
  Call(list, L"GetListFormatted", {}, r);
  EXPECT_EQ(r.hr, S_OK);
  return Text(*r.value.get());
}

class ListByName : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Loaded());
    ASSERT_EQ(server_.Register(), S_OK);
    list_ = CreateList();
    ASSERT_TRUE(list_);
  }
  void TearDown() override {
    list_.reset();
    server_.Unregister();
  }

  void Add(std::initializer_list<const wchar_t*> items) {
    for (const wchar_t* item : items) {
      const kit::unique_variant text = TextVariant(item);
      CallResult r;
      Call(list_.get(), L"AddToList", {*text.get()}, r);
      ASSERT_EQ(r.hr, S_OK);
    }
  }
  std::wstring Selected() {
    CallResult r;
    Call(list_.get(), L"GetSelItem", {}, r);
    EXPECT_EQ(r.hr, S_OK);
    return Text(*r.value.get());
  }
  // Bounds of GetListArray's result, with its elements as text; "" for an empty element.
  bool ListArray(LONG& upper, std::vector<std::wstring>& elements) {
    CallResult r;
    Call(list_.get(), L"GetListArray", {}, r);
    if (V_VT(r.value.get()) != (VT_ARRAY | VT_VARIANT)) return false;
    SAFEARRAY* array = V_ARRAY(r.value.get());
    LONG lower = -1;
    ::SafeArrayGetLBound(array, 1, &lower);
    ::SafeArrayGetUBound(array, 1, &upper);
    EXPECT_EQ(::SafeArrayGetDim(array), 1u);
    EXPECT_EQ(lower, 0);
    elements.clear();
    for (LONG i = 0; i <= upper; ++i) {
      kit::unique_variant element;
      ::SafeArrayGetElement(array, &i, element.get());
      elements.push_back(V_VT(element.get()) == VT_EMPTY ? L"" : Text(*element.get()));
    }
    return true;
  }

  const kit::unique_couninitialize_call com_ = kit::CoInitializeApartment();
  Server server_;
  kit::com_ptr<IDispatch> list_;
};

TEST_F(ListByName, NamesHaveTheirPublishedDispatchIds) {
  const std::pair<const wchar_t*, DISPID> members[] = {{L"List", 0x40030000},
                                                       {L"show", 0x60030000},
                                                       {L"Hide", 0x60030001},
                                                       {L"Clear", 0x60030002},
                                                       {L"AddToList", 0x60030003},
                                                       {L"GetSelItem", 0x60030004},
                                                       {L"GetListFormatted", 0x60030005},
                                                       {L"GetListArray", 0x60030006},
                                                       {L"LoadFolderList", 0x60030007},
                                                       {L"LoadFileList", 0x60030008},
                                                       {L"LoadFilesWithExt", 0x60030009},
                                                       {L"LoadFilesOfDate", 0x6003000a},
                                                       {L"LOADFOLDERSOFDATE", 0x6003000b}};
  for (const auto& [name, expected] : members) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(list_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, expected) << ::testing::PrintToString(std::wstring(name));
  }
}

TEST_F(ListByName, ReadBackOfEmptyOneAndTwoEntries) {
  LONG upper = -1;
  std::vector<std::wstring> elements;
  EXPECT_EQ(Formatted(list_.get()), L"");
  CallResult empty;
  Call(list_.get(), L"GetListArray", {}, empty);
  EXPECT_EQ(Text(*empty.value.get()), L"") << "text, not an empty array";

  Add({L"a"});
  EXPECT_EQ(Formatted(list_.get()), L"a");
  ASSERT_TRUE(ListArray(upper, elements));
  EXPECT_EQ(elements, std::vector<std::wstring>{L"a"});

  Add({L"b"});
  EXPECT_EQ(Formatted(list_.get()), L"a\r\nb\r\n");
  ASSERT_TRUE(ListArray(upper, elements));
  EXPECT_EQ(upper, 2) << "n entries and one empty element";
  EXPECT_EQ(elements, (std::vector<std::wstring>{L"a", L"b", L""}));
}

TEST_F(ListByName, ArgumentsAreConvertedInTheUsersLocaleAndNotWrittenBack) {
  CallResult r;
  Call(list_.get(), L"AddToList", {Short(5)}, r);
  ASSERT_EQ(r.hr, S_OK);
  kit::unique_variant variable;
  V_VT(variable.get()) = VT_R8;
  V_R8(variable.get()) = 2.5;
  Call(list_.get(), L"AddToList", {ByRef(variable.get())}, r);
  ASSERT_EQ(r.hr, S_OK);
  EXPECT_EQ(V_VT(variable.get()), VT_R8);
  wchar_t mark[4] = {};
  ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, mark, 4);
  EXPECT_EQ(Formatted(list_.get()), L"5\r\n2" + std::wstring(mark) + L"5\r\n");
}

TEST_F(ListByName, UnconvertibleArgumentFailsWithTypeMismatchAndChangesNothing) {
  Add({L"kept"});
  kit::unique_variant null, array;
  V_VT(null.get()) = VT_NULL;
  V_VT(array.get()) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(array.get()) = ::SafeArrayCreateVector(VT_VARIANT, 0, 1);
  for (VARIANT argument : {*null.get(), ByRef(null.get()), *array.get()}) {
    CallResult r;
    Call(list_.get(), L"AddToList", {argument}, r);
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
  }
  EXPECT_EQ(Formatted(list_.get()), L"kept");
}

TEST_F(ListByName, ClearEmptiesTheListAndListPropertyIsOnlyStored) {
  Add({L"a", L"b"});
  const kit::unique_variant text = TextVariant(L" any\r\ntext ");
  CallResult r;
  Call(list_.get(), L"List", {*text.get()}, r, DISPATCH_PROPERTYPUT);
  ASSERT_EQ(r.hr, S_OK);
  Call(list_.get(), L"List", {}, r, DISPATCH_PROPERTYGET);
  EXPECT_EQ(Text(*r.value.get()), L" any\r\ntext ");
  EXPECT_EQ(Formatted(list_.get()), L"a\r\nb\r\n");

  CallResult cleared;
  Call(list_.get(), L"Clear", {}, cleared);
  ASSERT_EQ(cleared.hr, S_OK);
  EXPECT_EQ(Formatted(list_.get()), L"");
}

TEST_F(ListByName, OneDialogPerThreadSharedUntilAnyListIsDestroyed) {
  kit::com_ptr<IDispatch> other = CreateList();
  ASSERT_TRUE(other);
  Add({L"a"});
  EXPECT_EQ(Formatted(other.get()), L"a");
  std::wstring seenOnAnotherThread = L"<not run>";
  std::thread([&] {
    const kit::unique_couninitialize_call com = kit::CoInitializeApartment();
    kit::com_ptr<IDispatch> there = CreateList();
    if (there) seenOnAnotherThread = Formatted(there.get());
  }).join();
  EXPECT_EQ(seenOnAnotherThread, L"");
  EXPECT_EQ(Formatted(list_.get()), L"a");

  kit::com_ptr<IClassFactory> factory;
  ASSERT_EQ(server_.GetClassObject(CLSID_List, factory.put_void()), S_OK);
  kit::com_ptr<IUnknown> refused;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPersist, refused.put_void()), E_NOINTERFACE);
  EXPECT_EQ(Formatted(list_.get()), L"a") << "a failed creation leaves the dialog alone";

  other.reset();
  EXPECT_EQ(Formatted(list_.get()), L"") << "destroying one List discards the dialog";
}

// ---- The dialog, driven while Show runs --------------------------------------

struct DialogParts {
  HWND label = nullptr;
  HWND box1 = nullptr;
  HWND box2 = nullptr;
  HWND ok = nullptr;
};

DialogParts Parts(HWND dialog) {
  DialogParts parts;
  for (HWND child : driver::Children(dialog)) {
    const std::string kind = driver::ClassName(child);
    if (kind == "Static") parts.label = child;
    const bool shown = (::GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) != 0;
    if (kind == "ListBox") (shown ? parts.box1 : parts.box2) = child;
    if (kind == "Button" && driver::Text(child) == "OK") parts.ok = child;
  }
  return parts;
}

// Sent, not posted, as from another process: handled inside GetMessage,
// which returns only for posted messages.
void PressOk(HWND dialog) { driver::ClickAndWait(Parts(dialog).ok); }

// Runs `drive` on another thread while Show runs here and requires Show to
// return soon after; a failure of the driver fails the test.
void ShowDriven(IDispatch* list, const std::function<void(HWND)>& drive) {
  std::atomic<bool> returned{false};
  std::string failure;
  std::thread driverThread([&] {
    HWND dialog = nullptr;
    try {
      driver::WaitUntil(
          [&] {
            dialog = driver::FindTopLevelWindow(::GetCurrentProcessId(), "", "Form1");
            return dialog != nullptr;
          },
          "the list dialog");
      drive(dialog);
      driver::WaitUntil([&] { return returned.load(); }, "Show to return",
                        std::chrono::milliseconds(3000));
    } catch (const std::exception& e) {
      failure = e.what();
      if (dialog) ::PostMessageW(dialog, WM_CLOSE, 0, 0);  // let the test end
    }
  });
  CallResult shown;
  Call(list, L"Show", {}, shown);
  returned = true;
  driverThread.join();
  EXPECT_EQ(shown.hr, S_OK);
  EXPECT_EQ(failure, "");
}

TEST_F(ListByName, OkRecordsTheValueOfTheSelectedEntryWhichOutlivesClearAndTheList) {
  Add({L"a", L"b", L"c", L"d"});
  ShowDriven(list_.get(), [](HWND dialog) {
    ::SendMessageW(Parts(dialog).box1, LB_SETCURSEL, 3, 0);
    PressOk(dialog);
  });
  EXPECT_EQ(Selected(), L"d");
  CallResult r;
  Call(list_.get(), L"Clear", {}, r);
  list_ = CreateList();
  EXPECT_EQ(Selected(), L"d");

  ShowDriven(list_.get(), PressOk);
  EXPECT_EQ(Selected(), L"") << "OK with nothing selected";
}

// A host may unload the server whenever it answers that it can: while a
// thread keeps a choice, it must answer no.
TEST(ServerLifetime, AStoredChoiceKeepsTheServerLoadedUntilItsThreadEnds) {
  Server server;
  ASSERT_TRUE(server.Loaded());
  std::thread([&] {
    const kit::unique_couninitialize_call com = kit::CoInitializeApartment();
    kit::com_ptr<IClassFactory> factory;
    kit::com_ptr<IDispatch> list;
    ASSERT_EQ(server.GetClassObject(CLSID_List, factory.put_void()), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, list.put_void()), S_OK);
    factory.reset();
    const kit::unique_variant item = TextVariant(L"kept");
    CallResult added;
    Call(list.get(), L"AddToList", {*item.get()}, added);
    ShowDriven(list.get(), [](HWND dialog) {
      ::SendMessageW(Parts(dialog).box1, LB_SETCURSEL, 0, 0);
      PressOk(dialog);
    });
    list.reset();
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "no object is left, but the choice is";
  }).join();
  EXPECT_EQ(server.CanUnloadNow(), S_OK) << "the thread's end lets the choice go";
}

TEST_F(ListByName, DialogIsLaidOutInTwipsWithItsOwnFrameAndIcon) {
  Add({L"a"});
  ShowDriven(list_.get(), [](HWND dialog) {
    const int dpi = kit::GetScreenDpi().y;
    auto px = [dpi](int twips) { return ::MulDiv(twips, dpi, 1440); };
    const SIZE client = driver::ClientSize(dialog);
    const RECT outer = driver::OuterRect(dialog);
    EXPECT_EQ(client.cx, px(5820));
    EXPECT_EQ(client.cy, px(5025));
    EXPECT_EQ(outer.right - outer.left, client.cx) << "no border";
    EXPECT_EQ(outer.bottom - outer.top, client.cy) << "no title bar";

    const DialogParts parts = Parts(dialog);
    ASSERT_TRUE(parts.label && parts.box1 && parts.box2 && parts.ok);
    EXPECT_EQ(driver::RectInParent(parts.box1).left, px(60));
    EXPECT_EQ(driver::RectInParent(parts.box1).top, px(420));
    EXPECT_EQ(driver::RectInParent(parts.ok).left, px(2580));
    EXPECT_EQ(driver::RectInParent(parts.ok).top, px(4500));
    EXPECT_EQ(driver::Text(parts.label), "");
    EXPECT_EQ(driver::ListBoxLines(parts.box2), std::vector<std::string>{"a"});
    driver::WaitForFocus(parts.box1);

    const COLORREF ink = ::GetSysColor(COLOR_WINDOWTEXT);
    const std::uint32_t line = (GetRValue(ink) << 16) | (GetGValue(ink) << 8) | GetBValue(ink);
    const driver::Image picture = driver::CaptureWindow(dialog);
    const int right = px(5760), bottom = px(4980), x = right / 3, y = bottom / 2;
    EXPECT_EQ(picture.At(0, y), line);
    EXPECT_EQ(picture.At(x, 0), line);
    EXPECT_EQ(picture.At(right, y), line);
    EXPECT_EQ(picture.At(x, bottom), line);
    EXPECT_NE(picture.At(right + 2, y), line);
    EXPECT_NE(picture.At(x, bottom + 2), line);

    ICONINFO icon{};
    ASSERT_TRUE(
        ::GetIconInfo(reinterpret_cast<HICON>(::GetClassLongPtrW(dialog, GCLP_HICON)), &icon));
    kit::unique_hgdiobj colour(icon.hbmColor), mask(icon.hbmMask);
    BITMAP bitmap{};
    ::GetObjectW(colour.get(), sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 32);

    // OK is neither default nor cancel button.
    ::SendMessageW(parts.box1, LB_SETCURSEL, 0, 0);
    driver::PressKey(parts.box1, VK_RETURN);
    driver::PressKey(parts.box1, VK_ESCAPE);
    ::Sleep(300);
    EXPECT_TRUE(::IsWindowVisible(dialog));
    PressOk(dialog);
  });
  EXPECT_EQ(Selected(), L"a");
}

TEST_F(ListByName, ShowDisablesTheThreadsOtherWindowsAndHandsTheActivationBack) {
  kit::unique_any<HWND, ::DestroyWindow> other(
      ::CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                        nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(other);
  ::SetForegroundWindow(other.get());
  ASSERT_EQ(::GetActiveWindow(), other.get());
  bool enabledDuringShow = true;
  ShowDriven(list_.get(), [&](HWND dialog) {
    enabledDuringShow = ::IsWindowEnabled(other.get()) != FALSE;
    PressOk(dialog);
  });
  EXPECT_FALSE(enabledDuringShow);
  EXPECT_TRUE(::IsWindowEnabled(other.get()));
  EXPECT_EQ(::GetActiveWindow(), other.get()) << "not passed on to another program's window";
}

// Runs `action` once on this thread, from inside its message loop once
// `when` holds, as a host's own window code runs while Show waits.
class OnThisThreadsLoop {
 public:
  explicit OnThisThreadsLoop(
      std::function<void()> action, std::function<bool()> when = [] { return true; }) {
    pending = std::move(action);
    ready = std::move(when);
    id_ = ::SetTimer(nullptr, 0, 50, Run);
  }
  OnThisThreadsLoop(const OnThisThreadsLoop&) = delete;
  OnThisThreadsLoop& operator=(const OnThisThreadsLoop&) = delete;
  ~OnThisThreadsLoop() {
    ::KillTimer(nullptr, id_);
    pending = nullptr;
  }

 private:
  static void CALLBACK Run(HWND, UINT, UINT_PTR id, DWORD) {
    if (!pending || !ready()) return;
    ::KillTimer(nullptr, id);
    std::exchange(pending, nullptr)();
  }
  static inline std::function<void()> pending;
  static inline std::function<bool()> ready;
  UINT_PTR id_ = 0;
};

// However the dialog goes while Show runs, the thread's other windows take
// input again and the activation comes back to them: after OK in a Show
// nested inside another, and when a List is released meanwhile.
TEST_F(ListByName, EveryWayTheDialogGoesGivesTheCallersWindowsBack) {
  kit::unique_any<HWND, ::DestroyWindow> other(
      ::CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                        nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(other);
  Add({L"a"});

  ::SetForegroundWindow(other.get());
  std::atomic<bool> nestedShowing{false};
  bool enabledAfterNestedShow = false;
  {
    const OnThisThreadsLoop nested([&] {
      nestedShowing = true;
      CallResult shown;
      Call(list_.get(), L"Show", {}, shown);
      enabledAfterNestedShow = ::IsWindowEnabled(other.get()) != FALSE;
    });
    ShowDriven(list_.get(), [&](HWND dialog) {
      driver::WaitUntil([&] { return nestedShowing.load(); }, "the nested Show");
      PressOk(dialog);
    });
  }
  EXPECT_TRUE(enabledAfterNestedShow) << "OK of a nested Show gives back every Show's windows";
  EXPECT_EQ(::GetActiveWindow(), other.get()) << "after OK of a nested Show";

  ::SetForegroundWindow(other.get());
  std::atomic<bool> dialogSeen{false};
  {
    const OnThisThreadsLoop release([] { CreateList().reset(); },
                                    [&] { return dialogSeen.load(); });
    ShowDriven(list_.get(), [&](HWND dialog) {
      dialogSeen = true;
      driver::WaitForWindowGone(dialog);
    });
  }
  EXPECT_TRUE(::IsWindowEnabled(other.get()));
  EXPECT_EQ(::GetActiveWindow(), other.get()) << "after a List was released during Show";
}

TEST_F(ListByName, ClosingTheDialogEndsShowWithoutRecordingASelection) {
  Add({L"a"});
  const std::wstring before = Selected();
  ShowDriven(list_.get(), [](HWND dialog) {
    ::SendMessageW(Parts(dialog).box1, LB_SETCURSEL, 0, 0);
    driver::Close(dialog);
  });
  EXPECT_EQ(Selected(), before);
  EXPECT_EQ(Formatted(list_.get()), L"") << "a closed dialog comes back empty";
}

// ---- Threads, unloading and process exit --------------------------------------
// The program runs under Wine's heap checking: a freed block used again is
// reported, and the report fails the test.

BOOL CALLBACK TakeIfDialog(HWND window, LPARAM found) {
  if (driver::ClassName(window) != "LorvaneListDialog") return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// This thread's dialog, shown or not.
HWND ThisThreadsDialog() {
  HWND found = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), TakeIfDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

// What a host's worker thread does: an apartment of its own, a List made by
// CoCreateInstance, filled and read by name, maybe a choice recorded by OK,
// the List released, the apartment left or not before the thread ends.
// False when the List did not answer as it should.
bool UseAListOnThisThread(bool choose, bool leaveApartment) {
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return false;
  bool answered = false;
  if (kit::com_ptr<IDispatch> list = CreateList()) {
    for (const wchar_t* item : {L"a", L"b"}) {
      const kit::unique_variant text = TextVariant(item);
      CallResult added;
      Call(list.get(), L"AddToList", {*text.get()}, added);
    }
    answered = Formatted(list.get()) == L"a\r\nb\r\n";
    if (choose) {
      // What a click on OK sends, with the dialog hidden.
      HWND dialog = ThisThreadsDialog();
      const DialogParts parts = Parts(dialog);
      ::SendMessageW(parts.box1, LB_SETCURSEL, 1, 0);
      ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(parts.ok), BN_CLICKED),
                     reinterpret_cast<LPARAM>(parts.ok));
      CallResult selected;
      Call(list.get(), L"GetSelItem", {}, selected);
      answered = answered && Text(*selected.value.get()) == L"b";
    }
  }
  if (leaveApartment) ::CoUninitialize();
  return answered;
}

// 1,000 worker threads, four at a time. Those that leave their apartment let
// COM free the server, so it comes and goes; those that record a choice hold
// it until they end.
TEST(ServerLifetime, WorkerThreadsThatUseAListAndEndLeaveTheServerSound) {
  const kit::unique_couninitialize_call com = kit::CoInitializeApartment();
  {
    Server server;
    ASSERT_EQ(server.Register(), S_OK);
  }
  const kit::scope_exit unregister([] { Server().Unregister(); });
  const HRESULT unloadableBefore = Server().CanUnloadNow();
  std::atomic<int> wrong{0};
  for (int round = 0; round < 250; ++round) {
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
      threads.emplace_back([&wrong, i] {
        if (!UseAListOnThisThread(i == 0, i % 2 == 1)) ++wrong;
      });
    }
    for (std::thread& thread : threads) thread.join();
  }
  EXPECT_EQ(wrong, 0) << "Lists that answered wrongly";

  // The host goes on: a List works here, and no ended thread holds the server.
  EXPECT_TRUE(UseAListOnThisThread(false, true));
  EXPECT_EQ(Server().CanUnloadNow(), unloadableBefore);
}

TEST(ServerLifetime, AHostThatEndsWhileAThreadShowsTheListEndsPromptly) {
  const kit::unique_couninitialize_call com = kit::CoInitializeApartment();
  Server server;
  ASSERT_EQ(server.Register(), S_OK);
  const kit::scope_exit unregister([&] { server.Unregister(); });
  const auto host = driver::Process::Launch(driver::BesideThisProgram("lorvane_exit_host.exe"));
  EXPECT_EQ(host.WaitForExit(std::chrono::seconds(30)), kit::testing::kHostExitCode);
}

// ---- Folder and file loaders, on scratch folders ------------------------------

using kit::testing::ScratchFolder;

// Sets both creation and last-write time (Wine keeps only one) to a local time.
bool SetLocalTimes(const std::wstring& path, WORD year, WORD month, WORD day, WORD hour) {
  SYSTEMTIME local{}, utc{};
  local.wYear = year;
  local.wMonth = month;
  local.wDay = day;
  local.wHour = hour;
  FILETIME time{};
  if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
      !::SystemTimeToFileTime(&utc, &time))
    return false;
  kit::unique_file entry(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return entry && ::SetFileTime(entry.get(), &time, nullptr, &time);
}

std::wstring LocaleShortDate(WORD year, WORD month, WORD day) {
  SYSTEMTIME time{};
  time.wYear = year;
  time.wMonth = month;
  time.wDay = day;
  wchar_t text[80] = {};
  ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, text, 80);
  return text;
}

VARIANT Flag(bool value) {
  VARIANT v{};
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

struct Told {
  std::string caption, text;
  std::vector<int> buttons;
  bool stopIcon = false;
};

// A loader call by name, with every message box it shows read and answered
// with OK from another thread, as the user would.
class LoaderCall {
 public:
  LoaderCall(IDispatch* list, const wchar_t* name, std::vector<VARIANT> arguments) {
    std::atomic<bool> returned{false};
    std::thread answering([&] {
      try {
        while (!returned) {
          if (HWND box = driver::FindDialog(::GetCurrentProcessId(), "")) {
            const driver::MessageBoxView view = driver::ReadMessageBox(box);
            told.push_back({view.caption, view.text, view.ButtonIds(),
                            driver::ShowsSystemIcon(view, IDI_HAND)});
            driver::PressDialogButton(box, IDOK);
          }
          ::Sleep(20);
        }
      } catch (const std::exception& e) {
        failure = e.what();
      }
    });
    Call(list, name, std::move(arguments), result);
    returned = true;
    answering.join();
  }

  CallResult result;
  std::vector<Told> told;
  std::string failure;
};

class LoadersByName : public ListByName {
 protected:
  // Calls a loader that must succeed; the texts of the boxes it showed.
  std::vector<std::string> Load(const wchar_t* name, std::vector<VARIANT> arguments) {
    LoaderCall call(list_.get(), name, std::move(arguments));
    EXPECT_EQ(call.result.hr, S_OK);
    EXPECT_EQ(call.failure, "");
    std::vector<std::string> texts;
    for (const Told& told : call.told) {
      EXPECT_EQ(told.caption, "Lorvane");
      EXPECT_EQ(told.buttons, std::vector<int>{IDOK});
      EXPECT_TRUE(told.stopIcon);
      texts.push_back(told.text);
    }
    return texts;
  }
  std::vector<std::string> Load(const wchar_t* name, std::initializer_list<std::wstring> texts,
                                std::vector<VARIANT> more = {}) {
    std::vector<kit::unique_variant> owned(texts.size());
    std::vector<VARIANT> arguments;
    size_t i = 0;
    for (const std::wstring& text : texts) {
      V_VT(owned[i].get()) = VT_BSTR;
      V_BSTR(owned[i].get()) = ::SysAllocString(text.c_str());
      arguments.push_back(*owned[i++].get());
    }
    arguments.insert(arguments.end(), more.begin(), more.end());
    return Load(name, std::move(arguments));
  }
  std::vector<std::wstring> Names() {
    std::wstring all = Formatted(list_.get());
    std::vector<std::wstring> names;
    for (size_t start = 0, end; (end = all.find(L"\r\n", start)) != std::wstring::npos;
         start = end + 2)
      names.push_back(all.substr(start, end - start));
    if (names.empty() && !all.empty()) names.push_back(all);
    return names;
  }
  std::vector<std::wstring> SortedNames() {
    std::vector<std::wstring> names = Names();
    std::sort(names.begin(), names.end());
    return names;
  }
  // The caption of labfol, read from this thread's (hidden) dialog.
  static std::wstring Label() {
    HWND dialog = ::FindWindowExW(nullptr, nullptr, L"LorvaneListDialog", nullptr);
    while (dialog && driver::ThreadOf(dialog) != ::GetCurrentThreadId())
      dialog = ::FindWindowExW(nullptr, dialog, L"LorvaneListDialog", nullptr);
    wchar_t text[MAX_PATH] = {};
    ::GetWindowTextW(::GetDlgItem(dialog, 101), text, MAX_PATH);
    return text;
  }
};

using NameList = std::vector<std::wstring>;
using Texts = std::vector<std::string>;

TEST_F(LoadersByName, FileListShowsNamesReturnsFullPathsAndAccumulates) {
  ScratchFolder a, b;
  a.File(L"a.txt");
  const std::wstring log = a.File(L"b.log");
  a.Folder(L"sub");
  b.File(L"c.txt");
  Add({L"kept"});
  EXPECT_EQ(Load(L"LoadFileList", {a.Path()}), Texts{});
  EXPECT_EQ(SortedNames(), (NameList{L"a.txt", L"b.log", L"kept"}));
  EXPECT_EQ(Label(), a.Path());
  EXPECT_EQ(Load(L"LoadFileList", {b.Path()}), Texts{});
  EXPECT_EQ(Names().back(), L"c.txt") << "B's entries after A's";
  EXPECT_EQ(Label(), b.Path());
  Load(L"LoadFileList", {a.Path()});
  EXPECT_EQ(Names().size(), 6u) << "the same folder twice lists every file twice";

  ShowDriven(list_.get(), [](HWND dialog) {
    HWND box1 = Parts(dialog).box1;
    ::SendMessageW(box1, LB_SETCURSEL,
                   ::SendMessageW(box1, LB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>(L"b.log")),
                   0);
    PressOk(dialog);
  });
  EXPECT_EQ(Selected(), log);
}

// Windows allows a name with an unpaired surrogate, which Explorer shows: the
// list shows it too, and the pick is a path that opens the file. Wine cannot
// make such a name (the file layer's own test gives its listing one).
TEST_F(LoadersByName, ANameWithAnUnpairedSurrogateIsListedAndItsPathOpens) {
  ScratchFolder folder;
  const std::wstring name = std::wstring(L"run") + wchar_t(0xD800) + L".log";
  const std::wstring path = folder / name;
  if (!kit::unique_file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr))) {
    GTEST_SKIP() << "this system cannot make the name (Wine cannot)";
  }
  EXPECT_EQ(Load(L"LoadFileList", {folder.Path()}), Texts{});
  EXPECT_EQ(Names(), NameList{name});
  ShowDriven(list_.get(), [](HWND dialog) {
    ::SendMessageW(Parts(dialog).box1, LB_SETCURSEL, 0, 0);
    PressOk(dialog);
  });
  EXPECT_EQ(Selected(), path);
  EXPECT_TRUE(kit::unique_file(::CreateFileW(Selected().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                             nullptr, OPEN_EXISTING, 0, nullptr)));
}

TEST_F(LoadersByName, FolderListListsSubfoldersAndSetsTheLabelEvenWhenEmpty) {
  ScratchFolder root;
  root.Folder(L"one");
  root.Folder(L"two");
  root.File(L"file.txt");
  const std::wstring empty = root / L"one";
  EXPECT_EQ(Load(L"LoadFolderList", {root.Path()}), Texts{});
  EXPECT_EQ(SortedNames(), (NameList{L"one", L"two"}));
  const std::wstring asPassed = empty + L"\\.\\";
  EXPECT_EQ(Load(L"LoadFolderList", {asPassed}), Texts{});
  EXPECT_EQ(Names().size(), 2u);
  EXPECT_EQ(Label(), asPassed) << "the folder text as passed, not normalised";
}

TEST_F(LoadersByName, FaultsAreToldInOrderAndChangeNothing) {
  ScratchFolder root;
  root.File(L"a.txt");
  Load(L"LoadFileList", {root.Path()});
  const std::wstring missing = root / L"missing";
  struct Case {
    const wchar_t* method;
    std::vector<std::wstring> texts;
    std::vector<VARIANT> flags;
    std::string message;
  };
  const std::string flagsMessage =
      "Error. LoadFilesOfDate. Neither created nor modified was set in function call.";
  const Case cases[] = {
      {L"LoadFileList", {L""}, {}, "Error. LoadFileList. No such folder."},
      {L"LoadFolderList", {missing}, {}, "Error. LoadFolderList. No such folder."},
      {L"LoadFilesWithExt", {missing, L""}, {}, "Error. LoadFilesWithExt. No such folder."},
      {L"LoadFilesWithExt",
       {root.Path(), L""},
       {},
       "Error. LoadFilesWithExt. Extension argument required."},
      {L"LoadFilesOfDate", {root.Path(), L"x"}, {Flag(false), Flag(false)}, flagsMessage},
      {L"LoadFilesOfDate", {missing, L"x"}, {Flag(false), Flag(false)}, flagsMessage},
      {L"LoadFilesOfDate",
       {missing, L"x"},
       {Short(0), Short(5)},
       "Error. LoadFilesOfDate. No such folder."},
      {L"LoadFoldersOfDate", {missing, L"x"}, {}, "Error. LoadFoldersOfDate. No such folder."}};
  for (const Case& c : cases) {
    std::vector<std::string> told;
    if (c.texts.size() == 1)
      told = Load(c.method, {c.texts[0]}, c.flags);
    else
      told = Load(c.method, {c.texts[0], c.texts[1]}, c.flags);
    EXPECT_EQ(told, Texts{c.message}) << ::testing::PrintToString(std::wstring(c.method));
  }
  EXPECT_EQ(Names(), NameList{L"a.txt"});
  EXPECT_EQ(Label(), root.Path());
}

TEST_F(LoadersByName, UnconvertibleArgumentFailsBeforeAnyCheck) {
  kit::unique_variant null;
  V_VT(null.get()) = VT_NULL;
  LoaderCall call(list_.get(), L"LoadFilesOfDate",
                  {*null.get(), *null.get(), Flag(false), Flag(false)});
  EXPECT_EQ(call.result.hr, DISP_E_TYPEMISMATCH);
  EXPECT_TRUE(call.told.empty()) << "no box before the conversion";
}

TEST_F(LoadersByName, ExtensionIsGivenWithoutTheDotAndIgnoresCase) {
  ScratchFolder root;
  root.File(L"a.txt");
  root.File(L"B.TXT");
  root.File(L"c.log");
  root.File(L"txt");
  EXPECT_EQ(Load(L"LoadFilesWithExt", {root.Path(), L"TXT"}), Texts{});
  EXPECT_EQ(SortedNames(), (NameList{L"B.TXT", L"a.txt"}));
  CallResult r;
  Call(list_.get(), L"Clear", {}, r);
  EXPECT_EQ(Load(L"LoadFilesWithExt", {root.Path(), L".txt"}), Texts{}) << "silently nothing";
  EXPECT_EQ(Names(), NameList{});
  EXPECT_EQ(Label(), root.Path());
}

TEST_F(LoadersByName, DatesMatchTheLocalesShortDateOnlyAndAddAFileOnce) {
  ScratchFolder root;
  ASSERT_TRUE(SetLocalTimes(root.File(L"on.txt"), 2021, 5, 10, 12));
  ASSERT_TRUE(SetLocalTimes(root.File(L"after.txt"), 2021, 5, 11, 0));
  ASSERT_TRUE(SetLocalTimes(root.Folder(L"sub-on"), 2021, 5, 10, 23));
  ASSERT_TRUE(SetLocalTimes(root.Folder(L"sub-before"), 2021, 5, 9, 12));
  const std::wstring day = LocaleShortDate(2021, 5, 10);

  for (const auto& [created, modified] :
       {std::pair(true, false), std::pair(false, true), std::pair(true, true)}) {
    CallResult r;
    Call(list_.get(), L"Clear", {}, r);
    EXPECT_EQ(Load(L"LoadFilesOfDate", {root.Path(), day}, {Flag(created), Flag(modified)}),
              Texts{});
    EXPECT_EQ(Names(), NameList{L"on.txt"}) << created << modified;
  }
  EXPECT_EQ(Load(L"LoadFoldersOfDate", {root.Path(), day}), Texts{});
  EXPECT_EQ(Names(), (NameList{L"on.txt", L"sub-on"}));

  // A date value at midnight converts to the same text; a time or another format never matches.
  kit::unique_variant midnight;
  V_VT(midnight.get()) = VT_DATE;
  SYSTEMTIME tenth{2021, 5, 0, 10, 0, 0, 0, 0};
  ::SystemTimeToVariantTime(&tenth, &V_DATE(midnight.get()));
  const kit::unique_variant folder = TextVariant(root.Path().c_str());
  Load(L"LoadFoldersOfDate", {*folder.get(), *midnight.get()});
  EXPECT_EQ(Names().size(), 3u);
  for (const std::wstring& other :
       {day + L" 12:00:00", std::wstring(L"2021-05-10x"), LocaleShortDate(2021, 5, 11) + L"x"}) {
    Load(L"LoadFilesOfDate", {root.Path(), other}, {Flag(true), Flag(true)});
    Load(L"LoadFoldersOfDate", {root.Path(), other});
  }
  EXPECT_EQ(Names().size(), 3u);
  EXPECT_EQ(Label(), root.Path());
}

TEST_F(LoadersByName, AShortDateThatHoldsSpacesMatchesWhole) {
  wchar_t picture[80] = {};
  ASSERT_GT(::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, picture, 80), 0);
  const kit::scope_exit restore(
      [&picture] { ::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, picture); });
  ASSERT_TRUE(::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, L"yyyy. MM. dd."));
  ScratchFolder root;
  ASSERT_TRUE(SetLocalTimes(root.File(L"on.txt"), 2021, 5, 10, 12));
  ASSERT_EQ(LocaleShortDate(2021, 5, 10), L"2021. 05. 10.");

  EXPECT_EQ(Load(L"LoadFilesOfDate", {root.Path(), L"2021. 05. 10."}, {Flag(false), Flag(true)}),
            Texts{});
  EXPECT_EQ(Names(), NameList{L"on.txt"});
}

}  // namespace
