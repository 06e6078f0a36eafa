#include "buffered_input.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace filelayer {

std::string_view BufferedInput::View(std::uint64_t offset, std::size_t length) {
  if (offset >= size_) return {};
  // Never an empty view before the end, whatever was asked.
  const std::uint64_t wanted = std::clamp<std::uint64_t>(length, 1, size_ - offset);
  if (offset < start_ || offset + wanted > start_ + filled_) Refill(offset, wanted);
  previous_ = offset;
  const auto at = static_cast<std::size_t>(offset - start_);
  return {buffer_.get() + at, filled_ - at};
}

void BufferedInput::Refill(std::uint64_t offset, std::uint64_t wanted) {
  // A reader that looks past the buffer for where a row ends comes back for
  // the row, which its previous view began: those bytes stay rather than be
  // read again, unless they are most of a window (a reader scanning ahead).
  const std::uint64_t bufferEnd = start_ + filled_;
  const bool continues = filled_ != 0 && offset >= start_ && offset <= bufferEnd;
  const std::uint64_t rowStart = std::clamp(previous_, start_, bufferEnd);
  const std::uint64_t from =
      continues && bufferEnd - rowStart <= window_ / 2 ? std::min(offset, rowStart) : offset;
  const std::uint64_t end = std::min(size_, offset + std::max<std::uint64_t>(wanted, window_));
  if (end - from > SIZE_MAX) FailTooLarge(end - from);
  const auto total = static_cast<std::size_t>(end - from);
  const auto kept = continues ? static_cast<std::size_t>(bufferEnd - from) : std::size_t{0};
  const char* const keptBytes = kept != 0 ? buffer_.get() + (from - start_) : nullptr;

  if (total > capacity_) {
    std::unique_ptr<char[]> larger;
    try {
      larger = std::make_unique_for_overwrite<char[]>(total);
    } catch (const std::bad_alloc&) {
      FailTooLarge(total);
    }
    if (kept != 0) std::memcpy(larger.get(), keptBytes, kept);
    buffer_ = std::move(larger);
    capacity_ = total;
  } else if (kept != 0) {
    std::memmove(buffer_.get(), keptBytes, kept);
  }
  // What is buffered stays right if the read fails part-way.
  start_ = from;
  filled_ = kept;
  ReadAt(from + kept, buffer_.get() + kept, total - kept);
  filled_ = total;
}

}  // namespace filelayer
