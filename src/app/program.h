#pragma once
// The program: owns the program-wide state and everything that works on it, runs the start-up
// sequence and the message loop.
#include <windows.h>

#include <memory>
#include <string>

namespace murmuro::app {

// Exit codes of a start-up that failed.
inline constexpr int kExitNoVoice = 2;
inline constexpr int kExitSettings = 3;
inline constexpr int kExitNoWindow = 4;

int RunProgram(HINSTANCE instance) noexcept;

}  // namespace murmuro::app
