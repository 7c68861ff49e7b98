// The text tool's commit: what it paints, what it records (font, text, channel), its undo, the
// placement on a moved layer, the selection form through the installed selector, and what it
// refuses without a trace. Uses DejaVu Sans (installed by scripts/deps.sh); skipped without it.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "document/LayerData.h"
#include "events/EventPacket.h"
#include "paint/Stroke.h"
#include "paint/Text.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "paper/PaperTestSupport.h"
#include "platform/ByteOrder.h"

namespace tf {
namespace {

using test::PaperTestScope;
using test::ReadPackets;
using test::StreamPacket;

constexpr const char* kFace = "DejaVu Sans";

bool HaveFace() {
  SFontRequest r;
  r.face = kFace;
  auto f = CFontFace::Open(r);
  return f != nullptr && f->Family() == kFace;
}

#define REQUIRE_FACE() \
  if (!HaveFace()) GTEST_SKIP() << kFace << " is not installed (scripts/deps.sh installs fonts-dejavu-core)"

struct TextDoc {
  TextDoc() {
    window.stroke = &stroke;
    EXPECT_TRUE(Paper().NewDocument("t", &window.Flow(), false, false, 72, 120, 200));
    SRectWH all{0, 0, 200, 120};
    Layer().Store()->FillRect(all, 0xFF30A060u);
    Paper().SyncFlowImage(Flow(), 0, true);
    stroke.SetColor(0x00102040u);
  }
  TPaper& Paper() { return window.Paper(); }
  TFlowImage* Flow() { return &window.Flow(); }
  CLayerData& Layer() { return *Paper().GetLayer(Paper().GetActiveLayerIndex()); }
  std::vector<uint32_t> Pixels() {
    std::vector<uint32_t> out;
    for (int32_t y = 0; y < Layer().StoreHeight(); ++y)
      for (int32_t x = 0; x < Layer().StoreWidth(); ++x) out.push_back(Layer().Store()->GetPixel(x, y));
    return out;
  }
  int32_t Commit(const std::string& text, int32_t x, int32_t y, bool asSelection = false, bool record = true) {
    job = STextJob{};
    job.font.face = kFace;
    job.font.pointSize = 24;
    job.text = text;
    job.x = x;
    job.y = y;
    job.spacing = 3;
    job.leading = -2;
    return Paper().CommitText(Flow(), stroke, job, asSelection, record);
  }

  PaperTestScope scope;
  HeadlessDocumentWindow window;
  TStroke stroke{0};
  STextJob job;
};

// The coverage the text gives on its own, in a channel of the store's size.
std::unique_ptr<TChannel> Coverage(const std::string& text, int32_t x, int32_t y, int32_t w, int32_t h) {
  auto c = std::make_unique<TChannel>(w, h);
  STextJob job;
  job.font.face = kFace;
  job.font.pointSize = 24;
  job.text = text;
  job.x = x;
  job.y = y;
  job.spacing = 3;
  job.leading = -2;
  job.target = c.get();
  RenderText(job);
  return c;
}

TEST(PaperText, CommitPaintsTheCoverageRecordsFontTextAndChannelAndUndoTakesItBack) {
  REQUIRE_FACE();
  TextDoc d;
  const std::vector<uint32_t> before = d.Pixels();
  const int32_t steps = d.Paper().EventMngr()->stepCount();
  ASSERT_EQ(d.Commit("Ag\r\nW", 20, 40), 3);
  EXPECT_TRUE(d.window.modified);
  EXPECT_EQ(d.Paper().EventMngr()->stepCount(), steps + 1);

  // Exactly the covered pixels change; full coverage gives the stroke's colour.
  const auto coverage = Coverage("Ag\r\nW", 20, 40, 200, 120);
  const TChannel& cover = *coverage;
  const std::vector<uint32_t> after = d.Pixels();
  int32_t full = 0;
  for (int32_t y = 0; y < 120; ++y) {
    for (int32_t x = 0; x < 200; ++x) {
      const uint32_t was = before[y * 200 + x], now = after[y * 200 + x];
      const uint8_t c = cover.GetPixel(x, y);
      if (c == 0) {
        ASSERT_EQ(now, was) << x << "," << y;
      } else if (c == 255) {
        ASSERT_EQ(now & 0xFFFFFFu, 0x102040u) << x << "," << y;
        ++full;
      }
    }
  }
  EXPECT_GT(full, 50);
  TRect left{};
  EXPECT_FALSE(d.Flow()->WorkChannel().GetNonZeroBounds(left)) << "the working channel is cleared";

  // Font record (0/32), text (0/33), then the channel (13/16) at the canvas point.
  std::vector<StreamPacket> packets = ReadPackets(*d.Paper().EventMngr());
  ASSERT_GE(packets.size(), 3u);
  const StreamPacket& font = packets[packets.size() - 3];
  const StreamPacket& text = packets[packets.size() - 2];
  const StreamPacket& channel = packets.back();
  ASSERT_EQ(font.cls, kPcState);
  ASSERT_EQ(font.code, 32);
  ASSERT_EQ(font.payload.size(), sizeof(SFontRecord));
  EXPECT_EQ(std::memcmp(font.payload.data(), d.job.logFont, kLogFontSize), 0);
  EXPECT_EQ(LoadI32(font.payload.data()), -32);
  EXPECT_EQ(LoadI16(font.payload.data() + 60), 3);
  EXPECT_EQ(LoadI16(font.payload.data() + 62), -2);
  ASSERT_EQ(text.cls, kPcState);
  ASSERT_EQ(text.code, 33);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(text.payload.data() + 2), 5), "Ag\r\nW");
  ASSERT_EQ(channel.cls, kPcChannel);
  ASSERT_EQ(channel.code, 16);
  SChannelPacket h{};
  std::memcpy(&h, channel.payload.data(), sizeof h);
  EXPECT_EQ(h.kind, 2);
  EXPECT_EQ(int32_t{h.point.x}, 20);
  EXPECT_EQ(int32_t{h.point.y}, 40);
  TRect b{};
  ASSERT_TRUE(cover.GetNonZeroBounds(b));
  EXPECT_EQ(int32_t{h.rect.left}, b.left);
  EXPECT_EQ(int32_t{h.rect.bottom}, b.bottom);

  SRectWH rect{};
  ASSERT_TRUE(d.Paper().Undo(d.Flow(), 0, rect));
  EXPECT_EQ(d.Pixels(), before);
  ASSERT_TRUE(d.Paper().Redo(d.Flow(), 0, rect));
  EXPECT_EQ(d.Pixels(), after);
}

TEST(PaperText, EmptyTextOrNoFontDrawsAndRecordsNothing) {
  REQUIRE_FACE();
  TextDoc d;
  const std::vector<uint32_t> before = d.Pixels();
  const int32_t steps = d.Paper().EventMngr()->stepCount();
  const uint32_t written = d.Paper().EventMngr()->writePos();
  EXPECT_EQ(d.Commit("", 20, 40), 0);
  EXPECT_EQ(d.Commit("A", 500, 40), 0) << "outside the layer: no glyph drawn";
  d.job = STextJob{};
  d.job.text = "A";
  d.job.font.face = kFace;
  d.job.font.pointSize = 0;
  EXPECT_EQ(d.Paper().CommitText(d.Flow(), d.stroke, d.job, false, true), -1);
  EXPECT_EQ(d.Paper().EventMngr()->stepCount(), steps);
  EXPECT_EQ(d.Paper().EventMngr()->writePos(), written);
  EXPECT_EQ(d.Pixels(), before);
  EXPECT_FALSE(d.window.modified);
  EXPECT_EQ(d.Paper().CommitText(nullptr, d.stroke, d.job, false, true), -1);
}

TEST(PaperText, OnAMovedLayerTheTextLandsWhereTheCanvasPointIs) {
  REQUIRE_FACE();
  TextDoc still, moved;
  moved.Layer().offsetX = 12;
  moved.Layer().offsetY = 7;
  moved.Paper().SyncFlowImage(moved.Flow(), 0, true);
  ASSERT_EQ(still.Commit("Wg", 30, 50), 2);
  ASSERT_EQ(moved.Commit("Wg", 30, 50), 2);
  // The store of the moved layer holds the text 12, 7 further in; the composed canvas is the same.
  const auto coverage = Coverage("Wg", 30, 50, 200, 120);
  const TChannel& cover = *coverage;
  TRect b{};
  ASSERT_TRUE(cover.GetNonZeroBounds(b));
  for (int32_t y = b.top; y < b.bottom; ++y)
    for (int32_t x = b.left; x < b.right; ++x) {
      ASSERT_EQ(moved.Layer().Store()->GetPixel(x + 12, y + 7), still.Layer().Store()->GetPixel(x, y));
      ASSERT_EQ(moved.Paper().DisplayBuffer().GetPixel(x, y), still.Paper().DisplayBuffer().GetPixel(x, y));
    }
  std::vector<StreamPacket> packets = ReadPackets(*moved.Paper().EventMngr());
  SChannelPacket h{};
  std::memcpy(&h, packets.back().payload.data(), sizeof h);
  EXPECT_EQ(int32_t{h.point.x}, 30) << "the canvas point is recorded";
  EXPECT_EQ(int32_t{h.rect.left}, b.left + 12) << "the channel is in store coordinates";
}

// A stand-in for the selection command that takes the working channel.
struct SelectorProbe {
  static inline int calls = 0;
  static inline bool record = false;
  static inline SRectWH rect{};
  static inline std::vector<uint8_t> bytes;
  static bool Select(TPaper&, TFlowImage* flow, int32_t layer, bool rec, const SRectWH& r, int32_t) {
    ++calls;
    record = rec;
    rect = r;
    bytes.clear();
    for (int32_t y = r.top; y < r.top + r.height; ++y)
      for (int32_t x = r.left; x < r.left + r.width; ++x) bytes.push_back(flow->WorkChannel().GetPixel(x, y));
    return layer == 0;
  }
};

TEST(PaperText, AsSelectionGoesToTheInstalledSelectorAndFailsLoudlyWithoutOne) {
  REQUIRE_FACE();
  TextDoc d;
  const std::vector<uint32_t> before = d.Pixels();
  const int32_t steps = d.Paper().EventMngr()->stepCount();
  TPaper::WorkChannelSelector previous = TPaper::SetWorkChannelSelector(nullptr);
  EXPECT_EQ(d.Commit("A", 20, 40, true), -1);
  EXPECT_TRUE(d.scope.DebugSaid("no selection command takes the working channel"));
  EXPECT_EQ(d.Paper().EventMngr()->stepCount(), steps) << "the recorded step is taken out again";

  TPaper::SetWorkChannelSelector(&SelectorProbe::Select);
  SelectorProbe::calls = 0;
  EXPECT_EQ(d.Commit("A", 20, 40, true), 1);
  EXPECT_EQ(SelectorProbe::calls, 1);
  EXPECT_TRUE(SelectorProbe::record);
  const auto coverage = Coverage("A", 20, 40, 200, 120);
  const TChannel& cover = *coverage;
  TRect b{};
  ASSERT_TRUE(cover.GetNonZeroBounds(b));
  EXPECT_LE(SelectorProbe::rect.left, b.left);
  EXPECT_GE(SelectorProbe::rect.left + SelectorProbe::rect.width, b.right);
  int32_t ink = 0;
  for (uint8_t v : SelectorProbe::bytes) ink += v != 0;
  EXPECT_GT(ink, 30) << "the selector sees the text in the channel";
  EXPECT_EQ(d.Pixels(), before) << "a selection paints nothing";
  TRect left{};
  EXPECT_FALSE(d.Flow()->WorkChannel().GetNonZeroBounds(left));
  std::vector<StreamPacket> packets = ReadPackets(*d.Paper().EventMngr());
  EXPECT_EQ(packets.back().cls, kPcChannel);
  EXPECT_EQ(packets.back().code, 17);
  TPaper::SetWorkChannelSelector(previous);
}

TEST(PaperText, DrawStrokeInRectRefusesAChannelOfAnotherLayerOrOutsideTheStore) {
  TextDoc d;
  ASSERT_TRUE(d.Paper().AddLayer(d.Flow(), 1, false, true, 255, 0, 120, 200));
  ASSERT_EQ(d.Paper().GetActiveLayerIndex(), 1);
  const std::vector<uint32_t> before = d.Pixels();
  SRectWH r{10, 10, 5, 5};
  d.Flow()->WorkChannel().FillRect(r, 255);
  d.stroke.SetLayerIndex(0);  // the working copy holds layer 1
  EXPECT_FALSE(d.Paper().DrawStrokeInRect(d.Flow(), d.stroke, SRectWH{10, 10, 5, 5}, false, false));
  d.stroke.SetLayerIndex(1);
  d.Flow()->WorkChannel().FillRect(r, 255);
  EXPECT_FALSE(d.Paper().DrawStrokeInRect(d.Flow(), d.stroke, SRectWH{300, 10, 5, 5}, false, false));
  EXPECT_EQ(d.Pixels(), before);
  TRect left{};
  EXPECT_FALSE(d.Flow()->WorkChannel().GetNonZeroBounds(left));
  // In the store: painted, without recording or undo.
  d.Flow()->WorkChannel().FillRect(r, 255);
  const int32_t steps = d.Paper().EventMngr()->stepCount();
  EXPECT_TRUE(d.Paper().DrawStrokeInRect(d.Flow(), d.stroke, SRectWH{10, 10, 5, 5}, false, false));
  EXPECT_EQ(d.Layer().Store()->GetPixel(12, 12) & 0xFFFFFFu, 0x102040u);
  EXPECT_EQ(d.Paper().EventMngr()->stepCount(), steps);
}

}  // namespace
}  // namespace tf
