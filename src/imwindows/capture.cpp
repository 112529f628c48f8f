#include "imwindows/capture.h"

#include <cstddef>
#include <functional>
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
                                         std::unique_ptr<platform::HtmlElementCollection> all,
                                         std::unique_ptr<platform::HtmlElement> end) {
  Held& slot = held_[view];
  // The earlier ones go only once the new ones are held.
  const auto earlierDocument = std::exchange(slot.document, std::move(document));
  const auto earlierBody = std::exchange(slot.body, std::move(body));
  const auto earlierAll = std::exchange(slot.all, std::move(all));
  const auto earlierEnd = std::exchange(slot.end, std::move(end));
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
  std::unique_ptr<platform::HtmlElement> end;
  std::optional<Text> endText;  // likewise taken before the text
};

// Emoticons and line breaks hold no text: their element is climbed out of, a few levels at most.
constexpr int kEndClimb = 3;

// The element that holds the end of the text: the last element to begin, or the nearest element
// around it that holds text. None when that is the body itself.
void FindEnd(FullRead& read) {
  if (read.count.outcome != platform::ProbeOutcome::kAnswered || read.count.count < 1 || !read.body) return;
  const std::uintptr_t body = read.body->Identity();
  auto end = read.all->Item(read.count.count - 1);
  for (int climbed = 0; end && body != 0; ++climbed) {
    const std::uintptr_t identity = end->Identity();
    if (identity == 0 || identity == body) return;
    auto text = end->InnerText();
    if (!text) return;
    if (!text->empty()) {
      read.end = std::move(end);
      read.endText = std::move(text);
      return;
    }
    if (climbed == kEndClimb) return;
    end = end->Parent();
  }
}

// One document request (unless `document` was had already: `requested`), with `probe` the
// element count and the end's text, then the body and its text once: one read of a live
// document cannot tear, so one read is all it takes.
FullRead ReadInFull(const CaptureContext& ctx, Hwnd view, bool probe,
                    std::unique_ptr<platform::HtmlDocument2> document = nullptr, bool requested = false) {
  FullRead read;
  bool blocked = false;
  try {
    read.document = requested ? std::move(document) : GetHTMLDocument(ctx, view, &blocked);
    if (read.document && probe) {
      read.all = read.document->All(read.count.outcome);
      if (read.all) read.count = read.all->Length();
    }
    read.body = read.document ? read.document->Body() : nullptr;
    if (read.all) FindEnd(read);
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
      return keep.Keep(view, std::move(read.document), std::move(read.body), std::move(read.all),
                       std::move(read.end));
    }
    return keep.Find(view);
  } catch (...) {
    return nullptr;
  }
}

std::size_t LineCount(TextView text) {
  std::size_t lines = 1;
  for (std::size_t at = text.find(kCrLf); at != TextView::npos; at = text.find(kCrLf, at + kCrLf.size())) ++lines;
  return lines;
}

enum class Check { kSame, kChanged, kReplaced, kUnchecked };

// Looks at a view whose element count is unchanged without reading its text. With `due`, first
// asks for its document (kept in `asked`, for the full read that may follow) and compares it
// with the kept one. Then reads the end's text.
Check CheckView(const CaptureContext& ctx, Hwnd view, KeptDocuments::Held& held, bool due,
                std::unique_ptr<platform::HtmlDocument2>& asked, bool& requested, bool& blocked) {
  if (due) {
    asked = GetHTMLDocument(ctx, view, &blocked);
    requested = true;
    if (!asked) return Check::kUnchecked;
    const std::uintptr_t identity = asked->Identity();
    if (identity == 0 || identity != held.document->Identity()) return Check::kReplaced;
  }
  if (!held.end || !held.endText) return Check::kUnchecked;
  const auto text = held.end->InnerText();
  if (!text) return Check::kUnchecked;
  return std::hash<TextView>{}(*text) == *held.endText ? Check::kSame : Check::kChanged;
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
  std::unique_ptr<platform::HtmlDocument2> asked;
  bool requested = false;
  bool blocked = false;
  if (!read && held && held->trusted && held->document && held->all && held->count && !held->unsettled) {
    platform::ProbeAnswer probe;
    try {
      probe = held->all->Length();
    } catch (...) {
      probe = {};
    }
    if (probe.outcome == platform::ProbeOutcome::kUnsupported) held->trusted = false;
    if (probe.outcome == platform::ProbeOutcome::kAnswered && probe.count == *held->count) {
      const bool due = now - held->lastLook >= safety;
      if (!due && !(held->growing && held->endText)) return {Text(), Answer::kUnchanged};
      Check check = Check::kUnchecked;
      try {
        check = CheckView(ctx, view, *held, due, asked, requested, blocked);
      } catch (...) {
        check = Check::kUnchecked;
      }
      // Its client now runs with more rights: what the view held stays held.
      if (blocked) return {Text(kWindowNotFound), Answer::kBlocked};
      if (check == Check::kSame) {
        if (due) held->lastLook = now;
        return {Text(), Answer::kUnchanged};
      }
      // Text added inside the end's element: from now on the view is checked at every capture.
      if (check == Check::kChanged) held->growing = true;
      safetyRead = due && check == Check::kUnchecked;
    }
  }
  const bool trusted = !held || held->trusted;
  const std::int32_t keptCount = held && held->count ? *held->count : -1;  // a count is never below 0
  const std::size_t keptLines = held ? held->lines : 0;
  FullRead fresh = ReadInFull(ctx, view, trusted, std::move(asked), requested);
  const platform::ProbeAnswer count = fresh.count;
  std::optional<std::size_t> endText;
  if (fresh.endText) endText = std::hash<TextView>{}(*fresh.endText);
  // An end as long as the text is no cheaper to check than the text: the view is read at the interval.
  const bool cheapEnd = fresh.endText && fresh.result.How == Answer::kRead &&
                        (fresh.endText->size() <= kLongestCheckedEnd ||
                         2 * fresh.endText->size() <= fresh.result.Text.size());
  if (!cheapEnd) endText.reset();  // the element is kept all the same, so nothing is let go mid-capture
  held = KeepWhatWasRead(ctx, view, kept, fresh);
  IMTextResult& result = fresh.result;
  if (!held || result.How == Answer::kNone || result.How == Answer::kBlocked) return std::move(result);

  held->lastLook = now;
  held->count.reset();
  if (count.outcome == platform::ProbeOutcome::kAnswered) held->count = count.count;
  if (count.outcome == platform::ProbeOutcome::kUnsupported) held->trusted = false;
  held->endText = endText;
  held->unsettled = false;
  std::optional<std::size_t> text;
  std::size_t lines = 0;
  if (result.How == Answer::kRead) {
    text = std::hash<TextView>{}(result.Text);
    lines = LineCount(result.Text);
    held->unsettled = TextView(result.Text).ends_with(kCrLf);
  }
  // The probe missed lines only when the text has more of them while the count stayed: an edit, a
  // cleared history or a short answer is no miss, and a new count means a new document. Asked
  // again after the text, so a line that came during the read is no miss either.
  const auto stayed = [&](const platform::ProbeAnswer& answer) {
    return answer.outcome == platform::ProbeOutcome::kAnswered && answer.count == keptCount;
  };
  if (safetyRead && held->lastText && text != held->lastText && lines > keptLines && stayed(count) && held->all) {
    platform::ProbeAnswer after;
    try {
      after = held->all->Length();
    } catch (...) {
      after = {};
    }
    if (stayed(after)) held->trusted = false;
  }
  held->lastText = text;
  held->lines = lines;
  return std::move(result);
}

}  // namespace murmuro
