// Bytes of the address space that files mapped whole may take together
// (InputMapping::wholeBudget), shared by the inputs of one file layer.
#pragma once

#include <atomic>
#include <cstdint>

namespace filelayer {

class AddressBudget {
 public:
  explicit AddressBudget(std::uint64_t bytes) : left_(bytes) {}
  [[nodiscard]] bool Take(std::uint64_t bytes) {
    std::uint64_t left = left_.load();
    do {
      if (bytes > left) return false;
    } while (!left_.compare_exchange_weak(left, left - bytes));
    return true;
  }
  void Give(std::uint64_t bytes) { left_ += bytes; }

 private:
  std::atomic<std::uint64_t> left_;
};

}  // namespace filelayer
