#include "mapped_view_guard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace filelayer {

// A slot of the table the signal handler reads: no lock, no allocation.
struct MappedViewGuard::Slot {
  std::atomic<bool> taken{false};
  std::atomic<std::uintptr_t> begin{0};
  std::atomic<std::uintptr_t> end{0};
  std::atomic<bool> faulted{false};
};

namespace {

constexpr std::size_t kSlots = 256;
// Constant-initialised: ready before any code runs, and never destroyed
// while a handler might read it.
MappedViewGuard::Slot slots[kSlots];

struct sigaction previousAction;

void ChainToPrevious(int signal, siginfo_t* info, void* context) {
  if (previousAction.sa_flags & SA_SIGINFO) {
    previousAction.sa_sigaction(signal, info, context);
  } else if (previousAction.sa_handler != SIG_IGN && previousAction.sa_handler != SIG_DFL) {
    previousAction.sa_handler(signal);
  } else {
    // The fault repeats on return and, with the default action, ends the
    // process as it would have without this handler.
    ::sigaction(signal, &previousAction, nullptr);
  }
}

void OnBusError(int signal, siginfo_t* info, void* context) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (std::size_t i = 0; i < kSlots; ++i) {
    MappedViewGuard::Slot& slot = slots[i];
    if (address < slot.begin.load() || address >= slot.end.load()) continue;
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    void* const missing = reinterpret_cast<void*>(address - address % page);
    // Zeros in the missing page's place; the faulting read then goes on.
    if (::mmap(missing, page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) ==
        MAP_FAILED) {
      break;
    }
    slot.faulted.store(true);
    return;
  }
  ChainToPrevious(signal, info, context);
}

void InstallHandler() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousAction);
  });
}

}  // namespace

MappedViewGuard::MappedViewGuard() : slot_(nullptr) {
  InstallHandler();
  for (std::size_t i = 0; i < kSlots && !slot_; ++i) {
    bool free = false;
    if (slots[i].taken.compare_exchange_strong(free, true)) slot_ = &slots[i];
  }
  if (slot_) slot_->faulted.store(false);
}

MappedViewGuard::~MappedViewGuard() {
  if (!slot_) return;
  Guard(nullptr, 0);
  slot_->taken.store(false);
}

void MappedViewGuard::Guard(const char* begin, std::size_t size) {
  if (!slot_) return;
  const auto from = reinterpret_cast<std::uintptr_t>(begin);
  slot_->end.store(0);  // no moment where the slot covers a wrong range
  slot_->begin.store(from);
  slot_->end.store(size == 0 ? 0 : from + size);
}

bool MappedViewGuard::Faulted() const { return slot_ && slot_->faulted.load(); }

}  // namespace filelayer
