// An input file read into a buffer of the program's own rather than mapped:
// the platform supplies the reads, this the windows that InputFile promises.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "file_system.h"

namespace filelayer {

// Each view is read whole from the file: `window` bytes from the offset on,
// or more where one view must hold more. When a view runs past the buffer,
// the bytes from the previous view on stay buffered, since a reader that
// looks ahead for where a row ends comes back for the row: a row that
// crosses two windows is read from the file once.
class BufferedInput : public InputFile {
 public:
  BufferedInput(std::uint64_t size, std::size_t window) : size_(size), window_(window) {}
  [[nodiscard]] std::uint64_t size() const final { return size_; }
  [[nodiscard]] std::string_view View(std::uint64_t offset, std::size_t length) final;

 protected:
  // Fills `count` bytes at `into` with the file's bytes from `offset` on.
  // Throws FileError when the file cannot be read, or now ends sooner.
  virtual void ReadAt(std::uint64_t offset, char* into, std::size_t count) = 0;
  // Throws the platform's FileError for a buffer of `size` bytes that cannot be had.
  [[noreturn]] virtual void FailTooLarge(std::uint64_t size) const = 0;

 private:
  // Buffers at least `wanted` bytes (at least one, none past the end) from `offset` on.
  void Refill(std::uint64_t offset, std::uint64_t wanted);

  std::uint64_t size_;
  std::size_t window_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::uint64_t start_ = 0;  // where in the file the buffered bytes begin
  std::size_t filled_ = 0;
  std::uint64_t previous_ = 0;  // the offset of the last view handed out
};

}  // namespace filelayer
