#include "ui/options_dialog.h"

#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "phrase/expand_acronyms.h"
#include "phrase/latin1_lower_case.h"
#include "unit/ui/recording_fakes.h"
#include "unit/ui/settings_folder.h"

namespace murmuro {
namespace {

using ::testing::ElementsAre;
using testing::EventLog;
using testing::RecordingOptionsView;

AcronymList Records(std::initializer_list<const char16_t*> records) {
  AcronymList list;
  for (const char16_t* r : records) list.Add(r);
  return list;
}

const AcronymList kThree =
    Records({u"afk,away from keyboard", u"brb,be right back", u"lol,laughing out loud"});

class OptionsDialogTest : public ::testing::Test {
 protected:
  void Open(AcronymList records, std::int16_t topOnly = 0) {
    state.Acronyms = std::move(records);
    state.TopOnly = topOnly;
    dialog.Show();
  }
  // The view must always draw what the model holds after a handler.
  void ExpectDrawn() const {
    EXPECT_EQ(view.drawn, dialog.Content());
  }

  EventLog log;
  RecordingOptionsView view{log};
  ProgramState state;
  int saves = 0;
  fOps dialog{state, view, [this] {
                ++saves;
                log.push_back("save");
              }};
};

TEST_F(OptionsDialogTest, LoadListsOneNamePerRecordWithEmptyBoxes) {
  Open(Records({u"afk,away from keyboard", u"brb,be right back, ok", u"", u"nocomma", u",lonely",
                u"BIG ,Case kept"}));
  EXPECT_THAT(dialog.Content().Rows,
              ElementsAre(u"afk", u"brb", u"", u"nocomma", u"", u"BIG "));
  EXPECT_EQ(dialog.Content().ListIndex, -1);
  EXPECT_EQ(dialog.Content().Name, u"");
  EXPECT_EQ(dialog.Content().Meaning, u"");
  EXPECT_EQ(dialog.NameTag(), u"");
  EXPECT_THAT(log, ElementsAre("dialog show"));
  ExpectDrawn();
}

TEST_F(OptionsDialogTest, CheckBoxShowsTopOnlyAndRefusesOtherValues) {
  const struct {
    std::int16_t topOnly;
    std::int16_t check;
  } cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {-1, 0}, {32767, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.topOnly);
    Open({}, c.topOnly);
    EXPECT_EQ(dialog.Content().Check, c.check);
    EXPECT_EQ(view.drawn.Check, c.check);
    dialog.Unload();
  }
}

TEST_F(OptionsDialogTest, SelectingARowLoadsItsNameMeaningAndPosition) {
  const struct {
    AcronymList records;
    std::int32_t row;
    const char16_t* name;
    const char16_t* meaning;
    const char16_t* tag;
  } cases[] = {
      {kThree, 1, u"brb", u"be right back", u"2"},
      {kThree, 0, u"afk", u"away from keyboard", u"1"},
      {Records({u"brb,be right back, ok"}), 0, u"brb", u"be right back, ok", u"1"},
      {Records({u"a,b,c"}), 0, u"a", u"b,c", u"1"},
      {Records({u"nocomma"}), 0, u"nocomma", u"", u"1"},
      {Records({u"x,1", u"y,2", u"", u"z,3"}), 2, u"", u"", u"3"},
      {Records({u"x,1", u"y,2", u"", u"z,3"}), 3, u"z", u"3", u"4"},
      {Records({u"  Spaced , kept "}), 0, u"  Spaced ", u" kept ", u"1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(Text(c.name)));
    Open(c.records);
    dialog.lstAcro_Click(c.row);
    EXPECT_EQ(dialog.Content().ListIndex, c.row);
    EXPECT_EQ(dialog.Content().Name, c.name);
    EXPECT_EQ(dialog.Content().Meaning, c.meaning);
    EXPECT_EQ(dialog.NameTag(), c.tag);
    ExpectDrawn();
    dialog.Unload();
  }
}

TEST_F(OptionsDialogTest, NoRowSelectedEmptiesTheBoxesAndThePosition) {
  for (std::int32_t row : {-1, 3, 100, -7}) {
    SCOPED_TRACE(row);
    Open(kThree);
    dialog.lstAcro_Click(1);
    dialog.SetName(u"typed");
    dialog.lstAcro_Click(row);
    EXPECT_EQ(dialog.Content().ListIndex, -1);
    EXPECT_EQ(dialog.Content().Name, u"");
    EXPECT_EQ(dialog.Content().Meaning, u"");
    EXPECT_EQ(dialog.NameTag(), u"");
    ExpectDrawn();
    dialog.Unload();
  }
}

TEST_F(OptionsDialogTest, SaveReplacesTheLoadedRecordInItsPlace) {
  const struct {
    const char* what;
    AcronymList records;
    std::int32_t row;
    AcronymList after;
  } cases[] = {
      {"first", kThree, 0,
       Records({u"afk,gone", u"brb,be right back", u"lol,laughing out loud"})},
      {"middle", kThree, 1,
       Records({u"afk,away from keyboard", u"brb,gone", u"lol,laughing out loud"})},
      {"last", kThree, 2,
       Records({u"afk,away from keyboard", u"brb,be right back", u"lol,gone"})},
      {"only", Records({u"brb,be right back"}), 0, Records({u"brb,gone"})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Open(c.records);
    dialog.lstAcro_Click(c.row);
    dialog.SetMeaning(u"gone");
    dialog.cAcroOps_Click(kAcroSave);
    EXPECT_EQ(state.Acronyms, c.after);
    EXPECT_EQ(dialog.Content().Rows.size(), c.after.Count());
    EXPECT_EQ(dialog.Content().ListIndex, -1);
    EXPECT_EQ(dialog.Content().Name, u"");
    EXPECT_EQ(dialog.Content().Meaning, u"");
    EXPECT_EQ(dialog.NameTag(), u"");
    ExpectDrawn();
    dialog.Unload();
  }
}

TEST_F(OptionsDialogTest, SaveWithoutAPositionAppendsAndKeepsTheBoxes) {
  Open(kThree);
  dialog.SetName(u"omg");
  dialog.SetMeaning(u"oh my god");
  dialog.cAcroOps_Click(kAcroSave);
  dialog.cAcroOps_Click(kAcroSave);
  EXPECT_EQ(state.Acronyms.Count(), 5u);
  EXPECT_EQ(state.Acronyms.Item(4), u"omg,oh my god");
  EXPECT_EQ(state.Acronyms.Item(5), u"omg,oh my god");
  EXPECT_THAT(dialog.Content().Rows, ElementsAre(u"afk", u"brb", u"lol", u"omg", u"omg"));
  EXPECT_EQ(dialog.Content().Name, u"omg");
  EXPECT_EQ(dialog.Content().Meaning, u"oh my god");
  EXPECT_EQ(dialog.NameTag(), u"");
  ExpectDrawn();
  EXPECT_EQ(saves, 0);
}

TEST_F(OptionsDialogTest, NewEmptiesTheBoxesButKeepsTheSelection) {
  Open(kThree);
  dialog.lstAcro_Click(2);
  dialog.cAcroOps_Click(kAcroNew);
  EXPECT_EQ(dialog.Content().Name, u"");
  EXPECT_EQ(dialog.Content().Meaning, u"");
  EXPECT_EQ(dialog.NameTag(), u"");
  EXPECT_EQ(dialog.Content().ListIndex, 2);
  ExpectDrawn();

  // With the position gone, Save appends: the empty boxes make the record ",".
  dialog.cAcroOps_Click(kAcroSave);
  EXPECT_EQ(state.Acronyms, Records({u"afk,away from keyboard", u"brb,be right back",
                                     u"lol,laughing out loud", u","}));
  EXPECT_THAT(dialog.Content().Rows, ElementsAre(u"afk", u"brb", u"lol", u""));
}

TEST_F(OptionsDialogTest, SaveTakesACommaInTheNameIntoTheMeaning) {
  Open({});
  dialog.SetName(u"a,b");
  dialog.SetMeaning(u"c");
  dialog.cAcroOps_Click(kAcroSave);
  EXPECT_EQ(state.Acronyms, Records({u"a,b,c"}));
  EXPECT_THAT(dialog.Content().Rows, ElementsAre(u"a"));
  dialog.lstAcro_Click(0);
  EXPECT_EQ(dialog.Content().Name, u"a");
  EXPECT_EQ(dialog.Content().Meaning, u"b,c");
}

TEST_F(OptionsDialogTest, SaveOfAnUnchangedRecordKeepsNameAndMeaning) {
  for (const char16_t* record : {u"brb,be right back, ok", u"nocomma", u"", u",", u" A , b "}) {
    SCOPED_TRACE(::testing::PrintToString(Text(record)));
    Open(Records({u"x,1", record, u"y,2"}));
    dialog.lstAcro_Click(1);
    dialog.cAcroOps_Click(kAcroSave);
    // A record without a comma gains one: the boxes cannot tell it from an empty meaning.
    const Text expected =
        Text(record).find(u',') == Text::npos ? Text(record) + u"," : Text(record);
    EXPECT_EQ(state.Acronyms, Records({u"x,1", expected.c_str(), u"y,2"}));
    dialog.Unload();
  }
}

TEST_F(OptionsDialogTest, RemoveTakesOutOnlyTheLoadedRecord) {
  Open(kThree);
  dialog.cAcroOps_Click(kAcroRemove);
  EXPECT_EQ(state.Acronyms, kThree);

  dialog.lstAcro_Click(1);
  dialog.cAcroOps_Click(kAcroRemove);
  EXPECT_EQ(state.Acronyms, Records({u"afk,away from keyboard", u"lol,laughing out loud"}));
  EXPECT_THAT(dialog.Content().Rows, ElementsAre(u"afk", u"lol"));
  EXPECT_EQ(dialog.Content().Name, u"");
  EXPECT_EQ(dialog.Content().Meaning, u"");
  EXPECT_EQ(dialog.NameTag(), u"");
  EXPECT_EQ(dialog.Content().ListIndex, -1);
  ExpectDrawn();

  dialog.cAcroOps_Click(kAcroRemove);
  EXPECT_EQ(state.Acronyms.Count(), 2u);
}

TEST_F(OptionsDialogTest, RemoveWithoutAPositionStillRebuildsTheList) {
  Open(kThree);
  dialog.lstAcro_Click(0);
  dialog.cAcroOps_Click(kAcroNew);  // position gone, row 0 still selected
  dialog.SetName(u"typed");
  dialog.cAcroOps_Click(kAcroRemove);
  EXPECT_EQ(state.Acronyms, kThree);
  EXPECT_EQ(dialog.Content().ListIndex, -1);
  EXPECT_EQ(dialog.Content().Name, u"typed");
  ExpectDrawn();
}

TEST_F(OptionsDialogTest, AnEmptyRecordCanBeSelectedAndRemoved) {
  Open(Records({u"x,1", u"", u"z,3"}));
  EXPECT_THAT(dialog.Content().Rows, ElementsAre(u"x", u"", u"z"));
  dialog.lstAcro_Click(1);
  EXPECT_EQ(dialog.NameTag(), u"2");
  dialog.cAcroOps_Click(kAcroRemove);
  EXPECT_EQ(state.Acronyms, Records({u"x,1", u"z,3"}));
}

TEST_F(OptionsDialogTest, OtherButtonIndexesDoNothing) {
  Open(kThree);
  dialog.lstAcro_Click(1);
  dialog.SetName(u"typed");
  const auto before = dialog.Content();
  const auto logged = log.size();
  for (int index : {3, -1, 100}) dialog.cAcroOps_Click(static_cast<std::int16_t>(index));
  EXPECT_EQ(state.Acronyms, kThree);
  EXPECT_EQ(dialog.Content(), before);
  EXPECT_EQ(dialog.NameTag(), u"2");
  EXPECT_EQ(log.size(), logged);
}

TEST_F(OptionsDialogTest, CheckBoxTakesOnlyItsThreeStates) {
  Open({}, 1);
  for (int refused : {3, -1, 256}) dialog.SetCheck(static_cast<std::int16_t>(refused));
  EXPECT_EQ(dialog.Content().Check, 1);
  dialog.SetCheck(2);
  EXPECT_EQ(dialog.Content().Check, 2);
  dialog.SetCheck(0);
  EXPECT_EQ(dialog.Content().Check, 0);
  EXPECT_EQ(state.TopOnly, 1);  // only Done stores it
}

TEST_F(OptionsDialogTest, ShowingALoadedDialogAgainKeepsItsContents) {
  Open(kThree, 1);
  dialog.lstAcro_Click(2);
  dialog.SetMeaning(u"typed, not saved");
  dialog.SetCheck(0);
  const auto before = dialog.Content();
  state.TopOnly = 2;  // a fresh load would show this
  dialog.Show();
  EXPECT_EQ(dialog.Content(), before);
  EXPECT_EQ(dialog.NameTag(), u"3");
  EXPECT_EQ(log.back(), "dialog show");
  ExpectDrawn();
}

TEST_F(OptionsDialogTest, UnloadDiscardsEverythingButAcronymChanges) {
  Open(kThree, 1);
  dialog.lstAcro_Click(0);
  dialog.SetName(u"afk2");
  dialog.cAcroOps_Click(kAcroSave);
  dialog.lstAcro_Click(1);
  dialog.SetCheck(0);
  dialog.Unload();
  EXPECT_FALSE(dialog.Loaded());
  EXPECT_FALSE(view.open);
  EXPECT_EQ(state.TopOnly, 1);
  EXPECT_EQ(state.Acronyms.Item(1), u"afk2,away from keyboard");
  EXPECT_EQ(saves, 0);

  dialog.Show();
  EXPECT_EQ(dialog.NameTag(), u"");
  EXPECT_EQ(dialog.Content().Name, u"");
  EXPECT_EQ(dialog.Content().Check, 1);
  EXPECT_THAT(dialog.Content().Rows, ElementsAre(u"afk2", u"brb", u"lol"));

  // The view's clicks after an unload change nothing.
  dialog.Unload();
  dialog.Unload();
  dialog.lstAcro_Click(0);
  dialog.cAcroOps_Click(kAcroRemove);
  dialog.cDone_Click();
  EXPECT_EQ(state.Acronyms.Count(), 3u);
  EXPECT_EQ(saves, 0);
  EXPECT_EQ(std::count(log.begin(), log.end(), "dialog unload"), 2);
}

TEST_F(OptionsDialogTest, DialogAcronymsAreSpokenBeforeDone) {
  Open(kThree);
  dialog.SetName(u"omg");
  dialog.SetMeaning(u"oh my god");
  dialog.cAcroOps_Click(kAcroSave);
  EXPECT_EQ(ExpandAcronyms(u"OMG lol", state.Acronyms, Latin1LowerCase()),
            u" oh my god laughing out loud");
}

TEST_F(OptionsDialogTest, DoneStoresTheCheckBoxSavesAndUnloads) {
  const struct {
    std::int16_t topOnly;
    std::optional<std::int16_t> clicked;
    std::int16_t stored;
  } cases[] = {{1, 0, 0}, {0, 1, 1}, {2, std::nullopt, 2}, {7, std::nullopt, 0}, {0, 2, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.topOnly);
    log.clear();
    Open(kThree, c.topOnly);
    if (c.clicked) dialog.SetCheck(*c.clicked);
    dialog.cDone_Click();
    EXPECT_EQ(state.TopOnly, c.stored);
    EXPECT_FALSE(dialog.Loaded());
    EXPECT_THAT(log, ElementsAre("dialog show", "save", "dialog unload"));
  }
}

TEST(OptionsDialogFile, DoneRewritesTheFileWithBothSwitchesAndTheList) {
  testing::SettingsFolder folder;
  auto store = folder.Store();
  folder.Write("1\r\n1\r\nafk,away from keyboard\r\n\r\nBRB ,Be Right Back\r\n");
  ProgramState state;
  LoadSettings(state, store);
  EventLog log;
  RecordingOptionsView view{log};
  fOps dialog{state, view, [&] { SaveSettings(state, store); }};
  dialog.Show();
  EXPECT_EQ(dialog.Content().Check, 1);
  dialog.SetCheck(0);
  dialog.SetName(u"caf\u00e9");
  dialog.SetMeaning(u"coffee place");
  dialog.cAcroOps_Click(kAcroSave);
  dialog.cDone_Click();
  EXPECT_EQ(folder.Read(), "1\r\n0\r\nafk,away from keyboard\r\n\r\nBRB ,Be Right Back\r\n"
                          "caf\xE9,coffee place\r\n");
}

TEST(OptionsDialogFile, AFailingSaveStoresTheSwitchSaysWhyAndKeepsTheDialogOpen) {
  testing::SettingsFolder folder(testing::FailingWrites());
  auto store = folder.Store();
  const std::string old = "0\r\n1\r\nafk,away from keyboard\r\n";
  folder.Write(old);
  ProgramState state;
  LoadSettings(state, store);
  EventLog log;
  RecordingOptionsView view{log};
  fOps dialog{state, view, [&] { SaveSettings(state, store); }};
  dialog.Show();
  dialog.SetCheck(0);
  dialog.SetName(u"brb");
  const auto shown = dialog.Content();
  dialog.cDone_Click();
  EXPECT_EQ(state.TopOnly, 0);
  EXPECT_TRUE(dialog.Loaded());
  EXPECT_TRUE(view.open);
  EXPECT_EQ(dialog.Content(), shown);
  ASSERT_EQ(view.errors.size(), 1u);
  EXPECT_THAT(view.errors[0], ::testing::HasSubstr("kel.dat"));
  EXPECT_THAT(view.errors[0], ::testing::HasSubstr("could not be written"));
  EXPECT_EQ(folder.Read(), old);
}

TEST_F(OptionsDialogTest, AFailingViewDoesNotStopTheHandlers) {
  view.throws = true;
  Open(kThree, 1);
  EXPECT_TRUE(dialog.Loaded());
  EXPECT_EQ(dialog.Content().Rows.size(), 3u);
  dialog.lstAcro_Click(0);
  dialog.cAcroOps_Click(kAcroRemove);
  EXPECT_EQ(state.Acronyms.Count(), 2u);
  dialog.SetCheck(0);
  dialog.cDone_Click();
  EXPECT_EQ(state.TopOnly, 0);
  EXPECT_EQ(saves, 1);
  EXPECT_FALSE(dialog.Loaded());
}

}  // namespace
}  // namespace murmuro
