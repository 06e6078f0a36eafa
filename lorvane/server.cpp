// Entry points of the in-process server: module state, class factory and
// unload check. Self-registration is in registration.cpp.
#include <windows.h>

#include <ole2.h>

#include <atomic>

#include "dll_entry.h"
#include "list_object.h"
#include "lorvane_h.h"
#include "module.h"
#include "pick_dialog.h"
#include "unloadable_runtime.h"

namespace lorvane {
namespace {

HINSTANCE module = nullptr;
std::atomic<long> objects{0};
std::atomic<long> locks{0};

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override {
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
  ULONG STDMETHODCALLTYPE AddRef() noexcept override {
    LockModule(true);
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    LockModule(false);
    return 1;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid,
                                           void** object) noexcept override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return CreateList(iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override {
    LockModule(lock != FALSE);
    return S_OK;
  }
};

ClassFactory factory;

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

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) noexcept {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      lorvane::module = instance;
      return lorvane::AttachDialogs(instance) ? TRUE : FALSE;
    case DLL_THREAD_DETACH:
      lorvane::EndThreadDialog();
      return TRUE;
    case DLL_PROCESS_DETACH:
      kit::NoteModuleDetach(reserved);
      // At process exit the system reclaims everything, and the libraries
      // the module would call to give things back may be gone already: only
      // an unload by FreeLibrary gives back what the module holds.
      if (!reserved) {
        lorvane::ReleaseListTypeInfo();
        lorvane::DetachDialogs();
      }
      return TRUE;
    default:
      return TRUE;
  }
}

// Declared by the SDK without noexcept, which a definition cannot add; the
// factory's QueryInterface, the one call here, cannot throw.
STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (clsid != CLSID_List) return CLASS_E_CLASSNOTAVAILABLE;
  return lorvane::factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() { return lorvane::ModuleInUse() ? S_FALSE : S_OK; }

}  // extern "C"
