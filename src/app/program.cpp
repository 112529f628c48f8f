#include "app/program.h"

#include <filesystem>
#include <memory>
#include <optional>

#include "app/main_window.h"
#include "app/resource_ids.h"
#include "app/win32_poll_timer.h"
#include "core/settings.h"
#include "core/start_up.h"
#include "core/state.h"
#include "imwindows/capture_lanes.h"
#include "monitor/poll_cycle.h"
#include "platform/win32/apartment_keeper.h"
#include "platform/win32/dpi.h"
#include "platform/win32/handles.h"
#include "platform/win32/mshtml_type_library.h"
#include "platform/win32/options_window.h"
#include "platform/win32/utf8.h"
#include "platform/win32/win32_ansi_codec.h"
#include "platform/win32/win32_document_source.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_form_scale.h"
#include "platform/win32/win32_lower_case.h"
#include "platform/win32/win32_message_boxes.h"
#include "platform/win32/win32_popup_menu.h"
#include "platform/win32/win32_tray_shell.h"
#include "platform/win32/win32_voice.h"
#include "platform/win32/win32_window_system.h"
#include "ui/main_form.h"
#include "ui/options_dialog.h"

namespace murmuro::app {
namespace {

std::filesystem::path ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return std::filesystem::path(path).parent_path();
}

// The program icon in the size the system uses for that metric (32x32 for windows). Shared
// resource icons: the system frees them.
HICON LoadProgramIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_MURMURO), IMAGE_ICON,
                                       GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric),
                                       LR_SHARED));
}

// A lane's work, with platform objects of its own: a lane stuck in a call may end after the
// program's have gone.
std::unique_ptr<LaneWork> MakeLaneWork() {
  return std::make_unique<DocumentLaneWork>(std::make_unique<win32::Win32WindowSystem>(),
                                            std::make_unique<win32::Win32DocumentSource>());
}

// Lanes live in the multithreaded apartment: their calls wait without a message loop.
void InMultithreadedApartment(const std::function<void()>& run) {
  const win32::ComApartment apartment(COINIT_MULTITHREADED);
  run();
}

constexpr int kExitNormal = 0;

// Soon after the shell is ready, without knocking every second on one that is busy.
constexpr UINT kIconRetryIntervalMs = 2000;

void ReportStartupError(const std::string& message) {
  MessageBoxW(nullptr, win32::Utf8ToWide(message + "\n\nMurmuro will close.").c_str(), L"Murmuro",
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

// One copy per sign-in session: a second one would speak every line twice, and the two would
// overwrite each other's settings at exit. The kernel drops the name with the last handle, so
// a copy that crashed blocks nothing.
class OneCopy {
 public:
  OneCopy() : mutex_(::CreateMutexW(nullptr, FALSE, L"Local\\Murmuro.OneCopy.{5E0C2F7A-3B64-4C1D-9A8E-71D2B6F04C93}")) {
    const DWORD error = ::GetLastError();
    // Access denied: the name exists, made by a copy running with other rights.
    another_ = (mutex_ && error == ERROR_ALREADY_EXISTS) || (!mutex_ && error == ERROR_ACCESS_DENIED);
  }
  bool AnotherIsRunning() const noexcept { return another_; }
  // Before a copy that will not run shows a message: while the message waits for the user, the
  // name would refuse every start, though nothing runs.
  void LetGo() noexcept { mutex_.reset(); }

 private:
  win32::UniqueKernelHandle mutex_;
  bool another_ = false;
};

// Everything the running program owns, in the order it must be built and torn down.
class Program {
 public:
  explicit Program(HINSTANCE instance)
      : instance_(instance),
        icon_(LoadProgramIcon(instance, SM_CXICON, SM_CYICON)),
        smallIcon_(win32::LoadTrayIcon(instance, IDI_MURMURO)),
        trayIcon_(win32::LoadTrayIcon(instance, IDI_MURMURO)),
        store_{ProgramFolder(), files_, codec_} {
    state_.ReadingSwitchedOn = switchedOn_;
  }

  int Run(OneCopy& copy) {
    const int failed = StartUp({[this] { CreateVoice(); }, [this] { LoadMainForm(); },
                                [this] {
                                  LoadSettings(state_, store_,
                                               [this] { main_->SetItemChecked(kMenuUseReader, true); });
                                },
                                [this] { CancelMainForm(); }, ReportStartupError, [&copy] { copy.LetGo(); }});
    if (failed != 0) return failed;
    // From here on the program lives on its events.
    return MessageLoop();
  }

 private:
  void CreateVoice() {
    std::string error;
    state_.Voice = win32::CreateSystemVoice(error);
    if (!state_.Voice) throw StartUpError(kExitNoVoice, error);
    state_.ParentWindows = ParentWindowList();
    state_.IMWindows = IMWindowList();
  }

  // The hidden main form: its window, the poll timer (off until the first scan ends), the tray
  // icon and the first scan.
  void LoadMainForm() {
    window_ = CreateMainWindow(instance_, icon_, events_);
    if (!window_) throw StartUpError(kExitNoWindow, "Murmuro could not create its window.");
    captures_.SetWake([window = window_.get()] { PostMessageW(window, kCapturesFinishedMessage, 0, 0); });
    timer_.Attach(window_.get());
    iconTimer_.Attach(window_.get());
    menu_.emplace(window_.get());
    options_.emplace(state_, optionsView_, [this] { SaveSettings(state_, store_); });
    optionsView_.Attach(*options_);
    main_.emplace(state_, *options_,
                  MainFormPlatform{win32::FromHwnd(window_.get()),
                                   reinterpret_cast<platform::IconHandle>(trayIcon_.get()), shell_, codec_,
                                   *menu_, scale_, boxes_, timer_, iconTimer_},
                  MainFormCalls{[this] { ReadWindows(state_, scan_); },
                                [this] { SaveChangedSettings(state_, store_); },
                                // Also ends a message box on show: its loop gives way to WM_QUIT.
                                [this] { EndProgram(); }, [this] { return CurrentTrayIcon(); }});
    events_.Timer = [this] { cycle_.Timer2_Timer(); };
    events_.IconRetryTimer = [this] { main_->IconRetry_Timer(); };
    events_.TrayNotify = [this](std::uint32_t code) {
      main_->Form_MouseMove(0, 0, static_cast<float>(code), 0.0f);
    };
    events_.TaskbarCreated = [this] { main_->TaskbarCreated(); };
    events_.Close = [this] { main_->Close(); };
    events_.EndSession = [this] { main_->EndSession(); };
    events_.CapturesFinished = [this] { cycle_.CapturesFinished(); };
    main_->Form_Load();
  }

  // Before the session or the loop's end takes the process: the lanes let go of what they hold
  // in the clients, waiting a second at most. The settings are saved and the icon is gone by now.
  // A lane given up inside a call to its client may hold a lock that the normal way out (other
  // threads ended, then every library's detach code) needs, and hang there: end at once instead.
  void EndProgram() noexcept {
    captures_.End();
    if (captures_.GaveUpALane()) ::TerminateProcess(::GetCurrentProcess(), kExitNormal);
    PostQuitMessage(kExitNormal);
  }

  // The shell keeps a copy of the icon it shows, so the one it had can go.
  platform::IconHandle CurrentTrayIcon() noexcept {
    if (win32::UniqueIcon fresh = win32::LoadTrayIcon(instance_, IDI_MURMURO)) trayIcon_ = std::move(fresh);
    return reinterpret_cast<platform::IconHandle>(trayIcon_.get());
  }

  // Nothing later may write the settings file or leave the icon behind.
  void CancelMainForm() noexcept {
    timer_.SetEnabled(false);
    if (main_) main_->CancelLoad();
  }

  int MessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (optionsView_.PreTranslate(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    timer_.SetEnabled(false);
    return static_cast<int>(msg.wParam);
  }

  HINSTANCE instance_;
  win32::ComApartment com_;
  win32::MshtmlTypeLibrary typeLibrary_;  // held for the process: each capture's proxies reuse it
  win32::Win32WindowSystem windows_;
  win32::MultithreadedApartmentKeeper apartmentKeeper_;  // outlives every reference a lane keeps
  // Made before the lanes, which read it as each capture begins; the state holds it too.
  std::shared_ptr<SwitchCount> switchedOn_ = std::make_shared<SwitchCount>(0);
  // The UI thread never waits for a client, however it behaves.
  CaptureLanes captures_{windows_, switchedOn_, MakeLaneWork, InMultithreadedApartment};
  win32::Win32AnsiCodec codec_;
  win32::Win32LowerCase lower_;
  win32::Win32FileSystem files_;
  win32::Win32TrayShell shell_;
  win32::Win32FormScale scale_;
  win32::Win32MessageBoxes boxes_;
  win32::SystemVoiceFactory voices_;
  HICON icon_;
  win32::UniqueIcon smallIcon_;
  win32::UniqueIcon trayIcon_;  // reloaded when the notification area comes back
  SettingsStore store_;
  ProgramState state_;
  Win32PollTimer timer_;
  Win32PollTimer iconTimer_{kIconRetryTimerId, kIconRetryIntervalMs};
  ScanContext scan_{windows_, captures_, codec_, timer_};
  PollCycle cycle_{MonitorContext{state_, scan_, lower_, voices_, [this](const Text& title) {
                                    if (main_) main_->ShowBlocked(title);
                                  },
                                  {}}};
  MainWindowEvents events_;
  win32::OptionsWindow optionsView_{instance_, icon_, smallIcon_.get()};
  std::optional<win32::Win32PopupMenu> menu_;
  std::optional<fOps> options_;
  std::optional<fMain> main_;
  win32::UniqueHwnd window_;  // destroyed first: no message reaches the members below it
};

}  // namespace

int RunProgram(HINSTANCE instance) noexcept {
  try {
    OneCopy copy;
    if (copy.AnotherIsRunning()) {
      copy.LetGo();
      ::MessageBoxW(nullptr, L"Murmuro is already running. Its icon is in the notification area.", L"Murmuro",
                    MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
      return 0;
    }
    Program program(instance);
    return program.Run(copy);
  } catch (const std::exception& e) {
    ReportStartupError(std::string("Murmuro stopped: ") + e.what());
  } catch (...) {
    ReportStartupError("Murmuro stopped after an unexpected error.");
  }
  return kExitUnexpected;
}

}  // namespace murmuro::app
