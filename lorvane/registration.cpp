// Self-registration, per machine or per user. The 32-bit and the 64-bit
// server register side by side on 64-bit Windows: each writes its class into
// the registry view of its own bitness, where script hosts of that bitness
// look, while the ProgID and the type library's key are shared by both views.
#include <windows.h>

#include <ole2.h>
#include <olectl.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "error_handling.h"
#include "lorvane_h.h"
#include "module.h"
#include "module_path.h"
#include "registry_entries.h"
#include "unique_com.h"
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

constexpr wchar_t kProgId[] = L"Lorvane.List";

// The registry view of this build's bitness, and the other one. A 32-bit
// Windows has one view and ignores both flags.
#ifdef _WIN64
constexpr REGSAM kOwnView = KEY_WOW64_64KEY;
constexpr REGSAM kPeerView = KEY_WOW64_32KEY;
constexpr SYSKIND kOwnSysKind = SYS_WIN64;
#else
constexpr REGSAM kOwnView = KEY_WOW64_32KEY;
constexpr REGSAM kPeerView = KEY_WOW64_64KEY;
constexpr SYSKIND kOwnSysKind = SYS_WIN32;
#endif

enum class Scope { kMachine, kUser };

struct ClassesRoot {
  HKEY hive;
  const wchar_t* path;
};

ClassesRoot ClassesOf(Scope scope) {
  return {scope == Scope::kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, L"Software\\Classes"};
}

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring ClassKey() { return L"CLSID\\" + GuidText(CLSID_List); }

// One value a registration writes, below the classes root. The class's key
// lies in the view of the server's bitness; the ProgID's key is shared.
struct ClassValue {
  std::wstring key;
  const wchar_t* name;  // nullptr: the key's default value
  std::wstring text;
};

// `pattern` with the table's fields filled in.
std::wstring Filled(std::wstring_view pattern, const std::wstring& serverPath) {
  const std::pair<std::wstring_view, std::wstring> fields[] = {
      {L"{CLSID}", GuidText(CLSID_List)},
      {L"{LIBID}", GuidText(LIBID_Lorvane)},
      {L"{SERVER}", serverPath},
  };
  std::wstring text(pattern);
  for (const auto& [field, value] : fields) {
    for (size_t at = text.find(field); at != std::wstring::npos;
         at = text.find(field, at + value.size()))
      text.replace(at, field.size(), value);
  }
  return text;
}

std::vector<ClassValue> ClassValues(const std::wstring& serverPath) {
  std::vector<ClassValue> values;
  for (const RegistryEntry& entry : kServerEntries)
    values.push_back({Filled(entry.key, serverPath), entry.name, Filled(entry.text, serverPath)});
  return values;
}

LSTATUS WriteValue(const ClassesRoot& root, const ClassValue& value) {
  kit::unique_hkey opened;
  const std::wstring path = std::wstring(root.path) + L"\\" + value.key;
  const LSTATUS status =
      ::RegCreateKeyExW(root.hive, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | kOwnView, nullptr,
                        opened.put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  const auto bytes = static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(opened.get(), value.name, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.text.c_str()), bytes);
}

bool KeyExists(HKEY hive, const std::wstring& path, REGSAM view) {
  kit::unique_hkey opened;
  return ::RegOpenKeyExW(hive, path.c_str(), 0, KEY_QUERY_VALUE | view, opened.put()) !=
         ERROR_FILE_NOT_FOUND;
}

// False when the key is still there: an unregistration that leaves it
// behind must not report success.
bool DeleteTree(const ClassesRoot& root, const std::wstring& key, REGSAM view) {
  if (!KeyExists(root.hive, std::wstring(root.path) + L"\\" + key, view)) return true;
  kit::unique_hkey classes;
  LSTATUS status = ::RegOpenKeyExW(root.hive, root.path, 0,
                                   KEY_READ | DELETE | KEY_SET_VALUE | view, classes.put());
  if (status == ERROR_SUCCESS) status = ::RegDeleteTreeW(classes.get(), key.c_str());
  // The tree's own key may be left to remove in the right view.
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
    status = ::RegDeleteKeyExW(classes.get(), key.c_str(), view, 0);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

// Whether the server of the other bitness is registered in the same scope.
bool PeerRegistered(const ClassesRoot& root) {
  const std::wstring path = std::wstring(root.path) + L"\\" + ClassKey() + L"\\InprocServer32";
  kit::unique_hkey opened;
  return ::RegOpenKeyExW(root.hive, path.c_str(), 0, KEY_QUERY_VALUE | kPeerView, opened.put()) ==
         ERROR_SUCCESS;
}

// Deletes the two keys ClassValues writes below: the class's own, and the
// ProgID's, unless the other bitness still needs it. False when one stays.
bool DeleteClassKeys(const ClassesRoot& root) {
  const bool classDeleted = DeleteTree(root, ClassKey(), kOwnView);
  return (PeerRegistered(root) || DeleteTree(root, kProgId, kOwnView)) && classDeleted;
}

HRESULT WriteClassKeys(const ClassesRoot& root) {
  const std::wstring path = kit::ModulePath(Module());
  if (path.empty()) return SELFREG_E_CLASS;
  for (const ClassValue& value : ClassValues(path)) {
    if (WriteValue(root, value) != ERROR_SUCCESS) return SELFREG_E_CLASS;
  }
  return S_OK;
}

// The type-library calls write and delete through HKEY_CLASSES_ROOT, where
// the user's classes hide the machine's: a machine-wide call would act on
// the user's entries wherever the user has some. While one lives,
// HKEY_CLASSES_ROOT names the scope's own classes alone, in this process.
class ClassesRootOfScope {
 public:
  explicit ClassesRootOfScope(Scope scope) noexcept {
    const ClassesRoot root = ClassesOf(scope);
    // Whatever access the caller has: a call it may not make fails there.
    if (::RegCreateKeyExW(root.hive, root.path, 0, nullptr, 0, MAXIMUM_ALLOWED, nullptr,
                          classes_.put(), nullptr) == ERROR_SUCCESS)
      overridden_ = ::RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_.get()) == ERROR_SUCCESS;
  }
  ClassesRootOfScope(const ClassesRootOfScope&) = delete;
  ClassesRootOfScope& operator=(const ClassesRootOfScope&) = delete;
  ~ClassesRootOfScope() {
    if (overridden_) ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  }

  [[nodiscard]] bool valid() const noexcept { return overridden_; }

 private:
  kit::unique_hkey classes_;
  bool overridden_ = false;
};

HRESULT RegisterLibrary(Scope scope) {
  std::wstring path = kit::ModulePath(Module());
  if (path.empty()) return SELFREG_E_TYPELIB;
  kit::com_ptr<ITypeLib> library;
  if (FAILED(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put()))) return SELFREG_E_TYPELIB;
  const ClassesRootOfScope classesRoot(scope);
  if (!classesRoot.valid()) return SELFREG_E_TYPELIB;
  const HRESULT hr = scope == Scope::kUser
                         ? ::RegisterTypeLibForUser(library.get(), path.data(), nullptr)
                         : ::RegisterTypeLib(library.get(), path.data(), nullptr);
  return FAILED(hr) ? SELFREG_E_TYPELIB : S_OK;
}

// Removes this bitness's entry of the type library; the library's key stays
// while the other bitness's entry is in it. False when the entry stays: the
// call's own result cannot tell "not registered" from "not allowed".
bool UnregisterLibrary(Scope scope) {
  {
    const ClassesRootOfScope classesRoot(scope);
    if (!classesRoot.valid()) return false;
    if (scope == Scope::kUser) {
      ::UnRegisterTypeLibForUser(LIBID_Lorvane, 1, 0, LOCALE_NEUTRAL, kOwnSysKind);
    } else {
      ::UnRegisterTypeLib(LIBID_Lorvane, 1, 0, LOCALE_NEUTRAL, kOwnSysKind);
    }
  }
  const ClassesRoot root = ClassesOf(scope);
  const std::wstring entry = std::wstring(root.path) + L"\\TypeLib\\" + GuidText(LIBID_Lorvane) +
                             (kOwnSysKind == SYS_WIN64 ? L"\\1.0\\0\\win64" : L"\\1.0\\0\\win32");
  return !KeyExists(root.hive, entry, kOwnView);
}

// Removes everything a registration in `scope` wrote, and says so only when
// it did: a user without the rights gets the failure, not a stale class.
HRESULT Unregister(Scope scope) {
  const bool classRemoved = DeleteClassKeys(ClassesOf(scope));
  const bool libraryRemoved = UnregisterLibrary(scope);
  if (!classRemoved) return SELFREG_E_CLASS;
  return libraryRemoved ? S_OK : SELFREG_E_TYPELIB;
}

// A registration that fails half-way takes back what it wrote.
HRESULT Register(Scope scope) {
  HRESULT hr = WriteClassKeys(ClassesOf(scope));
  if (SUCCEEDED(hr)) hr = RegisterLibrary(scope);
  if (FAILED(hr)) Unregister(scope);
  return hr;
}

}  // namespace
}  // namespace lorvane

extern "C" {

STDAPI DllRegisterServer() {
  return kit::CatchToHresult([] { return lorvane::Register(lorvane::Scope::kMachine); });
}

STDAPI DllUnregisterServer() {
  return kit::CatchToHresult([] { return lorvane::Unregister(lorvane::Scope::kMachine); });
}

// "user" registers for the calling user only, as regsvr32 /n /i:user does.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
  if (!commandLine || ::lstrcmpiW(commandLine, L"user") != 0) return E_INVALIDARG;
  return kit::CatchToHresult([install] {
    return install ? lorvane::Register(lorvane::Scope::kUser)
                   : lorvane::Unregister(lorvane::Scope::kUser);
  });
}

}  // extern "C"
