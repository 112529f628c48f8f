#pragma once
// The program: owns the program-wide state and everything that works on it, runs the start-up
// sequence and the message loop.
#include <windows.h>

namespace murmuro::app {

// 0 once the program has ended normally, or when another copy runs already; the exit codes of
// a failed start-up are in core/start_up.h.
int RunProgram(HINSTANCE instance) noexcept;

}  // namespace murmuro::app
