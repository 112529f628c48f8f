#pragma once
// Message boxes titled "Murmuro", in front of whatever the user is doing: the program has no
// window of its own to put them over.
#include <windows.h>

#include "platform/message_boxes.h"
#include "platform/win32/utf8.h"

namespace murmuro::win32 {

class Win32MessageBoxes final : public platform::MessageBoxes {
 public:
  bool AskRetry(const std::string& message) override {
    return ::MessageBoxW(nullptr, Utf8ToWide(message).c_str(), L"Murmuro",
                         MB_RETRYCANCEL | MB_ICONWARNING | MB_SETFOREGROUND) == IDRETRY;
  }
};

}  // namespace murmuro::win32
