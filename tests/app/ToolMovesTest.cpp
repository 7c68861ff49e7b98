// The move tools on a headless document window: layer, selection and combined moves, the
// gradient and the crop; abandoned drags leave the document as recorded.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "app/DrawWindow.h"
#include "app/DrawWindowFakes.h"
#include "app/ToolMoves.h"
#include "document/LayerData.h"
#include "paper/EventFileIO.h"
#include "paper/PaperEventFile.h"
#include "platform/Host.h"
#include "playback/HeadlessPlaybackWindow.h"
#include "playback/PlaybackTestSupport.h"
#include "playback/Player.h"
#include "support/FakeKeyState.h"

namespace tf::test {
namespace {

struct Moves {
  DrawWindowTestScope scope;
  FakeKeyState held;
  FakeWindow w{120, 90};
  Moves() {
    // Something to move: a filled rectangle on the layer.
    TPaper& paper = w.Paper();
    EXPECT_TRUE(paper.FillRect(&W().Flow(), 0, true, true, {10, 10}, SPointF{40, 30}));
  }
  TPaper& P() { return w.Paper(); }
  TDrawWindow& W() { return *w.window; }
  TPoint C(int32_t x, int32_t y) { return W().CanvasToClient({x, y}); }
  void Mode(int32_t mode) {
    w.owner.tool->SetToolMode(mode, false);
    W().SelectToolHandler(false);
  }
  void Down(TPoint p) { W().FormMouseDown(MouseButton::kLeft, kSsLeft, p.x, p.y); }
  void Move(TPoint p) { W().FormMouseMove(kSsLeft, p.x, p.y); }
  void Up(TPoint p) { W().FormMouseUp(MouseButton::kLeft, 0, p.x, p.y); }
  void Drag(TPoint a, TPoint b) {
    Down(a);
    Move({(a.x + b.x) / 2, (a.y + b.y) / 2});
    Move(b);
    Up(b);
  }
  TPoint Offset() { return P().GetLayerOffset(0); }
};

void ExpectReplays(TPaper& paper) {
  char path[] = "/tmp/tf-moves-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  CPaperEventFileDocument file(paper);
  ASSERT_TRUE(SaveEventFile(path, file, false, -1, -1, true));
  HeadlessPlaybackWindow b;
  CPlayer player(b.Paper(), &b);
  ASSERT_EQ(player.startPlay(path), kStartPlayStarted);
  EXPECT_EQ(PlayToEnd(player), kPlayStepEnded);
  player.stopPlay(true);
  std::remove(path);
  EXPECT_EQ(Fingerprint(b.Paper()), Fingerprint(paper));
}

TEST(ToolMovesTest, LayerMovePreviewsUnrecordedAndRecordsOneMoveOnRelease) {
  Moves m;
  m.Mode(21);
  const TPoint before = m.Offset();
  m.Down(m.C(20, 20));
  m.Move(m.C(30, 25));
  // The preview moves the layer with the mouse (an offset is the negative of the position).
  EXPECT_EQ(m.Offset().x, before.x - 10);
  EXPECT_EQ(m.Offset().y, before.y - 5);
  m.Up(m.C(30, 25));
  // The rectangle 10..40 x 10..30 now covers 20..50 x 15..35 of the canvas.
  auto at = [&](int32_t x, int32_t y) {
    const TPoint o = m.Offset();
    return m.P().GetLayer(0)->Store()->GetPixel(x + o.x, y + o.y);
  };
  EXPECT_EQ(at(45, 33), at(25, 20));
  EXPECT_NE(at(15, 12), at(25, 20));
  EXPECT_TRUE(m.W().IsModified());
  ExpectReplays(m.P());
  // Undo brings the layer back.
  SRectWH r{};
  ASSERT_TRUE(m.P().Undo(&m.W().Flow(), 0, r));
  EXPECT_EQ(m.Offset(), before);
  EXPECT_NE(at(45, 33), at(25, 20));
}

TEST(ToolMovesTest, ReleaseWherePressedRecordsNothingButMarksModified) {
  Moves m;
  m.Mode(21);
  const std::vector<std::string> before = Fingerprint(m.P());
  m.Down(m.C(20, 20));
  m.Move(m.C(30, 30));
  m.Up(m.C(20, 20));
  EXPECT_EQ(Fingerprint(m.P()), before);
  EXPECT_TRUE(m.W().IsModified());
  ExpectReplays(m.P());
}

TEST(ToolMovesTest, EveryAbandonedEndPutsTheLayerAndOutlineBack) {
  enum End { kEscape, kFinishPending, kToolChange, kReselected };
  for (int32_t mode : {21, 18, 23}) {
    for (End end : {kEscape, kFinishPending, kToolChange, kReselected}) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " end " << end);
      Moves m;
      ASSERT_TRUE(m.P().SelectRect(&m.W().Flow(), 0, true, 0, {5, 5}, {50, 40}));
      m.Mode(mode);
      const std::vector<std::string> before = Fingerprint(m.P());
      const TPoint ants = m.P().GetAntsOffset();
      m.Down(m.C(20, 20));
      m.Move(m.C(32, 26));
      switch (end) {
        case kEscape: m.W().KeyDown(kKeyEscape, false, 0); break;
        case kFinishPending: m.W().FinishPending(); break;
        case kToolChange: m.Mode(0), m.W().SelectToolHandler(true); break;
        case kReselected: m.W().SelectToolHandler(true); break;
      }
      m.Up(m.C(32, 26));
      EXPECT_EQ(Fingerprint(m.P()), before);
      EXPECT_EQ(m.P().GetAntsOffset(), ants);
      ExpectReplays(m.P());
    }
  }
}

TEST(ToolMovesTest, SelectionAndCombinedMovesRecordTheirCommands) {
  Moves m;
  ASSERT_TRUE(m.P().SelectRect(&m.W().Flow(), 0, true, 0, {10, 10}, {30, 20}));
  m.Mode(18);
  m.Drag(m.C(15, 15), m.C(45, 55));
  EXPECT_GT(m.P().SelectionValueAt(m.C(50, 50).x, m.C(50, 50).y), 0);
  EXPECT_LE(m.P().SelectionValueAt(m.C(12, 12).x, m.C(12, 12).y), 0);
  m.Mode(23);
  const std::vector<std::string> before = Fingerprint(m.P());
  m.Drag(m.C(50, 50), m.C(60, 40));
  EXPECT_NE(Fingerprint(m.P()), before);
  ExpectReplays(m.P());
}

TEST(ToolMovesTest, GradientFillsTheLayerAndCropClipsUnlessFree) {
  Moves m;
  m.Mode(7);
  m.Drag(m.C(0, 0), m.C(100, 0));
  m.Mode(27);
  // Partly outside: clipped to the canvas.
  m.Drag(m.C(60, 50), m.C(200, 150));
  EXPECT_EQ(m.P().canvasWidth, 60);
  EXPECT_EQ(m.P().canvasHeight, 40);
  ExpectReplays(m.P());
  // With the free-crop key of scheme 0 (Alt) the rectangle is taken as drawn.
  Moves f;
  f.Mode(27);
  // (held at the release: Alt at the press picks the eyedropper as a temporary tool).
  f.Down(f.C(100, 80));
  f.Move(f.C(130, 100));
  f.held.keys().insert(kVkMenu);
  f.Up(f.C(130, 100));
  EXPECT_EQ(f.P().canvasWidth, 30);
  EXPECT_EQ(f.P().canvasHeight, 20);
}

}  // namespace
}  // namespace tf::test
