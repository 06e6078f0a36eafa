// Entry points of the in-process server: class factory, unload check and
// self-registration per machine or per user.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <atomic>
#include <string>

#include "list_object.h"
#include "lorvane_h.h"
#include "module.h"
#include "pick_dialog.h"
#include "unique_resource.h"

#ifdef __MINGW32__
// In oleaut32 but missing from MinGW's oleauto.h.
extern "C" {
WINOLEAUTAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path, OLECHAR* helpFolder);
WINOLEAUTAPI UnRegisterTypeLibForUser(REFGUID library, WORD major, WORD minor, LCID locale,
                                      SYSKIND kind);
}
#endif

namespace lorvane {
namespace {

HINSTANCE module = nullptr;
std::atomic<long> objects{0};
std::atomic<long> locks{0};

constexpr wchar_t kProgId[] = L"Lorvane.List";
constexpr wchar_t kClassDescription[] = L"Lorvane.List";

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // Static object: its references are the module's locks.
  ULONG STDMETHODCALLTYPE AddRef() override {
    LockModule(true);
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    LockModule(false);
    return 1;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return CreateList(iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    LockModule(lock != FALSE);
    return S_OK;
  }
};

ClassFactory factory;

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return text;
}

HRESULT ModulePath(std::wstring& path) {
  wchar_t buffer[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(module, buffer, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return SELFREG_E_CLASS;
  path.assign(buffer, length);
  return S_OK;
}

LSTATUS SetText(HKEY root, const std::wstring& key, const wchar_t* name,
                const std::wstring& value) {
  kit::unique_hkey opened;
  LSTATUS status = ::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                     opened.put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(opened.get(), name, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()), bytes);
}

// The class keys under `classes` (HKCR, or the user's Software\Classes).
HRESULT WriteClassKeys(HKEY classes) {
  std::wstring path;
  if (FAILED(ModulePath(path))) return SELFREG_E_CLASS;
  const std::wstring clsidKey = L"CLSID\\" + GuidText(CLSID_List);
  const std::wstring progIdKey = kProgId;
  const bool written =
      SetText(classes, clsidKey, nullptr, kClassDescription) == ERROR_SUCCESS &&
      SetText(classes, clsidKey + L"\\InprocServer32", nullptr, path) == ERROR_SUCCESS &&
      SetText(classes, clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment") ==
          ERROR_SUCCESS &&
      SetText(classes, clsidKey + L"\\ProgID", nullptr, kProgId) == ERROR_SUCCESS &&
      SetText(classes, clsidKey + L"\\TypeLib", nullptr, GuidText(LIBID_Lorvane)) ==
          ERROR_SUCCESS &&
      SetText(classes, clsidKey + L"\\Version", nullptr, L"1.0") == ERROR_SUCCESS &&
      SetText(classes, progIdKey, nullptr, kClassDescription) == ERROR_SUCCESS &&
      SetText(classes, progIdKey + L"\\CLSID", nullptr, GuidText(CLSID_List)) == ERROR_SUCCESS;
  return written ? S_OK : SELFREG_E_CLASS;
}

void DeleteClassKeys(HKEY classes) {
  ::RegDeleteTreeW(classes, (L"CLSID\\" + GuidText(CLSID_List)).c_str());
  ::RegDeleteKeyW(classes, (L"CLSID\\" + GuidText(CLSID_List)).c_str());
  ::RegDeleteTreeW(classes, kProgId);
  ::RegDeleteKeyW(classes, kProgId);
}

HRESULT RegisterLibrary(bool perUser) {
  std::wstring path;
  if (FAILED(ModulePath(path))) return SELFREG_E_TYPELIB;
  kit::com_ptr<ITypeLib> library;
  if (FAILED(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put()))) return SELFREG_E_TYPELIB;
  std::wstring mutablePath = path;
  const HRESULT hr =
      perUser ? ::RegisterTypeLibForUser(library.get(), mutablePath.data(), nullptr)
              : ::RegisterTypeLib(library.get(), mutablePath.data(), nullptr);
  return FAILED(hr) ? SELFREG_E_TYPELIB : S_OK;
}

void UnregisterLibrary(bool perUser) {
#ifdef _WIN64
  constexpr SYSKIND kind = SYS_WIN64;
#else
  constexpr SYSKIND kind = SYS_WIN32;
#endif
  if (perUser) {
    ::UnRegisterTypeLibForUser(LIBID_Lorvane, 1, 0, LOCALE_NEUTRAL, kind);
  } else {
    ::UnRegisterTypeLib(LIBID_Lorvane, 1, 0, LOCALE_NEUTRAL, kind);
  }
}

HRESULT Register(HKEY classes, bool perUser) {
  HRESULT hr = WriteClassKeys(classes);
  if (SUCCEEDED(hr)) hr = RegisterLibrary(perUser);
  if (FAILED(hr)) {
    DeleteClassKeys(classes);
    UnregisterLibrary(perUser);
  }
  return hr;
}

HRESULT Unregister(HKEY classes, bool perUser) {
  DeleteClassKeys(classes);
  UnregisterLibrary(perUser);
  return S_OK;
}

}  // namespace

HINSTANCE Module() { return module; }
void ObjectCreated() { ++objects; }
void ObjectDestroyed() { --objects; }
void LockModule(bool lock) {
  if (lock) {
    ++locks;
  } else {
    --locks;
  }
}
bool ModuleInUse() { return objects > 0 || locks > 0; }

}  // namespace lorvane

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    lorvane::module = instance;
    return lorvane::RegisterDialogClass(instance) ? TRUE : FALSE;
  }
  if (reason == DLL_PROCESS_DETACH) lorvane::UnregisterDialogClass(instance);
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (clsid != CLSID_List) return CLASS_E_CLASSNOTAVAILABLE;
  return lorvane::factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() { return lorvane::ModuleInUse() ? S_FALSE : S_OK; }

STDAPI DllRegisterServer() { return lorvane::Register(HKEY_CLASSES_ROOT, false); }

STDAPI DllUnregisterServer() { return lorvane::Unregister(HKEY_CLASSES_ROOT, false); }

// "user" registers for the calling user only, as regsvr32 /n /i:user does.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
  const bool perUser = commandLine && ::lstrcmpiW(commandLine, L"user") == 0;
  if (!perUser) return E_INVALIDARG;
  kit::unique_hkey classes;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, classes.put(), nullptr) != ERROR_SUCCESS)
    return E_ACCESSDENIED;
  return install ? lorvane::Register(classes.get(), true)
                 : lorvane::Unregister(classes.get(), true);
}

}  // extern "C"
