#include "ui/main_form.h"

#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/cp1252_codec.h"
#include "ui/close_request.h"
#include "fakes/fake_timer.h"
#include "fakes/fake_voice.h"
#include "unit/ui/recording_fakes.h"
#include "unit/ui/settings_folder.h"

namespace murmuro {
namespace {

using ::testing::ElementsAre;
using testing::EventLog;

constexpr Hwnd kWindow = 0x1234;
constexpr platform::IconHandle kIcon = 0x5678;
constexpr float kRightButtonUp = 517.0f;

// The form with every seam recorded in one log. `save` stands for SaveSettings.
class MainFormTest : public ::testing::Test {
 protected:
  explicit MainFormTest(std::function<void()> save = {}) : save_(std::move(save)) {}

  void Load() { form.Form_Load(); }
  void RightClick(std::optional<std::int16_t> choice) {
    menu.choice = choice;
    form.Form_MouseMove(0, 0, kRightButtonUp, 0.0f);
  }
  std::ptrdiff_t Count(const std::string& event) const { return std::count(log.begin(), log.end(), event); }

  EventLog log;
  testing::RecordingTrayShell shell{log};
  testing::ScriptedPopupMenu menu{log};
  testing::FixedScale scale;
  testing::RecordingOptionsView view{log};
  testing::ScriptedMessageBoxes boxes{log};
  fakes::FakeTimer poll, iconRetry;
  platform::IconHandle currentIcon = kIcon;
  const Cp1252Codec codec;
  ProgramState state;
  std::function<void()> save_;
  fOps options{state, view, [this] {
                 log.push_back("save");
                 if (save_) save_();
               }};
  fMain form{state, options, MainFormPlatform{kWindow, kIcon, shell, codec, menu, scale, boxes, poll, iconRetry},
             MainFormCalls{[this] { log.push_back("read windows"); },
                           [this] {
                             log.push_back("save");
                             if (save_) save_();
                           },
                           [this] { log.push_back("end"); }, [this] { return currentIcon; }}};
};

TEST_F(MainFormTest, LoadAddsTheIconThenScans) {
  Load();
  EXPECT_THAT(log, ElementsAre("shell 0", "read windows"));
  EXPECT_EQ(shell.calls.at(0).record.hWnd, kWindow);
  EXPECT_EQ(shell.calls.at(0).record.hIcon, kIcon);
  EXPECT_EQ(form.TrayIconData().szTip, TrayTipField(u"Murmuro"));
  EXPECT_TRUE(form.Loaded());

  Load();  // loads once
  EXPECT_EQ(log.size(), 2u);
}

TEST_F(MainFormTest, AFailingShellStillScans) {
  shell.throws = true;
  Load();
  EXPECT_THAT(log, ElementsAre("shell 0", "read windows"));
}

// The shell was still busy at sign-in. An add that timed out may have put the icon there.
TEST_F(MainFormTest, AnIconTheShellDidNotTakeIsTriedOnTheTimerUntilItIsThere) {
  shell.answers = {false, false, false, true};  // add; modify, add; modify
  Load();
  for (int tick = 0; tick < 3; ++tick) form.IconRetry_Timer();
  EXPECT_THAT(log, ElementsAre("shell 0", "read windows", "shell 1", "shell 0", "shell 1"));
  EXPECT_FALSE(iconRetry.enabled);
}

TEST_F(MainFormTest, OnlyTheRightButtonsReleaseOpensTheMenu) {
  Load();
  const struct {
    std::int16_t mode;
    float x;
    bool opens;
  } cases[] = {
      {platform::kScaleModePixels, 517.0f, true},
      {platform::kScaleModePixels, 516.5f, false},  // halves to even: 516
      {platform::kScaleModePixels, 517.5f, false},  // 518
      {platform::kScaleModePixels, 512.0f, false},  // plain movement
      {platform::kScaleModePixels, 513.0f, false},  // left down
      {platform::kScaleModePixels, 514.0f, false},  // left up
      {platform::kScaleModePixels, 515.0f, false},  // left double-click
      {platform::kScaleModePixels, 516.0f, false},  // right down
      {platform::kScaleModePixels, 518.0f, false},  // right double-click
      {platform::kScaleModeTwips, 7755.0f, true},
      {platform::kScaleModeTwips, 7747.5f, false},
      {platform::kScaleModeTwips, 7762.5f, false},
      {platform::kScaleModeTwips, 514.0f * 15.0f, false},
      {platform::kScaleModeTwips, 515.0f * 15.0f, false},
      {platform::kScaleModeTwips, 517.0f, false},  // pixels read as twips
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << c.mode << " x " << c.x);
    scale.mode = c.mode;
    const auto before = menu.shown.size();
    form.Form_MouseMove(0, 0, c.x, 0.0f);
    EXPECT_EQ(menu.shown.size() - before, c.opens ? 1u : 0u);
  }
}

TEST_F(MainFormTest, UseMurmuroTogglesReadingAndItsCheckMark) {
  const auto voice = std::make_shared<fakes::FakeVoice>();
  state.Voice = voice;
  Load();
  const struct {
    std::int16_t before;
    std::int16_t after;
  } cases[] = {{0, 1}, {1, 0}, {2, 0}, {-1, 0}, {32767, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    state.UseReader = c.before;
    form.SetItemChecked(kMenuUseReader, c.before == 1);
    RightClick(kMenuUseReader);
    EXPECT_EQ(state.UseReader, c.after);
    EXPECT_EQ(form.mnuPop1()[0].Checked, c.after == 1);
    RightClick(std::nullopt);
    EXPECT_EQ(menu.shown.back()[0].Checked, c.after == 1);
    // Switching off silences what the voice still holds; switching on replays nothing.
    EXPECT_EQ(voice->calls.size(), c.after == 0 ? 1u : 0u);
    if (!voice->calls.empty()) {
      EXPECT_EQ(voice->calls[0], (fakes::Spoken{u"", platform::SVSFlagsAsync | platform::SVSFPurgeBeforeSpeak}));
    }
    voice->calls.clear();
  }
  EXPECT_EQ(Count("save"), 0);  // the switch reaches the file at exit
}

TEST_F(MainFormTest, OptionsLoadsTheDialogOnceAndShowsItAgain) {
  state.Acronyms.Add(u"afk,away from keyboard");
  Load();
  RightClick(kMenuOptions);
  ASSERT_TRUE(options.Loaded());
  options.lstAcro_Click(0);
  options.SetMeaning(u"typed");
  options.SetCheck(1);
  const auto before = options.Content();
  RightClick(kMenuOptions);
  EXPECT_EQ(options.Content(), before);
  EXPECT_EQ(options.NameTag(), u"1");
  EXPECT_EQ(Count("dialog show"), 2);
  EXPECT_EQ(view.drawn, before);
}

TEST_F(MainFormTest, TheSeparatorAndUnknownItemsDoNothing) {
  Load();
  state.UseReader = 1;
  const auto logged = log.size();
  for (std::int16_t index : {kMenuSeparator, std::int16_t{4}, std::int16_t{-1}}) {
    form.mnuPop1_Click(index);
  }
  EXPECT_EQ(log.size(), logged);
  EXPECT_EQ(state.UseReader, 1);
  EXPECT_TRUE(form.Loaded());
  EXPECT_FALSE(options.Loaded());
}

TEST_F(MainFormTest, ExitClosesTheDialogSavesRemovesTheIconAndEnds) {
  Load();
  RightClick(kMenuOptions);
  log.clear();
  RightClick(kMenuExit);
  EXPECT_THAT(log, ElementsAre("popup", "dialog unload", "save", "shell 2", "end"));
  EXPECT_EQ(shell.calls.back().record, shell.calls.front().record);
  EXPECT_FALSE(options.Loaded());
  EXPECT_FALSE(form.Loaded());

  // Later events cannot save or end twice.
  form.Unload();
  form.TaskbarCreated();
  EXPECT_EQ(Count("save"), 1);
  EXPECT_EQ(Count("end"), 1);
  EXPECT_EQ(shell.calls.size(), 2u);
}

TEST_F(MainFormTest, ExitWithoutTheDialogLeavesItUnloaded) {
  Load();
  log.clear();
  form.mnuPop1_Click(kMenuExit);
  EXPECT_THAT(log, ElementsAre("save", "shell 2", "end"));
}

TEST_F(MainFormTest, TaskbarCreatedAddsTheIconAgain) {
  form.TaskbarCreated();
  EXPECT_TRUE(shell.calls.empty());
  Load();
  form.TaskbarCreated();
  // An icon the shell still has (NIM_ADD refused) is refreshed instead.
  shell.answers = {false};
  form.TaskbarCreated();
  ASSERT_EQ(shell.calls.size(), 4u);
  EXPECT_EQ(shell.calls[1].message, platform::kNimAdd);
  EXPECT_EQ(shell.calls[2].message, platform::kNimAdd);
  EXPECT_EQ(shell.calls[3].message, platform::kNimModify);
  for (const auto& call : shell.calls) EXPECT_EQ(call.record, shell.calls[0].record);
  currentIcon = kIcon + 1;  // a new display scale, and a shell too busy to take the icon
  shell.answers = {false, false};
  form.TaskbarCreated();
  EXPECT_TRUE(shell.calls.back().record.hIcon == kIcon + 1 && iconRetry.enabled);
}

// The tip names a conversation whose client runs as administrator; the reason always fits its
// 63 characters, the title giving way.
TEST_F(MainFormTest, AConversationThatCannotBeReadIsNamedInTheTipUntilNoneIs) {
  Load();
  const std::pair<Text, std::string> cases[] = {
      {u"IM with bob", "Murmuro cannot read IM ...: the IM client runs as administrator"},
      {u"IM bob", "Murmuro cannot read IM bob: the IM client runs as administrator"},
      {u"IM\U0001F600 bob", "Murmuro cannot read IM...: the IM client runs as administrator"},
      {u"", "Murmuro"}};
  for (const auto& [title, tip] : cases) {
    form.ShowBlocked(title);
    EXPECT_EQ(shell.calls.back().message, platform::kNimModify);
    EXPECT_EQ(std::string(shell.calls.back().record.szTip.data()), tip);
  }
  shell.answers = {false};  // too busy: the icon's retry brings it
  form.ShowBlocked(u"IM bob");
  EXPECT_TRUE(iconRetry.enabled);
}

TEST_F(MainFormTest, CancelledLoadRemovesTheIconWithoutSavingAndACloseEndsTheProgram) {
  shell.answers = {false};
  Load();
  form.CancelLoad();
  form.IconRetry_Timer();
  form.Unload();
  form.Close();  // WM_CLOSE while the failure is on show ends the program, its box with it
  form.Close();
  EXPECT_THAT(log, ElementsAre("shell 0", "read windows", "shell 2", "end"));
  EXPECT_FALSE(form.Loaded() || iconRetry.enabled);
}

class ThrowingSaveTest : public MainFormTest {
 protected:
  ThrowingSaveTest() : MainFormTest([] { throw SettingsError("disk full"); }) {}
};

TEST_F(ThrowingSaveTest, ExitThatCannotSaveOffersRetryUntilCancelledThenEnds) {
  const auto voice = std::make_shared<fakes::FakeVoice>();
  state.Voice = voice;
  shell.answers = {false};
  Load();
  poll.enabled = true;
  // Nothing is read, spoken (the voice was purged) or put back into the tray while the box waits.
  boxes.whileAsking = [&] { EXPECT_TRUE(!poll.enabled && !iconRetry.enabled && voice->calls.size() == 1u); };
  boxes.retries = {true};
  RightClick(kMenuExit);
  EXPECT_THAT(log, ElementsAre("shell 0", "read windows", "popup", "save", "ask retry", "save", "ask retry",
                               "shell 2", "end"));
  EXPECT_THAT(boxes.asked.at(0), ::testing::StartsWith("disk full\n\n"));
  EXPECT_FALSE(form.Loaded());
}

// Nobody may answer the box once the session ends or an installer closes Murmuro; neither waits.
class RetryBoxEndTest : public ThrowingSaveTest, public ::testing::WithParamInterface<void (fMain::*)() noexcept> {};
TEST_P(RetryBoxEndTest, AnEndFromOutsideWhileExitsRetryBoxWaitsTriesOnceMoreAndFinishesThere) {
  Load();
  boxes.retries = {true};  // comes after the end: too late to count
  boxes.whileAsking = [&] { (form.*GetParam())(); };
  RightClick(kMenuExit);
  EXPECT_THAT(log, ElementsAre("shell 0", "read windows", "popup", "save", "ask retry", "save", "shell 2", "end"));
}
INSTANTIATE_TEST_SUITE_P(EndSessionAndClose, RetryBoxEndTest, ::testing::Values(&fMain::EndSession, &fMain::Close));

TEST_F(ThrowingSaveTest, AnEndFromOutsideTriesOnceAndAsksNothing) {
  Load();
  RightClick(kMenuOptions);
  log.clear();
  form.Close();
  EXPECT_THAT(log, ElementsAre("dialog unload", "save", "shell 2", "end"));
  EXPECT_TRUE(boxes.asked.empty());
  form.Close();
  EXPECT_EQ(Count("end"), 1);
}

// An installer's request carries the tick count until which it waits; ticks wrap every 49.7 days.
TEST(CloseRequestTest, IsTakenUntilItsDeadlineAcrossTheTickCountsWrap) {
  const struct {
    std::uint32_t deadline, now;
    bool inTime;
  } rows[] = {{21000, 1000, true},     {1000, 1000, true},         {999, 1000, false},
              {16, 0xFFFFB1F0u, true}, {0xFFFFB1F0u, 16, false},   {1000, 1000 + kCloseRequestMs, false}};
  for (const auto& row : rows) {
    EXPECT_EQ(CloseRequestInTime(row.deadline, row.now), row.inTime) << row.deadline << " " << row.now;
  }
}

// The form and the dialog over a real settings file.
class MainFormFileTest : public ::testing::Test {
 protected:
  explicit MainFormFileTest(testing::NativeFileSystem::StageHook hook = {}) : folder(std::move(hook)) {}

  void Start(const std::string& file) {
    folder.Write(file);
    form.Form_Load();
    LoadSettings(state, store, [this] { form.SetItemChecked(kMenuUseReader, true); });
  }
  void Choose(std::int16_t item) {
    menu.choice = item;
    form.Form_MouseMove(2, 0, kRightButtonUp, 0.0f);
  }

  testing::SettingsFolder folder;
  SettingsStore store = folder.Store();
  EventLog log;
  testing::RecordingTrayShell shell{log};
  testing::ScriptedPopupMenu menu{log};
  testing::FixedScale scale;
  testing::RecordingOptionsView view{log};
  testing::ScriptedMessageBoxes boxes{log};
  fakes::FakeTimer poll, iconRetry;
  const Cp1252Codec codec;
  ProgramState state;
  bool ended = false;
  fOps options{state, view, [this] { SaveSettings(state, store); }};
  fMain form{state, options, MainFormPlatform{kWindow, kIcon, shell, codec, menu, scale, boxes, poll, iconRetry},
             MainFormCalls{[] {}, [this] { SaveChangedSettings(state, store); },
                           [this] { ended = true; }, {}}};
};

TEST_F(MainFormFileTest, TheFilesReadingValueSetsTheCheckMarkOnlyForOne) {
  const struct {
    const char* first;
    bool checked;
    std::int16_t afterChoice;
  } cases[] = {{"1", true, 0}, {"0", false, 1}, {"2", false, 0}, {"-3", false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    form.SetItemChecked(kMenuUseReader, false);
    folder.Write(std::string(c.first) + "\r\n0\r\n");
    LoadSettings(state, store, [this] { form.SetItemChecked(kMenuUseReader, true); });
    EXPECT_EQ(form.mnuPop1()[0].Checked, c.checked);
    form.mnuPop1_Click(kMenuUseReader);
    EXPECT_EQ(state.UseReader, c.afterChoice);
    EXPECT_EQ(form.mnuPop1()[0].Checked, c.afterChoice == 1);
  }
}

TEST_F(MainFormFileTest, ExitWritesTheLastReadingState) {
  Start("0\r\n0\r\nafk,away from keyboard\r\n");
  Choose(kMenuUseReader);
  Choose(kMenuExit);
  EXPECT_EQ(folder.Read(), "1\r\n0\r\nafk,away from keyboard\r\n");
  EXPECT_TRUE(ended);
  EXPECT_EQ(shell.calls.back().message, platform::kNimDelete);
}

TEST_F(MainFormFileTest, ExitWithTheDialogOpenDropsTheCheckBoxButKeepsAcronyms) {
  Start("1\r\n1\r\nafk,away from keyboard\r\n");
  Choose(kMenuOptions);
  EXPECT_EQ(options.Content().Check, 1);
  options.SetCheck(0);
  options.SetName(u"brb");
  options.SetMeaning(u"be right back");
  options.cAcroOps_Click(kAcroSave);
  Choose(kMenuExit);
  EXPECT_EQ(state.TopOnly, 1);
  EXPECT_FALSE(options.Loaded());
  EXPECT_FALSE(view.open);
  EXPECT_EQ(folder.Read(), "1\r\n1\r\nafk,away from keyboard\r\nbrb,be right back\r\n");
  EXPECT_TRUE(ended);
}

class FailingFileTest : public MainFormFileTest {
 protected:
  FailingFileTest() : MainFormFileTest(testing::FailingWrites()) {}
};

TEST_F(FailingFileTest, AFailingSaveAtExitLeavesTheOldFileAndStillRemovesTheIcon) {
  const std::string old = "0\r\n0\r\nafk,away from keyboard\r\n";
  Start(old);
  Choose(kMenuUseReader);
  Choose(kMenuExit);
  ASSERT_EQ(boxes.asked.size(), 1u) << "Cancel ends without saving";
  EXPECT_THAT(boxes.asked[0], ::testing::HasSubstr("kel.dat"));
  EXPECT_EQ(folder.Read(), old);
  EXPECT_EQ(shell.calls.back().message, platform::kNimDelete);
  EXPECT_TRUE(ended);
  EXPECT_FALSE(form.Loaded());
}

}  // namespace
}  // namespace murmuro
