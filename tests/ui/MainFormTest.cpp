#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointingDevice>
#include <QScreen>
#include <QTabletEvent>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <memory>
#include <string>
#include <vector>

#include "app/AppProfile.h"
#include "app/MainFormCore.h"
#include "app/WinTab32.h"
#include "app/PlaybackControl.h"
#include "app/qt/CursorSlots.h"
#include "app/qt/DrawWindowWidget.h"
#include "app/qt/MRUMenu.h"
#include "app/qt/MainForm.h"
#include "app/qt/MainStatusBar.h"
#include "app/qt/TextToolWindow.h"
#include "paper/HeadlessWindow.h"
#include "paper/Paper.h"
#include "platform/Debug.h"
#include "platform/Registry.h"
#include "platform/Tablet.h"
#include "platform/qt/AppEventFilter.h"
#include "platform/qt/QtTablet.h"
#include "support/TempFolder.h"
#include "ui/UiHosts.h"

namespace tf {
namespace {

// A document window as the main window sees it: a widget over a headless document.
class FakeChild final : public QWidget, public MainFormChild {
 public:
  explicit FakeChild(std::string caption) : caption_(std::move(caption)) {
    document_.Paper().NewDocument("p", &document_.Flow(), false, false, 72, 30, 40);
    setWindowTitle(QString::fromStdString(caption_));
    resize(200, 150);
  }
  TPaper* Paper() override { return &document_.Paper(); }
  std::string Caption() const override { return caption_; }
  bool CloseQuery() override {
    ++closeQueries;
    return allowClose;
  }
  void TimerTick() override { ++ticks; }
  void Activated(bool) override {}
  void SelectToolHandler() override {}
  bool StrokeOrPlaybackRunning() const override { return false; }
  bool IsPlaying() const override { return false; }
  void UseStrokeEngine(int32_t engine) override { this->engine = engine; }
  void ZoomAboutCentre(int32_t n, int32_t d) override { zoomed = {n, d}; }
  void ActualSize() override { ++actualSize; }
  void SetViewRotation(float degrees) override { rotation = degrees; }
  bool ScreenToCanvas(int32_t x, int32_t y, TPoint& canvas) override {
    const QPoint local = mapFromGlobal(QPoint(x, y));
    canvas = {local.x() / 2, local.y() / 2};
    return true;
  }

  HeadlessDocumentWindow document_;
  std::string caption_;
  bool allowClose = true;
  int closeQueries = 0;
  int ticks = 0;
  int engine = 0;
  int actualSize = 0;
  TZoomRatio zoomed{0, 0};
  float rotation = 1.0f;
};

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallUiHosts();
    ResetAppProfile();
    store_ = std::make_unique<CRegistry>(folder_.Path());
    AppProfile().SetRegistry(store_.get());
    AppProfile().LoadAll();
    AppProfile().mainWinMax = false;
    sink_ = SetDebugSink([this](std::string_view line) { lines_.emplace_back(line); });
  }
  void TearDown() override {
    form_.reset();
    SetDebugSink(sink_);
    ResetAppProfile();
  }

  // A fresh settings object over a fresh read of the store's file (a restart).
  void Restart() {
    ResetAppProfile();
    store_ = std::make_unique<CRegistry>(folder_.Path());
    store_->Load();
    AppProfile().SetRegistry(store_.get());
    AppProfile().LoadAll();
  }

  TMainForm& Make(SMainFormStart start = {}) {
    form_ = std::make_unique<TMainForm>(std::move(start));
    return *form_;
  }
  FakeChild* AddChild(const std::string& caption) {
    auto* child = new FakeChild(caption);
    QMdiSubWindow* sub = form_->MdiArea()->addSubWindow(child);
    sub->show();
    form_->MdiArea()->setActiveSubWindow(sub);
    return child;
  }
  bool Logged(const std::string& part) const {
    for (const std::string& line : lines_) {
      if (line.find(part) != std::string::npos) return true;
    }
    return false;
  }

  test::ScopedTempFolder folder_{"mainform"};
  std::unique_ptr<CRegistry> store_;
  std::unique_ptr<TMainForm> form_;
  std::vector<std::string> lines_;

 private:
  DebugSink sink_;
};

TEST_F(MainFormTest, CaptionsAndTheStartTextsOfThePanels) {
  TMainForm& form = Make();
  EXPECT_EQ(form.windowTitle(), "Tintaframe 4.5.18 Plus");
  EXPECT_EQ(form.StatusBar()->PanelText(kPanelTablet), "Off");
  EXPECT_EQ(form.StatusBar()->PanelText(kPanelTabletType), "タブレット 1");
  EXPECT_EQ(form.StatusBar()->PanelText(kPanelTabletMode), "OS 座標");
  EXPECT_EQ(AppProfile().appVerID, 20);
  EXPECT_NE(form.Tool(), nullptr);
  EXPECT_EQ(form.Core().strokeEngine, 2);
  form_.reset();

  SMainFormStart render;
  render.renderOrViewerMode = true;
  EXPECT_EQ(Make(render).windowTitle(), "Tintaframe 4.5.18 Plus Render!");
  form_.reset();
  render.viewerMode = true;
  EXPECT_EQ(Make(render).windowTitle(), "Tintaframe 4.5.18 Plus");
}

TEST(MainStatusBarTest, PanelsAndClicksAtBarWidths1000And400) {
  for (int width : {1000, 400}) {
    TMainStatusBar bar;
    bar.resize(width, 22);
    std::vector<int32_t> clicked;
    bar.onPanelClick = [&clicked](int32_t panel, const QRect&) { clicked.push_back(panel); };
    SStatusPanel panels[kStatusPanelCount];
    StatusPanelLayout(width, panels);
    for (int32_t i = 0; i < kStatusPanelCount; ++i) {
      EXPECT_EQ(bar.PanelRect(i).left(), panels[i].left);
      EXPECT_EQ(bar.PanelRect(i).width(), std::max(0, panels[i].width));
    }
    for (int x = 0; x < width; x += 7) {
      clicked.clear();
      QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(x, 10));
      const int32_t expected = StatusPanelAt(width, x);
      if (expected < 0) {
        EXPECT_TRUE(clicked.empty()) << width << " " << x;
      } else {
        ASSERT_EQ(clicked.size(), 1u) << width << " " << x;
        EXPECT_EQ(clicked[0], expected) << width << " " << x;
      }
    }
    bar.SetPanelText(kPanelHint, "hint");
    EXPECT_EQ(bar.PanelText(kPanelHint), "hint");
  }
}

TEST_F(MainFormTest, PanelClicksOpenTheirPopupsAboveTheirPanels) {
  TMainForm& form = Make();
  form.show();
  // (The offscreen screen is 800 pixels wide.)
  for (int width : {760, 400}) {
    form.resize(width, 400);
    QApplication::processEvents();
    TMainStatusBar* bar = form.StatusBar();
    ASSERT_EQ(bar->width(), width);
    // Without a document window the document popups stay closed.
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->PanelRect(kPanelZoom).center());
    EXPECT_FALSE(form.PopZoom()->isVisible());
    FakeChild* child = AddChild("a");
    struct Case {
      int32_t panel;
      QMenu* menu;
    };
    for (const Case& c : {Case{kPanelZoom, form.PopZoom()}, Case{kPanelRotation, form.PopRotate()},
                          Case{kPanelInfo, form.PopReso()}, Case{kPanelTabletType, form.PopTabletType()},
                          Case{kPanelTabletMode, form.PopTabletMode()}}) {
      const QRect panel = bar->PanelRect(c.panel);
      // Panels after a hint panel of negative width overlap those before it: the click goes to
      // the panel the position rule finds.
      int x = panel.left();
      while (x <= panel.right() && StatusPanelAt(bar->width(), x) != c.panel) ++x;
      ASSERT_LE(x, panel.right()) << width << " " << c.panel;
      QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(x, panel.center().y()));
      EXPECT_TRUE(c.menu->isVisible()) << width << " " << c.panel;
      const QRect screenPanel(bar->mapToGlobal(panel.topLeft()), panel.size());
      const QRect popup = form.LastPopupRect();
      const QRect screen = QGuiApplication::primaryScreen()->geometry();
      // Centred on the panel's middle unless the screen's edge holds it back; never over the panel.
      EXPECT_FALSE(popup.intersects(screenPanel)) << width << " " << c.panel;
      EXPECT_TRUE(screen.contains(popup)) << width << " " << c.panel;
      const bool atEdge = popup.left() == screen.left() || popup.right() == screen.right();
      EXPECT_TRUE(atEdge || std::abs(popup.center().x() - screenPanel.center().x()) <= 1)
          << width << " " << c.panel;
      c.menu->hide();
    }
    // A right click opens nothing.
    QTest::mouseClick(bar, Qt::RightButton, {}, bar->PanelRect(kPanelZoom).center());
    EXPECT_FALSE(form.PopZoom()->isVisible());
    delete child->parentWidget();
    QApplication::processEvents();
  }
  // At 400 the hint panel has no width and the tablet panels sit further left.
  EXPECT_EQ(form.StatusBar()->PanelRect(kPanelHint).width(), 0);
  EXPECT_EQ(form.StatusBar()->PanelRect(kPanelTabletType).left(), 64 + 64 + 128 - 80 + 32);
}

TEST_F(MainFormTest, PopupChecksAndChoices) {
  TMainForm& form = Make();
  FakeChild* child = AddChild("a");
  child->Paper()->SetZoomRatio(1, 3);
  emit form.PopZoom()->aboutToShow();
  const QList<QAction*> zoom = form.PopZoom()->actions();
  ASSERT_EQ(zoom.size(), 17);
  EXPECT_EQ(zoom[5]->text(), "33.33%");
  for (int i = 0; i < zoom.size(); ++i) EXPECT_EQ(zoom[i]->isChecked(), i == 5) << i;
  zoom[8]->trigger();
  EXPECT_EQ(child->actualSize, 1);
  zoom[7]->trigger();
  EXPECT_EQ(child->zoomed, (TZoomRatio{2, 3}));

  child->Paper()->rotation.degrees = -180.0f;
  emit form.PopRotate()->aboutToShow();
  EXPECT_TRUE(form.PopRotate()->actions()[2]->isChecked());
  form.PopRotate()->actions()[3]->trigger();
  EXPECT_EQ(child->rotation, -270.0f);

  form.PopReso()->actions()[0]->trigger();
  EXPECT_EQ(form.StatusBar()->PanelText(kPanelInfo), "40 × 30 px");
  form.PopReso()->actions()[1]->trigger();
  EXPECT_TRUE(form.StatusBar()->PanelText(kPanelInfo).startsWith("使用メモリ : "));
  emit form.PopReso()->aboutToShow();
  EXPECT_TRUE(form.PopReso()->actions()[1]->isChecked());

  // Without an open tablet context the tablet menus are disabled.
  emit form.PopTabletType()->aboutToShow();
  EXPECT_FALSE(form.PopTabletType()->actions()[0]->isEnabled());
  EXPECT_TRUE(form.PopTabletType()->actions()[0]->isChecked());
  form.PopTabletMode()->actions()[1]->trigger();
  EXPECT_TRUE(AppProfile().DrawToolMode);
  EXPECT_EQ(form.StatusBar()->PanelText(kPanelTabletMode), "タブレット座標");
}

TEST_F(MainFormTest, ANestedModalDialogGetsCancelAtOnce) {
  TMainForm& form = Make();
  QDialog outer(&form);
  int32_t inner = -1;
  QTimer::singleShot(0, &outer, [&] {
    QDialog second(&form);
    inner = form.RunModalDialog(&second);
    outer.done(1);
  });
  EXPECT_EQ(form.RunModalDialog(&outer), 1);
  EXPECT_EQ(inner, 2);
  EXPECT_FALSE(form.Core().gate.ModalRunning());
  // And again afterwards.
  QDialog again(&form);
  QTimer::singleShot(0, &again, [&] { again.done(0); });
  EXPECT_EQ(form.RunModalDialog(&again), 0);
}

class FakeTextWindow final : public TextToolWindow {
 public:
  FakeTextWindow() { edit.resize(200, 40); }
  QWidget* Widget() override { return &edit; }
  void BeginSemiModal() override { log += "B"; }
  void EndSemiModal() override { log += "E"; }
  void CanvasPoint(int16_t x, int16_t y) override { points.push_back({x, y}); }
  bool AltKey(QKeyEvent*) override {
    ++altKeys;
    return true;
  }
  bool IsEditing() const override { return editing; }
  int32_t ModalResult() const override { return result; }
  void SetModalResult(int32_t r) override { result = r; }

  QLineEdit edit;
  std::string log;
  std::vector<TPoint> points;
  int altKeys = 0;
  bool editing = false;
  int32_t result = 0;
};

TEST_F(MainFormTest, TheTextWindowRunsSemiModally) {
  TMainForm& form = Make();
  form.show();
  FakeChild* child = AddChild("doc");
  QApplication::processEvents();
  FakeTextWindow text;
  int32_t modalDuring = -1;
  QTimer::singleShot(0, &form, [&] {
    // A click on the canvas becomes a canvas point, not a click.
    QTest::mouseClick(child, Qt::LeftButton, {}, QPoint(20, 30));
    // Alt keys go to the text window.
    QKeyEvent alt(QEvent::KeyPress, Qt::Key_B, Qt::AltModifier);
    QCoreApplication::sendEvent(&text.edit, &alt);
    QDialog dialog(&form);
    modalDuring = form.RunModalDialog(&dialog);
    text.SetModalResult(1);
  });
  EXPECT_EQ(form.RunTextToolWindow(text), 1);
  EXPECT_EQ(text.log, "BE");
  ASSERT_EQ(text.points.size(), 1u);
  EXPECT_EQ(text.points[0], (TPoint{10, 15}));
  EXPECT_EQ(text.altKeys, 1);
  EXPECT_EQ(modalDuring, 2);
  EXPECT_FALSE(text.edit.isVisible());
  EXPECT_FALSE(form.Core().gate.SemiModalRunning());

  // Closing the text window cancels; so does the application's quitting.
  QTimer::singleShot(0, &form, [&] { text.edit.close(); });
  EXPECT_EQ(form.RunTextToolWindow(text), 2);
  QTimer::singleShot(0, &form, [&] { QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit)); });
  EXPECT_EQ(form.RunTextToolWindow(text), 2);
}

TEST_F(MainFormTest, PlacementComesBackAfterARestartWithoutDrift) {
  AppProfile().mainWinX = 120;
  AppProfile().mainWinY = 80;
  AppProfile().mainWinW = 700;
  AppProfile().mainWinH = 500;
  QRect first;
  for (int start = 0; start < 3; ++start) {
    TMainForm& form = Make();
    form.show();
    QApplication::processEvents();
    QTest::qWait(0);
    ASSERT_TRUE(AppProfile().SaveAll());
    const QRect frame(AppProfile().mainWinX, AppProfile().mainWinY, AppProfile().mainWinW, AppProfile().mainWinH);
    if (start == 0) first = frame;
    EXPECT_EQ(frame, first) << start;
    EXPECT_EQ(frame.size(), QSize(700, 500));
    form_.reset();
    Restart();
  }
  EXPECT_EQ(AppProfile().mainWinW, 700);
  // Maximised is kept as a flag.
  AppProfile().mainWinMax = true;
  TMainForm& form = Make();
  form.show();
  QApplication::processEvents();
  EXPECT_TRUE(form.isMaximized());
}

TEST_F(MainFormTest, ARefusingCloseQueryStopsTheClose) {
  TMainForm& form = Make();
  form.show();
  FakeChild* first = AddChild("first");
  FakeChild* second = AddChild("second");
  first->allowClose = false;
  EXPECT_FALSE(form.close());
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(first->closeQueries, 1);
  EXPECT_EQ(second->closeQueries, 0);
  EXPECT_TRUE(first->isVisible());
  first->allowClose = true;
  second->allowClose = false;
  EXPECT_FALSE(form.close());
  EXPECT_EQ(first->closeQueries, 2);
  EXPECT_EQ(second->closeQueries, 1);
  EXPECT_TRUE(second->isVisible());
  second->allowClose = true;
  EXPECT_TRUE(form.close());
  EXPECT_EQ(second->closeQueries, 2);
}

// A tool window that keeps the program open (modified presets the user wants to keep).
class RefusingToolWindow final : public InterimToolWindow {
 public:
  using InterimToolWindow::InterimToolWindow;
  bool QueryClose() override {
    ++asked;
    return !refuse;
  }
  bool refuse = true;
  int asked = 0;
};

TEST_F(MainFormTest, TheToolWindowIsAskedAfterTheDocumentWindows) {
  RefusingToolWindow* tool = nullptr;
  SetToolWindowFactory([&tool](ToolWindowOwner& owner) {
    auto window = std::make_unique<RefusingToolWindow>(owner);
    tool = window.get();
    return std::unique_ptr<ToolWindow>(std::move(window));
  });
  TMainForm& form = Make();
  SetToolWindowFactory(nullptr);
  ASSERT_EQ(form.Tool(), tool);
  form.show();
  FakeChild* child = AddChild("doc");
  child->allowClose = false;
  EXPECT_FALSE(form.close());
  EXPECT_EQ(tool->asked, 0);
  child->allowClose = true;
  EXPECT_FALSE(form.close());
  EXPECT_EQ(tool->asked, 1);
  EXPECT_TRUE(form.isVisible());
  tool->refuse = false;
  EXPECT_TRUE(form.close());
  // Render and viewer modes close without asking anybody.
  form_.reset();
  SMainFormStart render;
  render.renderOrViewerMode = true;
  TMainForm& unattended = Make(render);
  unattended.show();
  FakeChild* modified = AddChild("modified");
  modified->allowClose = false;
  EXPECT_TRUE(unattended.close());
  EXPECT_EQ(modified->closeQueries, 0);
}

TEST_F(MainFormTest, DelayedStartupRunsOnceWithoutAnActivation) {
  SMainFormStart start;
  start.arguments = {"-render", "/tmp/one.tfi", "", "/tmp/two.tfi"};
  TMainForm& form = Make(start);
  EXPECT_FALSE(form.DelayedStartupDone());
  form.show();
  QTest::qWait(0);
  QApplication::processEvents();
  EXPECT_TRUE(form.DelayedStartupDone());
  // Both files are handed to opening, which refuses loudly until it is built.
  EXPECT_TRUE(Logged("\"/tmp/one.tfi\""));
  EXPECT_TRUE(Logged("\"/tmp/two.tfi\""));
  EXPECT_FALSE(Logged("-render"));
  lines_.clear();
  emit qApp->applicationStateChanged(Qt::ApplicationActive);
  EXPECT_FALSE(Logged("one.tfi"));
}

TEST_F(MainFormTest, DeactivationForgetsTheKeysHeldDown) {
  TMainForm& form = Make();
  form.show();
  QApplication::processEvents();
  ASSERT_NE(form.windowHandle(), nullptr);
  QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
  QCoreApplication::sendEvent(form.windowHandle(), &space);
  EXPECT_TRUE(AppEventFilter::Instance().IsQtKeyDown(Qt::Key_Space));
  emit qApp->applicationStateChanged(Qt::ApplicationInactive);
  EXPECT_FALSE(AppEventFilter::Instance().IsQtKeyDown(Qt::Key_Space));
}

TEST_F(MainFormTest, TheWindowListFocusesTheWindowOfTheItemsPosition) {
  TMainForm& form = Make();
  form.show();
  FakeChild* upper = AddChild("Picture");
  FakeChild* lower = AddChild("picture");
  form.MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(lower->parentWidget()));
  form.RebuildWindowList();
  const std::vector<QAction*>& items = form.WindowMRUMenu()->ItemActions();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_FALSE(items[0]->isChecked());
  EXPECT_TRUE(items[1]->isChecked());
  items[0]->trigger();
  EXPECT_EQ(form.ActiveSubWindow()->widget(), upper);
  items[1]->trigger();
  EXPECT_EQ(form.ActiveSubWindow()->widget(), lower);
}

TEST_F(MainFormTest, RecentFilesShowInTheFileMenuAndAreSavedWithTheSettings) {
  TMainForm& form = Make();
  QMenu* file = form.FileMenu();
  // An empty list shows no submenu.
  for (QAction* a : file->actions()) EXPECT_EQ(a->menu(), nullptr);
  form.FileMRUList().AddItem(0, "/tmp/a.tfi");
  form.FileMRUList().AddItem(0, "/tmp/b.tfi");
  QMenu* submenu = nullptr;
  for (QAction* a : file->actions()) {
    if (a->menu() != nullptr) submenu = a->menu();
  }
  ASSERT_NE(submenu, nullptr);
  EXPECT_EQ(submenu->title(), "最近使用したファイルを開く(&R)");
  ASSERT_EQ(submenu->actions().size(), 2);
  EXPECT_EQ(submenu->actions()[0]->text(), "&1 /tmp/b.tfi");
  submenu->actions()[1]->trigger();
  EXPECT_TRUE(Logged("\"/tmp/a.tfi\""));
  ASSERT_TRUE(AppProfile().SaveAll());
  form_.reset();
  CRegistry fresh(folder_.Path());
  ASSERT_TRUE(fresh.Load());
  std::string value;
  EXPECT_TRUE(fresh.ReadString("Software\\Quillmarsh\\Tintaframe4 Plus\\fileMRU", "path0", value));
  EXPECT_EQ(value, "/tmp/b.tfi");
  // The next start shows them again.
  Restart();
  TMainForm& again = Make();
  EXPECT_EQ(again.FileMRUList().Entries(), (std::vector<std::string>{"/tmp/b.tfi", "/tmp/a.tfi"}));
}

TEST_F(MainFormTest, TheTimerTicksEveryDocumentWindow) {
  TMainForm& form = Make();
  FakeChild* a = AddChild("a");
  FakeChild* b = AddChild("b");
  form.Timer1Timer();
  EXPECT_EQ(a->ticks, 1);
  EXPECT_EQ(b->ticks, 1);
  EXPECT_EQ(form.Timer1()->interval(), 50);
  form.ToggleStrokeEngine();
  EXPECT_EQ(b->engine, 1);
}

TEST_F(MainFormTest, ToolCursorsFillSlots5To37) {
  LoadToolCursors();
  EXPECT_EQ(ToolCursor(4).shape(), Qt::ArrowCursor);
  EXPECT_EQ(ToolCursor(38).shape(), Qt::ArrowCursor);
  for (int32_t slot = kCursorSlotFirst; slot <= kCursorSlotLast; ++slot) {
    const QCursor cursor = ToolCursor(slot);
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor) << slot;
    EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32));
    const SCursorArt& art = kCursorArt[slot - kCursorSlotFirst];
    EXPECT_EQ(cursor.hotSpot(), QPoint(art.hotX, art.hotY)) << art.name;
  }
  EXPECT_STREQ(kCursorArt[0].name, "CR_SELECT");
  EXPECT_STREQ(kCursorArt[kCursorSlotCount - 1].name, "CR_DETAILAND");
}

// ---- the Qt tablet driver ----

class QtTabletTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallUiHosts();
    driver_ = std::make_unique<QtTabletDriver>([this] { return stylus_; });
    before_ = SetTabletDriver(driver_.get());
  }
  void TearDown() override {
    SetTabletDriver(before_);
    driver_.reset();
  }
  bool stylus_ = true;
  std::unique_ptr<QtTabletDriver> driver_;
  TabletDriver* before_ = nullptr;
};

TEST_F(QtTabletTest, TabletEventsBecomePacketsOfTheOpenContext) {
  stylus_ = false;
  TWinTab32 tablet(true, 1);
  EXPECT_FALSE(tablet.Open(1, nullptr));
  stylus_ = true;
  std::vector<STabletMessage> messages;
  ASSERT_TRUE(tablet.Open(1, [&](const STabletMessage& m) { messages.push_back(m); }));
  EXPECT_EQ(tablet.pressureMaximum, 65535);

  QWidget target;
  target.resize(100, 100);
  target.show();
  QApplication::processEvents();
  QPointingDevice pen("pen", 1001, QInputDevice::DeviceType::Stylus, QPointingDevice::PointerType::Pen,
                      QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 3);
  QPointingDevice eraser("eraser", 1002, QInputDevice::DeviceType::Stylus, QPointingDevice::PointerType::Eraser,
                         QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 3);
  const QPointF global(10.5, 20.25);
  QTabletEvent press(QEvent::TabletPress, &pen, QPointF(1, 1), global, 0.5, 0.0f, 0.0f, 0.0f, 0.0, 0.0f, {},
                     Qt::LeftButton, Qt::LeftButton);
  QCoreApplication::sendEvent(target.windowHandle(), &press);
  // Left unaccepted: Qt makes the mouse events from it.
  EXPECT_FALSE(press.isAccepted());
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].message, kTabletProximityMessage);
  EXPECT_EQ(messages[1].message, kTabletPacketMessage);
  STabletDecoded decoded;
  ASSERT_TRUE(tablet.Decode(messages[0], decoded));
  EXPECT_TRUE(tablet.inRange);
  ASSERT_TRUE(tablet.Decode(messages[1], decoded));
  ASSERT_TRUE(decoded.packet);
  EXPECT_FLOAT_EQ(tablet.screenX, 10.5f);
  EXPECT_FLOAT_EQ(tablet.screenY, 20.25f);
  EXPECT_EQ(tablet.pressure, 32768);
  EXPECT_EQ(tablet.altitude, 900);
  EXPECT_EQ(tablet.buttons, 1u);

  QTabletEvent rub(QEvent::TabletMove, &eraser, QPointF(1, 1), QPointF(3, 4), 1.0, 30.0f, 0.0f, 0.0f, 45.0, 0.0f,
                   {}, Qt::NoButton, Qt::LeftButton);
  QCoreApplication::sendEvent(target.windowHandle(), &rub);
  ASSERT_TRUE(tablet.Decode(messages.back(), decoded));
  EXPECT_EQ(tablet.pressure, 65535);
  EXPECT_EQ(tablet.altitude, -600);  // tilted 30 degrees, eraser end
  EXPECT_EQ(tablet.twist, 450);
  EXPECT_LT(tablet.AltitudeFraction(), 0.0f);

  // X11 sends no proximity events: a mouse event of the mouse ends the range.
  QMouseEvent mouse(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton, {},
                    QPointingDevice::primaryPointingDevice());
  QCoreApplication::sendEvent(target.windowHandle(), &mouse);
  ASSERT_TRUE(tablet.Decode(messages.back(), decoded));
  EXPECT_FALSE(tablet.inRange);

  // The queue keeps a bounded number of packets.
  for (size_t i = 0; i < QtTabletDriver::kQueueLimit + 10; ++i) driver_->TakeTabletEvent(press);
  EXPECT_EQ(driver_->QueuedPackets(), QtTabletDriver::kQueueLimit);
  tablet.Close();
  EXPECT_EQ(driver_->QueuedPackets(), 0u);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

// A recording opened by the main window plays in a new document window under the 50 ms timer and
// the idle timer, and its end shows the report (closed here as soon as it opens).
TEST_F(MainFormTest, ARecordingPlaysUnderTheTimersToItsReport) {
  TMainForm& form = Make();
  form.show();
  form.OpenFile(std::string(TF_TEST_DATA_DIR) + "/player_painting.te4");
  DrawWindowWidget* window = form.ActiveDrawWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->Core().IsEventPlayback());
  bool reportShown = false;
  QTimer closer;
  closer.setInterval(5);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      reportShown = true;
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->done(0);
    }
  });
  closer.start();
  bool idleSeen = false;
  for (int i = 0; i < 20000 && window->Core().IsPlaying(); ++i) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    idleSeen = idleSeen || (form.IdleTimer() != nullptr && form.IdleTimer()->isActive());
  }
  for (int i = 0; i < 50 && !reportShown; ++i) QApplication::processEvents(QEventLoop::AllEvents, 5);
  EXPECT_FALSE(window->Core().IsPlaying());
  EXPECT_TRUE(idleSeen);
  EXPECT_TRUE(reportShown);
  ASSERT_NE(window->Core().Playback(), nullptr);
  EXPECT_EQ(window->Core().Playback()->LastReport().state, kReportFinished);
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  EXPECT_FALSE(form.IdleTimer()->isActive());
}

}  // namespace
}  // namespace tf
