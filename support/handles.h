#pragma once
// One small non-copyable owner per Windows handle kind, so that no path leaks one.
#include <windows.h>
#include <utility>

// A kernel handle closed with CloseHandle. Both null and INVALID_HANDLE_VALUE mean "none".
class UniqueHandle {
public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(h) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept { if (this != &o) { reset(); h_ = std::exchange(o.h_, nullptr); } return *this; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  HANDLE release() { return std::exchange(h_, nullptr); }
  void reset(HANDLE h = nullptr) { if (valid()) CloseHandle(h_); h_ = h; }
private:
  HANDLE h_ = nullptr;
};

// A directory search handle closed with FindClose.
class UniqueFind {
public:
  UniqueFind() = default;
  explicit UniqueFind(HANDLE h) : h_(h) {}
  ~UniqueFind() { if (valid()) FindClose(h_); }
  UniqueFind(const UniqueFind&) = delete;
  UniqueFind& operator=(const UniqueFind&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE get() const { return h_; }
private:
  HANDLE h_ = INVALID_HANDLE_VALUE;
};

// A registry key closed with RegCloseKey.
class UniqueRegKey {
public:
  UniqueRegKey() = default;
  ~UniqueRegKey() { if (k_) RegCloseKey(k_); }
  UniqueRegKey(const UniqueRegKey&) = delete;
  UniqueRegKey& operator=(const UniqueRegKey&) = delete;
  HKEY get() const { return k_; }
  HKEY* put() { if (k_) RegCloseKey(k_); k_ = nullptr; return &k_; }
private:
  HKEY k_ = nullptr;
};

// A COM interface pointer released on destruction.
template <class T>
class ComPtr {
public:
  ComPtr() = default;
  ~ComPtr() { if (p_) p_->Release(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T** put() { if (p_) p_->Release(); p_ = nullptr; return &p_; }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  explicit operator bool() const { return p_ != nullptr; }
private:
  T* p_ = nullptr;
};
