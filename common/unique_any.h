// One owner type for every resource, on any platform: a handle-like value
// plus the function that releases it, so that each file, key, handle or
// mapping is released on every path. The platform's kinds are named in
// unique_resource.h (Win32), unique_com.h (COM) and unique_internet.h (WinInet).
#pragma once

#include <utility>

namespace kit {

// Owns a value described by Traits: its type, its "none" value (invalid())
// and the function that releases it (close()). Movable, not copyable.
template <typename Traits>
class unique_any_t {
 public:
  using value_type = typename Traits::type;

  unique_any_t() noexcept = default;
  explicit unique_any_t(value_type value) noexcept : value_(std::move(value)) {}
  unique_any_t(const unique_any_t&) = delete;
  unique_any_t& operator=(const unique_any_t&) = delete;
  unique_any_t(unique_any_t&& other) noexcept : value_(other.release()) {}
  unique_any_t& operator=(unique_any_t&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~unique_any_t() { reset(); }

  [[nodiscard]] const value_type& get() const noexcept { return value_; }
  [[nodiscard]] bool valid() const noexcept { return !(value_ == Traits::invalid()); }
  explicit operator bool() const noexcept { return valid(); }

  void reset(value_type value = Traits::invalid()) noexcept {
    value_type old = std::exchange(value_, std::move(value));
    if (!(old == Traits::invalid())) Traits::close(old);
  }
  value_type release() noexcept { return std::exchange(value_, Traits::invalid()); }
  // For functions that hand the resource back through an out parameter.
  [[nodiscard]] value_type* put() noexcept {
    reset();
    return &value_;
  }

 private:
  value_type value_ = Traits::invalid();
};

// Resources whose "none" value is the value Invalid.
template <typename T, T Invalid, auto Close>
struct value_is_invalid {
  using type = T;
  static T invalid() noexcept { return Invalid; }
  static void close(const T& value) noexcept { Close(value); }
};

// Resources whose "none" value is zero, null or empty.
template <typename T, auto Close>
struct null_is_invalid {
  using type = T;
  static T invalid() noexcept { return T{}; }
  static void close(const T& value) noexcept { Close(value); }
};

template <typename T, auto Close>
using unique_any = unique_any_t<null_is_invalid<T, Close>>;

// Runs a function when the scope ends, on every path, unless dismissed: for
// the one-off clean-up that no owner type describes.
template <typename Function>
class [[nodiscard]] scope_exit {
 public:
  explicit scope_exit(Function function) noexcept : function_(std::move(function)) {}
  scope_exit(const scope_exit&) = delete;
  scope_exit& operator=(const scope_exit&) = delete;
  ~scope_exit() {
    if (armed_) function_();
  }

  void dismiss() noexcept { armed_ = false; }

 private:
  Function function_;
  bool armed_ = true;
};

}  // namespace kit
