#pragma once
// The scan for conversation windows (titles holding "IM with" or "- Instant Message", case
// ignored) and their views (descendants of class "Internet Explorer_Server", exact).
#include "core/state.h"
#include "imwindows/capture.h"
#include "platform/ansi_codec.h"
#include "platform/poll_timer.h"

namespace murmuro {

struct ScanContext {
  platform::WindowSystem& windows;
  Captures& captures;
  const platform::AnsiCodec& codec;
  platform::PollTimer& timer;
};

inline ViewId IdOf(const clsIMWindow& view) { return {view.hwnd, view.Thread, view.Process}; }

// The whole scan: timer off, both lists replaced, a capture handed out for every view listed,
// timer on. A view found again (the same view, under whichever conversation window, also after
// it left the list for a while) keeps its last known text. Views new to the first scan are
// unprimed until their first answer; later scans list them as new conversations. Never throws.
void ReadWindows(ProgramState& state, const ScanContext& ctx);

// Hands out a capture of the view unless one is out.
bool RequestCapture(const ScanContext& ctx, const clsIMWindow& view);

// Forgets the views that left the list once their window has gone: a handle Windows hands out
// again must never inherit an old text.
void ForgetClosedViews(ProgramState& state, const ScanContext& ctx);

void FindParentWindows(ProgramState& state, const ScanContext& ctx);
void FindIMWindows(ProgramState& state, const ScanContext& ctx, Hwnd parent,
                   const IMWindowList& previous);
std::int32_t EnumParentProc(ProgramState& state, const ScanContext& ctx, Hwnd window,
                            std::int32_t context);
std::int32_t EnumIMProc(ProgramState& state, const ScanContext& ctx, Hwnd window,
                        std::int32_t context, const IMWindowList& previous);

// True when a top-level window with a conversation title exists that the last scan did not list
// (judged by titles alone), or when a listed conversation window that had no view has one now
// (judged by class names alone). Nothing is captured. Throws only what the window system throws.
bool HasUnlistedConversation(const ProgramState& state, const ScanContext& ctx);

bool IsConversationTitle(TextView title);
Text GetWindowTitle(platform::WindowSystem& windows, const platform::AnsiCodec& codec, Hwnd window);
Text GetWindowClass(platform::WindowSystem& windows, const platform::AnsiCodec& codec, Hwnd window);

}  // namespace murmuro
