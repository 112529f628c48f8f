#include "platform/win32/win32_lower_case.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

namespace murmuro::win32 {

Text Win32LowerCase::Lower(TextView text) const {
  if (text.empty()) return {};
  if (text.size() > static_cast<std::size_t>(INT_MAX)) throw std::length_error("text too long");
  const int in = static_cast<int>(text.size());
  const auto* source = reinterpret_cast<const wchar_t*>(text.data());
  const int n = ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_LOWERCASE, source, in, nullptr, 0,
                                nullptr, nullptr, 0);
  if (n <= 0) return Text(text);
  Text lower(static_cast<std::size_t>(n), u'\0');
  ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_LOWERCASE, source, in,
                  reinterpret_cast<wchar_t*>(lower.data()), n, nullptr, nullptr, 0);
  return lower;
}

}  // namespace murmuro::win32
