#pragma once
// Cancels an outgoing cross-process COM call that has waited too long. The capture reads the
// IM client's document through calls that have no time-out of their own; a client that stops
// answering part-way would otherwise freeze the program's one thread for good. The poll timer's
// messages keep arriving during such a wait, and with them COM asks this filter what to do.
// (Wine's COM does not consult the filter during a cross-process call; Windows does.)
#include <windows.h>
#include <objidl.h>

namespace murmuro::win32 {

inline constexpr DWORD kCallTimeoutMs = 3000;

// Registered on the calling (UI) thread for the lifetime of this object.
class CallTimeoutFilter final : public IMessageFilter {
 public:
  CallTimeoutFilter() noexcept;
  ~CallTimeoutFilter();
  CallTimeoutFilter(const CallTimeoutFilter&) = delete;
  CallTimeoutFilter& operator=(const CallTimeoutFilter&) = delete;

  bool Registered() const noexcept { return registered_; }

  // IUnknown: the object lives as long as its owner; COM's references do not end it.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  // IMessageFilter
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override;
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD) override;
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD elapsedMs, DWORD) override;

 private:
  IMessageFilter* previous_ = nullptr;
  bool registered_ = false;
};

}  // namespace murmuro::win32
