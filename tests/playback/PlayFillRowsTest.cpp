// The player rows of the layer clear, the alpha commands, the fills and the channel fills and
// selections: each command recorded in one document and played into a twin gives the same
// stores and masks byte for byte; malformed packets are refused.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "document/Mask.h"
#include "paint/Gradient.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "paper/PaperTestSupport.h"
#include "playback/PlayRowHarness.h"

namespace tf {
namespace {

using test::LastRecordedCommand;
using test::PaperTestScope;
using test::PlayRecordedCommand;
using test::RecordedCommand;

// One document: 40 x 30, layer 1 with a dark square on white and a small selection, a red
// stroke and a two-colour gradient.
struct Document {
  explicit Document(PaperTestScope& scope) {
    (void)scope;
    window = std::make_unique<HeadlessDocumentWindow>();
    window->stroke = &stroke;
    stroke.SetColor(0x000000FFu);
    stroke.SetBackColor(0x00FF00FFu);
    EXPECT_TRUE(Paper().NewDocument("t", Flow(), false, false, 72, 30, 40));
    Paper().EventMngr()->attachPen(&pen);
    EXPECT_TRUE(Paper().AddLayer(Flow(), 1, false, true, 255, 0, 30, 40));
    CLayerData& layer = *Paper().GetLayer(1);
    layer.Store()->FillAll(0xFFFFFFFFu);
    for (int32_t y = 8; y < 18; ++y)
      for (int32_t x = 10; x < 20; ++x) layer.Store()->SetPixel(x, y, 0xC0101010u);
    // A second layer whose store reaches 20 pixels left of the canvas.
    EXPECT_TRUE(Paper().AddLayer(Flow(), 2, false, true, 255, 0, 30, 60));
    Paper().GetLayer(2)->offsetX = 20;
    Paper().GetLayer(2)->Store()->FillAll(0x00FFFFFFu);
    // The fills paint the active layer (the selection is sampled against its offset).
    EXPECT_TRUE(Paper().SetActiveLayer(Flow(), 1));
    Paper().SyncFlowImage(Flow(), 1, true);
    stops.SetStop(0, 0x000000u, 65536, 255);
    stops.SetStop(1, 0x00FF00u, 65536, 255);
    Paper().Gradation().SetSlotGroup(&stops);
  }
  TPaper& Paper() { return window->Paper(); }
  TFlowImage* Flow() { return &window->Flow(); }
  void Select(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    TChannel channel(40, 30);
    for (int32_t y = top; y < bottom; ++y)
      for (int32_t x = left; x < right; ++x) *channel.GetPixelPtr(x, y) = 200;
    std::unique_ptr<CMaskData> old;
    ASSERT_TRUE(Paper().MaskMngr()->CombineChannel(-1, channel, 0, old, TPoint{0, 0}, SSize{40, 30}));
    Paper().selectionEnabled = 1;
  }

  TStroke stroke{1};
  FakeRecordedPen pen;
  CColorSlotGroup stops{4};
  std::unique_ptr<HeadlessDocumentWindow> window;
};

struct Snapshot {
  std::vector<std::vector<uint32_t>> layers;
  std::vector<int32_t> geometry;
  std::vector<uint8_t> mask;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(TPaper& paper) {
  Snapshot s;
  for (int32_t i = 0; i < paper.GetLayerCount(); ++i) {
    const CLayerData& layer = *paper.GetLayer(i);
    s.geometry.insert(s.geometry.end(), {layer.StoreWidth(), layer.StoreHeight(), layer.offsetX, layer.offsetY});
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < layer.StoreHeight(); ++y)
      for (int32_t x = 0; x < layer.StoreWidth(); ++x) pixels.push_back(layer.Store()->GetPixel(x, y));
    s.layers.push_back(std::move(pixels));
  }
  const CMaskData* mask = paper.MaskMngr()->GetActiveMask();
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x)
      s.mask.push_back(mask != nullptr && mask->IsAllocated()
                           ? mask->Store()->GetPixelSafe(x + mask->offsetX, y + mask->offsetY)
                           : 0);
  return s;
}

class PlayFillRows : public ::testing::Test {
 protected:
  void SetUp() override { ResetPixelWriters(); }
  void TearDown() override { ResetPixelWriters(); }

  // Runs the command in a recording document and plays its packet into a twin.
  void ExpectReplayEqual(const char* name, uint8_t cls, uint8_t code,
                         const std::function<bool(Document&)>& command,
                         const std::function<void(Document&)>& prepare = {}, int32_t appVersion = 400) {
    SCOPED_TRACE(name);
    Document a(scope), b(scope);
    if (prepare) {
      prepare(a);
      prepare(b);
    }
    ASSERT_EQ(Take(a.Paper()), Take(b.Paper()));
    const Snapshot before = Take(a.Paper());
    ASSERT_TRUE(command(a));
    ASSERT_NE(Take(a.Paper()), before);
    const RecordedCommand recorded = LastRecordedCommand(*a.Paper().EventMngr());
    ASSERT_TRUE(recorded.found);
    EXPECT_EQ(recorded.frame.header.cls, cls);
    EXPECT_EQ(recorded.frame.header.code, code);
    const int32_t stepsB = b.Paper().EventMngr()->stepCount();
    uint8_t afterStep = 0;
    ASSERT_TRUE(
        PlayRecordedCommand(FillPlayRows(), recorded, b.Paper(), b.Flow(), b.stroke, appVersion, &afterStep));
    EXPECT_EQ(Take(b.Paper()), Take(a.Paper()));
    EXPECT_EQ(b.Paper().EventMngr()->stepCount(), stepsB);  // playing records nothing
    last = recorded;
  }

  PaperTestScope scope;
  RecordedCommand last;
};

TEST_F(PlayFillRows, LayerClearAndAlphaCommands) {
  ExpectReplayEqual("clear", 4, 2, [](Document& d) { return d.Paper().ClearLayer(d.Flow(), 1, true); });
  ExpectReplayEqual("alpha", 4, 24, [](Document& d) { return d.Paper().FillLayerAlpha(d.Flow(), 1, true, 77); });
  ExpectReplayEqual("invert alpha", 4, 25,
                    [](Document& d) { return d.Paper().InvertLayerAlpha(d.Flow(), 1, true); });
}

TEST_F(PlayFillRows, ShapeAndLayerFills) {
  ExpectReplayEqual("layer", 6, 0,
                    [](Document& d) { return d.Paper().FillLayer(d.Flow(), 1, true, true, 0x123456); });
  ExpectReplayEqual("rect", 6, 1, [](Document& d) {
    return d.Paper().FillRect(d.Flow(), 1, true, true, TPoint{3, 4}, SPointF{22.5f, 17.25f});
  });
  ExpectReplayEqual("gradient", 6, 2, [](Document& d) {
    return d.Paper().GradientFillLayer(d.Flow(), 1, true, false, TPoint{0, 0}, SPointF{39, 29});
  });
  ExpectReplayEqual(
      "older ellipse", 6, 3,
      [](Document& d) {
        return d.Paper().FillEllipse(d.Flow(), 1, true, TPoint{-5, 2}, SPointF{30, 20}, false);
      },
      {}, 300);
  ExpectReplayEqual("polygon", 6, 4, [](Document& d) {
    const TPoint pts[5] = {{1, 1}, {30, 2}, {25, 25}, {3, 20}, {12, 9}};
    return d.Paper().FillPolygon(d.Flow(), 1, true, 5, pts);
  });
  ExpectReplayEqual(
      "clear selection", 6, 5, [](Document& d) { return d.Paper().ClearSelection(d.Flow(), 1, 0xFFFFFF, true); },
      [](Document& d) { d.Select(5, 5, 25, 12); });
  ExpectReplayEqual("ellipse", 6, 6, [](Document& d) {
    return d.Paper().FillEllipse(d.Flow(), 1, true, TPoint{4, 2}, SPointF{30, 20}, true);
  });
}

// Recordings of the versions below 282 fill with the stroke's two colours, not the played ones.
TEST_F(PlayFillRows, OlderGradientFillUsesTheStrokesTwoColours) {
  Document a(scope), b(scope);
  ASSERT_TRUE(a.Paper().GradientFillLayer(a.Flow(), 1, true, false, TPoint{0, 0}, SPointF{39, 0}));
  const RecordedCommand recorded = LastRecordedCommand(*a.Paper().EventMngr());
  ASSERT_TRUE(PlayRecordedCommand(FillPlayRows(), recorded, b.Paper(), b.Flow(), b.stroke, 250));
  // The left end takes slot 0: the stroke's second colour (magenta), not black.
  const uint32_t left = b.Paper().GetLayer(1)->Store()->GetPixel(0, 0) & 0xFFFFFFu;
  EXPECT_EQ(left, 0xFF00FFu);
  EXPECT_EQ(b.Paper().Gradation().SlotGroup(), &b.stops);  // the played colours are back
}

TEST_F(PlayFillRows, ChannelFillsAndSelections) {
  ExpectReplayEqual("bucket", 13, 0, [](Document& d) {
    return d.Paper().BucketFill(d.Flow(), 1, true, false, false, TPoint{12, 10});
  });
  ExpectReplayEqual(
      "bucket in selection, soft", 13, 0,
      [](Document& d) {
        return d.Paper().BucketFill(d.Flow(), 1, true, false, true, TPoint{12, 10});
      },
      [](Document& d) { d.Select(0, 0, 15, 30); });
  ExpectReplayEqual("magic eraser", 13, 4, [](Document& d) {
    return d.Paper().BucketFill(d.Flow(), 1, true, true, false, TPoint{12, 10});
  });
  ExpectReplayEqual(
      "wand", 13, 3,
      [](Document& d) {
        return d.Paper().MagicWand(d.Flow(), 1, true, true, 1, TPoint{12, 10});
      },
      [](Document& d) { d.Select(30, 0, 40, 5); });
  ExpectReplayEqual("wand at layer", 13, 1, [](Document& d) {
    if (!d.Paper().SeedFillLayer(d.Flow(), 1, TPoint{12, 10}, false, 1)) return false;
    return d.Paper().CombineWandChannelAtLayer(d.Flow(), 1, true, false, 0, TPoint{12, 10});
  });
}

TEST_F(PlayFillRows, CompositeBucketFillsGrowTheLayer) {
  scope.host.settings.fillTarget = true;
  ExpectReplayEqual("bucket grow", 13, 2, [](Document& d) {
    return d.Paper().BucketFill(d.Flow(), 1, true, false, false, TPoint{12, 10});
  });
  ExpectReplayEqual("eraser grow", 13, 5, [](Document& d) {
    return d.Paper().BucketFill(d.Flow(), 1, true, true, false, TPoint{12, 10});
  });
  scope.host.settings.wandTarget = true;
  ExpectReplayEqual("wand composite", 13, 3, [](Document& d) {
    return d.Paper().MagicWand(d.Flow(), 1, true, false, 0, TPoint{12, 10});
  });
}

// ---------------------------------------------------------------------------------------------
// Malformed packets

// The recorded packet with bytes changed.
RecordedCommand Altered(const RecordedCommand& original,
                        const std::function<void(std::vector<uint8_t>&)>& change) {
  RecordedCommand out = original;
  std::vector<uint8_t> bytes(original.payload.data(), original.payload.data() + original.payload.size());
  change(bytes);
  out.payload.Assign(bytes);
  out.frame.length = static_cast<uint32_t>(bytes.size());
  return out;
}

template <typename T>
void Put(std::vector<uint8_t>& bytes, size_t offset, T value) {
  std::memcpy(bytes.data() + offset, &value, sizeof value);
}

TEST_F(PlayFillRows, MalformedPacketsAreRefusedAndChangeNothing) {
  ExpectReplayEqual("bucket", 13, 0, [](Document& d) {
    return d.Paper().BucketFill(d.Flow(), 1, true, false, false, TPoint{12, 10});
  });
  const RecordedCommand bucket = last;
  ExpectReplayEqual("polygon", 6, 4, [](Document& d) {
    const TPoint pts[3] = {{1, 1}, {30, 2}, {25, 25}};
    return d.Paper().FillPolygon(d.Flow(), 1, true, 3, pts);
  });
  const RecordedCommand polygon = last;
  const std::vector<RecordedCommand> bad = {
      // A point count beyond the points present.
      Altered(polygon, [](auto& b) { Put<uint16_t>(b, 2, 4); }),
      Altered(polygon, [](auto& b) { Put<uint16_t>(b, 2, 0xFFFF); }),
      // Layer out of range.
      Altered(polygon, [](auto& b) { Put<int16_t>(b, 0, 7); }),
      Altered(bucket, [](auto& b) { Put<int16_t>(b, 0, -1); }),
      // The rectangle's area differs from the byte count.
      Altered(bucket, [](auto& b) { Put<int32_t>(b, 46, 3); }),
      // The rectangle reaches beyond the layer's store.
      Altered(bucket, [](auto& b) { Put<int32_t>(b, 34, 41); }),
      Altered(bucket, [](auto& b) { Put<int32_t>(b, 26, -1); }),
      // The packed length beyond the bytes present, and broken packed bytes.
      Altered(bucket, [](auto& b) { Put<int32_t>(b, 50, 1 << 20); }),
      Altered(bucket, [](auto& b) { b[56] ^= 0x5A; }),
      // A channel kind that does not belong to the code.
      Altered(bucket, [](auto& b) { b[20] = 1; }),
      // Cut short.
      Altered(bucket, [](auto& b) { b.resize(30); }),
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    Document d(scope);
    const Snapshot before = Take(d.Paper());
    EXPECT_FALSE(PlayRecordedCommand(FillPlayRows(), bad[i], d.Paper(), d.Flow(), d.stroke)) << i;
    EXPECT_EQ(Take(d.Paper()), before) << i;
  }
  // Alpha beyond a byte.
  {
    Document a(scope), d(scope);
    ASSERT_TRUE(a.Paper().FillLayerAlpha(a.Flow(), 1, true, 10));
    const RecordedCommand alpha =
        Altered(LastRecordedCommand(*a.Paper().EventMngr()), [](auto& b) { Put<int16_t>(b, 2, 300); });
    EXPECT_FALSE(PlayRecordedCommand(FillPlayRows(), alpha, d.Paper(), d.Flow(), d.stroke));
  }
}

}  // namespace
}  // namespace tf
