// The creatable class List: the dual interface _List, dispatched through the
// type library embedded in this module.
#pragma once

#include <windows.h>

#include <ole2.h>

namespace lorvane {

HRESULT CreateList(REFIID iid, void** object);
// The type information of _List from this module's type library, loaded
// once for all objects.
HRESULT ListTypeInfo(ITypeInfo** info);
// Lets the shared type information go, as the module unloads.
void ReleaseListTypeInfo();

}  // namespace lorvane
