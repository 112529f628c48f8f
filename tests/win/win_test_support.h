#pragma once
// What the Windows integration tests share: the real Win32 platform, the sample client as
// another process, and the window system seen directly (to check our view of it).
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/im_client/control.h"
#include "imwindows/capture.h"
#include "imwindows/discovery.h"
#include "platform/win32/handles.h"
#include "platform/win32/mshtml_type_library.h"
#include "platform/win32/win32_ansi_codec.h"
#include "platform/win32/win32_document_source.h"
#include "platform/win32/win32_window_system.h"

namespace murmuro::wintest {

class SwitchTimer final : public platform::PollTimer {
 public:
  void SetEnabled(bool value) override { enabled_ = value; }
  bool Enabled() const override { return enabled_; }

 private:
  bool enabled_ = false;
};

// The program's own Windows platform, as the program sets it up.
struct Win32Platform {
  win32::ComApartment com;
  win32::MshtmlTypeLibrary library;
  win32::Win32WindowSystem windows;
  win32::Win32DocumentSource documents;
  win32::Win32AnsiCodec codec;
  SwitchTimer timer;

  DirectCaptures captures{CaptureContext{windows, documents}, std::make_shared<SwitchCount>(0)};

  CaptureContext Capture() { return {windows, documents}; }
  ScanContext Scan() { return {windows, captures, codec, timer}; }
};

// A client process per test, under a name of its own.
inline std::unique_ptr<im_client::ClientProcess> LaunchClient(const std::wstring& name,
                                                              const std::wstring& extra = L"") {
  const std::wstring exe = im_client::ClientExecutable();
  if (exe.empty()) return nullptr;
  return im_client::ClientProcess::Launch(exe, name, extra);
}

inline Hwnd AsHwnd(LRESULT reply) { return static_cast<Hwnd>(reply); }

// Sends a command that must be taken.
inline LRESULT Must(const im_client::ClientProcess& client, std::string_view command) {
  const LRESULT reply = client.Send(command);
  EXPECT_NE(reply, im_client::kRefused) << command;
  return reply;
}

// The client's count of live document objects once references in flight have settled.
inline LRESULT SettledAlive(const im_client::ClientProcess& client, LRESULT expected) {
  LRESULT alive = client.Send("alive");
  for (int tries = 0; tries < 100 && alive != expected; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    alive = client.Send("alive");
  }
  return alive;
}

inline BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

inline std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> found;
  ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

inline std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> found;
  ::EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

inline std::string ClassOf(HWND window) {
  char name[260] = {};
  const int n = ::GetClassNameA(window, name, sizeof name);
  return std::string(name, n > 0 ? static_cast<std::size_t>(n) : 0);
}

inline double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace murmuro::wintest
