#include "platform/win32/call_timeout_filter.h"

namespace murmuro::win32 {

CallTimeoutFilter::CallTimeoutFilter() noexcept
    : registered_(SUCCEEDED(::CoRegisterMessageFilter(this, &previous_))) {}

CallTimeoutFilter::~CallTimeoutFilter() {
  if (!registered_) return;
  IMessageFilter* ours = nullptr;
  ::CoRegisterMessageFilter(previous_, &ours);
  if (previous_) previous_->Release();
}

HRESULT STDMETHODCALLTYPE CallTimeoutFilter::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IMessageFilter) {
    *out = static_cast<IMessageFilter*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

DWORD STDMETHODCALLTYPE CallTimeoutFilter::HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) {
  return SERVERCALL_ISHANDLED;
}

// A client too busy to take the call now: try again shortly, but not past the time-out.
DWORD STDMETHODCALLTYPE CallTimeoutFilter::RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD) {
  return elapsedMs < kCallTimeoutMs ? 100 : static_cast<DWORD>(-1);
}

DWORD STDMETHODCALLTYPE CallTimeoutFilter::MessagePending(HTASK, DWORD elapsedMs, DWORD) {
  return elapsedMs >= kCallTimeoutMs ? PENDINGMSG_CANCELCALL : PENDINGMSG_WAITDEFPROCESS;
}

}  // namespace murmuro::win32
