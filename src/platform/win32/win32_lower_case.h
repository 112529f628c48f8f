#pragma once
// The user's locale's lower-case mapping.
#include "platform/lower_case.h"

namespace murmuro::win32 {

class Win32LowerCase final : public platform::LowerCase {
 public:
  Text Lower(TextView text) const override;
};

}  // namespace murmuro::win32
