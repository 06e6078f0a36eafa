// The creatable class List: the dual interface _List, dispatched through the
// type library embedded in this module.
#pragma once

#include <windows.h>
#include <ole2.h>

namespace lorvane {

HRESULT CreateList(REFIID iid, void** object);
// The type information of _List from this module's type library.
HRESULT ListTypeInfo(ITypeInfo** info);

}  // namespace lorvane
