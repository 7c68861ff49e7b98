// Running filter algorithms over the test document: a proc over the selection, partial masks,
// the preview-equals-run check, commands through undo, redo and replay, pictures, the models.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "filters/FilterTestSupport.h"
#include "platform/ByteOrder.h"

namespace tf::test {

// Runs the model (filters_model.py).
inline bool RunModel(const std::string& mode, const std::vector<int32_t>& input, std::vector<uint32_t>& out,
              std::string& output) {
  return RunModelScript("filters_model.py", mode, input, out, output);
}

inline int32_t FloatBits(float f) {
  int32_t v;
  std::memcpy(&v, &f, 4);
  return v;
}


// Runs proc over the whole selection of layer 0 (record off); false when the core fails.
inline bool RunProc(FilterDocument& f, FilterProc proc, const void* block, int32_t size, const TRect* clip = nullptr) {
  CFlt4Core core(f.Paper(), f.Flow(), 0, proc, false);
  return core.IsValid() && core.Execute(block, size, clip);
}

inline void MaskOfRect(FilterDocument& f, const TRect& r) {
  CMaskData* mask = f.Paper().GetActiveMask();
  ASSERT_NE(mask, nullptr);
  ASSERT_TRUE(mask->createMask(f.Paper().canvasWidth, f.Paper().canvasHeight));
  for (int32_t y = r.top; y < r.bottom; ++y)
    for (int32_t x = r.left; x < r.right; ++x) mask->Store()->SetPixel(x, y, 255);
}

inline void PartialMask(FilterDocument& f) {
  CMaskData* mask = f.Paper().GetActiveMask();
  ASSERT_NE(mask, nullptr);
  ASSERT_TRUE(mask->createMask(f.Paper().canvasWidth, f.Paper().canvasHeight));
  CBlockVCH& s = *mask->Store();
  for (int32_t y = 4; y < 50; ++y)
    for (int32_t x = 6; x < 66; ++x) s.SetPixel(x, y, static_cast<uint8_t>((x * 7 + y * 3) % 256));
}

// A run over the sub-rectangle (20, 9)-(41, 30) of the partly selected, moved layer: the full run's
// pixels inside it, the old ones outside. run(document, clip) runs the filter.
inline void ExpectPreviewMatchesRunOf(const std::function<bool(FilterDocument&, const TRect*)>& run,
                                      const std::vector<uint32_t>& full) {
  FilterDocument g;
  ASSERT_TRUE(g.ok);
  ASSERT_TRUE(g.Paper().OffsetLayerGrow(g.Flow(), 0, true, 5, -7, 3));
  PartialMask(g);
  const std::vector<uint32_t> before = LayerPixels(g.Paper(), 0);
  const TRect clip{20, 9, 41, 30};
  ASSERT_TRUE(run(g, &clip));
  const std::vector<uint32_t> part = LayerPixels(g.Paper(), 0);
  const int32_t w = g.Layer().Store()->Width();
  for (size_t i = 0; i < part.size(); ++i) {
    const int32_t x = static_cast<int32_t>(i) % w, y = static_cast<int32_t>(i) / w;
    const bool inside = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
    ASSERT_EQ(part[i], inside ? full[i] : before[i]) << x << "," << y;
  }
}

inline void ExpectPreviewMatchesRun(FilterProc proc, const void* block, int32_t size, const std::vector<uint32_t>& full) {
  ExpectPreviewMatchesRunOf([&](FilterDocument& g, const TRect* clip) { return RunProc(g, proc, block, size, clip); },
                            full);
}


class CommandsDialogs : public ScriptedDialogHost {
 public:
  bool RunFilterDialog(const SFilterCatalogueRow& row, CFlt4Core&, void* block) override {
    if (row.key != FilterKey::GradientMap) return false;
    auto& b = *static_cast<SGradientMapBlock*>(block);
    b.stops = stops;
    b.reverse = 1;
    b.keepAlpha = 0;
    RememberFilterBlock(row.key, block, row.blockSize);
    return true;
  }
  const CColorSlotGroup* stops = nullptr;
};

struct CommandCase {
  FilterKey key;
  std::vector<int32_t> remembered;  // the remembered words (empty: the compiled defaults)
};

// Each filter through its command with its remembered values on a moved layer with a selection:
// undo restores the layer byte for byte, redo brings the run back, and the saved recording replays
// into the same pixels.
inline void CheckCommandsReplay(const std::string& path, const std::vector<CommandCase>& cases, CommandsDialogs& dialogs) {
  SetFilterDialogHost(&dialogs);
  FilterDocument a;
  ASSERT_TRUE(a.ok);
  TPaper& paper = a.Paper();
  ASSERT_TRUE(paper.OffsetLayerGrow(a.Flow(), 0, true, 5, -7, 3));
  ASSERT_TRUE(paper.SelectRect(a.Flow(), 0, true, 0, TPoint{6, 5}, TPoint{60, 44}));
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(FilterRow(c.key).keyName);
    if (!c.remembered.empty()) {
      int32_t words[6] = {};
      for (size_t i = 0; i < c.remembered.size(); ++i) words[i] = c.remembered[i];
      RememberFilterBlock(c.key, words, FilterRow(c.key).blockSize);
    }
    const std::vector<uint32_t> s0 = LayerPixels(paper, 0);
    ASSERT_TRUE(RunFilterCommand(c.key, paper, a.Flow(), 0, c.key != FilterKey::GradientMap));
    const std::vector<uint32_t> s1 = LayerPixels(paper, 0);
    EXPECT_NE(s1, s0);
    SRectWH rect{};
    ASSERT_TRUE(paper.Undo(a.Flow(), 0, rect));
    ASSERT_EQ(LayerPixels(paper, 0), s0);
    ASSERT_TRUE(paper.Redo(a.Flow(), 0, rect));
    ASSERT_EQ(LayerPixels(paper, 0), s1);
  }
  HeadlessPlaybackWindow b;
  ASSERT_TRUE(PlaySavedRecording(paper, path, b));
  EXPECT_EQ(LayerPixels(b.Paper(), 0), LayerPixels(paper, 0));
  EXPECT_EQ(Fingerprint(b.Paper()), Fingerprint(paper));
}


// A picture written into the layer and the working copy alike.
inline void SetPicture(FilterDocument& f, const std::vector<uint32_t>& pixels) {
  CBlockVMTC& store = *f.Layer().Store();
  for (int32_t y = 0; y < store.Height(); ++y)
    for (int32_t x = 0; x < store.Width(); ++x) {
      const uint32_t v = pixels[static_cast<size_t>(y) * store.Width() + x];
      *store.WritePtr(x, y) = v;
      *f.Flow()->Image().Pixel(x, y) = v;
    }
}

inline std::vector<uint32_t> RandomPicture(int32_t w, int32_t h, uint64_t seed, uint32_t orMask, int32_t transparentEvery) {
  SceneRng rng(seed);
  std::vector<uint32_t> v(static_cast<size_t>(w) * h);
  for (uint32_t& p : v) {
    p = rng.Next() | orMask;
    if (transparentEvery > 0 && rng.Next() % transparentEvery == 0) p &= 0x00FFFFFFu;
  }
  return v;
}


// A 56-byte light record.
struct SLightRecord {
  uint8_t bytes[56]{};
  SLightRecord(int32_t kind, int32_t intensity, uint32_t colour, int32_t range, float x, float y, int32_t height,
               float direction = 0, float tilt = 0, int32_t spread = 0) {
    StoreLE<int32_t>(bytes + 0, kind);
    StoreLE<int32_t>(bytes + 4, intensity);
    StoreLE<uint32_t>(bytes + 8, colour);
    StoreLE<int32_t>(bytes + 12, range);
    std::memcpy(bytes + 16, &x, 4);
    std::memcpy(bytes + 20, &y, 4);
    StoreLE<int32_t>(bytes + 24, height);
    std::memcpy(bytes + 28, &direction, 4);
    std::memcpy(bytes + 32, &tilt, 4);
    StoreLE<int32_t>(bytes + 36, spread);
  }
};

}  // namespace tf::test
