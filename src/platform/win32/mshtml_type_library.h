#pragma once
// Keeps MSHTML's type library loaded for the life of the process. Every cross-process document
// proxy is built from it; without this holder each new proxy loads it again (~90 ms under Wine),
// with it a capture costs a few tens of milliseconds. Created once at start-up by the owner of
// the program state.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

namespace murmuro::win32 {

// {3050F1C5-98B5-11CF-BB82-00AA00BDCE0B}; MinGW's uuid library lacks it.
inline constexpr GUID kLibidMshtml = {
    0x3050F1C5, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};

class MshtmlTypeLibrary {
 public:
  // A library that cannot be loaded leaves the holder empty; captures still work, only slower.
  MshtmlTypeLibrary() noexcept;
  MshtmlTypeLibrary(const MshtmlTypeLibrary&) = delete;
  MshtmlTypeLibrary& operator=(const MshtmlTypeLibrary&) = delete;

  bool Loaded() const noexcept { return library_ != nullptr; }
  HRESULT Result() const noexcept { return result_; }
  ITypeLib* Get() const noexcept { return library_.Get(); }

 private:
  Microsoft::WRL::ComPtr<ITypeLib> library_;
  HRESULT result_;
};

}  // namespace murmuro::win32
