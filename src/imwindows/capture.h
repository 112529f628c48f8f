#pragma once
// Reads one conversation view's text through its HTML document. Never fails towards the
// caller: every failure comes back as the text "Window Not Found".
#include <chrono>
#include <compare>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "base/switch_count.h"
#include "base/text.h"
#include "platform/html_document.h"
#include "platform/window_system.h"

namespace murmuro {

inline constexpr std::uint32_t kGetObjectTimeoutMs = 1000;
inline constexpr TextView kWindowNotFound = u"Window Not Found";

// How a view answered a capture.
enum class Answer : std::uint8_t {
  kRead,      // its text: Text is the conversation, whatever it says
  kTooShort,  // its text came back shorter than the trailer: a conversation with nothing yet
  kNone,      // no answer: no document, no body, a failed read, a time-out, a window gone
  kUnchanged,  // only probed, and the probe showed no change since the last read: Text is empty
  kBlocked,   // its client runs with more rights than we have (as administrator) and refuses us
};

// The result of one capture. Text is "Window Not Found" unless the text was read.
struct IMTextResult {
  murmuro::Text Text;
  Answer How = Answer::kNone;
};

// Who a view is: its window and the thread and process that own it. A handle Windows hands out
// again is another view; a view its client moves into another window is still the same one.
struct ViewId {
  Hwnd hwnd = 0;
  std::uint32_t thread = 0;
  std::uint32_t process = 0;
  auto operator<=>(const ViewId&) const = default;
};

// A capture that came back. `tag` is how often reading had been switched on when its read began.
struct FinishedCapture {
  ViewId view;
  std::uint32_t tag = 0;
  IMTextResult result;
};
// A list, so a result made ready beforehand is handed over without allocating.
using FinishedCaptures = std::list<FinishedCapture>;

// What a capture needs of the platform.
struct CaptureContext {
  platform::WindowSystem& windows;
  platform::DocumentSource& documents;
};

// The view's document through IHTMLDocument2, or empty; then `blocked`, when given, tells whether
// the view's process refused our request for want of rights.
std::unique_ptr<platform::HtmlDocument2> GetHTMLDocument(const CaptureContext& ctx, Hwnd view,
                                                         bool* blocked = nullptr);

// Each view's document and body from its last capture, held until its next capture has its own,
// so the client never sees the last reference go between two captures: under Wine a client can
// deadlock tearing down the stub of an object that is asked for again at once. Used by the one
// thread that calls into the client; what it holds goes with Release or with it. With the
// document go its collection of all elements, the element that holds the end of its text, and
// what the probe and the check of them have shown.
class KeptDocuments {
 public:
  struct Held {
    std::unique_ptr<platform::HtmlDocument2> document;
    std::unique_ptr<platform::HtmlElement> body;
    std::unique_ptr<platform::HtmlElementCollection> all;
    std::unique_ptr<platform::HtmlElement> end;  // the element that holds the end of the text
    std::optional<std::int32_t> count;  // the element count taken before the last read
    bool trusted = true;      // the probe is supported and has never missed a line
    bool unsettled = false;   // the last read ended in CR LF: a line was being written
    bool growing = false;     // the end's text has grown without a new element: checked every tick
    std::optional<std::size_t> lastText;  // the hash of the last text read
    std::size_t lines = 0;                // and its count of lines
    std::optional<std::size_t> endText;   // the hash of the end's text, taken before the last read
    std::chrono::steady_clock::time_point lastLook;  // the last full read, or check at the interval
  };

  // Holds `document`, `body`, `all` and `end` for `view` (any may be empty), then lets the
  // earlier go. What was learnt of the view's probe stays. Returns the view's slot, or null when
  // nothing is held for it any more.
  Held* Keep(Hwnd view, std::unique_ptr<platform::HtmlDocument2> document,
             std::unique_ptr<platform::HtmlElement> body,
             std::unique_ptr<platform::HtmlElementCollection> all = nullptr,
             std::unique_ptr<platform::HtmlElement> end = nullptr);
  Held* Find(Hwnd view);
  void Release(Hwnd view) { held_.erase(view); }

 private:
  std::map<Hwnd, Held> held_;
};

// One document request, one body, one text read: the body's text less its last five characters.
// With `keep`, what the capture obtained is held there instead of released at its end.
IMTextResult GetIMText(const CaptureContext& ctx, Hwnd view, KeptDocuments* keep = nullptr);

// How often a view whose element count shows no change is looked at all the same: its document
// is asked for again and compared with the kept one by identity (a new page), and the text of the
// element that holds the end of its text is read (text added inside the last line). Neither
// grows with the conversation. Changes that show in neither (an edit of an earlier line, a
// history rebuilt to the same count, text added outside that element with no element of its own)
// wait for the next full read. A view whose end cannot be checked is read in full this often.
inline constexpr std::chrono::milliseconds kSafetyReadInterval{10000};

// An end element whose text is longer than this, and more than half of the conversation, is no
// cheaper to check than the whole text: such a view is read in full at the interval instead.
inline constexpr std::size_t kLongestCheckedEnd = 4096;

// A capture that first asks the kept collection of the view's document for its length (one call,
// no document request) and hands back "unchanged" when it is what it was before the last read.
// At the interval `safety` it checks the view as above; a view whose end once grew is checked at
// every capture. It reads in full, as GetIMText does, when `read` asks for it (a view not known
// yet), when the length changed, when the last read ended in CR LF, when the check found a change
// or could not be made, and for good once the probe is unsupported or a full read at the interval
// found more lines than the count showed.
IMTextResult CaptureView(const CaptureContext& ctx, Hwnd view, KeptDocuments& kept, bool read,
                         std::chrono::steady_clock::time_point now,
                         std::chrono::milliseconds safety = kSafetyReadInterval);

// How the scan and the poll tick capture views: they hand captures out and take the results
// later, so neither ever waits for a client.
class Captures {
 public:
  virtual ~Captures() = default;
  // Hands out a capture of the view, unless one is still out for it. Never waits. `read` asks for
  // a full read, for a view whose text is not known yet.
  virtual bool Request(const ViewId& view, bool read) = 0;
  // The captures that came back since the last call, in the order they came. Never waits.
  virtual FinishedCaptures TakeFinished() = 0;
  // After each scan and tick: lets go of what views whose window has gone still hold.
  virtual void ReleaseGone() {}
};

// On the calling thread, for as long as the client takes: each request is read at once and
// its result kept for TakeFinished.
class DirectCaptures final : public Captures {
 public:
  DirectCaptures(CaptureContext ctx, std::shared_ptr<const SwitchCount> switchedOn)
      : ctx_(ctx), switchedOn_(std::move(switchedOn)) {}
  bool Request(const ViewId& view, bool /*read*/) override {
    const std::uint32_t tag = switchedOn_->load();
    finished_.push_back({view, tag, GetIMText(ctx_, view.hwnd)});
    return true;
  }
  FinishedCaptures TakeFinished() override { return std::exchange(finished_, {}); }

 private:
  CaptureContext ctx_;
  std::shared_ptr<const SwitchCount> switchedOn_;
  FinishedCaptures finished_;
};

}  // namespace murmuro
