#pragma once
// Names that screen readers announce for controls with no label before them.
#include <windows.h>
#include <oleacc.h>
#include <wrl/client.h>

namespace murmuro::win32 {

class ControlNamer {
 public:
  virtual ~ControlNamer() = default;
  // Gives the control's accessible object `name`. A failure leaves the control unnamed and
  // changes nothing else.
  virtual HRESULT Name(HWND control, const wchar_t* name) noexcept = 0;
  // Drops the name before the control goes.
  virtual void Forget(HWND control) noexcept = 0;
};

// Through the accessibility runtime's property service. COM must be initialised on the thread.
class AccPropNamer final : public ControlNamer {
 public:
  HRESULT Name(HWND control, const wchar_t* name) noexcept override;
  void Forget(HWND control) noexcept override;

 private:
  Microsoft::WRL::ComPtr<IAccPropServices> services_;
};

}  // namespace murmuro::win32
