#include "platform/win32/win32_ansi_codec.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

namespace murmuro::win32 {
namespace {

static_assert(CP_ACP == 0);

int Length(std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX)) throw std::length_error("text too long for the code page");
  return static_cast<int>(size);
}

const wchar_t* Wide(TextView text) { return reinterpret_cast<const wchar_t*>(text.data()); }

}  // namespace

Text Win32AnsiCodec::ToText(std::string_view ansi) const {
  if (ansi.empty()) return {};
  const int in = Length(ansi.size());
  const int n = ::MultiByteToWideChar(codePage_, 0, ansi.data(), in, nullptr, 0);
  if (n <= 0) return {};
  Text text(static_cast<std::size_t>(n), u'\0');
  ::MultiByteToWideChar(codePage_, 0, ansi.data(), in, reinterpret_cast<wchar_t*>(text.data()), n);
  return text;
}

std::optional<Text> Win32AnsiCodec::ToTextExactly(std::string_view ansi) const {
  if (ansi.empty()) return Text();
  const int in = Length(ansi.size());
  const int n = ::MultiByteToWideChar(codePage_, MB_ERR_INVALID_CHARS, ansi.data(), in, nullptr, 0);
  if (n <= 0) return std::nullopt;
  Text text(static_cast<std::size_t>(n), u'\0');
  if (::MultiByteToWideChar(codePage_, MB_ERR_INVALID_CHARS, ansi.data(), in,
                            reinterpret_cast<wchar_t*>(text.data()), n) != n) {
    return std::nullopt;
  }
  return text;
}

std::string Win32AnsiCodec::FromText(TextView text) const {
  if (text.empty()) return {};
  const int in = Length(text.size());
  const int n = ::WideCharToMultiByte(codePage_, 0, Wide(text), in, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string ansi(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(codePage_, 0, Wide(text), in, ansi.data(), n, nullptr, nullptr);
  return ansi;
}

std::optional<std::string> Win32AnsiCodec::FromTextExactly(TextView text) const {
  if (text.empty()) return std::string();
  const int in = Length(text.size());
  // A system set to UTF-8 holds every character; it takes no used-default flag and can only
  // refuse an unpaired surrogate.
  const bool utf8 = codePage_ == CP_UTF8 || (codePage_ == CP_ACP && ::GetACP() == CP_UTF8);
  const UINT page = utf8 ? CP_UTF8 : codePage_;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* const used = utf8 ? nullptr : &usedDefault;
  const int n = ::WideCharToMultiByte(page, flags, Wide(text), in, nullptr, 0, nullptr, used);
  if (n <= 0 || usedDefault) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(n), '\0');
  if (::WideCharToMultiByte(page, flags, Wide(text), in, ansi.data(), n, nullptr, used) != n || usedDefault) {
    return std::nullopt;
  }
  return ansi;
}

}  // namespace murmuro::win32
