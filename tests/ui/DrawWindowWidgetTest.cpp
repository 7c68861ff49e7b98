// The document window's widget in the main window, with real events on the offscreen platform:
// mouse strokes and tablet strokes recorded and replayed to the same layers, the view's keys,
// wheel and scroll bars, the brush outline, the close question and the sub-window's details.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScrollBar>
#include <QSizeGrip>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>
#include <memory>
#include <string>
#include <vector>

#include "app/AppProfile.h"
#include "app/DrawWindow.h"
#include "app/qt/DrawWindowWidget.h"
#include "app/qt/MainForm.h"
#include "paper/EventFileIO.h"
#include "paper/PaperEventFile.h"
#include "platform/Confirm.h"
#include "platform/Debug.h"
#include "platform/Registry.h"
#include "platform/Tablet.h"
#include "playback/PlaybackTestSupport.h"
#include "support/TempFolder.h"
#include "ui/MouseDriver.h"
#include "ui/UiHosts.h"

namespace tf {
namespace {

using test::MoveTo;
using test::Press;
using test::Release;

class DrawWindowWidgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallUiHosts();
    confirmBefore_ = SetConfirmHost(&confirm_);
    ResetAppProfile();
    store_ = std::make_unique<CRegistry>(folder_.Path());
    AppProfile().SetRegistry(store_.get());
    AppProfile().LoadAll();
    AppProfile().mainWinMax = false;
    AppProfile().childWinMax = false;
    AppProfile().useZoomAntialias = false;
    AppProfile().paper[0] = SPaperPreset{0, 72, 160, 120, false};
    sink_ = SetDebugSink([this](std::string_view line) { lines_.emplace_back(line); });
    ResetUntitledCounter();
  }
  void TearDown() override {
    form_.reset();
    SetTabletDriver(driverBefore_);
    SetDebugSink(sink_);
    SetConfirmHost(confirmBefore_);
    ResetAppProfile();
  }

  TMainForm& Make() {
    form_ = std::make_unique<TMainForm>(SMainFormStart{});
    form_->resize(900, 700);
    EXPECT_TRUE(test::ShowWindow(form_.get()));
    return *form_;
  }
  DrawWindowWidget* NewWindow() {
    EXPECT_TRUE(form_->NewDocumentFromPreset());
    DrawWindowWidget* w = form_->ActiveDrawWindow();
    QApplication::processEvents();
    return w;
  }
  QPoint ClientOf(DrawWindowWidget* w, int32_t x, int32_t y) {
    const TPoint p = w->Core().CanvasToClient(TPoint{x, y});
    return QPoint(p.x, p.y);
  }
  // The document's recording saved as an event file and played into a new headless document.
  std::vector<std::string> Replayed(TPaper& paper) {
    const std::string path = folder_.Path() + "/painted.te4";
    CPaperEventFileDocument file(paper);
    EXPECT_TRUE(SaveEventFile(path, file, false, -1, -1, true));
    HeadlessPlaybackWindow b;
    CPlayer player(b.Paper(), &b);
    EXPECT_EQ(player.startPlay(path), kStartPlayStarted);
    EXPECT_EQ(test::PlayToEnd(player), kPlayStepEnded);
    return test::Fingerprint(b.Paper());
  }
  static bool Painted(TPaper& paper) {
    const CLayerData* layer = paper.GetLayer(0);
    for (int32_t y = 0; y < paper.canvasHeight; ++y)
      for (int32_t x = 0; x < paper.canvasWidth; ++x)
        if ((layer->Store()->GetPixel(x + layer->offsetX, y + layer->offsetY) & 0xFFFFFFu) != 0xFFFFFFu) return true;
    return false;
  }

  test::ScopedTempFolder folder_{"drawwindow"};
  std::unique_ptr<CRegistry> store_;
  std::unique_ptr<TMainForm> form_;
  ScriptedConfirmHost confirm_;
  ConfirmHost* confirmBefore_ = nullptr;
  TabletDriver* driverBefore_ = GetTabletDriver();
  std::vector<std::string> lines_;

 private:
  DebugSink sink_;
};

TEST_F(DrawWindowWidgetTest, MouseStrokesPaintAndTheRecordingReplaysToTheSameLayers) {
  Make();
  DrawWindowWidget* w = NewWindow();
  ASSERT_NE(w, nullptr);
  TPaper& paper = *w->Paper();
  EXPECT_EQ(paper.canvasWidth, 160);
  EXPECT_EQ(paper.canvasHeight, 120);
  EXPECT_EQ(w->Caption(), "名称未設定 1");
  EXPECT_EQ(w->SubWindow()->windowTitle().toStdString(), "名称未設定 1");
  const std::vector<std::vector<QPoint>> strokes = {
      {{10, 10}, {40, 30}, {80, 60}, {120, 50}, {150, 100}},
      {{20, 100}, {30, 90}, {60, 95}, {90, 70}},
  };
  for (const auto& stroke : strokes) {
    Press(w, ClientOf(w, stroke[0].x(), stroke[0].y()));
    for (size_t i = 1; i < stroke.size(); ++i) MoveTo(w, ClientOf(w, stroke[i].x(), stroke[i].y()));
    EXPECT_TRUE(w->Core().IsStrokeActive());
    Release(w, ClientOf(w, stroke.back().x(), stroke.back().y()));
    EXPECT_FALSE(w->Core().IsStrokeActive());
  }
  EXPECT_TRUE(Painted(paper));
  EXPECT_TRUE(w->Core().IsModified());
  EXPECT_TRUE(paper.CanUndo(0));
  EXPECT_EQ(test::Fingerprint(paper), Replayed(paper));
  // The window shows what it painted: the back buffer holds the composed picture at 1:1.
  w->RefreshBackBuffer();
  int32_t compared = 0;
  for (int32_t y = 0; y < paper.canvasHeight; ++y) {
    for (int32_t x = 0; x < paper.canvasWidth; ++x) {
      const QPoint at = ClientOf(w, x, y);
      if (!w->BackBuffer().rect().contains(at)) continue;
      ASSERT_EQ(w->BackBuffer().pixel(at) & 0xFFFFFFu, paper.DisplayBuffer().GetPixel(x, y) & 0xFFFFFFu) << x << "," << y;
      ++compared;
    }
  }
  EXPECT_GT(compared, 1000);
}

TEST_F(DrawWindowWidgetTest, TabletStrokesRecordTheirPressuresAndTheMouseAddsNothing) {
  ScriptedTabletDriver scripted;
  SetTabletDriver(&scripted);
  AppProfile().DrawToolMode = true;
  AppProfile().ignoreTablet = false;
  Make();
  form_->OpenTablet();
  ASSERT_TRUE(form_->Tablet().IsOpen());
  DrawWindowWidget* w = NewWindow();
  ASSERT_NE(w, nullptr);
  TPaper& paper = *w->Paper();
  const STabletContext& c = form_->Tablet().context;
  // A packet at a screen point: the inverse of the context's mapping.
  auto packetAt = [&](QPointF screen, double pressure) {
    STabletPacket packet;
    packet.x = static_cast<int32_t>(std::lround(c.screenOriginX + (screen.x() - c.screenOriginX) *
                                                                       c.outExtentX / c.screenExtentX));
    packet.y = static_cast<int32_t>(std::lround(c.screenOriginY - (screen.y() - c.screenOriginY) *
                                                                       c.outExtentY / c.screenExtentY));
    packet.normalPressure = static_cast<uint32_t>(pressure * scripted.pressure.maximum);
    packet.altitude = 900;
    scripted.PostPacket(packet);
  };
  scripted.PostProximity(true);
  EXPECT_TRUE(form_->Tablet().inRange);
  const double pressures[] = {0.2, 0.4, 0.6, 0.8, 1.0, 0.7, 0.3};
  int32_t i = 0;
  for (double p : pressures) {
    const QPoint client = ClientOf(w, 20 + 18 * i, 30 + 9 * i);
    packetAt(QPointF(w->mapToGlobal(client)), p);
    // The mouse events the window system makes of the pen: the pen group idles.
    if (i == 2) Press(w, client);
    if (i > 2) MoveTo(w, client);
    ++i;
  }
  EXPECT_TRUE(w->Core().IsStrokeActive());
  // One begin and six points: nothing from the mouse.
  EXPECT_EQ(paper.EventMngr()->strokePointCount, 7);
  packetAt(QPointF(w->mapToGlobal(ClientOf(w, 140, 90))), 0.0);
  Release(w, ClientOf(w, 140, 90));
  EXPECT_FALSE(w->Core().IsStrokeActive());
  EXPECT_TRUE(Painted(paper));
  EXPECT_EQ(test::Fingerprint(paper), Replayed(paper));
  // The eraser end switches to the eraser's tool set while hovering, back when the pen leaves.
  STabletPacket turned;
  turned.altitude = -900;
  scripted.PostPacket(turned);
  EXPECT_TRUE(form_->Core().eraserSwitch);
  scripted.PostProximity(false);
  scripted.PostPacket(STabletPacket{});
  EXPECT_FALSE(form_->Core().eraserSwitch);
  form_->CloseTablet();
  form_.reset();
}

TEST_F(DrawWindowWidgetTest, SpaceHeldPaintsNothingAndDeactivationEndsAStroke) {
  Make();
  DrawWindowWidget* w = NewWindow();
  ASSERT_NE(w, nullptr);
  TPaper& paper = *w->Paper();
  QWindow* window = form_->windowHandle();
  w->setFocus();
  QTest::keyPress(window, Qt::Key_Space);
  Press(w, ClientOf(w, 20, 20));
  MoveTo(w, ClientOf(w, 60, 60));
  Release(w, ClientOf(w, 60, 60));
  QTest::keyRelease(window, Qt::Key_Space);
  EXPECT_FALSE(Painted(paper));
  EXPECT_EQ(form_->Tool()->ToolMode(), 0);
  Press(w, ClientOf(w, 20, 20));
  MoveTo(w, ClientOf(w, 60, 60));
  EXPECT_TRUE(w->Core().IsStrokeActive());
  w->Activated(false);
  EXPECT_FALSE(w->Core().IsStrokeActive());
  EXPECT_TRUE(Painted(paper));
  Release(w, ClientOf(w, 70, 70));
  EXPECT_EQ(test::Fingerprint(paper), Replayed(paper));
}

TEST_F(DrawWindowWidgetTest, KeysWheelAndScrollBarsMoveTheView) {
  AppProfile().showScrollBar = true;
  Make();
  DrawWindowWidget* w = NewWindow();
  ASSERT_NE(w, nullptr);
  TPaper& paper = *w->Paper();
  EXPECT_TRUE(w->HorizontalBar()->isVisible());
  EXPECT_TRUE(w->Grip()->isVisible());
  const TZoomRatio start = paper.zoom;
  QTest::keyClick(w, Qt::Key_F5);
  EXPECT_NE(paper.zoom, start);
  QTest::keyClick(w, Qt::Key_F6);
  EXPECT_EQ(paper.zoom, start);
  // Half a notch does nothing; the second half zooms (in: turned toward the user).
  for (int32_t k = 0; k < 2; ++k) {
    QWheelEvent wheel(QPointF(50, 50), QPointF(w->mapToGlobal(QPoint(50, 50))), QPoint(), QPoint(0, -60),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &wheel);
    if (k == 0) EXPECT_EQ(paper.zoom, start);
  }
  EXPECT_EQ(paper.zoom, (TZoomRatio{3, 2}));
  // An arrow of the bar moves the view by the small step; a programmatic value does not scroll.
  QScrollBar* bar = w->HorizontalBar();
  const int32_t before = bar->value();
  auto place = [&] { return std::pair{paper.viewScroll.x, paper.viewOffset.x}; };
  const auto placeBefore = place();
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(bar->value(), before + 15);  // trunc(10 x 1.5)
  EXPECT_NE(place(), placeBefore);
  const auto scrolled = place();
  bar->setValue(bar->value() + 40);
  EXPECT_EQ(place(), scrolled);
}

TEST_F(DrawWindowWidgetTest, TheWidgetShowsTheBackBufferAfterTheOutlineIsErased) {
  AppProfile().BrushGhost = true;
  Make();
  DrawWindowWidget* w = NewWindow();
  ASSERT_NE(w, nullptr);
  MoveTo(w, ClientOf(w, 50, 50));
  QApplication::processEvents();
  ASSERT_TRUE(w->Core().BrushOutlineShown());
  w->RefreshBackBuffer();
  const QImage back = w->BackBuffer().convertToFormat(QImage::Format_RGB32);
  const QImage withOutline = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_NE(withOutline, back);
  w->Core().EraseBrushOutline();
  const QImage shown = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(shown, back);
}

TEST_F(DrawWindowWidgetTest, TheRubberBandIsDottedBlackOnWhiteInsideATurnedCanvas) {
  Make();
  DrawWindowWidget* w = NewWindow();
  ASSERT_NE(w, nullptr);
  w->Core().SetViewRotation(true, 30.0f);
  form_->Tool()->SetToolMode(3, false);
  w->Core().SelectToolHandler(false);
  QApplication::processEvents();
  // From inside the canvas to a client corner the turned canvas does not cover.
  Press(w, ClientOf(w, 40, 40));
  MoveTo(w, QPoint(w->width() / 2, w->height() / 2));
  MoveTo(w, QPoint(2, 2));
  QApplication::processEvents();
  ASSERT_NE(w->Core().InputFlags() & kInOverlay, 0);
  w->RefreshBackBuffer();
  const QImage back = w->BackBuffer().convertToFormat(QImage::Format_RGB32);
  const QImage shown = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shown.size(), back.size());
  w->Core().BuildCanvasRegion();
  QPolygon canvas;
  for (const TPoint& q : w->Core().CanvasRegion()) canvas << QPoint(q.x, q.y);
  const QRegion inside(canvas, Qt::OddEvenFill);
  int32_t black = 0, outside = 0;
  for (int32_t y = 0; y < back.height(); ++y)
    for (int32_t x = 0; x < back.width(); ++x) {
      const QRgb a = shown.pixel(x, y);
      if (a == back.pixel(x, y)) continue;
      if (!inside.contains(QPoint(x, y))) ++outside;
      if ((a & 0xFFFFFFu) == 0) ++black;
    }
  EXPECT_EQ(outside, 0);
  EXPECT_GT(black, 20);
  // Beside the canvas the band is clipped away.
  EXPECT_EQ(shown.pixel(w->width() / 2, 2), back.pixel(w->width() / 2, 2));
  Release(w, QPoint(2, 2));
  QApplication::processEvents();
  EXPECT_EQ(w->Core().InputFlags() & kInOverlay, 0);
  EXPECT_TRUE(Painted(*w->Paper()));
  EXPECT_EQ(test::Fingerprint(*w->Paper()), Replayed(*w->Paper()));
}

TEST_F(DrawWindowWidgetTest, CloseAsksForAModifiedDocumentAndTheSubWindowKeepsItsRules) {
  Make();
  DrawWindowWidget* w = NewWindow();
  ASSERT_NE(w, nullptr);
  QMdiSubWindow* sub = w->SubWindow();
  for (QAction* action : sub->systemMenu()->actions()) EXPECT_NE(action->text().remove('&'), "Size");
  sub->showMaximized();
  QApplication::processEvents();
  EXPECT_TRUE(AppProfile().childWinMax);
  sub->showNormal();
  QApplication::processEvents();
  EXPECT_FALSE(AppProfile().childWinMax);
  w->Core().SetModified(true);
  confirm_.Answer(kResultCancel);
  EXPECT_FALSE(sub->close());
  ASSERT_EQ(confirm_.Questions().size(), 1u);
  EXPECT_EQ(confirm_.Questions()[0].text, "\"名称未設定 1\" は変更されています。\r保存しますか？");
  confirm_.Answer(kResultNo);
  QPointer<QMdiSubWindow> gone(sub);
  EXPECT_TRUE(sub->close());
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(gone.isNull());
  EXPECT_EQ(form_->ActiveDrawWindow(), nullptr);
  // Two new documents number on.
  DrawWindowWidget* second = NewWindow();
  EXPECT_EQ(second->Caption(), "名称未設定 2");
}

}  // namespace
}  // namespace tf
