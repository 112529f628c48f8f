#pragma once
// Owning holders for Windows handles (one owner, move-only) and for a thread's COM apartment.
#include <windows.h>
#include <oleauto.h>
#include <objbase.h>

#include <utility>

namespace murmuro::win32 {

// Traits give the handle type, its empty value and how to free it.
template <class Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Type handle) noexcept : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  Type get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != Traits::Empty(); }

  Type release() noexcept { return std::exchange(handle_, Traits::Empty()); }
  void reset(Type handle = Traits::Empty()) noexcept {
    const Type old = std::exchange(handle_, handle);
    if (old != Traits::Empty()) Traits::Free(old);
  }
  // For out-parameters: frees what is held and hands out the slot.
  Type* put() noexcept {
    reset();
    return &handle_;
  }

 private:
  Type handle_ = Traits::Empty();
};

struct WindowTraits {
  using Type = HWND;
  static Type Empty() noexcept { return nullptr; }
  static void Free(Type h) noexcept { ::DestroyWindow(h); }
};

struct IconTraits {
  using Type = HICON;
  static Type Empty() noexcept { return nullptr; }
  static void Free(Type h) noexcept { ::DestroyIcon(h); }
};

struct MenuTraits {
  using Type = HMENU;
  static Type Empty() noexcept { return nullptr; }
  static void Free(Type h) noexcept { ::DestroyMenu(h); }
};

struct BstrTraits {
  using Type = BSTR;
  static Type Empty() noexcept { return nullptr; }
  static void Free(Type h) noexcept { ::SysFreeString(h); }
};

// Kernel objects whose "no handle" is null (processes, threads, events, mappings).
struct KernelTraits {
  using Type = HANDLE;
  static Type Empty() noexcept { return nullptr; }
  static void Free(Type h) noexcept { ::CloseHandle(h); }
};

// File handles, whose "no handle" is INVALID_HANDLE_VALUE.
struct FileTraits {
  using Type = HANDLE;
  static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
  static void Free(Type h) noexcept { ::CloseHandle(h); }
};

struct ModuleTraits {
  using Type = HMODULE;
  static Type Empty() noexcept { return nullptr; }
  static void Free(Type h) noexcept { ::FreeLibrary(h); }
};

using UniqueHwnd = UniqueHandle<WindowTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;
using UniqueBstr = UniqueHandle<BstrTraits>;
using UniqueKernelHandle = UniqueHandle<KernelTraits>;
using UniqueFile = UniqueHandle<FileTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;

// COM on the calling thread for this object's lifetime (apartment-threaded by default, as a
// UI thread needs). Uninitialises only what it initialised.
class ComApartment {
 public:
  explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) noexcept
      : result_(::CoInitializeEx(nullptr, model)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  bool Ok() const noexcept { return SUCCEEDED(result_); }
  HRESULT Result() const noexcept { return result_; }

 private:
  HRESULT result_;
};

}  // namespace murmuro::win32
