// The user's edits and clicks in the options window reach the dialog's model, and what the model
// draws back is never taken for an edit.
#include <gmock/gmock.h>

#include "win/ui/options_window_fixture.h"

namespace murmuro::wintest {
namespace {

using namespace win32;
using ::testing::ElementsAre;

TEST_F(OptionsWindowTest, SelectingARowFillsTheBoxesWithoutEchoingEdits) {
  Open();
  Record();
  ClickRow(1);
  EXPECT_THAT(log, ElementsAre("row 1"));
  EXPECT_EQ(Selected(), 1);
  EXPECT_EQ(ItemText(kIdName), u"brb");
  EXPECT_EQ(ItemText(kIdMeaning), u"be right back");
  EXPECT_EQ(dialog.NameTag(), u"2");
}

TEST_F(OptionsWindowTest, TypedMeaningIsSavedInPlaceAndTheBoxesEmpty) {
  Open();
  ClickRow(1);
  Record();
  Type(kIdMeaning, u"be back soon");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "meaning be back soon");
  EXPECT_EQ(dialog.Content().Meaning, u"be back soon");
  log.clear();

  Click(kIdAcroOps + kAcroSave);
  EXPECT_THAT(log, ElementsAre("ops 1")) << "emptying the boxes is not an edit";
  EXPECT_EQ(state.Acronyms.Count(), 3u);
  EXPECT_EQ(state.Acronyms.Item(2), u"brb,be back soon");
  EXPECT_EQ(ItemText(kIdName), u"");
  EXPECT_EQ(ItemText(kIdMeaning), u"");
  EXPECT_EQ(Selected(), LB_ERR);
  EXPECT_EQ(RowCount(), 3);
}

TEST_F(OptionsWindowTest, NewSaveAndRemoveEditTheListThroughTheButtons) {
  Open();
  ClickRow(0);
  Click(kIdAcroOps + kAcroNew);
  EXPECT_EQ(ItemText(kIdName), u"");
  EXPECT_EQ(dialog.NameTag(), u"");

  Type(kIdName, u"omg");
  Type(kIdMeaning, u"oh my god");
  Click(kIdAcroOps + kAcroSave);
  Click(kIdAcroOps + kAcroSave);
  EXPECT_EQ(state.Acronyms.Count(), 5u);
  EXPECT_EQ(state.Acronyms.Item(5), u"omg,oh my god");
  ASSERT_EQ(RowCount(), 5);
  EXPECT_EQ(Row(3), u"omg");
  EXPECT_EQ(Row(4), u"omg");
  EXPECT_EQ(ItemText(kIdName), u"omg") << "an append keeps the boxes";

  ClickRow(3);
  Click(kIdAcroOps + kAcroRemove);
  EXPECT_EQ(state.Acronyms.Count(), 4u);
  EXPECT_EQ(RowCount(), 4);
  EXPECT_EQ(ItemText(kIdName), u"");
  Click(kIdAcroOps + kAcroRemove);
  EXPECT_EQ(state.Acronyms.Count(), 4u) << "nothing loaded, nothing removed";
}

TEST_F(OptionsWindowTest, CheckBoxClicksCheckAClearBoxAndClearTheOthers) {
  struct Case {
    std::int16_t start;
    std::vector<LRESULT> shown;  // after each click
  };
  for (const Case& c : {Case{0, {BST_CHECKED, BST_UNCHECKED, BST_CHECKED}}, Case{1, {BST_UNCHECKED, BST_CHECKED}},
                        Case{2, {BST_UNCHECKED, BST_CHECKED}}}) {
    SCOPED_TRACE(c.start);
    Open(c.start);
    for (LRESULT shown : c.shown) {
      Click(kIdTopOnly);
      EXPECT_EQ(Check(), shown);
      EXPECT_EQ(dialog.Content().Check, shown == BST_CHECKED ? 1 : 0);
    }
    EXPECT_EQ(state.TopOnly, c.start) << "only Done stores the switch";
    dialog.Unload();
  }
}

TEST_F(OptionsWindowTest, DoneStoresTheSwitchSavesAndCloses) {
  Open(1);
  Click(kIdTopOnly);
  HWND window = view.Window();
  Click(kIdDone);
  EXPECT_EQ(state.TopOnly, 0);
  EXPECT_EQ(saves, 1);
  EXPECT_FALSE(dialog.Loaded());
  EXPECT_EQ(view.Window(), nullptr);
  EXPECT_FALSE(::IsWindow(window));
}

TEST_F(OptionsWindowTest, CloseBoxLeavesWithoutDoneAndKeepsAcronymChanges) {
  Open(1);
  Click(kIdTopOnly);
  Type(kIdName, u"ttyl");
  Click(kIdAcroOps + kAcroSave);
  HWND window = view.Window();
  ::SendMessageW(window, WM_CLOSE, 0, 0);
  Pump();
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_FALSE(dialog.Loaded());
  EXPECT_EQ(state.TopOnly, 1);
  EXPECT_EQ(saves, 0);
  EXPECT_EQ(state.Acronyms.Count(), 4u);

  Open(state.TopOnly);
  EXPECT_EQ(Check(), BST_CHECKED) << "loaded afresh";
  EXPECT_EQ(ItemText(kIdName), u"");
  EXPECT_EQ(RowCount(), 4);
}

TEST_F(OptionsWindowTest, ShowingAgainKeepsTheWindowAndWhatItHolds) {
  Open();
  ClickRow(2);
  Type(kIdName, u"lolz");
  HWND window = view.Window();
  dialog.Show();
  Pump();
  EXPECT_EQ(view.Window(), window);
  EXPECT_EQ(ItemText(kIdName), u"lolz");
  EXPECT_EQ(ItemText(kIdMeaning), u"laughing out loud");
  EXPECT_EQ(Selected(), 2);
  EXPECT_EQ(dialog.NameTag(), u"3");
  EXPECT_EQ(::GetForegroundWindow(), window);
}

TEST_F(OptionsWindowTest, AWindowDestroyedBehindTheModelsBackIsMadeAgain) {
  Open();
  ::DestroyWindow(view.Window());
  EXPECT_EQ(view.Window(), nullptr);
  dialog.Show();
  Pump();
  ASSERT_NE(view.Window(), nullptr);
  EXPECT_EQ(RowCount(), 3);
}

TEST_F(OptionsWindowTest, TabWalksTheControlsInOrder) {
  Open();
  EXPECT_EQ(::GetFocus(), Item(kIdTopOnly)) << "the first control has the focus";
  for (int next : {kIdAcronyms, kIdName, kIdMeaning, kIdAcroOps + 0, kIdAcroOps + 1, kIdDone, kIdAcroOps + 2,
                   kIdTopOnly}) {
    SCOPED_TRACE(next);
    EXPECT_TRUE(Key(VK_TAB));
    EXPECT_EQ(::GetFocus(), Item(next));
  }
}

TEST_F(OptionsWindowTest, EnterAndEscapeDoNothingButEnterPressesAFocusedButton) {
  Open();
  Type(kIdName, u"imo");
  ::SetFocus(Item(kIdName));
  Key(VK_RETURN);
  Key(VK_ESCAPE);
  EXPECT_EQ(state.Acronyms.Count(), 3u);
  ASSERT_NE(view.Window(), nullptr);
  EXPECT_TRUE(dialog.Loaded());

  ::SetFocus(Item(kIdAcroOps + kAcroSave));
  Key(VK_RETURN);
  EXPECT_EQ(state.Acronyms.Count(), 4u);
  EXPECT_EQ(state.Acronyms.Item(4), u"imo,");
}

}  // namespace
}  // namespace murmuro::wintest
