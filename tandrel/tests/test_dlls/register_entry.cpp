// A library whose self-registration entry answers REGISTER_STATUS. It notes
// the call in its process's environment so that a test sees the entry ran.
#include <windows.h>

#include <olectl.h>

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  ::SetEnvironmentVariableA("TANDREL_TEST_REGISTERED", REGISTER_NAME);
  return REGISTER_STATUS;
}
