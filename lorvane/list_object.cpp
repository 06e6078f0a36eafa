#include "list_object.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "error_handling.h"
#include "file_system.h"
#include "loaders.h"
#include "lorvane_h.h"
#include "module.h"
#include "module_path.h"
#include "pick_dialog.h"
#include "unique_com.h"

namespace lorvane {
namespace {

// The type information of _List, loaded on first use and shared by every
// List of every thread until the module is freed. Not held by an owner: at
// process exit nothing may release it, since oleaut32 may be gone by then.
std::mutex listTypeInfoLock;
ITypeInfo* listTypeInfo = nullptr;

// The platform's conversion in the user's locale; any failure is the
// automation type mismatch the caller expects.
HRESULT ToText(VARIANT* argument, std::wstring& text) {
  if (!argument) return DISP_E_TYPEMISMATCH;
  kit::unique_variant converted;
  if (FAILED(::VariantChangeTypeEx(converted.get(), argument, LOCALE_USER_DEFAULT, 0, VT_BSTR)))
    return DISP_E_TYPEMISMATCH;
  const BSTR bstr = V_BSTR(converted.get());
  text.assign(bstr ? bstr : L"", bstr ? ::SysStringLen(bstr) : 0);
  return S_OK;
}

HRESULT ReturnText(const std::wstring& text, VARIANT* result) {
  BSTR bstr = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (!bstr) return E_OUTOFMEMORY;
  V_VT(result) = VT_BSTR;
  V_BSTR(result) = bstr;
  return S_OK;
}

HRESULT ToBoolean(VARIANT* argument, bool& value) {
  if (!argument) return DISP_E_TYPEMISMATCH;
  kit::unique_variant converted;
  if (FAILED(::VariantChangeTypeEx(converted.get(), argument, LOCALE_USER_DEFAULT, 0, VT_BOOL)))
    return DISP_E_TYPEMISMATCH;
  value = V_BOOL(converted.get()) != VARIANT_FALSE;
  return S_OK;
}

void TellUser(const wchar_t* message) {
  ::MessageBoxW(nullptr, message, L"Lorvane", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

// An entry that cannot be appended is skipped; the load goes on.
void AppendLoaded(const std::vector<ListEntry>& entries) { AppendEntries(entries); }

// Once its arguments are converted a loader succeeds whatever happens: the
// user has been told of any fault, and what failed was skipped. The label
// shows the folder text as passed, once the folder was listed.
template <typename Load>
HRESULT RunLoader(Load load, const std::wstring& folder) noexcept {
  return kit::CatchReturn(S_OK, [&] {
    if (load() == LoadOutcome::kLoaded) SetFolderLabel(folder);
    return S_OK;
  });
}

// The read-backs answer the empty text for any failure. A null BSTR is the
// empty text as well, for when not even that can be allocated.
void ReturnEmptyText(VARIANT* result) noexcept {
  ::VariantClear(result);
  V_VT(result) = VT_BSTR;
  V_BSTR(result) = ::SysAllocStringLen(L"", 0);
}

// The display texts joined: one entry as it is, or every entry followed by
// CR LF. A list that cannot be read joins to the empty text.
std::wstring FormatList() {
  std::vector<std::wstring> texts;
  std::wstring joined;
  if (!DisplayTexts(texts)) return joined;
  if (texts.size() == 1) return texts.front();
  for (const auto& text : texts) joined += text + L"\r\n";
  return joined;
}

// One element per entry, plus an empty last element when there are two or
// more: scripts written against this list rely on that shape.
bool BuildListArray(VARIANT* result) {
  std::vector<std::wstring> texts;
  if (!DisplayTexts(texts) || texts.empty()) return false;
  const ULONG size = static_cast<ULONG>(texts.size() == 1 ? 1 : texts.size() + 1);
  kit::unique_safearray array(::SafeArrayCreateVector(VT_VARIANT, 0, size));
  if (!array) return false;
  for (LONG i = 0; i < static_cast<LONG>(texts.size()); ++i) {
    kit::unique_variant element;
    if (FAILED(ReturnText(texts[static_cast<size_t>(i)], element.get()))) return false;
    if (FAILED(::SafeArrayPutElement(array.get(), &i, element.get()))) return false;
  }
  V_VT(result) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(result) = array.release();
  return true;
}

class List final : public _List {
 public:
  List() { ObjectCreated(); }
  List(const List&) = delete;
  List& operator=(const List&) = delete;

  HRESULT Initialize() {
    fso_ = filelayer::MakePlatformFileSystem();
    seams_.fso = fso_.get();
    seams_.tell = TellUser;
    seams_.dateText = LocaleDateText;
    seams_.append = AppendLoaded;
    KIT_RETURN_IF_FAILED(ListTypeInfo(typeInfo_.put()));
    const bool hadDialog = DialogLoaded();
    KIT_RETURN_IF_FAILED(LoadDialog());
    loadedDialog_ = !hadDialog;
    return S_OK;
  }

  // The List has been handed to its caller: from now on its end discards
  // the thread's dialog.
  void Created() { created_ = true; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__List) {
      *object = static_cast<_List*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    typeInfo_->AddRef();
    *info = typeInfo_.get();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) noexcept override {
    return ::DispGetIDsOfNames(typeInfo_.get(), names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) noexcept override {
    return ::DispInvoke(static_cast<_List*>(this), typeInfo_.get(), id, flags, params, result,
                        exception, argumentError);
  }

  // _List
  HRESULT STDMETHODCALLTYPE get_List(BSTR* value) noexcept override {
    if (!value) return E_POINTER;
    *value = ::SysAllocStringLen(list_.data(), static_cast<UINT>(list_.size()));
    return *value ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE put_List(BSTR value) noexcept override {
    return kit::CatchToHresult([&] {
      list_.assign(value ? value : L"", value ? ::SysStringLen(value) : 0);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Show() noexcept override {
    return kit::CatchToHresult([] { return ShowDialog(); });
  }
  HRESULT STDMETHODCALLTYPE Hide() noexcept override {
    return kit::CatchToHresult([] { return HideDialog(); });
  }
  HRESULT STDMETHODCALLTYPE Clear() noexcept override {
    return kit::CatchToHresult([] { return ClearDialog(); });
  }
  HRESULT STDMETHODCALLTYPE AddToList(VARIANT* sItem) noexcept override {
    return kit::CatchToHresult([&] {
      std::wstring item;
      KIT_RETURN_IF_FAILED(ToText(sItem, item));
      return AppendEntry(item, item);
    });
  }
  HRESULT STDMETHODCALLTYPE GetSelItem(VARIANT* result) noexcept override {
    if (!result) return E_POINTER;
    ::VariantInit(result);
    return kit::CatchToHresult([&] { return ReturnText(SelectedItem(), result); });
  }
  HRESULT STDMETHODCALLTYPE GetListFormatted(VARIANT* result) noexcept override {
    if (!result) return E_POINTER;
    ::VariantInit(result);
    const bool returned =
        kit::CatchReturn(false, [&] { return SUCCEEDED(ReturnText(FormatList(), result)); });
    if (!returned) ReturnEmptyText(result);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetListArray(VARIANT* result) noexcept override {
    if (!result) return E_POINTER;
    ::VariantInit(result);
    if (!kit::CatchReturn(false, [&] { return BuildListArray(result); })) ReturnEmptyText(result);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE LoadFolderList(VARIANT* vfol) noexcept override {
    return kit::CatchToHresult([&] {
      std::wstring folder;
      KIT_RETURN_IF_FAILED(ToText(vfol, folder));
      return RunLoader([&] { return lorvane::LoadFolderList(seams_, folder); }, folder);
    });
  }
  HRESULT STDMETHODCALLTYPE LoadFileList(VARIANT* vfol) noexcept override {
    return kit::CatchToHresult([&] {
      std::wstring folder;
      KIT_RETURN_IF_FAILED(ToText(vfol, folder));
      return RunLoader([&] { return lorvane::LoadFileList(seams_, folder); }, folder);
    });
  }
  HRESULT STDMETHODCALLTYPE LoadFilesWithExt(VARIANT* vfol, VARIANT* vext) noexcept override {
    return kit::CatchToHresult([&] {
      std::wstring folder, extension;
      KIT_RETURN_IF_FAILED(ToText(vfol, folder));
      KIT_RETURN_IF_FAILED(ToText(vext, extension));
      return RunLoader([&] { return lorvane::LoadFilesWithExt(seams_, folder, extension); },
                       folder);
    });
  }
  HRESULT STDMETHODCALLTYPE LoadFilesOfDate(VARIANT* vsfol, VARIANT* vd, VARIANT* vcre,
                                            VARIANT* vmodif) noexcept override {
    return kit::CatchToHresult([&] {
      std::wstring folder, date;
      bool created = false, modified = false;
      KIT_RETURN_IF_FAILED(ToText(vsfol, folder));
      KIT_RETURN_IF_FAILED(ToText(vd, date));
      KIT_RETURN_IF_FAILED(ToBoolean(vcre, created));
      KIT_RETURN_IF_FAILED(ToBoolean(vmodif, modified));
      return RunLoader(
          [&] { return lorvane::LoadFilesOfDate(seams_, folder, date, created, modified); },
          folder);
    });
  }
  HRESULT STDMETHODCALLTYPE LoadFoldersOfDate(VARIANT* vsfol, VARIANT* vd) noexcept override {
    return kit::CatchToHresult([&] {
      std::wstring folder, date;
      KIT_RETURN_IF_FAILED(ToText(vsfol, folder));
      KIT_RETURN_IF_FAILED(ToText(vd, date));
      return RunLoader([&] { return lorvane::LoadFoldersOfDate(seams_, folder, date); }, folder);
    });
  }

 private:
  // Destroying any List discards the thread's dialog for all of them. One
  // whose creation failed was never theirs: it leaves the dialog as it
  // found it.
  ~List() {
    if (created_ || loadedDialog_) UnloadDialog();
    ObjectDestroyed();
  }

  std::atomic<ULONG> references_{1};
  kit::com_ptr<ITypeInfo> typeInfo_;
  std::wstring list_;
  // The object's own file layer, released after the dialog is unloaded.
  std::unique_ptr<filelayer::FileSystem> fso_;
  LoaderSeams seams_;
  bool created_ = false;
  bool loadedDialog_ = false;  // the thread had no dialog until this List loaded it
};

}  // namespace

HRESULT ListTypeInfo(ITypeInfo** info) {
  *info = nullptr;
  const std::lock_guard lock(listTypeInfoLock);
  if (!listTypeInfo) {
    const std::wstring path = kit::ModulePath(Module());
    if (path.empty()) return E_FAIL;
    kit::com_ptr<ITypeLib> library;
    KIT_RETURN_IF_FAILED(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put()));
    KIT_RETURN_IF_FAILED(library->GetTypeInfoOfGuid(IID__List, &listTypeInfo));
  }
  listTypeInfo->AddRef();
  *info = listTypeInfo;
  return S_OK;
}

void ReleaseListTypeInfo() {
  if (listTypeInfo) std::exchange(listTypeInfo, nullptr)->Release();
}

HRESULT CreateList(REFIID iid, void** object) {
  return kit::CatchToHresult([&] {
    kit::com_ptr<List> list;
    list.reset(new List());
    KIT_RETURN_IF_FAILED(list->Initialize());
    KIT_RETURN_IF_FAILED(list->QueryInterface(iid, object));
    list->Created();
    return S_OK;
  });
}

}  // namespace lorvane
