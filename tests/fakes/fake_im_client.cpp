#include "fakes/fake_im_client.h"

#include <utility>

namespace murmuro::fakes {

FakeIMClient::Conversation FakeIMClient::Open(std::string title, TextView shown) {
  const Hwnd window = desktop.Create(0, std::move(title), "ConversationFrame");
  return Conversation{window, AddView(window, shown)};
}

Hwnd FakeIMClient::AddView(Hwnd conversation, TextView shown, int depth) {
  Hwnd parent = conversation;
  for (int level = 1; level < depth; ++level) parent = desktop.Create(parent, "", "ViewFrame");
  const Hwnd view = desktop.Create(parent, "", kViewClass);
  desktop.SetAnswer(view, AnswerOf(view));
  documents.Add(AnswerOf(view), {}).trailer = kTrailer.size();
  Show(view, shown);
  return view;
}

void FakeIMClient::Replace(Hwnd view, TextView shown) {
  documents.Add(AnswerOf(view), {}).trailer = kTrailer.size();
  Show(view, shown);
}

void FakeIMClient::Show(Hwnd view, TextView shown) {
  shown_[view] = Text(shown);
  Text body(shown);
  body += kTrailer;
  SetBody(view, std::move(body));
}

void FakeIMClient::Append(Hwnd view, TextView more) { Show(view, shown_[view] + Text(more)); }

void FakeIMClient::SetBody(Hwnd view, Text body) {
  Document(view).innerText = std::move(body);
}

FakeDocument& FakeIMClient::Document(Hwnd view) { return documents.At(AnswerOf(view)); }

void FakeIMClient::Close(Hwnd window) {
  for (Hwnd gone : desktop.Destroy(window)) {
    if (shown_.count(gone) != 0) Document(gone).disconnected = true;
  }
}

}  // namespace murmuro::fakes
