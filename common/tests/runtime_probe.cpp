// A DLL built on the unloadable runtime alone, whose exports drive its
// thread functions as GCC's runtime does: keys whose values end with their
// thread, and one-time initialisers.
#include <windows.h>

#include <pthread.h>

#include "dll_entry.h"
#include "unloadable_runtime.h"

// The exports its test binds by name.
extern "C" {
int SetTwoKeys();
int SeenAtThreadEnd();
int RunsOfAThrowingInitialiser();
}

namespace {

constexpr int kMark = 42;
pthread_key_t earlierKey, laterKey;
// What the later key's destructor found in the earlier key's value.
int seenAtThreadEnd = 0;

// The earlier key owns an int; the later key's value points into it, as the
// runtime's list of thread_local destructors points into the emulated TLS
// block of an earlier key.
void EndEarlier(void* value) {
  *static_cast<int*>(value) = 0;
  delete static_cast<int*>(value);
}
void EndLater(void* value) { seenAtThreadEnd = *static_cast<int*>(value); }

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) noexcept {
  if (reason == DLL_PROCESS_DETACH) kit::NoteModuleDetach(reserved);
  return TRUE;
}

// Gives the calling thread a value under each of two keys, made in order.
extern "C" int SetTwoKeys() {
  if (pthread_key_create(&earlierKey, EndEarlier) != 0) return 1;
  if (pthread_key_create(&laterKey, EndLater) != 0) return 1;
  int* owned = new int(kMark);
  pthread_setspecific(earlierKey, owned);
  pthread_setspecific(laterKey, owned);
  return 0;
}

extern "C" int SeenAtThreadEnd() { return seenAtThreadEnd; }

// How many times the initialiser ran: once it threw, and a second call runs
// it again rather than waiting for it for ever.
extern "C" int RunsOfAThrowingInitialiser() {
  static pthread_once_t once = PTHREAD_ONCE_INIT;
  static int runs = 0;
  try {
    pthread_once(&once, [] {
      ++runs;
      throw kMark;
    });
  } catch (int) {
  }
  pthread_once(&once, [] { ++runs; });
  return runs;
}
