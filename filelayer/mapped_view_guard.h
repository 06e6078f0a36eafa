// Linux raises SIGBUS where a mapped file no longer has the page read: the
// file was cut short by another program, or a network file system failed to
// deliver it. Without a handler that ends the process, without a word and
// with its temporary files left behind. A guarded view instead reads as
// zeros from the first missing page on, and remembers that it did, so that
// the reader can fail the way a failed read fails.
#pragma once

#include <cstddef>

namespace filelayer {

class MappedViewGuard {
 public:
  struct Slot;

  // A guard without a slot when every slot is taken: its views must not be
  // mapped, and valid() is false.
  MappedViewGuard();
  ~MappedViewGuard();
  MappedViewGuard(const MappedViewGuard&) = delete;
  MappedViewGuard& operator=(const MappedViewGuard&) = delete;

  [[nodiscard]] bool valid() const { return slot_ != nullptr; }
  // The view now guarded; an empty one guards none.
  void Guard(const char* begin, std::size_t size);
  // Whether a page of any view guarded so far was missing.
  [[nodiscard]] bool Faulted() const;

 private:
  Slot* slot_;
};

}  // namespace filelayer
