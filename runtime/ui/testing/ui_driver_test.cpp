// Windows from definitions, driven as a user would drive them.
#include "runtime/ui/testing/ui_driver.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QInputMethodEvent>
#include <QMenu>
#include <QScrollBar>
#include <QWheelEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/window/test_application.h"
#include "runtime/core/error.h"
#include "runtime/core/queue.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/events.h"
#include "runtime/ui/popup_menu.h"
#include "runtime/ui/property.h"
#include "runtime/ui/queue_list_view.h"
#include "runtime/ui/window.h"
#include "runtime/ui/window_definition.h"
#include "runtime/ui/window_widgets.h"

namespace cinevo {
namespace {

using namespace cinevo::controls;

// The main window as its procedure's table lists it, plus one control of every other kind.
WindowDefinition EveryKind() {
  WindowDefinition d;
  d.resource = "test$EVERY";
  d.label = "P1$WINDOW";
  d.caption = "Cinevo +";
  d.icon = "1mm.ico";
  d.font = "MS Sans Serif";
  d.message = "Drag'n drop movies";
  d.cursor = "Hand4.cur";
  d.acceptsDrops = true;
  d.dropId = "~FILE";
  d.controls = {
      Menu("&File", "Menu File",
           {Item("Open", "Open and play movie"), Item("Stop", "Stop all"), Item("Play", "Play all"),
            Item("Continue", "Continue all"), Item("Close", "Close all"), Separator(),
            Item("Info", "Info")}),
      Menu("&Play list", "Menu Play list",
           {Item("Edit ", "Edit play list"), Separator(), Item("Increase ", "Increase all"),
            Item("Decrease", "Decrease all"), Item("Alignment I", "Alignment I"),
            Item("Alignment II", "Alignment II")}),
      Menu("F&avorites", "Menu Favorites",
           {Item("Edit ", "Edit favorites"), Separator(),
            Item("Add play list", "Add play list to favorites")}),
      Toolbar({Button("Open", "Open (or drop) and play movie-s"), Button("Stop all", "Stop all"),
               Button("Play all", "Play all"), Button("Continue all", "Continue all"),
               Button("Close all", "Close all").Icon("1izb.ico")}),
      Prompt("&Movie"),                                  // 23
      Entry("@s20"),                                     // 24
      String("Cinevo +  v1.01"),                         // 25
      Image("Croat.ico"),                                // 26
      Button("&Back", "Go back").Icon("L.ico"),          // 27
      Prompt("movies"),                                  // 28
      List("80L(2)|I@s120@", "Right click for options"),  // 29
      Tree("800LIT@s200@", "Right click for options"),   // 30
  };
  return d;
}

constexpr int kOpenItem = 2, kInfoItem = 7, kAddItem = 16, kToolbar = 17, kOpenButton = 18;
constexpr int kCloseAllButton = 22, kEntry = 24, kString = 25, kImage = 26, kBack = 27;
constexpr int kList = 29, kTree = 30;

// A queue of (STRING(20) text, SHORT icon, LONG level) records.
struct Rows {
  uint8_t record[26] = {};
  Queue queue{record, sizeof record};
  std::vector<QueueField> fields = QueueRecordLayout(
      {{TypeCode::kString, 20}, {TypeCode::kShort, 0}, {TypeCode::kLong, 0}});

  void Add(std::string_view text, int16_t icon = 0, int32_t level = 0) {
    std::memset(record, ' ', 20);
    std::memcpy(record, text.data(), std::min<size_t>(text.size(), 20));
    std::memcpy(record + 20, &icon, 2);
    std::memcpy(record + 22, &level, 4);
    QueueAdd(&queue);
  }
  ~Rows() { QueueFree(&queue); }
};

std::vector<SeenEvent> Without(std::vector<SeenEvent> events, int event) {
  std::erase_if(events, [event](const SeenEvent& e) { return e.event == event; });
  return events;
}

class UiDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartEventRuntime());
    SetFatalHandler([this](int code, const std::string&) { fatals.push_back(code); });
  }
  void TearDown() override { SetFatalHandler(nullptr); }

  // Opens the window and runs it past its opening.
  void Open(const WindowDefinition& d = EveryKind()) {
    ASSERT_TRUE(w.Open(d));
    ui = std::make_unique<UiDriver>(w);
    std::vector<SeenEvent> first = ui->Run();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0].event, EVENT::OpenWindow);
  }

  // A window of two masked entries (a phone number into a LONG, a code into a 6-byte STRING)
  // and a button; both values are bound and blank, and the entries' widgets are handed back.
  void OpenMasked(int32_t& phone, char (&code)[6], QLineEdit*& phoneEdit, QLineEdit*& codeEdit) {
    WindowDefinition d;
    d.controls = {Entry("@P###-####P"), Entry("@K^@@-##K"), Button("OK")};
    Open(d);
    phone = 0;
    std::memcpy(code, "      ", 6);
    ASSERT_TRUE(w.Bind(1, ValueRef::Make(TypeCode::kLong, &phone)));
    ASSERT_TRUE(w.Bind(2, ValueRef::Make(TypeCode::kString, code, 6)));
    phoneEdit = qobject_cast<QLineEdit*>(ControlWidget(w, 1));
    codeEdit = qobject_cast<QLineEdit*>(ControlWidget(w, 2));
  }

  std::vector<int> fatals;
  Window w;
  std::unique_ptr<UiDriver> ui;
};

TEST(WindowDefinitionTest, MenusItemsToolbarsAndButtonsAreNumberedSeparatorsAreNot) {
  WindowDefinition d = EveryKind();
  std::vector<NumberedControl> n = NumberControls(d);
  ASSERT_EQ(n.size(), 30u);
  for (size_t i = 0; i < n.size(); ++i) EXPECT_EQ(n[i].number, static_cast<int>(i) + 1);
  auto text = [&](int number) { return n[static_cast<size_t>(number - 1)].control->text; };
  EXPECT_EQ(text(1), "&File");
  EXPECT_EQ(text(6), "Close");
  EXPECT_EQ(text(7), "Info");  // after the separator
  EXPECT_EQ(text(8), "&Play list");
  EXPECT_EQ(text(10), "Increase ");
  EXPECT_EQ(text(14), "F&avorites");
  EXPECT_EQ(text(16), "Add play list");
  EXPECT_EQ(n[kToolbar - 1].control->kind, ControlKind::kToolbar);
  EXPECT_EQ(text(kOpenButton), "Open");
  EXPECT_EQ(text(kCloseAllButton), "Close all");
  EXPECT_EQ(n[kCloseAllButton - 1].parent, kToolbar);
  EXPECT_EQ(n[kInfoItem - 1].parent, 1);
  EXPECT_EQ(n[kList - 1].control->kind, ControlKind::kList);
  EXPECT_EQ(n[kTree - 1].parent, 0);
}

TEST(WindowDefinitionTest, AcceleratorsAndRegistryByNameWithoutCase) {
  EXPECT_EQ(StripAccelerator("E&xpand All"), "Expand All");
  EXPECT_EQ(StripAccelerator("Save && go&"), "Save & go");
  EXPECT_EQ(AcceleratorOf("Co&ntract All"), 'N');
  EXPECT_EQ(AcceleratorOf("A && B"), 0);
  WindowDefinition d = EveryKind();
  RegisterWindowDefinition(d);
  d.caption = "replaced";
  RegisterWindowDefinition(d);
  const WindowDefinition* found = FindWindowDefinition("TEST$every", "p1$window");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->caption, "replaced");
  EXPECT_EQ(FindWindowDefinition("test$EVERY", "P1$QUICKWINDOW"), nullptr);
}

TEST_F(UiDriverTest, EveryControlOpensWithItsNumberKindTextAndTip) {
  Open();
  EXPECT_EQ(w.ControlCount(), 30);
  EXPECT_EQ(w.KindOf(1), ControlKind::kMenu);
  EXPECT_EQ(w.KindOf(kOpenItem), ControlKind::kItem);
  EXPECT_EQ(w.KindOf(kToolbar), ControlKind::kToolbar);
  EXPECT_EQ(w.KindOf(kOpenButton), ControlKind::kButton);
  EXPECT_EQ(w.KindOf(23), ControlKind::kPrompt);
  EXPECT_EQ(w.KindOf(kEntry), ControlKind::kEntry);
  EXPECT_EQ(w.KindOf(kString), ControlKind::kString);
  EXPECT_EQ(w.KindOf(kImage), ControlKind::kImage);
  EXPECT_EQ(w.KindOf(kTree), ControlKind::kList);
  EXPECT_FALSE(w.KindOf(31).has_value());
  EXPECT_EQ(w.FindControl(ControlKind::kItem, "Add play list"), kAddItem);
  EXPECT_EQ(w.FindControl(ControlKind::kButton, "Back"), kBack);
  EXPECT_EQ(w.Property(PROP::Text), "Cinevo +");
  EXPECT_EQ(w.Property(PROP::Text, kInfoItem), "Info");
  EXPECT_EQ(w.Property(PROP::Tip, kOpenButton), "Open (or drop) and play movie-s");
  EXPECT_EQ(w.Property(PROP::Tip, kList), "Right click for options");
  EXPECT_EQ(w.Property(PROP::Text, kString), "Cinevo +  v1.01");
  EXPECT_EQ(w.PropertyLong(PROP::Handle), w.Handle());
  EXPECT_EQ(w.PropertyLong(PROP::Visible, kBack), 1);
  EXPECT_EQ(w.PropertyLong(PROP::AcceptAll), 0);
  EXPECT_TRUE(fatals.empty());
}

TEST_F(UiDriverTest, MenuItemsToolbarButtonsAndPushButtonsRaiseAcceptedWithTheirNumbers) {
  Open();
  ASSERT_TRUE(ui->ChooseMenu(kOpenItem));
  ASSERT_TRUE(ui->ChooseMenu(kAddItem));
  ASSERT_TRUE(ui->Click(kOpenButton));
  ASSERT_TRUE(ui->Click(kCloseAllButton));
  ASSERT_TRUE(ui->Click(kBack));
  std::vector<SeenEvent> e = Without(ui->Run(), EVENT::Selected);  // the push button takes the focus
  std::vector<int> accepted;
  for (const SeenEvent& s : e) {
    EXPECT_EQ(s.event, EVENT::Accepted) << Describe(e);
    accepted.push_back(s.control);
  }
  EXPECT_EQ(accepted, (std::vector<int>{kOpenItem, kAddItem, kOpenButton, kCloseAllButton, kBack}));
  EXPECT_FALSE(ui->ChooseMenu(1)) << "a menu is no item to choose";
  EXPECT_FALSE(ui->ChooseMenu(kEntry));
}

TEST_F(UiDriverTest, DisabledOrHiddenControlsCannotBeUsed) {
  Open();
  ASSERT_TRUE(w.SetProperty(PROP::Disable, 1, kBack));
  ASSERT_TRUE(w.SetProperty(PROP::Disable, 1, kOpenItem));
  ASSERT_TRUE(w.SetProperty(PROP::Visible, 0, kOpenButton));
  EXPECT_EQ(w.PropertyLong(PROP::Disable, kBack), 1);
  EXPECT_EQ(w.PropertyLong(PROP::Visible, kOpenButton), 0);
  EXPECT_FALSE(ui->Click(kBack));
  EXPECT_FALSE(ui->ChooseMenu(kOpenItem));
  EXPECT_FALSE(ui->Click(kOpenButton));
  EXPECT_TRUE(ui->Run().empty());
  ASSERT_TRUE(w.SetProperty(PROP::Disable, 0, kBack));
  EXPECT_TRUE(ui->Click(kBack));
  EXPECT_EQ(Without(ui->Run(), EVENT::Selected), (std::vector<SeenEvent>{{EVENT::Accepted, kBack, 0, ""}}));
}

TEST_F(UiDriverTest, AnEntryShowsItsVariableThroughThePictureAndStoresWhatIsTyped) {
  WindowDefinition d;
  d.controls = {Prompt("Group"), Entry("@s8"), Entry("@n3"), Entry("@d1"), Button("OK")};
  Open(d);
  char group[8];
  std::memcpy(group, "Old     ", 8);
  int32_t count = 7;
  int32_t date = 0;
  ASSERT_TRUE(w.Bind(2, ValueRef::Make(TypeCode::kString, group, 8)));
  ASSERT_TRUE(w.Bind(3, ValueRef::Make(TypeCode::kLong, &count)));
  ASSERT_TRUE(w.Bind(4, ValueRef::Make(TypeCode::kLong, &date)));  // a standard date
  EXPECT_EQ(w.Property(PROP::Text, 2), "Old     ");

  ASSERT_TRUE(ui->Type(2, "Comedies"));
  ASSERT_TRUE(ui->Type(3, "42"));
  ASSERT_TRUE(ui->Type(4, "7/15/98"));
  std::vector<SeenEvent> e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::Accepted, 2, 0x0D, ""},
                                       {EVENT::Accepted, 3, 0x0D, ""},
                                       {EVENT::Accepted, 4, 0x0D, ""}}))
      << Describe(e);
  EXPECT_EQ(std::string(group, 8), "Comedies");
  EXPECT_EQ(count, 42);
  EXPECT_EQ(date, Deformat(CompilePicture("@d1"), "7/15/98").number);
  EXPECT_GT(date, 0);
  EXPECT_EQ(w.Property(PROP::Text, 4), std::to_string(date));

  // A text the picture cannot read is rejected and the variable keeps its value.
  ASSERT_TRUE(ui->Type(4, "99/99/99"));
  e = ui->Run();
  ASSERT_EQ(e.size(), 1u) << Describe(e);
  EXPECT_EQ(e[0].event, EVENT::Rejected);
  EXPECT_GT(date, 0);

  // The program changes the variable; the entry shows it after the event.
  count = 5;
  ASSERT_TRUE(w.Post(EVENT::Notify));
  ui->Run();
  EXPECT_EQ(w.Property(PROP::Text, 3), "5");
  EXPECT_EQ(qobject_cast<QLineEdit*>(ControlWidget(w, 3))->text().trimmed(), "5");
}

TEST_F(UiDriverTest, AnEntrysOwnAlertKeyTakesWhatWasTypedFirst) {
  WindowDefinition d;
  d.controls = {Entry("@s8"), Entry("@d1")};
  Open(d);
  char text[8];
  std::memcpy(text, "Old     ", 8);
  int32_t date = 0;
  ASSERT_TRUE(w.Bind(1, ValueRef::Make(TypeCode::kString, text, 8)));
  ASSERT_TRUE(w.Bind(2, ValueRef::Make(TypeCode::kLong, &date)));
  ASSERT_TRUE(w.SetProperty(PROP::Alert, 0x28, 1, 1));
  ASSERT_TRUE(w.SetProperty(PROP::Alert, 0x28, 2, 1));
  ASSERT_TRUE(ui->Type(1, "New", false));
  ui->Run();  // the entry taking the focus
  ASSERT_TRUE(ui->PressKey(1, 0x28));
  std::vector<SeenEvent> e = ui->Run();
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::Accepted, 1, 0x28, ""}, {EVENT::AlertKey, 1, 0x28, ""}}))
      << Describe(e);
  EXPECT_EQ(std::string(text, 8), "New     ");
  // What the picture cannot read is rejected, and the key does nothing else.
  ASSERT_TRUE(ui->Type(2, "99/99/99", false));
  ui->Run();
  ASSERT_TRUE(ui->PressKey(2, 0x28));
  e = ui->Run();
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::Rejected, 2, 0x28, ""}})) << Describe(e);
  EXPECT_EQ(date, 0);
}

TEST_F(UiDriverTest, AMaskedEntryChecksEachKeystrokeAsItIsTyped) {
  int32_t phone = 0;
  char code[6];
  QLineEdit *phoneEdit = nullptr, *codeEdit = nullptr;
  ASSERT_NO_FATAL_FAILURE(OpenMasked(phone, code, phoneEdit, codeEdit));
  // An empty value shows the mask's literals with blanks to type into.
  EXPECT_EQ(phoneEdit->text(), "   -    ");
  EXPECT_EQ(codeEdit->text(), "   -  ");

  // A first click into the blank tail puts the cursor at the start, and it stays there when the
  // window redisplays its controls after the click's Selected.
  QTest::mouseClick(phoneEdit, Qt::LeftButton, {}, QPoint(phoneEdit->width() - 4, phoneEdit->height() / 2));
  Without(ui->Run(), EVENT::Selected);
  QTest::keyClick(phoneEdit, Qt::Key_5);
  EXPECT_EQ(phoneEdit->text(), "5  -    ");
  // Letters are refused in digit positions as they are typed, literals are stepped over.
  ASSERT_TRUE(ui->Type(1, "55x5-12a345", false));
  EXPECT_EQ(phoneEdit->text(), "555-1234");
  EXPECT_EQ(phoneEdit->cursorPosition(), 8);
  QTest::keyClick(phoneEdit, Qt::Key_Return);
  std::vector<SeenEvent> e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::Accepted, 1, 0x0D, ""}})) << Describe(e);
  EXPECT_EQ(phone, 5551234);
  // A shorter number is right-aligned in the mask, as the picture shows it.
  ASSERT_TRUE(ui->Type(1, "12"));
  Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(phone, 12);
  EXPECT_EQ(phoneEdit->text(), "000-0012");

  // "^" shows upper case; a digit is refused where a letter goes and the cursor stays.
  ASSERT_TRUE(ui->Type(2, "m1ov", false));
  EXPECT_EQ(codeEdit->text(), "Mov-  ");
  EXPECT_EQ(codeEdit->cursorPosition(), 4);
  QTest::keyClicks(codeEdit, "4a2");
  EXPECT_EQ(codeEdit->text(), "Mov-42");
  // Backspace blanks the position before the cursor and leaves the literal alone.
  QTest::keyClick(codeEdit, Qt::Key_Backspace);
  QTest::keyClick(codeEdit, Qt::Key_Backspace);
  QTest::keyClick(codeEdit, Qt::Key_Backspace);
  EXPECT_EQ(codeEdit->text(), "Mo -  ");
  EXPECT_EQ(codeEdit->cursorPosition(), 2);
  // A click into the blank tail puts the cursor where the typing stopped.
  QTest::mouseClick(codeEdit, Qt::LeftButton, {}, QPoint(codeEdit->width() - 4, codeEdit->height() / 2));
  EXPECT_EQ(codeEdit->cursorPosition(), 2);
  // Leaving it with required positions blank is rejected; filled, it is accepted.
  QTest::keyClick(codeEdit, Qt::Key_Return);
  e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::Rejected, 2, 0x0D, ""}})) << Describe(e);
  EXPECT_EQ(std::string(code, 6), "      ");
  QTest::keyClicks(codeEdit, "x07");
  QTest::keyClick(codeEdit, Qt::Key_Return);
  e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::Accepted, 2, 0x0D, ""}})) << Describe(e);
  EXPECT_EQ(std::string(code, 6), "Mox07 ");
  EXPECT_EQ(codeEdit->text(), "Mox-07");
}

// Chooses an item ("Paste", "Cut", "Delete") of the entry's context menu.
void TriggerMenuAction(QLineEdit* edit, const QString& name) {
  std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
  for (QAction* a : menu->actions()) {
    if (a->text().remove('&').section('\t', 0, 0) == name) {
      ASSERT_TRUE(a->isEnabled()) << name.toStdString();
      a->trigger();
      return;
    }
  }
  FAIL() << "no " << name.toStdString() << " in the context menu";
}

// Text that arrives other than by keystrokes goes through the mask at once, as if typed there.
TEST_F(UiDriverTest, PastedCutAndInputMethodTextGoesThroughTheMaskAtOnce) {
  int32_t phone = 0;
  char code[6];
  QLineEdit *phoneEdit = nullptr, *codeEdit = nullptr;
  ASSERT_NO_FATAL_FAILURE(OpenMasked(phone, code, phoneEdit, codeEdit));
  phoneEdit->setFocus(Qt::OtherFocusReason);
  Without(ui->Run(), EVENT::Selected);

  // The context menu's Paste: the letter and what overflows the mask are left out.
  QApplication::clipboard()->setText("555-12x34 99");
  phoneEdit->setCursorPosition(0);
  TriggerMenuAction(phoneEdit, "Paste");
  EXPECT_EQ(phoneEdit->text(), "555-1234");
  EXPECT_EQ(phoneEdit->cursorPosition(), 8);
  // Its Delete blanks the value positions of the selection and keeps the literal.
  phoneEdit->setSelection(2, 4);
  TriggerMenuAction(phoneEdit, "Delete");
  EXPECT_EQ(phoneEdit->text(), "55 -  34");
  EXPECT_EQ(phoneEdit->cursorPosition(), 2);
  // The keyboard's paste over a selection; what was pasted counts when the entry is left.
  QApplication::clipboard()->setText("5-12");
  phoneEdit->setSelection(2, 4);
  QTest::keyClick(phoneEdit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(phoneEdit->text(), "555-1234");
  QTest::keyClick(phoneEdit, Qt::Key_Return);
  std::vector<SeenEvent> e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::Accepted, 1, 0x0D, ""}})) << Describe(e);
  EXPECT_EQ(phone, 5551234);

  // An input method's commit: "^" makes upper case, the digit does not suit a letter position.
  codeEdit->setFocus(Qt::OtherFocusReason);
  Without(ui->Run(), EVENT::Selected);
  codeEdit->setCursorPosition(0);
  QInputMethodEvent commit;
  commit.setCommitString("ab1x");
  QCoreApplication::sendEvent(codeEdit, &commit);
  EXPECT_EQ(codeEdit->text(), "Abx-  ");
  EXPECT_EQ(codeEdit->cursorPosition(), 4);
  QInputMethodEvent digits;
  digits.setCommitString("9");
  QCoreApplication::sendEvent(codeEdit, &digits);
  EXPECT_EQ(codeEdit->text(), "Abx-9 ");
  // Cut takes the selection to the clipboard and blanks its value positions.
  codeEdit->setSelection(1, 4);
  TriggerMenuAction(codeEdit, "Cut");
  EXPECT_EQ(QApplication::clipboard()->text(), "bx-9");
  EXPECT_EQ(codeEdit->text(), "A  -  ");
  // Left unfilled, the entry is rejected as a typed one would be.
  QTest::keyClick(codeEdit, Qt::Key_Return);
  e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::Rejected, 2, 0x0D, ""}})) << Describe(e);
  EXPECT_EQ(std::string(code, 6), "      ");
}

TEST_F(UiDriverTest, AStringShowsItsTextThroughItsPicture) {
  WindowDefinition d;
  d.controls = {String("first", "@s4"), String("plain")};
  Open(d);
  auto shown = [&](int n) { return qobject_cast<QLabel*>(ControlWidget(w, n))->text().toStdString(); };
  EXPECT_EQ(shown(1), "firs");
  EXPECT_EQ(shown(2), "plain");
  ASSERT_TRUE(w.SetProperty(PROP::Text, "Dropped here", 1));
  EXPECT_EQ(w.Property(PROP::Text, 1), "Dropped here");
  EXPECT_EQ(shown(1), "Drop");
  int32_t n = 12;
  ASSERT_TRUE(w.Bind(2, ValueRef::Make(TypeCode::kLong, &n)));
  EXPECT_EQ(shown(2), "12");
  EXPECT_FALSE(w.Bind(1 + 5, ValueRef::Make(TypeCode::kLong, &n)));
}

TEST_F(UiDriverTest, ListRowsRaiseNewSelectionAcceptedAndAlertKeysWithTheirKeyCodes) {
  Open();
  Rows rows;
  for (int i = 1; i <= 30; ++i) rows.Add("movie " + std::to_string(i), static_cast<int16_t>(i % 4 + 1));
  ASSERT_TRUE(w.BindQueue(kList, &rows.queue, rows.fields));

  ASSERT_TRUE(ui->SelectRow(kList, 3));
  EXPECT_EQ(Without(ui->Run(), EVENT::Selected),
            (std::vector<SeenEvent>{{EVENT::NewSelection, kList, 1, ""}}));
  EXPECT_EQ(w.PropertyLong(PROP::Selected, kList), 3);
  EXPECT_EQ(w.PropertyLong(PROP::Selection, kList), 3);

  ASSERT_TRUE(ui->RightClickRow(kList, 5));
  EXPECT_EQ(ui->Run(), (std::vector<SeenEvent>{{EVENT::NewSelection, kList, 2, ""},
                                               {EVENT::Accepted, kList, 2, ""}}));
  EXPECT_EQ(w.PropertyLong(PROP::Selected, kList), 5);

  ASSERT_TRUE(ui->DoubleClickRow(kList, 5));
  EXPECT_EQ(ui->Run(), (std::vector<SeenEvent>{{EVENT::Accepted, kList, 5, ""}}));

  // As alert keys, the double click and Insert become EVENT::AlertKey.
  ASSERT_TRUE(w.SetProperty(PROP::Alert, 5, kList, 252));
  ASSERT_TRUE(w.SetProperty(PROP::Alert, 0x2D, kList, 255));
  EXPECT_EQ(w.PropertyLong(PROP::Alert, kList, 252), 5);
  ASSERT_TRUE(ui->DoubleClickRow(kList, 5));
  ASSERT_TRUE(ui->PressKey(kList, 0x2D));
  EXPECT_EQ(ui->Run(), (std::vector<SeenEvent>{{EVENT::AlertKey, kList, 5, ""},
                                               {EVENT::AlertKey, kList, 0x2D, ""}}));

  // Keys that move the row raise the scroll event first.
  ASSERT_TRUE(ui->PressKey(kList, 0x28));  // Down
  ASSERT_TRUE(ui->PressKey(kList, 0x26));  // Up
  ASSERT_TRUE(ui->PressKey(kList, 0x0D));  // Enter
  std::vector<SeenEvent> e = ui->Run();
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::ScrollDown, kList, 0x28, ""},
                                       {EVENT::NewSelection, kList, 0x28, ""},
                                       {EVENT::ScrollUp, kList, 0x26, ""},
                                       {EVENT::NewSelection, kList, 0x26, ""},
                                       {EVENT::Accepted, kList, 0x0D, ""}}))
      << Describe(e);
  ASSERT_TRUE(ui->PressKey(kList, 0x22));  // PgDn
  ASSERT_TRUE(ui->PressKey(kList, 0x223)); // Ctrl+End
  ASSERT_TRUE(ui->PressKey(kList, 0x224)); // Ctrl+Home
  std::vector<int> events;
  for (const SeenEvent& s : ui->Run()) events.push_back(s.event);
  EXPECT_EQ(events, (std::vector<int>{EVENT::PageDown, EVENT::NewSelection, EVENT::ScrollBottom,
                                      EVENT::NewSelection, EVENT::ScrollTop, EVENT::NewSelection}));
  EXPECT_EQ(w.PropertyLong(PROP::Selected, kList), 1);
  EXPECT_GT(w.PropertyLong(PROP::Items, kList), 0);
}

TEST_F(UiDriverTest, SelectedFollowsTheFocusAfterTheLeftEntrysAcceptedAndBeforeTheListsEvents) {
  WindowDefinition d;
  d.controls = {Entry("@s8"), Entry("@s8"), List("80L@s20@"), Button("OK")};
  Open(d);
  Rows rows;
  for (int i = 1; i <= 5; ++i) rows.Add("row " + std::to_string(i));
  ASSERT_TRUE(w.BindQueue(3, &rows.queue, rows.fields));
  w.Select(1);
  ui->Run();
  ASSERT_EQ(w.FocusedControl(), 1);

  // Leaving a changed entry by a click on the list: the entry is accepted first, then the list
  // is selected, then its row changes.
  ASSERT_TRUE(ui->Type(1, "typed", false));
  ASSERT_TRUE(ui->SelectRow(3, 2));
  std::vector<SeenEvent> e = ui->Run();
  std::vector<std::pair<int, int>> seen;
  for (const SeenEvent& s : e) seen.emplace_back(s.event, s.control);
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{
                      {EVENT::Accepted, 1}, {EVENT::Selected, 3}, {EVENT::NewSelection, 3}}))
      << Describe(e);

  // A second click on the list selects nothing new; a button takes the focus before its click.
  ASSERT_TRUE(ui->SelectRow(3, 4));
  ASSERT_TRUE(ui->Click(4));
  seen.clear();
  for (const SeenEvent& s : ui->Run()) seen.emplace_back(s.event, s.control);
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{
                      {EVENT::NewSelection, 3}, {EVENT::Selected, 4}, {EVENT::Accepted, 4}}));

  // The program's Select and the Tab key move the focus too; selecting the control that has
  // the focus raises nothing.
  w.Select(2);
  w.Select(2);
  ASSERT_TRUE(ui->PressKey(2, 0x09));
  seen.clear();
  for (const SeenEvent& s : ui->Run()) seen.emplace_back(s.event, s.control);
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{EVENT::Selected, 2}, {EVENT::Selected, 3}}));
  EXPECT_EQ(w.FocusedControl(), 3);

  // Selected is a field event: the loop reports its control.
  w.Select(1);
  int field = -1;
  ui->Run([&] {
    if (w.Event() == EVENT::Selected) field = w.Field();
  });
  EXPECT_EQ(field, 1);
}

TEST_F(UiDriverTest, TheListReadsTheQueueOnDemandAndFollowsItsChanges) {
  Open();
  Rows rows;
  rows.Add("/films/a.avi", 1);
  rows.Add("/films/b.mov", 3);
  ASSERT_TRUE(w.BindQueue(kList, &rows.queue, rows.fields));
  ASSERT_TRUE(w.SetProperty(PROP::IconList, "~1f1.ico", kList, 1));
  ASSERT_TRUE(w.SetProperty(PROP::IconList, "~1f3.ico", kList, 3));
  EXPECT_EQ(w.Property(PROP::IconList, kList, 3), "~1f3.ico");
  QueueListView* list = ListOf(w, kList);
  ASSERT_NE(list, nullptr);
  QueueListModel* model = list->model();
  EXPECT_EQ(model->rowCount(), 2);
  EXPECT_EQ(model->Text(1, 0), "/films/b.mov");
  EXPECT_FALSE(model->Icon(0, 0).isNull());
  EXPECT_TRUE(model->Icon(1, 0).isNull() == false);

  // The program adds a row and changes one while handling an event; the list follows.
  ASSERT_TRUE(w.Post(EVENT::Notify));
  ui->Run([&] {
    rows.Add("/films/c.mpg", 9);  // beyond the icon list: no icon
    QueueGetAt(&rows.queue, 1);
    std::memcpy(rows.record, "/films/z.avi", 12);
    QueuePutAt(&rows.queue, 1);
  });
  EXPECT_EQ(model->rowCount(), 3);
  EXPECT_EQ(model->Text(0, 0), "/films/z.avi");
  EXPECT_TRUE(model->Icon(2, 0).isNull());
  ASSERT_TRUE(w.SetProperty(PROP::Selected, 3, kList));
  EXPECT_EQ(w.PropertyLong(PROP::Selected, kList), 3);
  ASSERT_TRUE(w.SetProperty(PROP::Selected, 99, kList));
  EXPECT_EQ(w.PropertyLong(PROP::Selected, kList), 3) << "a row beyond the last selects the last";
}

TEST_F(UiDriverTest, TypingOnAListRaisesLocateAndMovesToTheFirstRowItsLocatorColumnBegins) {
  WindowDefinition d;
  // The locator is the second column, over field 1; the first shows field 2.
  d.controls = {List("30R#2#80L#1#?@s20@"), List("80L@s20@"), List("80L?@s20@")};
  Open(d);
  Rows rows;
  for (const char* t : {"Alpha", "Beta", "  bravo", "Bristol", "Charlie", "\xC4\x8C""akovec"}) rows.Add(t);
  for (int list : {1, 2, 3}) ASSERT_TRUE(w.BindQueue(list, &rows.queue, rows.fields));
  QApplication::setKeyboardInputInterval(400);
  ASSERT_TRUE(ui->Type(1, "b", false));
  std::vector<SeenEvent> e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::Locate, 1, 'B', ""}, {EVENT::NewSelection, 1, 'B', ""}}))
      << Describe(e);
  EXPECT_EQ(w.PropertyLong(PROP::Selected, 1), 2);
  // Keys in quick succession add up (case and the cell's leading blanks ignored).
  ASSERT_TRUE(ui->Type(1, "RI", false));
  e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::Locate, 1, 'R', ""}, {EVENT::NewSelection, 1, 'R', ""},
                                       {EVENT::Locate, 1, 'I', ""}, {EVENT::NewSelection, 1, 'I', ""}}))
      << Describe(e);
  EXPECT_EQ(w.PropertyLong(PROP::Selected, 1), 4) << "\"br\" finds row 3, \"bri\" row 4";
  EXPECT_EQ(ListOf(w, 1)->LocatorText(), "bRI");
  // Nothing begins with "briz": the highlight stays.
  ASSERT_TRUE(ui->Type(1, "z", false));
  e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::Locate, 1, 'Z', ""}})) << Describe(e);
  EXPECT_EQ(w.PropertyLong(PROP::Selected, 1), 4);
  // After a pause the text starts afresh.
  QApplication::setKeyboardInputInterval(20);
  QTest::qWait(60);
  ASSERT_TRUE(ui->Type(1, "a", false));
  e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e.size(), 2u) << Describe(e);
  EXPECT_EQ(w.PropertyLong(PROP::Selected, 1), 1);
  EXPECT_EQ(ListOf(w, 1)->LocatorText(), "a");
  // Beyond ASCII the case is ignored too ("č" finds "Čakovec").
  QTest::qWait(60);
  QKeyEvent small(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(0x10D)));
  QCoreApplication::sendEvent(ListOf(w, 1), &small);
  EXPECT_EQ(w.PropertyLong(PROP::Selected, 1), 6);
  Without(ui->Run(), EVENT::Selected);
  QApplication::setKeyboardInputInterval(400);

  // A list without a locator column takes no typing.
  ASSERT_TRUE(ui->Type(2, "c", false));
  EXPECT_EQ(Without(ui->Run(), EVENT::Selected), std::vector<SeenEvent>{});
  // A letter that is an alert key of the list (a browse's step locator) is only that.
  ASSERT_TRUE(w.SetProperty(PROP::Alert, 'C', 3, 1));
  ASSERT_TRUE(ui->Type(3, "c", false));
  e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::AlertKey, 3, 'C', ""}})) << Describe(e);
  EXPECT_EQ(w.PropertyLong(PROP::Selected, 3), 1);
  // A paged list leaves the locating to the program.
  ASSERT_TRUE(w.SetProperty(PROP::Paged, 1, 3));
  ASSERT_TRUE(ui->Type(3, "b", false));
  e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::Locate, 3, 'B', ""}})) << Describe(e);
  EXPECT_EQ(w.PropertyLong(PROP::Selected, 3), 1);
}

// Over a long list the search goes on between turns of the event loop; a text that nothing
// begins with is given up at once when more is typed, and a key of another kind ends the search.
TEST_F(UiDriverTest, TypingOnALongListSearchesBetweenTurnsAndNeverTwicePastTheEnd) {
  WindowDefinition d;
  d.controls = {List("80L?@s20@")};
  Open(d);
  Rows rows;
  const int n = 2 * QueueListView::kLocateTurnRows + 5;
  for (int i = 1; i < n; ++i) rows.Add(i % 2 ? "Alpha" : "  beta");
  rows.Add("Zulu");
  ASSERT_TRUE(w.BindQueue(1, &rows.queue, rows.fields));
  QueueListView* v = ListOf(w, 1);
  QApplication::setKeyboardInputInterval(400);
  ASSERT_TRUE(ui->Type(1, "z", false));
  EXPECT_TRUE(v->LocatePending()) << "one turn looks at no more than its share of the rows";
  EXPECT_EQ(w.PropertyLong(PROP::Selected, 1), 1);
  while (v->LocatePending()) QCoreApplication::processEvents();
  std::vector<SeenEvent> e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::Locate, 1, 'Z', ""}, {EVENT::NewSelection, 1, 'Z', ""}}))
      << Describe(e);
  EXPECT_EQ(w.PropertyLong(PROP::Selected, 1), n);
  // "zx" is looked for from the last row on; "zxy" after it looks at nothing.
  ASSERT_TRUE(ui->Type(1, "x", false));
  EXPECT_FALSE(v->LocatePending());
  ASSERT_TRUE(ui->Type(1, "y", false));
  EXPECT_FALSE(v->LocatePending());
  EXPECT_EQ(w.PropertyLong(PROP::Selected, 1), n);
  Without(ui->Run(), EVENT::Selected);

  // Afresh: "q" is in no row; a cursor key while it is looked for ends the search.
  QApplication::setKeyboardInputInterval(20);
  QTest::qWait(60);
  ASSERT_TRUE(ui->Type(1, "q", false));
  ASSERT_TRUE(v->LocatePending());
  QTest::keyClick(v, Qt::Key_Up);
  EXPECT_FALSE(v->LocatePending());
  e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::Locate, 1, 'Q', ""}, {EVENT::ScrollUp, 1, 0x26, ""},
                                       {EVENT::NewSelection, 1, 0x26, ""}}))
      << Describe(e);
  EXPECT_EQ(w.PropertyLong(PROP::Selected, 1), n - 1);
  // Blanks before a cell's text do not count; the second row is the first "b".
  QTest::qWait(60);
  ASSERT_TRUE(ui->Type(1, "B", false));
  EXPECT_EQ(w.PropertyLong(PROP::Selected, 1), 2);
  QApplication::setKeyboardInputInterval(400);
}

TEST_F(UiDriverTest, AResizableColumnIsDraggedByItsEdgeAndTheColumnsAfterItMove) {
  WindowDefinition d;
  d.controls = {List("60L~Title~M@s20@40R~Icon~#2#60L~Level~#3#"), List("60LM@s20@40R#2#"),
                List("[60LM/40L]50L#2#")};
  d.width = 400;
  d.height = 300;
  Open(d);
  Rows rows;
  rows.Add("Alpha", 1, 1);
  for (int list : {1, 2, 3}) ASSERT_TRUE(w.BindQueue(list, &rows.queue, rows.fields));
  QueueListView* v = ListOf(w, 1);
  const ListLayout before = v->Layout();
  const int edge = before.columns[0].right;
  // The header strip sits over the rows; the drag starts on the column's edge there.
  QWidget* header = v->childAt(v->viewport()->geometry().left() + edge, v->viewport()->geometry().top() - 4);
  ASSERT_NE(header, nullptr);
  ASSERT_NE(header, v->viewport());
  const int y = header->height() / 2;
  QTest::mousePress(header, Qt::LeftButton, {}, QPoint(edge, y));
  QTest::mouseMove(header, QPoint(edge + 30, y));
  QTest::mouseRelease(header, Qt::LeftButton, {}, QPoint(edge + 30, y));
  std::vector<SeenEvent> e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::ColumnResize, 1, 0, ""}})) << Describe(e);
  const ListLayout& after = v->Layout();
  EXPECT_EQ(after.columns[0].right, edge + 30);
  EXPECT_EQ(after.columns[1].left, after.columns[0].right) << "the next column moves with the edge";
  EXPECT_EQ(after.columns[1].right - after.columns[1].left, before.columns[1].right - before.columns[1].left);
  EXPECT_EQ(after.columns[2].left, before.columns[2].left + 30);
  EXPECT_EQ(after.totalWidth, before.totalWidth + 30);
  // Only "M" columns have an edge to drag; none is narrower than the least width.
  EXPECT_EQ(v->ColumnEdgeAt(after.columns[1].right), -1);
  EXPECT_FALSE(v->ResizeColumn(1, 100));
  EXPECT_TRUE(v->ResizeColumn(0, -20));
  EXPECT_EQ(after.columns[0].right - after.columns[0].left, QueueListView::kMinColumnWidth);

  // Without headers the edge is taken in the rows, and the press selects nothing.
  QueueListView* plain = ListOf(w, 2);
  const int plainEdge = plain->Layout().columns[0].right;
  const QPoint at(plainEdge, plain->RowRect(1).center().y());
  QTest::mousePress(plain->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseMove(plain->viewport(), at - QPoint(20, 0));
  QTest::mouseRelease(plain->viewport(), Qt::LeftButton, {}, at - QPoint(20, 0));
  e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::ColumnResize, 2, 0, ""}})) << Describe(e);
  EXPECT_EQ(plain->Layout().columns[0].right, plainEdge - 20);
  EXPECT_EQ(plain->Layout().columns[1].left, plainEdge - 20);

  // Inside a group the group grows with its widest line and what follows it moves.
  QueueListView* grouped = ListOf(w, 3);
  const ListLayout g0 = grouped->Layout();
  ASSERT_TRUE(grouped->ResizeColumn(0, g0.columns[0].right - g0.columns[0].left + 10));
  const ListLayout& g1 = grouped->Layout();
  EXPECT_EQ(g1.groups[0].right, g0.groups[0].right + 10);
  EXPECT_EQ(g1.columns[1].right, g0.columns[1].right) << "the second line keeps its place";
  EXPECT_EQ(g1.columns[2].left, g0.columns[2].left + 10);
}

// Pixels of row 2 (never highlighted here) in a horizontal stretch of the list that are not the
// list's background.
int InkIn(QueueListView* v, int from, int to) {
  const QImage image = v->viewport()->grab().toImage();
  const QRect row = v->RowRect(2);
  const QColor base = v->palette().color(QPalette::Base);
  int ink = 0;
  for (int x = std::max(0, from); x < std::min(to, image.width()); ++x) {
    for (int y = row.top(); y <= row.bottom(); ++y) ink += image.pixelColor(x, y) != base;
  }
  return ink;
}

// "S(n)": a column (or a group) scrolls its contents sideways on its own, by the bar under it.
TEST_F(UiDriverTest, AColumnWithSScrollsItsOwnContentsSideways) {
  WindowDefinition d;
  d.controls = {List("40L@s20@S(160)40L#1#@s20@"),
                List("[40L@s20@40L#1#@s20@](50)S(120)40L#1#@s20@")};
  d.width = 400;
  d.height = 300;
  Open(d);
  Rows rows;
  for (int i = 0; i < 3; ++i) rows.Add("WWWWWWWWWW");
  for (int list : {1, 2}) ASSERT_TRUE(w.BindQueue(list, &rows.queue, rows.fields));

  QueueListView* v = ListOf(w, 1);
  const ListColumn first = v->Layout().columns[0];
  const ListColumn second = v->Layout().columns[1];
  QScrollBar* bar = v->SideBar(0);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(v->SideBar(1), nullptr) << "a column without S scrolls with the list only";
  EXPECT_EQ(bar->width(), first.right - first.left) << "the bar is as wide as its column";
  EXPECT_EQ(bar->geometry().left(), v->viewport()->geometry().left() + first.left);
  EXPECT_GE(bar->geometry().top(), v->viewport()->geometry().bottom()) << "under the rows";
  EXPECT_EQ(bar->maximum(), first.scaled - (first.right - first.left));
  const int inkFirst = InkIn(v, first.left, first.right);
  const int inkSecond = InkIn(v, second.left, second.right);
  ASSERT_GT(inkFirst, 0);
  // Clicked to its end, the column shows the blank end of its 160 units; the other stays.
  ASSERT_TRUE(ui->ScrollColumn(1, 1, 10));
  EXPECT_EQ(v->SideShift(0), bar->maximum());
  EXPECT_EQ(InkIn(v, first.left, first.right), 0);
  EXPECT_EQ(InkIn(v, second.left, second.right), inkSecond);
  ASSERT_TRUE(ui->ScrollColumn(1, 1, -10));
  EXPECT_EQ(v->SideShift(0), 0);
  EXPECT_EQ(InkIn(v, first.left, first.right), inkFirst);
  EXPECT_FALSE(ui->ScrollColumn(1, 2, 1));
  // Shift with the wheel over the column scrolls it, not the rows.
  const QPoint over(first.left + 5, v->RowRect(2).center().y());
  QWheelEvent wheel(over, v->viewport()->mapToGlobal(over), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::ShiftModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(v->viewport(), &wheel);
  EXPECT_GT(v->SideShift(0), 0);
  EXPECT_EQ(v->TopRow(), 1);

  // A group's columns share one bar, under the group, and move inside the group's extent.
  QueueListView* g = ListOf(w, 2);
  const ListGroup group = g->Layout().groups[0];
  const ListColumn after = g->Layout().columns[2];
  ASSERT_NE(g->SideBar(0), nullptr);
  EXPECT_EQ(g->SideBar(0), g->SideBar(1));
  EXPECT_EQ(g->SideBar(2), nullptr);
  EXPECT_EQ(g->SideBar(0)->width(), group.right - group.left);
  const int inkAfter = InkIn(g, after.left, after.right);
  ASSERT_TRUE(ui->ScrollColumn(2, 2, 10));
  EXPECT_EQ(g->SideShift(0), group.scaled - (group.right - group.left));
  EXPECT_EQ(g->SideShift(1), g->SideShift(0));
  EXPECT_EQ(InkIn(g, after.left, after.right), inkAfter) << "nothing spills out of the group";
  EXPECT_GT(InkIn(g, group.left, group.right), 0) << "the second column came into sight";
  EXPECT_EQ(Without(ui->Run(), EVENT::Selected), std::vector<SeenEvent>{});
}

TEST_F(UiDriverTest, TreeBoxesAndArrowKeysRaiseExpandedAndContracted) {
  Open();
  Rows rows;
  rows.Add("...", 5, 0);
  rows.Add("Comedies", 6, 1);
  rows.Add("a.avi", 1, 2);
  rows.Add("Westerns", 5, -1);
  ASSERT_TRUE(w.BindQueue(kTree, &rows.queue, rows.fields));
  ASSERT_TRUE(ui->ClickExpander(kTree, 4));  // contracted: "+"
  ASSERT_TRUE(ui->ClickExpander(kTree, 2));  // expanded, its movie below: "-"
  EXPECT_FALSE(ui->ClickExpander(kTree, 3)) << "a leaf has no box";
  std::vector<SeenEvent> e = Without(ui->Run(), EVENT::Selected);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::Expanded, kTree, 1, ""},
                                       {EVENT::Contracted, kTree, 1, ""}}))
      << Describe(e);
  EXPECT_EQ(w.PropertyLong(PROP::Selected, kTree), 2);
  ASSERT_TRUE(ui->SelectRow(kTree, 4));
  ASSERT_TRUE(ui->PressKey(kTree, 0x27));  // Right on a contracted group
  e = Without(ui->Run(), EVENT::NewSelection);
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::Expanded, kTree, 0x27, ""}})) << Describe(e);

  // Ctrl+Right as an alert key of the tree comes as EVENT::AlertKey instead.
  ASSERT_TRUE(w.SetProperty(PROP::Alert, 0x227, kTree, 255));
  ASSERT_TRUE(ui->PressKey(kTree, 0x227));
  EXPECT_EQ(ui->Run(), (std::vector<SeenEvent>{{EVENT::AlertKey, kTree, 0x227, ""}}));
}

TEST_F(UiDriverTest, ADropOfThreeFilesIsOneDropEventWithAllThreeNames) {
  Open();
  ASSERT_TRUE(ui->DropFiles({"/films/one.avi", "/films/two.MPG", "/films/three.mov"}));
  std::vector<SeenEvent> e = ui->Run();
  ASSERT_EQ(e.size(), 1u) << Describe(e);
  EXPECT_EQ(e[0].event, EVENT::Drop);
  EXPECT_EQ(e[0].dropText, "/films/one.avi,/films/two.MPG,/films/three.mov");

  // No length limit: four hundred long names all arrive.
  std::vector<std::string> many;
  std::string expected;
  for (int i = 0; i < 400; ++i) {
    many.push_back("/a/rather/long/folder/name/for/movies/number_" + std::to_string(i) + ".avi");
    expected += (i ? "," : "") + many.back();
  }
  ASSERT_TRUE(ui->DropFiles(many));
  e = ui->Run([&] { EXPECT_EQ(w.DropText().size(), expected.size()); });
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].dropText, expected);
  EXPECT_TRUE(w.DropText().empty()) << "the drop text belongs to its event only";
}

TEST_F(UiDriverTest, AWindowThatTakesNoFilesGetsNoDrop) {
  WindowDefinition d;
  d.controls = {Button("OK")};
  Open(d);
  EXPECT_FALSE(ui->DropFiles({"/films/one.avi"}));
  EXPECT_TRUE(ui->Run().empty());
}

TEST_F(UiDriverTest, MessageBoxAnswersMapToTheirButtonValues) {
  Open();
  ui->AnswerMessageBox(box_button::kYes);
  ui->AnswerMessageBox(box_button::kNo);
  ui->AnswerMessageBox(box_button::kCancel);
  std::vector<unsigned> answers;
  ASSERT_TRUE(ui->Click(kBack));
  ui->Run([&] {
    if (w.Event() != EVENT::Accepted) return;
    for (int i = 0; i < 4; ++i) {
      answers.push_back(ShowMessageBox("Save Record|changed", "Update", box_icon::kQuestion,
                                       box_button::kYes + box_button::kNo + box_button::kCancel,
                                       box_button::kCancel));
    }
  });
  // The fourth box finds the script empty and takes its default button.
  EXPECT_EQ(answers, (std::vector<unsigned>{2, 4, 64, 64}));
  ASSERT_EQ(ui->MessageBoxesShown().size(), 4u);
  EXPECT_EQ(ui->MessageBoxesShown()[0].text, "Save Record|changed");
  EXPECT_EQ(ui->MessageBoxesShown()[0].buttons, 70u);
}

TEST_F(UiDriverTest, APopupReturnsTheChosenItemNotCountingSeparators) {
  Open();
  const char* kTreePopup = "&Play group|-|&Insert|&Change|&Delete|-|E&xpand All|Co&ntract All";
  std::vector<PopupItem> items = PopupItems(kTreePopup);
  ASSERT_EQ(items.size(), 8u);
  EXPECT_EQ(items[6].text, "E&xpand All");
  EXPECT_EQ(items[6].number, 5);
  EXPECT_EQ(items[1].number, 0);

  Rows rows;
  rows.Add("Comedies", 6, 1);
  ASSERT_TRUE(w.BindQueue(kTree, &rows.queue, rows.fields));
  ui->AnswerPopup(5);
  ui->AnswerPopup(0);
  std::vector<int> chosen;
  ASSERT_TRUE(ui->RightClickRow(kTree, 1));
  ASSERT_TRUE(ui->RightClickRow(kTree, 1));
  ui->Run([&] {
    if (CurrentEvent() == EVENT::NewSelection && CurrentKeyCode() == 2) {
      chosen.push_back(PopupMenu(kTreePopup));
    }
  });
  EXPECT_EQ(chosen, (std::vector<int>{5, 0}));
  ASSERT_EQ(ui->PopupsShown().size(), 2u);
  EXPECT_EQ(ui->PopupsShown()[0], kTreePopup);

  std::vector<PopupItem> marked = PopupItems("~&Off|+On||-|Last");
  ASSERT_EQ(marked.size(), 4u);
  EXPECT_FALSE(marked[0].enabled);
  EXPECT_EQ(marked[0].text, "&Off");
  EXPECT_TRUE(marked[1].checked);
  EXPECT_EQ(marked[3].number, 3);
}

TEST_F(UiDriverTest, TheFileDialogIsAnsweredFromTheScriptAndRecordsWhatItAsked) {
  Open();
  ui->AnswerFileDialog("/films/new.avi");
  ui->CancelFileDialog();
  std::string chosen = "start.avi";
  bool first = false, second = true;
  ASSERT_TRUE(ui->Click(kOpenButton));
  ui->Run([&] {
    first = FileDialog("Choose Movie", chosen, "Avi|*.AVI|Mpg|*.MPG|Mov|*.MOV|All|*.*", 2);
    second = FileDialog("Choose Movie", chosen, "Avi|*.AVI", 2);
  });
  EXPECT_TRUE(first);
  EXPECT_FALSE(second);
  EXPECT_EQ(chosen, "/films/new.avi") << "a cancel leaves the name as it was";
  ASSERT_EQ(ui->FileDialogsShown().size(), 2u);
  EXPECT_EQ(ui->FileDialogsShown()[0],
            (FileDialogRequest{"Choose Movie", "start.avi", "Avi|*.AVI|Mpg|*.MPG|Mov|*.MOV|All|*.*", 2}));
}

TEST(FileDialogTest, FiltersBecomeNameFiltersAndMatchWithoutCase) {
  EXPECT_EQ(FileDialogNameFilters("Avi|*.AVI|Mpg|*.MPG|Mov|*.MOV|All|*.*"),
            (std::vector<std::string>{"Avi (*.AVI)", "Mpg (*.MPG)", "Mov (*.MOV)", "All (*.*)"}));
  EXPECT_EQ(FileDialogNameFilters("Movies|*.avi; *.mpg|Odd"),
            (std::vector<std::string>{"Movies (*.avi *.mpg)"}));
  EXPECT_EQ(FileDialogNameFilters(""), (std::vector<std::string>{"All Files (*.*)"}));
  EXPECT_TRUE(FileNameMatches("holiday.avi", "*.AVI"));
  EXPECT_TRUE(FileNameMatches("HOLIDAY.Mpg", "*.avi;*.mpg"));
  EXPECT_FALSE(FileNameMatches("holiday.avi.txt", "*.AVI"));
  EXPECT_TRUE(FileNameMatches("README", "*.*"));
  EXPECT_TRUE(FileNameMatches("a1.mov", "a?.m*"));
  EXPECT_FALSE(FileNameMatches("ab1.mov", "a?.m*"));
}

TEST_F(UiDriverTest, ChoosingAFileMovesTheCurrentDirectoryUnlessFlagTwoKeepsIt) {
  Open();
  char before[4096];
  ASSERT_NE(getcwd(before, sizeof before), nullptr);
  ui->AnswerFileDialog("/tmp/x.avi");
  ui->AnswerFileDialog("/tmp/x.avi");
  std::string file;
  ASSERT_TRUE(FileDialog("t", file, "", file_dialog_flag::kKeepDirectory));
  char now[4096];
  ASSERT_NE(getcwd(now, sizeof now), nullptr);
  EXPECT_STREQ(now, before);
  ASSERT_TRUE(FileDialog("t", file, "", 0));
  ASSERT_NE(getcwd(now, sizeof now), nullptr);
  EXPECT_STREQ(now, "/tmp");
  ASSERT_EQ(chdir(before), 0);
}

TEST_F(UiDriverTest, ClosingTheWindowRaisesCloseWindowAndEndsTheLoop) {
  Open();
  ASSERT_TRUE(ui->CloseWindow());
  std::vector<SeenEvent> e = ui->Run();
  EXPECT_EQ(e, (std::vector<SeenEvent>{{EVENT::CloseWindow, 0, e.empty() ? 0 : e[0].keyCode, ""}}));
  EXPECT_FALSE(w.IsOpen());
}

TEST_F(UiDriverTest, ADefinitionIsOpenedByResourceNameAndLabel) {
  WindowDefinition d = EveryKind();
  d.resource = "filmo$FILMO008";
  d.caption = "Play list";
  RegisterWindowDefinition(d);
  ASSERT_TRUE(w.Open("filmo$FILMO008", "P1$WINDOW"));
  EXPECT_EQ(w.Caption(), "Play list");
  EXPECT_EQ(w.ControlCount(), 30);
  w.Close();
  Window other;
  EXPECT_FALSE(other.Open("filmo$NOSUCH", "P1$WINDOW"));
  EXPECT_EQ(fatals, (std::vector<int>{529}));
}

}  // namespace
}  // namespace cinevo
