// The code page, lower-case mapping and window enumeration of the Windows platform.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/win32/handles.h"
#include "platform/win32/win32_ansi_codec.h"
#include "platform/win32/win32_lower_case.h"
#include "platform/win32/win32_window_system.h"

namespace murmuro::win32 {
namespace {

TEST(AnsiCodecTest, RoundTripsWhatTheCodePageHolds) {
  Win32AnsiCodec codec;
  std::string all;
  for (int c = 1; c < 128; ++c) all += static_cast<char>(c);
  EXPECT_EQ(codec.FromText(codec.ToText(all)), all);
  EXPECT_EQ(codec.ToText("IM with bob"), u"IM with bob");
  EXPECT_EQ(codec.FromText(u""), "");
  EXPECT_EQ(codec.ToText(""), u"");
  if (::GetACP() == 1252) {
    // Western code page: the bytes of é, ü and the euro sign.
    EXPECT_EQ(codec.ToText("caf\xe9 \xfc \x80"), u"caf\u00e9 \u00fc \u20ac");
    EXPECT_EQ(codec.FromText(u"caf\u00e9 \u00fc \u20ac"), "caf\xe9 \xfc \x80");
    // A character the code page lacks becomes its default character, or a look-alike.
    EXPECT_EQ(codec.FromText(u"a\u4e00b"), "a?b");
    EXPECT_EQ(codec.FromText(u"\u221e"), "8");
    // The exact form refuses both, and keeps every byte the code page has.
    for (const TextView lacking : {u"a\u4e00b", u"\u221e", u"\u0441\u043f", u"?\xD800"}) {
      EXPECT_EQ(codec.FromTextExactly(lacking), std::nullopt);
    }
    std::string bytes;
    for (int b = 1; b < 256; ++b) bytes += static_cast<char>(b);
    EXPECT_EQ(codec.FromTextExactly(codec.ToText(bytes)), bytes);
  }
  EXPECT_EQ(codec.FromTextExactly(u""), "");
  EXPECT_EQ(codec.FromTextExactly(u"IM with ?"), "IM with ?");
  // The exact decoding (the settings file's) refuses a lone lead byte, or a Western "é" on a
  // system set to UTF-8, where titles and class names get a stand-in character.
  EXPECT_EQ(Win32AnsiCodec(932).ToTextExactly("\x82\xA0"), Text(u"\u3042"));
  EXPECT_EQ(Win32AnsiCodec(932).ToTextExactly("a\x82"), std::nullopt);
  EXPECT_EQ(Win32AnsiCodec(CP_UTF8).ToTextExactly("caf\xC3\xA9"), Text(u"caf\u00e9"));
  EXPECT_EQ(Win32AnsiCodec(CP_UTF8).ToTextExactly("caf\xE9"), std::nullopt);
  EXPECT_EQ(Win32AnsiCodec(CP_UTF8).ToText("caf\xE9"), u"caf\uFFFD");
}

TEST(LowerCaseTest, LowersWithTheUsersLocale) {
  Win32LowerCase lower;
  EXPECT_EQ(lower.Lower(u"LOL Brb"), u"lol brb");
  EXPECT_EQ(lower.Lower(u"\u00c4\u00d6\u00dc \u0391"), u"\u00e4\u00f6\u00fc \u03b1");
  EXPECT_EQ(lower.Lower(u""), u"");
  EXPECT_EQ(lower.Lower(u"123 ,."), u"123 ,.");
}

class WindowSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MurmuroTestWindow";
    ::RegisterClassExW(&wc);
    top.reset(::CreateWindowExW(0, wc.lpszClassName, L"IM with test", WS_OVERLAPPED, 0, 0, 10, 10,
                                nullptr, nullptr, wc.hInstance, nullptr));
    ASSERT_TRUE(top);
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(::CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD, 0, 0, 1, 1, top.get(),
                                    nullptr, wc.hInstance, nullptr));
    }
  }
  UniqueHwnd top;
  Win32WindowSystem windows;
};

TEST_F(WindowSystemTest, ChildEnumerationPassesEveryChildAndTheContext) {
  std::vector<std::pair<Hwnd, std::int32_t>> seen;
  windows.EnumChildWindows(FromHwnd(top.get()),
                           [&](Hwnd w, std::int32_t context) {
                             seen.emplace_back(w, context);
                             return 1;
                           },
                           FromHwnd(top.get()));
  ASSERT_EQ(seen.size(), 3u);
  for (const auto& [w, context] : seen) {
    EXPECT_EQ(::GetParent(ToHwnd(w)), top.get());
    EXPECT_EQ(context, FromHwnd(top.get()));
  }
}

TEST_F(WindowSystemTest, EnumerationStopsWhenAskedOrOnAnErrorWhichArrivesAfterwards) {
  int calls = 0;
  windows.EnumChildWindows(FromHwnd(top.get()), [&](Hwnd, std::int32_t) { return ++calls, 0; }, 0);
  EXPECT_EQ(calls, 1);
  calls = 0;
  EXPECT_THROW(windows.EnumWindows(
                   [&](Hwnd, std::int32_t) -> std::int32_t {
                     ++calls;
                     throw std::runtime_error("step failed");
                   },
                   0),
               std::runtime_error);
  EXPECT_EQ(calls, 1);
}

TEST_F(WindowSystemTest, TitleClassAndHandlesAsTheProgramSeesThem) {
  const Hwnd h = FromHwnd(top.get());
  EXPECT_EQ(ToHwnd(h), top.get());
  EXPECT_TRUE(windows.IsWindow(h));
  EXPECT_EQ(windows.GetWindowTextLengthA(h), 12);
  char title[14] = {};
  EXPECT_EQ(windows.GetWindowTextA(h, title, sizeof title), 12);
  EXPECT_STREQ(title, "IM with test");
  char name[260] = {};
  EXPECT_EQ(windows.GetClassNameA(h, name, sizeof name), 17);
  EXPECT_STREQ(name, "MurmuroTestWindow");
  EXPECT_EQ(windows.RegisterWindowMessageA("WM_HTML_GETOBJECT"),
            windows.RegisterWindowMessageA("WM_HTML_GETOBJECT"));
  // The call's error comes with a failure, and only then: a stale one is not taken over.
  std::uintptr_t answer = 0;
  std::uint32_t error = 99;
  ::SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_NE(windows.SendMessageTimeoutA(h, WM_NULL, 0, 0, platform::kSmtoAbortIfHung, 1000, &answer, &error), 0);
  EXPECT_EQ(error, 0u);
  top.reset();
  EXPECT_FALSE(windows.IsWindow(h));
  EXPECT_EQ(windows.GetWindowTextLengthA(h), 0);
  EXPECT_EQ(windows.SendMessageTimeoutA(h, WM_NULL, 0, 0, platform::kSmtoAbortIfHung, 1000, &answer, &error),
            0);
  EXPECT_EQ(answer, 0u);
  EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_INVALID_WINDOW_HANDLE));
}

}  // namespace
}  // namespace murmuro::win32
