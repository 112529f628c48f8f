#include "app/program.h"

#include <filesystem>
#include <optional>

#include "app/main_window.h"
#include "app/resource_ids.h"
#include "app/win32_poll_timer.h"
#include "core/settings.h"
#include "core/state.h"
#include "monitor/poll_cycle.h"
#include "platform/win32/call_timeout_filter.h"
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

void ReportStartupError(const std::string& message) {
  MessageBoxW(nullptr, win32::Utf8ToWide(message + "\n\nMurmuro will close.").c_str(), L"Murmuro",
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

// Everything the running program owns, in the order it must be built and torn down.
class Program {
 public:
  explicit Program(HINSTANCE instance)
      : instance_(instance),
        icon_(LoadProgramIcon(instance, SM_CXICON, SM_CYICON)),
        smallIcon_(win32::LoadTrayIcon(instance, IDI_MURMURO)),
        store_{ProgramFolder(), files_, codec_} {}

  int Run() {
    // 1. The voice.
    std::string error;
    state_.Voice = win32::CreateSystemVoice(error);
    if (!state_.Voice) {
      ReportStartupError(error);
      return kExitNoVoice;
    }
    // 2. The empty window lists.
    state_.ParentWindows = ParentWindowList();
    state_.IMWindows = IMWindowList();
    // 3. The hidden main form: its window, the poll timer (off until the first scan ends), the
    //    tray icon and the first scan.
    window_ = CreateMainWindow(instance_, icon_, events_);
    if (!window_) {
      ReportStartupError("Murmuro could not create its window.");
      return kExitNoWindow;
    }
    timer_.Attach(window_.get());
    menu_.emplace(window_.get());
    options_.emplace(state_, optionsView_, [this] { SaveSettings(state_, store_); });
    optionsView_.Attach(*options_);
    main_.emplace(state_, *options_,
                  MainFormPlatform{win32::FromHwnd(window_.get()),
                                   reinterpret_cast<platform::IconHandle>(smallIcon_.get()), shell_, codec_, *menu_,
                                   scale_},
                  MainFormCalls{[this] { ReadWindows(state_, scan_); },
                                [this] { SaveSettings(state_, store_); },
                                [] { PostQuitMessage(0); }});
    events_.Timer = [this] { cycle_.Timer2_Timer(); };
    events_.TrayNotify = [this](std::uint32_t code) {
      main_->Form_MouseMove(0, 0, static_cast<float>(code), 0.0f);
    };
    events_.TaskbarCreated = [this] { main_->TaskbarCreated(); };
    events_.Close = [this] { main_->mnuPop1_Click(kMenuExit); };
    main_->Form_Load();
    // 4. The settings. A failure here takes the icon out again before reporting.
    try {
      LoadSettings(state_, store_, [this] { main_->SetItemChecked(kMenuUseReader, true); });
    } catch (const SettingsError& e) {
      timer_.SetEnabled(false);
      main_->CancelLoad();
      ReportStartupError(e.what());
      return kExitSettings;
    }
    // 5. From here on the program lives on its events.
    return MessageLoop();
  }

 private:
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
  win32::CallTimeoutFilter callTimeout_;  // no capture may hold the thread for good
  win32::MshtmlTypeLibrary typeLibrary_;  // held for the process: each capture's proxies reuse it
  win32::Win32WindowSystem windows_;
  win32::Win32DocumentSource documents_;
  win32::Win32AnsiCodec codec_;
  win32::Win32LowerCase lower_;
  win32::Win32FileSystem files_;
  win32::Win32TrayShell shell_;
  win32::Win32FormScale scale_;
  HICON icon_;
  win32::UniqueIcon smallIcon_;
  SettingsStore store_;
  ProgramState state_;
  Win32PollTimer timer_;
  ScanContext scan_{{windows_, documents_}, codec_, timer_};
  PollCycle cycle_{MonitorContext{state_, scan_, lower_}};
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
    Program program(instance);
    return program.Run();
  } catch (const std::exception& e) {
    ReportStartupError(std::string("Murmuro stopped: ") + e.what());
  } catch (...) {
    ReportStartupError("Murmuro stopped after an unexpected error.");
  }
  return 1;
}

}  // namespace murmuro::app
