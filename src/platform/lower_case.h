#pragma once
// The system's lower-case mapping, used to compare words with acronym names.
#include "base/text.h"

namespace murmuro::platform {

class LowerCase {
 public:
  virtual ~LowerCase() = default;
  virtual Text Lower(TextView text) const = 0;
};

}  // namespace murmuro::platform
