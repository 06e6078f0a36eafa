// A library with only the unregistration entry: looking up the registration
// entry by a near name must not find it.
#include <windows.h>

#include <olectl.h>

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  ::SetEnvironmentVariableA("TANDREL_TEST_REGISTERED", "no_register_entry");
  return S_OK;
}
