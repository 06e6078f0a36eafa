// What a process holds that a library could leave behind when it unloads:
// handles, TLS slots and committed memory. Counted without the process
// counters, which Wine leaves at 0.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace tandrel_test {

struct ProcessResources {
  long handles = 0;
  long freeTlsSlots = 0;
  std::int64_t committedPrivateBytes = 0;
};

// Every value the system takes for one of this process's handles (they are
// multiples of 4).
inline long CountHandles() {
  constexpr ULONG_PTR kHighestCounted = 0x40000;
  long count = 0;
  for (ULONG_PTR value = 4; value < kHighestCounted; value += 4) {
    DWORD flags = 0;
    if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

// Takes every free slot, then gives them all back.
inline long CountFreeTlsSlots() {
  std::vector<DWORD> taken;
  for (DWORD slot; (slot = ::TlsAlloc()) != TLS_OUT_OF_INDEXES;) taken.push_back(slot);
  for (DWORD slot : taken) ::TlsFree(slot);
  return static_cast<long>(taken.size());
}

// Committed pages that belong to this process alone: heaps, stacks and
// other allocations, not mapped images or files.
inline std::int64_t CountCommittedPrivateBytes() {
  std::int64_t total = 0;
  MEMORY_BASIC_INFORMATION region = {};
  for (const BYTE* address = nullptr;
       ::VirtualQuery(address, &region, sizeof region) == sizeof region;) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
      total += static_cast<std::int64_t>(region.RegionSize);
    const BYTE* next = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize;
    if (next <= address) break;  // the top of the address space
    address = next;
  }
  return total;
}

inline ProcessResources CountProcessResources() {
  return {CountHandles(), CountFreeTlsSlots(), CountCommittedPrivateBytes()};
}

}  // namespace tandrel_test
