// The owners of COM and automation values: interface references, BSTRs,
// VARIANTs and SAFEARRAYs.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <utility>

#include "unique_any.h"

namespace kit {

namespace detail {
inline void CoUninitializeCall(bool) noexcept { ::CoUninitialize(); }
inline void FreeBstrValue(BSTR text) noexcept { ::SysFreeString(text); }
inline void DestroySafeArrayValue(SAFEARRAY* array) noexcept { ::SafeArrayDestroy(array); }
}  // namespace detail

// A successful CoInitializeEx of this thread, undone at the end.
using unique_couninitialize_call = unique_any<bool, detail::CoUninitializeCall>;
using unique_bstr = unique_any<BSTR, detail::FreeBstrValue>;
using unique_safearray = unique_any<SAFEARRAY*, detail::DestroySafeArrayValue>;

// Enters this thread into a single-threaded apartment until the owner ends;
// the owner is empty when COM could not be initialised.
[[nodiscard]] inline unique_couninitialize_call CoInitializeApartment(
    DWORD extraFlags = 0) noexcept {
  return unique_couninitialize_call(
      SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | extraFlags)));
}

// Owns a VARIANT's contents: initialised empty, cleared at the end.
class unique_variant {
 public:
  unique_variant() noexcept { ::VariantInit(&value_); }
  unique_variant(const unique_variant&) = delete;
  unique_variant& operator=(const unique_variant&) = delete;
  unique_variant(unique_variant&& other) noexcept : value_(other.release()) {}
  unique_variant& operator=(unique_variant&& other) noexcept {
    if (this != &other) {
      reset();
      value_ = other.release();
    }
    return *this;
  }
  ~unique_variant() { reset(); }

  [[nodiscard]] VARIANT* get() noexcept { return &value_; }
  [[nodiscard]] const VARIANT* get() const noexcept { return &value_; }
  void reset() noexcept { ::VariantClear(&value_); }
  // Hands the contents over, to be cleared by their new owner.
  [[nodiscard]] VARIANT release() noexcept {
    const VARIANT contents = value_;
    ::VariantInit(&value_);
    return contents;
  }

 private:
  VARIANT value_;
};

// Owns one reference to a COM interface.
template <typename T>
class com_ptr {
 public:
  com_ptr() noexcept = default;
  com_ptr(const com_ptr&) = delete;
  com_ptr& operator=(const com_ptr&) = delete;
  com_ptr(com_ptr&& other) noexcept : p_(other.release()) {}
  com_ptr& operator=(com_ptr&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~com_ptr() { reset(); }

  [[nodiscard]] T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  void reset(T* p = nullptr) noexcept {
    T* old = std::exchange(p_, p);
    if (old) old->Release();
  }
  T* release() noexcept { return std::exchange(p_, nullptr); }
  [[nodiscard]] T** put() noexcept {
    reset();
    return &p_;
  }
  [[nodiscard]] void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

 private:
  T* p_ = nullptr;
};

}  // namespace kit
