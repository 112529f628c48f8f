#pragma once
// A conversation client on the fake desktop: top-level conversation windows, each with views of
// class "Internet Explorer_Server" whose body text is what the conversation shows followed by
// five characters of the client's own.
#include <cstdint>
#include <map>
#include <string>

#include "fakes/fake_desktop.h"
#include "fakes/fake_documents.h"

namespace murmuro::fakes {

class FakeIMClient {
 public:
  static constexpr TextView kTrailer = u"\r\n...";
  static constexpr const char* kViewClass = "Internet Explorer_Server";

  struct Conversation {
    Hwnd window = 0;
    Hwnd view = 0;
  };

  FakeDesktop desktop;
  FakeDocuments documents;

  // A top-level window titled `title` with one view, one frame below it, showing `shown`.
  Conversation Open(std::string title, TextView shown);
  // Another view of `conversation`, `depth` levels below it (1: a direct child).
  Hwnd AddView(Hwnd conversation, TextView shown, int depth = 2);
  void Show(Hwnd view, TextView shown);
  void Append(Hwnd view, TextView more);
  // The view loads a new page showing `shown`: the documents handed out before keep what they had.
  void Replace(Hwnd view, TextView shown);
  // The body text as is, trailer and all.
  void SetBody(Hwnd view, Text body);
  FakeDocument& Document(Hwnd view);
  // Destroys the window; the documents of its views fail from then on.
  void Close(Hwnd window);

  static std::uintptr_t AnswerOf(Hwnd view) { return 0x700000u + static_cast<std::uint32_t>(view); }

 private:
  std::map<Hwnd, Text> shown_;
};

}  // namespace murmuro::fakes
