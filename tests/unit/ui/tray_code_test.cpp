#include "ui/tray_code.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "platform/form_scale.h"

namespace murmuro {
namespace {

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  const struct {
    double value;
    std::optional<std::int32_t> rounded;
  } cases[] = {
      {0.5, 0},     {1.5, 2},     {2.5, 2},     {-0.5, 0},    {-1.5, -2},  {-2.5, -2},
      {516.5, 516}, {517.5, 518}, {2.4, 2},     {2.6, 3},     {-2.6, -3},  {517.0, 517},
      {2147483647.0, 2147483647}, {-2147483648.0, std::numeric_limits<std::int32_t>::min()},
      {2147483648.0, std::nullopt}, {-2147483649.0, std::nullopt}, {3e9, std::nullopt},
      {std::numeric_limits<double>::infinity(), std::nullopt},
      {-std::numeric_limits<double>::infinity(), std::nullopt},
      {std::nan(""), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(RoundHalfEven(c.value), c.rounded);
  }
}

TEST(TrayNotificationCode, DecodesPixelsAndTwips) {
  constexpr std::int16_t kPixels = platform::kScaleModePixels;
  constexpr std::int16_t kTwips = platform::kScaleModeTwips;
  const struct {
    std::int16_t mode;
    float twipsPerPixel;
    float x;
    std::optional<std::int32_t> code;
  } cases[] = {
      {kPixels, 15.0f, 517.0f, 517},
      {kPixels, 15.0f, 517.4f, 517},
      {kPixels, 15.0f, 516.6f, 517},
      {kPixels, 15.0f, 516.5f, 516},  // half to even: not the right button's release
      {kPixels, 15.0f, 517.5f, 518},
      {kPixels, 0.0f, 517.0f, 517},  // pixels ignore the twips per pixel
      {kTwips, 15.0f, 7755.0f, 517},
      {kTwips, 15.0f, 7760.0f, 517},
      {kTwips, 15.0f, 7747.5f, 516},  // 516.5
      {kTwips, 15.0f, 7762.5f, 518},  // 517.5
      {kTwips, 15.0f, 7732.5f, 516},  // 515.5
      {kTwips, 12.0f, 6204.0f, 517},  // 120 dots per inch
      {kTwips, 15.0f, 517.0f, 34},
      {0, 15.0f, 7755.0f, 517},  // every mode but pixels counts in twips
      {kTwips, 0.0f, 7755.0f, std::nullopt},
      {kTwips, 15.0f, std::nanf(""), std::nullopt},
      {kPixels, 15.0f, 1e20f, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << c.mode << " tpp " << c.twipsPerPixel
                                      << " x " << c.x);
    EXPECT_EQ(TrayNotificationCode(c.x, c.mode, c.twipsPerPixel), c.code);
  }
}

}  // namespace
}  // namespace murmuro
