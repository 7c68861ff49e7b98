// The player rows of the text tool: text drawn (13/16) and text selected (13/17) recorded in one
// document and played into another prepared the same way give the same bytes; packets whose
// channel header does not hold are refused before anything changes. Recording needs DejaVu Sans
// (installed by scripts/deps.sh); the replay itself never asks for a font.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "document/LayerData.h"
#include "document/Mask.h"
#include "events/EventPacket.h"
#include "paint/Stroke.h"
#include "paint/Text.h"
#include "paper/FlowImage.h"
#include "paper/HeadlessWindow.h"
#include "paper/Paper.h"
#include "paper/PaperTestSupport.h"
#include "playback/PlayRowHarness.h"
#include "playback/PlayRows.h"
#include "support/FakeKeyState.h"

namespace tf {
namespace {

using test::LastRecordedCommand;
using test::PlayRecordedCommand;
using test::RecordedCommand;

constexpr const char* kFace = "DejaVu Sans";

bool HaveFace() {
  SFontRequest r;
  r.face = kFace;
  auto f = CFontFace::Open(r);
  return f != nullptr && f->Family() == kFace;
}

#define REQUIRE_FACE() \
  if (!HaveFace()) GTEST_SKIP() << kFace << " is not installed (scripts/deps.sh installs fonts-dejavu-core)"

// A document of 160 x 100 with two layers, the upper one moved and active, and a stroke colour.
struct Doc {
  Doc() {
    window.stroke = &stroke;
    EXPECT_TRUE(Paper().NewDocument("p", &window.Flow(), false, false, 72, 100, 160));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 1, false, true, 255, 0, 100, 160));
    SRectWH band{0, 20, 160, 30};
    Paper().GetLayer(1)->Store()->FillRect(band, 0x80C08040u);
    Paper().GetLayer(1)->offsetX = 5;
    Paper().GetLayer(1)->offsetY = 3;
    Paper().SyncFlowImage(Flow(), 1, true);
    stroke.SetColor(0x00A01030u);
    stroke.SetOpacity(0.75f);
  }
  TPaper& Paper() { return window.Paper(); }
  TFlowImage* Flow() { return &window.Flow(); }
  std::vector<uint32_t> Pixels(int32_t index) {
    const CLayerData& l = *Paper().GetLayer(index);
    std::vector<uint32_t> out;
    for (int32_t y = 0; y < l.StoreHeight(); ++y)
      for (int32_t x = 0; x < l.StoreWidth(); ++x) out.push_back(l.Store()->GetPixel(x, y));
    return out;
  }
  int32_t Commit(bool asSelection) {
    STextJob job;
    job.font.face = kFace;
    job.font.pointSize = 20;
    job.font.bold = true;
    job.text = "Text\r\nrow";
    job.x = 12;
    job.y = 30;
    return Paper().CommitText(Flow(), stroke, job, asSelection, true);
  }

  test::PaperTestScope scope;
  HeadlessDocumentWindow window;
  TStroke stroke{0};
};

TEST(PlayTextRows, TextDrawnReplaysToTheSameLayerBytes) {
  REQUIRE_FACE();
  Doc a, b;
  ASSERT_EQ(a.Pixels(1), b.Pixels(1));
  ASSERT_GT(a.Commit(false), 0);
  const RecordedCommand command = LastRecordedCommand(*a.Paper().EventMngr());
  ASSERT_TRUE(command.found);
  ASSERT_EQ(command.frame.header.cls, kPcChannel);
  ASSERT_EQ(command.frame.header.code, 16);
  const int32_t steps = b.Paper().EventMngr()->stepCount();
  uint8_t afterStep = 0xFF;
  ASSERT_TRUE(PlayRecordedCommand(TextPlayRows(), command, b.Paper(), b.Flow(), b.stroke, 400, &afterStep));
  EXPECT_EQ(afterStep, 0);
  EXPECT_NE(a.Pixels(1), Doc().Pixels(1));
  EXPECT_EQ(b.Pixels(1), a.Pixels(1));
  EXPECT_EQ(b.Pixels(0), a.Pixels(0));
  EXPECT_EQ(b.Paper().EventMngr()->stepCount(), steps) << "the replay records nothing";
  TRect left{};
  EXPECT_FALSE(b.Flow()->WorkChannel().GetNonZeroBounds(left));
}

// Keeps what the selector was given.
struct Captured {
  static inline std::vector<std::vector<uint8_t>> channels;
  static inline std::vector<SRectWH> rects;
  static inline std::vector<int32_t> modes;
  static bool Select(TPaper&, TFlowImage* flow, int32_t, bool, const SRectWH& r, int32_t mode) {
    modes.push_back(mode);
    std::vector<uint8_t> bytes;
    const TChannel& c = flow->WorkChannel();
    for (int32_t y = 0; y < c.Height(); ++y)
      for (int32_t x = 0; x < c.Width(); ++x) bytes.push_back(c.GetPixel(x, y));
    channels.push_back(std::move(bytes));
    rects.push_back(r);
    return true;
  }
};

TEST(PlayTextRows, TextSelectedHandsTheSameChannelToTheSelection) {
  REQUIRE_FACE();
  TPaper::WorkChannelSelector previous = TPaper::SetWorkChannelSelector(&Captured::Select);
  Captured::channels.clear();
  Captured::rects.clear();
  Captured::modes.clear();
  Doc a, b;
  ASSERT_GT(a.Commit(true), 0);
  const RecordedCommand command = LastRecordedCommand(*a.Paper().EventMngr());
  ASSERT_EQ(command.frame.header.code, 17);
  ASSERT_TRUE(PlayRecordedCommand(TextPlayRows(), command, b.Paper(), b.Flow(), b.stroke));
  ASSERT_EQ(Captured::channels.size(), 2u);
  EXPECT_EQ(Captured::channels[0], Captured::channels[1]);
  // The played rectangle is the packed bounds, inside the drawn one.
  EXPECT_GE(Captured::rects[1].left, Captured::rects[0].left);
  EXPECT_LE(Captured::rects[1].left + Captured::rects[1].width,
            Captured::rects[0].left + Captured::rects[0].width);
  EXPECT_EQ(b.Pixels(1), a.Pixels(1));
  // The replay combines by the recorded mode (no keys held: a replacement), not by the keys.
  ASSERT_EQ(Captured::modes.size(), 2u);
  EXPECT_EQ(Captured::modes[1], Captured::modes[0]);
  TPaper::SetWorkChannelSelector(previous);
}

// Replay used to combine a text selection by whatever keys were held during playback. The mode
// used when recording is now in the packet and the replay takes it.
TEST(PlayTextRows, RegressionTextSelectionReplaysWithItsRecordedModeNotTheKeysHeld) {
  REQUIRE_FACE();
  TPaper::WorkChannelSelector previous = TPaper::SetWorkChannelSelector(&Captured::Select);
  Captured::channels.clear();
  Captured::rects.clear();
  Captured::modes.clear();
  test::FakeKeyState keys;
  Doc a, b;
  // The keys choose a mode only over an existing selection.
  for (Doc* d : {&a, &b}) ASSERT_TRUE(d->Paper().SelectAll(d->Flow(), d->Paper().GetActiveLayerIndex(), false));
  keys.Hold(true, false, false);  // Shift: add
  ASSERT_GT(a.Commit(true), 0);
  const RecordedCommand command = LastRecordedCommand(*a.Paper().EventMngr());
  keys.Hold(false, false, true);  // Alt during playback: would subtract
  ASSERT_TRUE(PlayRecordedCommand(TextPlayRows(), command, b.Paper(), b.Flow(), b.stroke));
  ASSERT_EQ(Captured::modes.size(), 2u);
  EXPECT_EQ(Captured::modes[0], kMaskAdd);
  EXPECT_EQ(Captured::modes[1], kMaskAdd);
  TPaper::SetWorkChannelSelector(previous);
}

TEST(PlayTextRows, PacketsWhoseChannelDoesNotHoldAreRefusedAndChangeNothing) {
  REQUIRE_FACE();
  Doc a;
  ASSERT_GT(a.Commit(false), 0);
  const RecordedCommand good = LastRecordedCommand(*a.Paper().EventMngr());
  ASSERT_TRUE(good.found);
  const std::vector<uint8_t> bytes(good.payload.data(), good.payload.data() + good.payload.size());

  struct Case {
    const char* what;
    void (*change)(std::vector<uint8_t>& p);
  };
  const Case cases[] = {
      {"wrong channel kind", [](std::vector<uint8_t>& p) { p[20] = 3; }},
      {"byte count is not the rectangle's area",
       [](std::vector<uint8_t>& p) {
         int32_t v;
         std::memcpy(&v, p.data() + 46, 4);
         ++v;
         std::memcpy(p.data() + 46, &v, 4);
       }},
      {"empty rectangle",
       [](std::vector<uint8_t>& p) {
         std::memcpy(p.data() + 34, p.data() + 26, 4);  // right := left
       }},
      {"rectangle beyond the layer",
       [](std::vector<uint8_t>& p) {
         int32_t left, right;
         std::memcpy(&left, p.data() + 26, 4);
         std::memcpy(&right, p.data() + 34, 4);
         left += 1000;
         right += 1000;
         std::memcpy(p.data() + 26, &left, 4);
         std::memcpy(p.data() + 34, &right, 4);
       }},
      {"negative rectangle",
       [](std::vector<uint8_t>& p) {
         int32_t top, bottom;
         std::memcpy(&top, p.data() + 30, 4);
         std::memcpy(&bottom, p.data() + 38, 4);
         top -= 500;
         bottom -= 500;
         std::memcpy(p.data() + 30, &top, 4);
         std::memcpy(p.data() + 38, &bottom, 4);
       }},
      {"packed length beyond n",
       [](std::vector<uint8_t>& p) {
         int32_t n;
         std::memcpy(&n, p.data() + 42, 4);
         n += 2;
         std::memcpy(p.data() + 50, &n, 4);
       }},
      {"packed bytes cut short", [](std::vector<uint8_t>& p) { p.resize(p.size() - 4); }},
      {"header cut short", [](std::vector<uint8_t>& p) { p.resize(40); }},
      {"packed bytes damaged", [](std::vector<uint8_t>& p) { std::memset(p.data() + 54, 0x5A, p.size() - 54); }},
      {"layer index out of range", [](std::vector<uint8_t>& p) { p[0] = 9; }},
  };
  for (const Case& c : cases) {
    Doc b;
    const std::vector<uint32_t> before = b.Pixels(1);
    RecordedCommand bad = good;
    std::vector<uint8_t> p = bytes;
    c.change(p);
    bad.payload.Assign(p);
    EXPECT_FALSE(PlayRecordedCommand(TextPlayRows(), bad, b.Paper(), b.Flow(), b.stroke)) << c.what;
    EXPECT_EQ(b.Pixels(1), before) << c.what;
    TRect left{};
    EXPECT_FALSE(b.Flow()->WorkChannel().GetNonZeroBounds(left)) << c.what;
  }
}

}  // namespace
}  // namespace tf
