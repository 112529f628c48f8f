#pragma once
// One conversation "IM with bob" in the sample IM client, and what the program does with it:
// the client counts the program's captures (its text reads and element counts), which tells a silent program
// from one that has not looked yet.
#include <windows.h>

#include <chrono>
#include <memory>
#include <string>

#include "e2e/ui/desktop.h"
#include "fixtures/im_client/control.h"

namespace murmuro::e2e {

class Conversation {
 public:
  explicit Conversation(const wchar_t* clientName)
      : client_(im_client::ClientProcess::Launch(im_client::ClientExecutable(), clientName)) {}

  // Opens the window with one line in it; false when the client is not there.
  bool Open() const {
    return client_ && client_->Send("open bob title=IM with bob") > 0 &&
           client_->Send("append bob 1 text=bob: already here") == 1;
  }

  // Adds a line between two captures, so that each line reaches the program whole and only
  // what the user interface changed decides what is spoken.
  bool Append(const std::string& line) const {
    return WaitForQuiet() && client_->Send("append bob 1 text=" + line) == 1;
  }

  // Waits until the program has read the conversation as it is now and acted on it in one
  // whole capture: two more captures than now, for the first may have begun before this call, and
  // the tick that made the second has ended before the next one starts.
  bool WaitForWholeCapture() const {
    const LRESULT before = Reads();
    return before >= 0 && WaitUntil([&] { return Reads() >= before + 2; }, 15000);
  }

 private:
  // Captures: each reads the text or, when it keeps the document, asks for its element count first.
  LRESULT Reads() const { return client_->Send("reads") + client_->Send("probes"); }

  // No capture for 150 ms: the program is between two ticks (a capture takes some 50 ms and they
  // come once a second).
  bool WaitForQuiet() const {
    LRESULT last = Reads();
    auto since = std::chrono::steady_clock::now();
    return WaitUntil(
        [&] {
          const LRESULT now = Reads();
          const auto at = std::chrono::steady_clock::now();
          if (now != last) {
            last = now;
            since = at;
          }
          return at - since >= std::chrono::milliseconds(150);
        },
        10000);
  }

  std::unique_ptr<im_client::ClientProcess> client_;
};

}  // namespace murmuro::e2e
