// yardstick.exe --mode full|least: a plain reader of the sample client's conversations, the
// yardstick murmuro.exe's own reading is measured against. Once a second, on its one UI thread
// (apartment-threaded COM), it captures every view it knows:
//   full       the document as IHTMLDocument, then IHTMLDocument2; the body's innerText, the body
//              fetched anew and its innerText, the body fetched a third time and its innerHTML,
//              each body released right after its read;
//   least      the document as IHTMLDocument2 at once; one body, one innerText.
// Views are found as the program finds them: top-level windows whose title holds "IM with", and
// their descendants of class "Internet Explorer_Server"; again when there are none or one is gone.
// Ends on WM_CLOSE to its window (class "MurmuroYardstick").
#include <windows.h>
#include <mshtml.h>
#include <oleacc.h>
#include <shellapi.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/mshtml_type_library.h"

namespace {

using Microsoft::WRL::ComPtr;
using murmuro::win32::UniqueBstr;

constexpr wchar_t kWindowClass[] = L"MurmuroYardstick";
constexpr UINT_PTR kTick = 1;

enum class Mode { kFull, kLeast };

struct Reader {
  Mode mode = Mode::kLeast;
  std::vector<HWND> views;
  bool ticking = false;
};

BOOL CALLBACK AddView(HWND child, LPARAM p) {
  char name[64] = {};
  if (GetClassNameA(child, name, sizeof name) && std::string(name) == "Internet Explorer_Server") {
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(child);
  }
  return TRUE;
}

BOOL CALLBACK AddConversation(HWND window, LPARAM p) {
  char title[256] = {};
  GetWindowTextA(window, title, sizeof title);
  if (std::string(title).find("IM with") != std::string::npos) EnumChildWindows(window, AddView, p);
  return TRUE;
}

std::vector<HWND> FindViews() {
  std::vector<HWND> views;
  EnumWindows(AddConversation, reinterpret_cast<LPARAM>(&views));
  return views;
}

template <class Interface>
ComPtr<Interface> Document(HWND view, REFIID iid) {
  const UINT message = RegisterWindowMessageA("WM_HTML_GETOBJECT");
  LRESULT zero = 0;
  DWORD_PTR result = 0;
  SendMessageTimeoutA(view, message, 0, reinterpret_cast<LPARAM>(&zero), SMTO_ABORTIFHUNG, 1000, &result);
  ComPtr<Interface> document;
  if (result == 0 ||
      FAILED(ObjectFromLresult(static_cast<LRESULT>(result), iid, 0, reinterpret_cast<void**>(document.GetAddressOf())))) {
    return nullptr;
  }
  return document;
}

// One body fetched, read and released.
bool ReadBody(IHTMLDocument2& document, HRESULT (STDMETHODCALLTYPE IHTMLElement::*read)(BSTR*)) {
  ComPtr<IHTMLElement> body;
  if (FAILED(document.get_body(body.GetAddressOf())) || !body) return false;
  UniqueBstr text;
  return SUCCEEDED((body.Get()->*read)(text.put()));
}

bool Capture(HWND view, Mode mode) {
  if (mode == Mode::kLeast) {
    const auto document = Document<IHTMLDocument2>(view, IID_IHTMLDocument2);
    return document && ReadBody(*document.Get(), &IHTMLElement::get_innerText);
  }
  const auto document = Document<IHTMLDocument>(view, IID_IHTMLDocument);
  ComPtr<IHTMLDocument2> document2;
  if (!document || FAILED(document.As(&document2))) return false;
  return ReadBody(*document2.Get(), &IHTMLElement::get_innerText) &&
         ReadBody(*document2.Get(), &IHTMLElement::get_innerText) &&
         ReadBody(*document2.Get(), &IHTMLElement::get_innerHTML);
}

void Tick(Reader& reader) {
  if (reader.views.empty()) {
    reader.views = FindViews();
    return;
  }
  for (const HWND view : reader.views) {
    if (!Capture(view, reader.mode) && !IsWindow(view)) {
      reader.views = FindViews();
      return;
    }
  }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
  }
  auto* reader = reinterpret_cast<Reader*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_TIMER && wParam == kTick && reader && !reader->ticking) {
    reader->ticking = true;
    Tick(*reader);
    reader->ticking = false;
    return 0;
  }
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  Reader reader;
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  const std::wstring mode = args && count == 3 && std::wstring(args[1]) == L"--mode" ? args[2] : L"";
  if (args) LocalFree(args);
  if (mode == L"full") reader.mode = Mode::kFull;
  else if (mode != L"least") return 2;

  murmuro::win32::ComApartment com;  // CoInitialize: apartment-threaded, as a UI thread
  if (!com.Ok()) return 3;
  // Held for the process, as murmuro.exe holds it: otherwise every proxy loads it anew.
  const murmuro::win32::MshtmlTypeLibrary library;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&wc)) return 4;
  const murmuro::win32::UniqueHwnd window(
      CreateWindowExW(0, kWindowClass, L"yardstick", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, instance, &reader));
  if (!window || !SetTimer(window.get(), kTick, 1000, nullptr)) return 5;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
