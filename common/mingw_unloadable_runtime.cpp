// The POSIX thread functions that GCC's statically linked runtime calls
// inside a DLL, made over Windows primitives and released when the DLL
// unloads.
//
// The 32-bit unwinder's frame registration (at every load), the emulated
// thread-local storage behind exceptions and thread_local objects, and the
// guards of function-local statics call a few of these functions. MinGW's
// own thread library gives every thread that calls it a record with a TLS
// slot and two handles, and never releases them, nor the slot: so each load
// and unload of a DLL linked with it statically leaked them, and a process
// ran out of TLS slots after about a thousand loads. libstdc++ adds an
// emergency exception pool of 19 KB (32-bit) or 73 KB (64-bit) from the
// process heap, also never freed.
//
// Linked into a DLL as an object file (kit_unloadable in cmake/kit.cmake),
// these definitions come first, so that library is never pulled in. Should
// the runtime come to need a function that is not here, the linker pulls the
// library back in and fails on the functions then defined twice.
//
// A thread's values end at its DLL_THREAD_DETACH; everything else ends when
// the DLL is freed, and nothing at process exit, when the other threads were
// stopped wherever they stood. The module's own code keeps no thread_local
// object with a destructor: the runtime would pin the module for it and
// free it from inside this file's thread notification.
#include <windows.h>
// The declarations the runtime was built against.
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <new>

#include "unloadable_runtime.h"

namespace __gnu_cxx {
// libstdc++'s hook for freeing its emergency exception pool.
void __freeres();
}  // namespace __gnu_cxx

namespace {

constexpr pthread_once_t kOnceRunning = 2;
constexpr pthread_once_t kOnceDone = 1;
// Keys in use at once: the runtime takes one or two, the kit's own code none.
constexpr unsigned kKeys = 32;
// Destructors that store new values are called again, this many times at most.
constexpr int kDestructorRounds = 4;

// Made on first use of a mutex, a condition or a thread's keys, and kept in
// a list until it is destroyed, its thread ends or the module unloads.
struct Block {
  Block* previous = nullptr;
  Block* next = nullptr;
};

struct Mutex : Block {
  CRITICAL_SECTION section;
};

struct Condition : Block {
  CONDITION_VARIABLE variable = CONDITION_VARIABLE_INIT;
};

struct ThreadValues : Block {
  void* values[kKeys] = {};
};

struct Key {
  bool used = false;
  void (*destructor)(void*) = nullptr;
};

// Guards the lists and the key table; an SRW lock needs no set-up and holds
// no kernel object, so it works from the very first call.
SRWLOCK gLock = SRWLOCK_INIT;
Block gMutexes, gConditions, gThreads;
Key gKeys[kKeys];
DWORD gTlsSlot = TLS_OUT_OF_INDEXES;
bool gProcessEnding = false;

class ExclusiveLock {
 public:
  ExclusiveLock() noexcept { ::AcquireSRWLockExclusive(&gLock); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
  ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&gLock); }
};

template <typename T>
T* Make() noexcept {
  void* memory = ::HeapAlloc(::GetProcessHeap(), 0, sizeof(T));
  return memory ? new (memory) T() : nullptr;
}

void Release(Block* block) noexcept { ::HeapFree(::GetProcessHeap(), 0, block); }

void Discard(Mutex* mutex) noexcept {
  ::DeleteCriticalSection(&mutex->section);
  Release(mutex);
}

void Discard(Condition* condition) noexcept { Release(condition); }

void Track(Block& list, Block* block) noexcept {
  const ExclusiveLock lock;
  block->previous = &list;
  block->next = list.next;
  if (list.next) list.next->previous = block;
  list.next = block;
}

void Untrack(Block* block) noexcept {
  const ExclusiveLock lock;
  block->previous->next = block->next;
  if (block->next) block->next->previous = block->previous;
}

template <typename T>
T* TakeFirst(Block& list) noexcept {
  const ExclusiveLock lock;
  Block* first = list.next;
  if (first) {
    list.next = first->next;
    if (first->next) first->next->previous = &list;
  }
  return static_cast<T*>(first);
}

// A mutex or condition variable holds either one of the static initialisers
// (small negative values) or the address of its block.
bool IsInitialiser(std::intptr_t value) noexcept {
  return static_cast<std::uintptr_t>(value) >= static_cast<std::uintptr_t>(-3);
}

// The block behind a mutex or condition variable, made on its first use;
// null when there is no memory for it.
template <typename T, typename Init>
T* BlockOf(std::intptr_t& variable, Block& list, Init init) noexcept {
  std::atomic_ref<std::intptr_t> shared(variable);
  std::intptr_t current = shared.load(std::memory_order_acquire);
  if (!IsInitialiser(current)) return reinterpret_cast<T*>(current);
  T* made = Make<T>();
  if (!made) return nullptr;
  init(*made);
  if (!shared.compare_exchange_strong(current, reinterpret_cast<std::intptr_t>(made),
                                      std::memory_order_acq_rel)) {
    // Another thread made it first.
    Discard(made);
    return reinterpret_cast<T*>(current);
  }
  Track(list, made);
  return made;
}

Mutex* MutexOf(pthread_mutex_t* mutex) noexcept {
  // Every kind of mutex is recursive here, which satisfies what the runtime
  // asks of normal and recursive ones alike.
  return BlockOf<Mutex>(*mutex, gMutexes,
                        [](Mutex& made) { ::InitializeCriticalSection(&made.section); });
}

Condition* ConditionOf(pthread_cond_t* condition) noexcept {
  return BlockOf<Condition>(*condition, gConditions, [](Condition&) {});
}

ThreadValues* ValuesOfThisThread() noexcept {
  if (gTlsSlot == TLS_OUT_OF_INDEXES) return nullptr;
  // TlsGetValue clears the thread's last error, which the caller may still
  // want to read.
  const DWORD error = ::GetLastError();
  auto* values = static_cast<ThreadValues*>(::TlsGetValue(gTlsSlot));
  ::SetLastError(error);
  return values;
}

// Hands each value that has a destructor to it, as at the end of a thread.
// Later keys first: a key made later may hold values that live in the
// storage of an earlier one (the runtime's list of thread_local destructors
// lies after the emulated TLS block that holds those objects).
void EndValues(ThreadValues& thread) noexcept {
  for (int round = 0; round < kDestructorRounds; ++round) {
    Key keys[kKeys];
    {
      const ExclusiveLock lock;
      std::copy(std::begin(gKeys), std::end(gKeys), keys);
    }
    bool called = false;
    for (unsigned key = kKeys; key-- > 0;) {
      void* value = thread.values[key];
      if (!value || !keys[key].destructor) continue;
      thread.values[key] = nullptr;
      keys[key].destructor(value);
      called = true;
    }
    if (!called) return;
  }
}

// Untracked before any destructor runs, so that nothing else ends the same
// values again, whatever a destructor does.
void EndThisThread() noexcept {
  ThreadValues* values = ValuesOfThisThread();
  if (!values) return;
  Untrack(values);
  EndValues(*values);
  ::TlsSetValue(gTlsSlot, nullptr);
  Release(values);
}

// Runs last as the module unloads, after its static destructors and frame
// deregistration: no thread runs the module's code any more, so the values
// of threads still running are ended here too.
void ReleaseEverything() {
  // At process exit other threads may have stopped anywhere, even inside a
  // lock; the system reclaims everything anyway.
  if (gProcessEnding) return;
  while (auto* values = TakeFirst<ThreadValues>(gThreads)) {
    EndValues(*values);
    Release(values);
  }
  if (gTlsSlot != TLS_OUT_OF_INDEXES) ::TlsFree(gTlsSlot);
  gTlsSlot = TLS_OUT_OF_INDEXES;
  while (auto* condition = TakeFirst<Condition>(gConditions)) Release(condition);
  while (auto* mutex = TakeFirst<Mutex>(gMutexes)) Discard(mutex);
  __gnu_cxx::__freeres();
}

// A C initialiser: it runs before every C++ constructor, so this is the
// first function registered with the module's atexit, and the last it runs.
int RegisterRelease() {
  std::atexit(ReleaseEverything);
  return 0;
}

// Called by the loader ahead of the module's entry point for every thread
// and process notification. Its third argument is always null, so it cannot
// tell process exit from FreeLibrary: DllMain tells that.
void NTAPI OnModuleNotification(PVOID, DWORD reason, PVOID) {
  if (reason == DLL_THREAD_DETACH) EndThisThread();
}

// Puts a pthread_once back to "not run" unless dismissed: an initialiser
// that throws leaves it to be run again, not running for ever.
class OnceReset {
 public:
  explicit OnceReset(pthread_once_t* once) noexcept : once_(once) {}
  OnceReset(const OnceReset&) = delete;
  OnceReset& operator=(const OnceReset&) = delete;
  ~OnceReset() {
    if (once_) std::atomic_ref<pthread_once_t>(*once_).store(PTHREAD_ONCE_INIT);
  }
  void Dismiss() noexcept { once_ = nullptr; }

 private:
  pthread_once_t* once_;
};

}  // namespace

void kit::NoteModuleDetach(LPVOID reserved) noexcept { gProcessEnding = reserved != nullptr; }

extern "C" {

__attribute__((section(".CRT$XIB"), used)) int (*kitRegisterRuntimeRelease)() = RegisterRelease;
__attribute__((section(".CRT$XLF"), used)) PIMAGE_TLS_CALLBACK kitRuntimeNotification =
    OnModuleNotification;

int pthread_once(pthread_once_t* once, void (*init)(void)) {
  std::atomic_ref<pthread_once_t> state(*once);
  pthread_once_t fresh = PTHREAD_ONCE_INIT;
  while (!state.compare_exchange_strong(fresh, kOnceRunning, std::memory_order_acquire)) {
    if (fresh == kOnceDone) return 0;
    // Running: wait for the thread that runs it, which may also give up.
    ::SwitchToThread();
    fresh = PTHREAD_ONCE_INIT;
  }
  OnceReset reset(once);
  init();
  reset.Dismiss();
  state.store(kOnceDone, std::memory_order_release);
  return 0;
}

int pthread_mutex_init(pthread_mutex_t* mutex, const pthread_mutexattr_t*) {
  *mutex = PTHREAD_MUTEX_INITIALIZER;
  return 0;
}

int pthread_mutex_destroy(pthread_mutex_t* mutex) {
  if (IsInitialiser(*mutex)) return 0;
  auto* made = reinterpret_cast<Mutex*>(*mutex);
  Untrack(made);
  Discard(made);
  *mutex = PTHREAD_MUTEX_INITIALIZER;
  return 0;
}

int pthread_mutex_lock(pthread_mutex_t* mutex) {
  Mutex* made = MutexOf(mutex);
  if (!made) return ENOMEM;
  ::EnterCriticalSection(&made->section);
  return 0;
}

int pthread_mutex_unlock(pthread_mutex_t* mutex) {
  if (IsInitialiser(*mutex)) return EPERM;  // never locked
  ::LeaveCriticalSection(&reinterpret_cast<Mutex*>(*mutex)->section);
  return 0;
}

int pthread_cond_wait(pthread_cond_t* condition, pthread_mutex_t* mutex) {
  Condition* waited = ConditionOf(condition);
  Mutex* held = MutexOf(mutex);
  if (!waited || !held) return ENOMEM;
  return ::SleepConditionVariableCS(&waited->variable, &held->section, INFINITE) ? 0 : EINVAL;
}

int pthread_cond_broadcast(pthread_cond_t* condition) {
  Condition* made = ConditionOf(condition);
  if (!made) return ENOMEM;
  ::WakeAllConditionVariable(&made->variable);
  return 0;
}

int pthread_key_create(pthread_key_t* key, void (*destructor)(void*)) {
  const ExclusiveLock lock;
  if (gTlsSlot == TLS_OUT_OF_INDEXES) gTlsSlot = ::TlsAlloc();
  if (gTlsSlot == TLS_OUT_OF_INDEXES) return EAGAIN;
  for (unsigned free = 0; free < kKeys; ++free) {
    if (gKeys[free].used) continue;
    gKeys[free] = {true, destructor};
    *key = free;
    return 0;
  }
  return EAGAIN;
}

int pthread_key_delete(pthread_key_t key) {
  if (key >= kKeys) return EINVAL;
  const ExclusiveLock lock;
  gKeys[key] = {};
  for (Block* thread = gThreads.next; thread; thread = thread->next)
    static_cast<ThreadValues*>(thread)->values[key] = nullptr;
  return 0;
}

void* pthread_getspecific(pthread_key_t key) {
  ThreadValues* values = key < kKeys ? ValuesOfThisThread() : nullptr;
  return values ? values->values[key] : nullptr;
}

int pthread_setspecific(pthread_key_t key, const void* value) {
  if (key >= kKeys || gTlsSlot == TLS_OUT_OF_INDEXES) return EINVAL;
  ThreadValues* values = ValuesOfThisThread();
  if (!values) {
    if (!value) return 0;
    values = Make<ThreadValues>();
    if (!values) return ENOMEM;
    ::TlsSetValue(gTlsSlot, values);
    Track(gThreads, values);
  }
  values->values[key] = const_cast<void*>(value);
  return 0;
}

}  // extern "C"
