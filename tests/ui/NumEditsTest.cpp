#include "ui/NumEdits.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "MouseDriver.h"
#include "platform/Warning.h"

namespace tf {
namespace {

using namespace tf::test;

// Keys through the window, as the window system delivers them (the application's handlers see them).
void Key(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(WindowOf(w), key, mods); }
void Type(QWidget* w, const char* text) {
  for (const char* c = text; *c != '\0'; ++c) QTest::keyClick(WindowOf(w), *c);
}
void TypeUtf8(QWidget* w, const QString& text) {
  for (const QChar ch : text) {
    QTest::sendKeyEvent(QTest::KeyAction::Click, WindowOf(w), Qt::Key_unknown, QString(ch), Qt::NoModifier);
  }
}

bool ShowActive(QWidget* top) {
  top->show();
  top->activateWindow();
  return QTest::qWaitForWindowActive(top);
}

// Boxes are recorded, never shown (another suite may have installed the real hosts).
struct RecordedBoxes {
  RecordingWarningHost host;
  WarningHost* before = SetWarningHost(&host);
  ~RecordedBoxes() { SetWarningHost(before); }
};

struct EditFixture {
  RecordedBoxes boxes;
  QWidget top;
  TNumMngr m;
  TNumEdit* edit;
  QLineEdit* other;
  int changes = 0;
  EditFixture(float min, float max, float value, float def = 0) {
    top.resize(200, 100);
    edit = new TNumEdit(&top);
    edit->setGeometry(10, 10, 60, 20);
    other = new QLineEdit(&top);
    other->setGeometry(10, 40, 60, 20);
    m.SetValueMax(max);
    m.SetValueMin(min);
    m.SetValueDefault(def);
    m.SetValue(value);
    edit->SetAssociate(&m);
    m.OnChange = [this](TNumMngr*) { ++changes; };
  }
  bool Start() {
    if (!ShowActive(&top)) return false;
    edit->setFocus();
    edit->selectAll();
    return edit->hasFocus();
  }
};

TEST(NumEditTest, TypingFollowsLiveAndLeavingReformats) {
  EditFixture f(0, 100, 20);
  ASSERT_TRUE(f.Start());
  Type(f.edit, "150");
  EXPECT_EQ(f.edit->text(), "150");
  EXPECT_EQ(f.m.Value(), 100);
  f.other->setFocus();
  EXPECT_EQ(f.edit->text(), "100");
  // A refresh of the manager rewrites the text; a live change leaves it as typed.
  f.m.SetValue(7);
  EXPECT_EQ(f.edit->text(), "7");
}

TEST(NumEditTest, TypingFilter) {
  EditFixture f(0, 255, 1);
  ASSERT_TRUE(f.Start());
  f.edit->SetFormatString("%1.2f");
  f.edit->selectAll();
  Type(f.edit, "1.5.2-a");
  EXPECT_EQ(f.edit->text(), "1.52");  // second separator, minus (unsigned) and a letter refused
  EXPECT_FLOAT_EQ(f.m.Value(), 1.52f);
  // An input method's commit is filtered the same way.
  TypeUtf8(f.edit, QStringLiteral("x"));
  EXPECT_EQ(f.edit->text(), "1.52");
  EditFixture s(-100, 100, 0);
  ASSERT_TRUE(s.Start());
  Type(s.edit, "-7");
  EXPECT_EQ(s.m.Value(), -7);
}

TEST(NumEditTest, MinusSeparatorIsSilentWhileTypingAndReportedWhenApplied) {
  EditFixture f(-10, 10, 3);
  ASSERT_TRUE(f.Start());
  f.edit->SetFormatString("%1.5g");
  f.edit->selectAll();
  Type(f.edit, "-.");
  EXPECT_TRUE(f.boxes.host.Messages().empty());
  EXPECT_EQ(f.m.Value(), 3);
  Type(f.edit, "5");
  EXPECT_FLOAT_EQ(f.m.Value(), -0.5f);
  Key(f.edit, Qt::Key_Backspace);
  f.other->setFocus();  // applying "-." reports it
  ASSERT_EQ(f.boxes.host.Messages().size(), 1u);
  EXPECT_FLOAT_EQ(f.m.Value(), -0.5f);
}

TEST(NumEditTest, ArrowsApplyTheTextThenStep) {
  EditFixture f(1, 100, 40);
  ASSERT_TRUE(f.Start());
  Key(f.edit, Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_EQ(f.m.Value(), 50);
  EXPECT_EQ(f.edit->text(), "50");
  f.edit->selectAll();
  Type(f.edit, "97");
  Key(f.edit, Qt::Key_Up, Qt::ShiftModifier);  // at most the maximum
  EXPECT_EQ(f.m.Value(), 100);
  Key(f.edit, Qt::Key_Down);
  EXPECT_EQ(f.m.Value(), 99);
  EXPECT_EQ(f.edit->text(), "99");
}

TEST(NumEditTest, LargeGeneralValuesStepWithoutAnExponent) {
  // 125000 % of an 8-pixel side: "%g" would show 1.25e+05 and read it back as 1.2505.
  EditFixture f(0, 200000, 125000);
  f.edit->SetFormatString("%1.5g");
  ASSERT_TRUE(f.Start());
  EXPECT_EQ(f.edit->text(), "125000");
  Key(f.edit, Qt::Key_Up);
  EXPECT_EQ(f.m.Value(), 125001);
  QWheelEvent wheel(QPointF(5, 5), f.edit->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(f.edit, &wheel);
  EXPECT_EQ(f.m.Value(), 124999);  // "125000" applied (five digits), then one step down
}

struct WheelForm : QWidget, FormWheelHandler {
  bool take = false;
  int seen = 0;
  bool FormMouseWheel(QWheelEvent*) override {
    ++seen;
    return take;
  }
};

TEST(NumEditTest, WheelGoesToTheFormFirstThenSteps) {
  WheelForm form;
  TNumMngr m;
  m.SetValue(20);
  auto* edit = new TNumEdit(&form);
  edit->SetAssociate(&m);
  auto wheel = [&](int delta, Qt::MouseButtons buttons) {
    QWheelEvent e(QPointF(5, 5), edit->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta), buttons,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(edit, &e);
  };
  wheel(120, Qt::NoButton);
  EXPECT_EQ(m.Value(), 21);
  wheel(-120, Qt::LeftButton);  // ten steps with the left button held
  EXPECT_EQ(m.Value(), 11);
  form.take = true;
  wheel(120, Qt::NoButton);
  EXPECT_EQ(m.Value(), 11);
  EXPECT_EQ(form.seen, 3);
}

TEST(NumEditTest, CutResetsAndPasteApplies) {
  EditFixture f(0, 100, 40, 60);
  ASSERT_TRUE(f.Start());
  f.edit->selectAll();
  Key(f.edit, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(f.m.Value(), 60);
  EXPECT_EQ(f.edit->text(), "60");
  f.edit->selectAll();
  Key(f.edit, Qt::Key_X, Qt::ControlModifier);  // already the default: stays empty
  EXPECT_EQ(f.edit->text(), "");
  QApplication::clipboard()->setText("3x5");
  Key(f.edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(f.m.Value(), 35);
  // The context menu's cut does the same.
  f.edit->selectAll();
  QTimer::singleShot(0, [] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (QAction* a : menu->actions()) {
        if (a->text().endsWith(QKeySequence(QKeySequence::Cut).toString(QKeySequence::NativeText))) a->trigger();
      }
      menu->close();
    }
  });
  QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), f.edit->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(f.edit, &menuEvent);
  QTest::qWait(20);
  EXPECT_EQ(f.m.Value(), 60);
}

TEST(NumEditTest, ManagerGoneLeavesZero) {
  QWidget top;
  auto m = std::make_unique<TNumMngr>();
  m->SetValue(9);
  auto* edit = new TNumEdit(&top);
  auto* label = new TNumLabel(&top);
  edit->SetAssociate(m.get());
  label->SetAssociate(m.get());
  EXPECT_EQ(label->text(), "9");
  m.reset();
  EXPECT_EQ(edit->Associate(), nullptr);
  EXPECT_EQ(label->Associate(), nullptr);
  EXPECT_EQ(edit->text(), "0");
}

struct LabelFixture {
  QWidget top;
  TNumMngr m;
  TNumLabelEdit* label;
  QPushButton* button;
  int clicked = 0;
  int enters = 0, exits = 0;
  LabelFixture() {
    top.resize(240, 120);
    label = new TNumLabelEdit(&top);
    label->setGeometry(10, 10, 60, 20);
    button = new QPushButton("b", &top);
    button->setGeometry(100, 60, 60, 24);
    QObject::connect(button, &QPushButton::clicked, [this] { ++clicked; });
    m.SetValue(30);
    label->SetAssociate(&m);
    label->OnEditEnter = [this](TNumLabelEdit*) { ++enters; };
    label->OnEditExit = [this](TNumLabelEdit*) { ++exits; };
  }
  void Open() {
    Click(label, {30, 10});
    SharedNumEdit()->selectAll();
  }
};

TEST(NumLabelEditTest, EscapeRestoresSpaceAndClicksOutsideKeep) {
  LabelFixture f;
  ASSERT_TRUE(ShowActive(&f.top));
  f.Open();
  ASSERT_TRUE(f.label->IsEditing());
  EXPECT_EQ(f.enters, 1);
  Type(SharedNumEdit(), "45");
  EXPECT_EQ(f.m.Value(), 45);
  EXPECT_EQ(f.label->text(), "45");  // the label follows live
  Key(SharedNumEdit(), Qt::Key_Escape);
  EXPECT_FALSE(f.label->IsEditing());
  EXPECT_EQ(f.m.Value(), 30);
  EXPECT_EQ(f.exits, 1);
  EXPECT_EQ(SharedNumEdit()->Associate(), nullptr);

  f.Open();
  Type(SharedNumEdit(), "45");
  Key(SharedNumEdit(), Qt::Key_Space);
  EXPECT_FALSE(f.label->IsEditing());
  EXPECT_EQ(f.m.Value(), 45);

  f.m.SetValue(30);
  f.Open();
  Type(SharedNumEdit(), "45");
  Click(f.button, {30, 12});  // ends the edit; the press goes nowhere else
  EXPECT_FALSE(f.label->IsEditing());
  EXPECT_EQ(f.m.Value(), 45);
  EXPECT_EQ(f.clicked, 0);
  Click(f.button, {30, 12});
  EXPECT_EQ(f.clicked, 1);
}

TEST(NumLabelEditTest, ShortcutsAreSilencedWhileOpen) {
  LabelFixture f;
  int fired = 0;
  auto* action = new QAction(&f.top);
  action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  f.top.addAction(action);
  QObject::connect(action, &QAction::triggered, [&] { ++fired; });
  auto* mnemonic = new QPushButton("&Go", &f.top);
  mnemonic->setGeometry(100, 10, 60, 24);
  QObject::connect(mnemonic, &QPushButton::clicked, [&] { ++fired; });
  ASSERT_TRUE(ShowActive(&f.top));
  f.Open();
  Key(SharedNumEdit(), Qt::Key_S, Qt::ControlModifier);
  Key(SharedNumEdit(), Qt::Key_G, Qt::AltModifier);
  EXPECT_EQ(fired, 0);
  EXPECT_TRUE(f.label->IsEditing());
  Key(SharedNumEdit(), Qt::Key_Return);
  Key(f.label, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(fired, 1);
}

TEST(NumLabelEditTest, DeactivationAccepts) {
  LabelFixture f;
  ASSERT_TRUE(ShowActive(&f.top));
  f.Open();
  Type(SharedNumEdit(), "45");
  QEvent deactivate(QEvent::ApplicationDeactivate);
  QApplication::sendEvent(qApp, &deactivate);
  EXPECT_FALSE(f.label->IsEditing());
  EXPECT_EQ(f.m.Value(), 45);
  // Another window of ours taking the focus accepts too.
  f.m.SetValue(30);
  ASSERT_TRUE(ShowActive(&f.top));
  f.Open();
  Type(SharedNumEdit(), "12");
  QWidget second;
  second.resize(50, 50);
  ASSERT_TRUE(ShowActive(&second));
  EXPECT_FALSE(f.label->IsEditing());
  EXPECT_EQ(f.m.Value(), 12);
}

TEST(NumLabelEditTest, ReadOnlyLabelDoesNotOpen) {
  LabelFixture f;
  ASSERT_TRUE(ShowActive(&f.top));
  f.label->SetReadOnly(true);
  Click(f.label, {30, 10});
  EXPECT_FALSE(f.label->IsEditing());
  f.label->SetReadOnly(false);
  f.Open();
  EXPECT_TRUE(f.label->IsEditing());
  Key(SharedNumEdit(), Qt::Key_Escape);
}

TEST(LabelEditTest, EnterUnchangedFiresNothingAndLimitsCountBytes) {
  QWidget top;
  top.resize(240, 80);
  auto* label = new TLabelEdit(&top);
  label->setGeometry(10, 10, 120, 20);
  label->setText("abc");
  int changes = 0;
  label->OnChange = [&](TLabelEdit*) { ++changes; };
  ASSERT_TRUE(ShowActive(&top));
  Click(label, {30, 10});
  ASSERT_TRUE(label->IsEditing());
  Key(SharedTextEdit(), Qt::Key_Return);
  EXPECT_FALSE(label->IsEditing());
  EXPECT_EQ(changes, 0);

  label->MaxLength = 5;
  Click(label, {30, 10});
  SharedTextEdit()->selectAll();
  Type(SharedTextEdit(), "a b");  // Space ends the edit
  EXPECT_FALSE(label->IsEditing());
  EXPECT_EQ(label->text(), "a");
  EXPECT_EQ(changes, 1);
  Click(label, {30, 10});
  SharedTextEdit()->selectAll();
  TypeUtf8(SharedTextEdit(), QStringLiteral("あいう"));  // two bytes each: the third would make 6
  EXPECT_EQ(SharedTextEdit()->text(), QStringLiteral("あい"));
  Key(SharedTextEdit(), Qt::Key_Escape);
  EXPECT_EQ(label->text(), "a");
  EXPECT_EQ(changes, 1);
}

}  // namespace
}  // namespace tf
