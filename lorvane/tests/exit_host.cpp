// A host that ends while its second thread is inside Show of a Lorvane.List
// made through COM, as a script host may end with the pick list still up.
#include "exit_host.h"

#include <windows.h>

#include <ole2.h>

#include "lorvane_h.h"
#include "unique_com.h"

int main() {
  return kit::testing::ExitWhileInCall(
      [] {
        const kit::unique_couninitialize_call com = kit::CoInitializeApartment();
        kit::com_ptr<_List> list;
        if (FAILED(::CoCreateInstance(CLSID_List, nullptr, CLSCTX_INPROC_SERVER, IID__List,
                                      list.put_void())))
          return;
        kit::unique_variant item;
        V_VT(item.get()) = VT_BSTR;
        V_BSTR(item.get()) = ::SysAllocString(L"waiting");
        list->AddToList(item.get());
        list->Show();
      },
      "LorvaneListDialog");
}
