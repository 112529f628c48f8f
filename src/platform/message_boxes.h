#pragma once
// Questions the program must put to the user, in message boxes titled with its name.
#include <string>

namespace murmuro::platform {

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // `message` (UTF-8) with Retry and Cancel; true when the user chose Retry.
  virtual bool AskRetry(const std::string& message) = 0;
};

}  // namespace murmuro::platform
