#include "platform/win32/mshtml_type_library.h"

#include <oleauto.h>

namespace murmuro::win32 {

MshtmlTypeLibrary::MshtmlTypeLibrary() noexcept
    : result_(::LoadRegTypeLib(kLibidMshtml, 4, 0, LOCALE_NEUTRAL, library_.GetAddressOf())) {}

}  // namespace murmuro::win32
