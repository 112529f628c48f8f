#include "platform/win32/win32_ansi_codec.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

namespace murmuro::win32 {
namespace {

int Length(std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX)) throw std::length_error("text too long for the code page");
  return static_cast<int>(size);
}

const wchar_t* Wide(TextView text) { return reinterpret_cast<const wchar_t*>(text.data()); }

}  // namespace

Text Win32AnsiCodec::ToText(std::string_view ansi) const {
  if (ansi.empty()) return {};
  const int in = Length(ansi.size());
  const int n = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), in, nullptr, 0);
  if (n <= 0) return {};
  Text text(static_cast<std::size_t>(n), u'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), in, reinterpret_cast<wchar_t*>(text.data()), n);
  return text;
}

std::string Win32AnsiCodec::FromText(TextView text) const {
  if (text.empty()) return {};
  const int in = Length(text.size());
  const int n = ::WideCharToMultiByte(CP_ACP, 0, Wide(text), in, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string ansi(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, Wide(text), in, ansi.data(), n, nullptr, nullptr);
  return ansi;
}

}  // namespace murmuro::win32
