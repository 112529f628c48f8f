#include "platform/win32/control_names.h"

namespace murmuro::win32 {
namespace {

// MinGW's oleacc import library lacks these, and libuuid has them only in an object that also
// defines IID_IAccessible, which then clashes with oleacc's.
constexpr GUID kClsidAccPropServices = {0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr GUID kIidAccPropServices = {0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr GUID kPropIdAccName = {0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};

constexpr DWORD kClient = static_cast<DWORD>(OBJID_CLIENT);

}  // namespace

HRESULT AccPropNamer::Name(HWND control, const wchar_t* name) noexcept {
  if (!services_) {
    const HRESULT created = ::CoCreateInstance(kClsidAccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                               kIidAccPropServices,
                                               reinterpret_cast<void**>(services_.ReleaseAndGetAddressOf()));
    if (FAILED(created)) return created;
    if (!services_) return E_POINTER;
  }
  return services_->SetHwndPropStr(control, kClient, CHILDID_SELF, kPropIdAccName, name);
}

void AccPropNamer::Forget(HWND control) noexcept {
  if (services_) services_->ClearHwndProps(control, kClient, CHILDID_SELF, &kPropIdAccName, 1);
}

}  // namespace murmuro::win32
