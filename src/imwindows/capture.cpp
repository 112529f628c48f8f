#include "imwindows/capture.h"

#include <cstddef>
#include <map>
#include <utility>

namespace murmuro {
namespace {

// The body text is followed by five characters of the client's own that are not conversation.
constexpr std::size_t kTrailer = 5;

// The view's answer to "WM_HTML_GETOBJECT"; 0 when there is none.
std::uintptr_t RequestDocument(const CaptureContext& ctx, Hwnd view, bool* blocked = nullptr) {
  // Looked up every time: the registry of message names is the window system's, not ours.
  const std::uint32_t message = ctx.windows.RegisterWindowMessageA("WM_HTML_GETOBJECT");
  // wParam and lParam 0, as the message is documented; a receiver in another process could not
  // read an address of ours anyway.
  std::uintptr_t answer = 0;
  std::uint32_t error = 0;
  ctx.windows.SendMessageTimeoutA(view, message, 0, 0, platform::kSmtoAbortIfHung, kGetObjectTimeoutMs, &answer,
                                  &error);
  if (blocked) *blocked = answer == 0 && error == platform::kErrorAccessDenied;
  return answer;
}

}  // namespace

std::unique_ptr<platform::HtmlDocument2> GetHTMLDocument(const CaptureContext& ctx, Hwnd view, bool* blocked) {
  if (blocked) *blocked = false;
  if (view == 0) return nullptr;
  std::uintptr_t answer = RequestDocument(ctx, view, blocked);
  if (answer == 0) return nullptr;
  // Taken as IHTMLDocument2 at once, which saves a query across processes. The answer is used
  // up by that attempt, so one made for IHTMLDocument alone is asked for a second time, as that.
  if (auto document = ctx.documents.Document2FromLresult(answer)) return document;
  answer = RequestDocument(ctx, view);
  if (answer == 0) return nullptr;
  const auto document = ctx.documents.ObjectFromLresult(answer);
  return document ? document->QueryDocument2() : nullptr;
}

KeptDocuments::Held* KeptDocuments::Keep(Hwnd view, std::unique_ptr<platform::HtmlDocument2> document,
                                         std::unique_ptr<platform::HtmlElement> body,
                                         std::unique_ptr<platform::HtmlElementCollection> all) {
  Held& slot = held_[view];
  // The earlier ones go only once the new ones are held.
  const auto earlierDocument = std::exchange(slot.document, std::move(document));
  const auto earlierBody = std::exchange(slot.body, std::move(body));
  const auto earlierAll = std::exchange(slot.all, std::move(all));
  if (slot.document || slot.body) return &slot;
  held_.erase(view);
  return nullptr;
}

KeptDocuments::Held* KeptDocuments::Find(Hwnd view) {
  const auto found = held_.find(view);
  return found == held_.end() ? nullptr : &found->second;
}

namespace {

// What one full read obtained, to be kept or let go.
struct FullRead {
  IMTextResult result;
  std::unique_ptr<platform::HtmlDocument2> document;
  std::unique_ptr<platform::HtmlElement> body;
  std::unique_ptr<platform::HtmlElementCollection> all;
  platform::ProbeAnswer count;  // taken before the text, so a line that comes between is seen next time
};

// One document request, with `probe` the element count, then the body and its text once: one
// read of a live document cannot tear, so one read is all it takes.
FullRead ReadInFull(const CaptureContext& ctx, Hwnd view, bool probe) {
  FullRead read;
  bool blocked = false;
  try {
    read.document = GetHTMLDocument(ctx, view, &blocked);
    if (read.document && probe) {
      read.all = read.document->All(read.count.outcome);
      if (read.all) read.count = read.all->Length();
    }
    read.body = read.document ? read.document->Body() : nullptr;
    auto text = read.body ? read.body->InnerText() : std::nullopt;
    if (!text) {
      read.result.Text = Text(kWindowNotFound);
      if (blocked) read.result.How = Answer::kBlocked;
    } else if (text->size() < kTrailer) {
      read.result.Text = Text(kWindowNotFound);
      read.result.How = Answer::kTooShort;
    } else {
      text->resize(text->size() - kTrailer);
      read.result.Text = std::move(*text);
      read.result.How = Answer::kRead;
    }
  } catch (...) {
    read.result.Text = Text(kWindowNotFound);
    read.result.How = Answer::kNone;
  }
  return read;
}

// A view that did not answer this time (its client busy past the time-out) still holds on to
// what it had; only a view that is gone lets go. Not kept (no memory for it): released here.
KeptDocuments::Held* KeepWhatWasRead(const CaptureContext& ctx, Hwnd view, KeptDocuments& keep, FullRead& read) {
  try {
    if (read.document || !ctx.windows.IsWindow(view)) {
      return keep.Keep(view, std::move(read.document), std::move(read.body), std::move(read.all));
    }
    return keep.Find(view);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

IMTextResult GetIMText(const CaptureContext& ctx, Hwnd view, KeptDocuments* keep) {
  FullRead read = ReadInFull(ctx, view, false);
  if (keep) KeepWhatWasRead(ctx, view, *keep, read);
  return std::move(read.result);
}

IMTextResult CaptureView(const CaptureContext& ctx, Hwnd view, KeptDocuments& kept, bool read,
                         std::chrono::steady_clock::time_point now, std::chrono::milliseconds safety) {
  KeptDocuments::Held* held = kept.Find(view);
  bool safetyRead = false;
  if (!read && held && held->trusted && held->all && held->count && !held->unsettled) {
    platform::ProbeAnswer probe;
    try {
      probe = held->all->Length();
    } catch (...) {
      probe = {};
    }
    if (probe.outcome == platform::ProbeOutcome::kUnsupported) held->trusted = false;
    if (probe.outcome == platform::ProbeOutcome::kAnswered && probe.count == *held->count) {
      if (now - held->lastRead < safety) return {Text(), Answer::kUnchanged};
      safetyRead = true;
    }
  }
  const bool trusted = !held || held->trusted;
  FullRead fresh = ReadInFull(ctx, view, trusted);
  const platform::ProbeAnswer count = fresh.count;
  held = KeepWhatWasRead(ctx, view, kept, fresh);
  IMTextResult& result = fresh.result;
  if (!held || result.How == Answer::kNone || result.How == Answer::kBlocked) return std::move(result);

  held->lastRead = now;
  held->count.reset();
  if (count.outcome == platform::ProbeOutcome::kAnswered) held->count = count.count;
  if (count.outcome == platform::ProbeOutcome::kUnsupported) held->trusted = false;
  held->unsettled = false;
  std::optional<std::size_t> text;
  if (result.How == Answer::kRead) {
    text = std::hash<TextView>{}(result.Text);
    held->unsettled = TextView(result.Text).ends_with(kCrLf);
  }
  // A change the probe did not show: it is blind to what this client does.
  if (safetyRead && held->lastText && text != held->lastText) held->trusted = false;
  held->lastText = text;
  return std::move(result);
}

}  // namespace murmuro
