// The filter runner: coverage over a table of documents, a recorded run with its refresh, packet,
// undo step and replay, failed runs, previews, and the context checks on large stores.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "events/EventPacket.h"
#include "filters/FilterTestSupport.h"
#include "paper/EventFileIO.h"
#include "paper/PaperEventFile.h"
#include "platform/AddressSpace.h"
#include "support/TempFolder.h"

namespace tf::test {
namespace {

class FilterRunnerTest : public TempFolderTest {
 protected:
  FilterRunnerTest() : TempFolderTest("tf-filters") {}
  FilterTestScope scope;
};

enum class Proc { kInvert, kErase, kCopy };

struct RunnerCase {
  const char* name;
  std::function<void(FilterDocument&)> setup;
  Proc proc;
  bool valid;
};

FilterProc ProcOf(Proc p) {
  return p == Proc::kInvert ? &InvertProc : p == Proc::kErase ? &EraseCovered : &CopySourceCovered;
}

uint32_t Expected(Proc p, uint32_t old, int32_t c, bool keepAlpha) {
  if (c == 0) return old;
  uint32_t v = old;
  switch (p) {
    case Proc::kInvert:
      if (keepAlpha)
        BlendColor(&v, InvertValue(old), c);
      else
        PixelLerpARGB(&v, InvertValue(old), c);
      break;
    case Proc::kErase: PixelLerpARGB(&v, 0, c); break;
    case Proc::kCopy: PixelLerpARGB(&v, old, c); break;
  }
  return v;
}

void MaskOfValue(FilterDocument& f, const TRect& r, uint8_t value, int32_t offsetX = 0, int32_t offsetY = 0) {
  CMaskData* mask = f.Paper().GetActiveMask();
  ASSERT_NE(mask, nullptr);
  ASSERT_TRUE(mask->createMask(f.Paper().canvasWidth, f.Paper().canvasHeight));
  SRectWH wh{r.left, r.top, r.right - r.left, r.bottom - r.top};
  mask->Store()->FillRect(wh, value);
  mask->offsetX = offsetX;
  mask->offsetY = offsetY;
}

TEST_F(FilterRunnerTest, WritesEveryCoveredPixelByItsCoverageAndNothingElse) {
  const RunnerCase cases[] = {
      {"no mask store", [](FilterDocument&) {}, Proc::kInvert, true},
      {"rectangle selection",
       [](FilterDocument& f) { f.Paper().SelectRect(f.Flow(), 0, true, 0, TPoint{10, 8}, TPoint{40, 30}); },
       Proc::kInvert, true},
      {"empty selection", [](FilterDocument& f) { MaskOfValue(f, TRect{0, 0, 0, 0}, 0); }, Proc::kInvert, false},
      {"selection outside the store", [](FilterDocument& f) { MaskOfValue(f, TRect{2, 2, 6, 6}, 255, -100, 0); },
       Proc::kErase, false},
      {"coverage 128, alpha protected",
       [](FilterDocument& f) {
         MaskOfValue(f, TRect{5, 5, 50, 40}, 128);
         f.Paper().SetLayerProtect(0, 1, true);
       },
       Proc::kInvert, true},
      {"coverage 128, alpha free", [](FilterDocument& f) { MaskOfValue(f, TRect{5, 5, 50, 40}, 128); }, Proc::kInvert,
       true},
      {"coverage 128, erase on a protected layer",
       [](FilterDocument& f) {
         MaskOfValue(f, TRect{5, 5, 50, 40}, 128);
         f.Paper().SetLayerProtect(0, 1, true);
       },
       Proc::kErase, true},
      {"moved layer",
       [](FilterDocument& f) {
         f.Paper().OffsetLayerGrow(f.Flow(), 0, true, 6, -9, 3);
         MaskOfValue(f, TRect{20, 10, 60, 45}, 200, 3, -2);
       },
       Proc::kInvert, true},
      {"working copy larger than the store",
       [](FilterDocument& f) {
         TMTC big(150, 120);
         big.FillValue(0x80402010u);
         f.Paper().AddImageLayer(f.Flow(), big, true, "big", nullptr);
         MaskOfValue(f, TRect{30, 20, 70, 50}, 255);
       },
       Proc::kErase, true},
  };
  for (const RunnerCase& c : cases) {
    SCOPED_TRACE(c.name);
    FilterDocument f;
    ASSERT_TRUE(f.ok);
    c.setup(f);
    TPaper& paper = f.Paper();
    const std::vector<uint32_t> before = LayerPixels(paper, 0);
    const CLayerData& layer = f.Layer(0);
    const bool keepAlpha = layer.alphaProtect != 0;
    const int64_t committed = f.Events().committed();
    CFlt4Core core(paper, f.Flow(), 0, ProcOf(c.proc), false);
    EXPECT_EQ(core.IsValid(), c.valid);
    if (!c.valid) {
      EXPECT_EQ(core.Failure(), FilterFailure::kEmptySelection);
      continue;
    }
    EXPECT_GE(f.Flow()->Image().Width(), layer.StoreWidth());
    ASSERT_TRUE(core.Run0(81));
    const std::vector<uint32_t> after = LayerPixels(paper, 0);
    int32_t changed = 0;
    for (int32_t y = 0; y < layer.StoreHeight(); ++y)
      for (int32_t x = 0; x < layer.StoreWidth(); ++x) {
        const size_t i = static_cast<size_t>(y) * static_cast<size_t>(layer.StoreWidth()) + static_cast<size_t>(x);
        const int32_t cov = ModelCoverage(layer, paper.GetActiveMask(), x, y);
        ASSERT_EQ(after[i], Expected(c.proc, before[i], cov, keepAlpha)) << x << "," << y << " coverage " << cov;
        changed += after[i] != before[i];
      }
    EXPECT_GT(changed, 0);
    // A replay run: the working copy holds the result; no event, the backup freed by the core.
    EXPECT_TRUE(FlowHoldsLayer(paper, *f.Flow(), 0));
    EXPECT_EQ(f.Events().committed(), committed);
  }
}

TEST_F(FilterRunnerTest, UntouchedTilesStayUncommitted) {
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  TPaper& paper = f.Paper();
  ASSERT_TRUE(paper.NewLayer(f.Flow(), 1, true, true, "empty", 0, 255, 0, paper.canvasHeight, paper.canvasWidth));
  const int32_t index = paper.GetActiveLayerIndex();
  const CBlockVMTC& store = *paper.GetLayer(index)->Store();
  const int32_t before = store.CommittedTileCount();
  MaskOfValue(f, TRect{33, 33, 60, 60}, 255);  // inside the tile at (32, 32)
  CFlt4Core core(paper, f.Flow(), index, &EraseCovered, false);
  ASSERT_TRUE(core.IsValid());
  ASSERT_TRUE(core.Run0(81));
  EXPECT_EQ(store.CommittedTileCount(), before + 1);
}

// Step one: a recorded run inside a selection on a moved layer refreshes, writes one packet of the
// right bytes and one undo step; undo and redo are byte-exact; the saved recording replays into a
// byte-identical document; a run with the record flag clear leaves stream and undo alone.
TEST_F(FilterRunnerTest, RecordedRunUndoesRedoesAndReplaysExactly) {
  ScopedFilterProc invert(FilterKey::Invert, &InvertProc);
  ScopedFilterProc threshold(FilterKey::Threshold, &ThresholdProc);
  ScriptedDialogHost dialogs;
  dialogs.words[0] = 100;
  dialogs.words[1] = static_cast<int32_t>(0x803366CCu);
  SetFilterDialogHost(&dialogs);

  FilterDocument a;
  ASSERT_TRUE(a.ok);
  TPaper& paper = a.Paper();
  ASSERT_TRUE(paper.OffsetLayerGrow(a.Flow(), 0, true, 5, -7, 3));
  ASSERT_TRUE(paper.SelectRect(a.Flow(), 0, true, 0, TPoint{12, 9}, TPoint{50, 40}));
  ASSERT_NE(a.Layer().offsetX | a.Layer().offsetY, 0);
  const std::vector<uint32_t> s0 = LayerPixels(paper, 0);
  auto& window = static_cast<HeadlessDocumentWindow&>(*paper.GetDrawWindow());
  window.modified = false;
  const int32_t navigator = scope.panes.navigatorUpdates, panes = scope.panes.layerPaneUpdates;
  const int32_t steps = a.Events().stepCount();

  ASSERT_TRUE(CmdInvert(paper, a.Flow(), 0, false));
  const std::vector<uint32_t> s1 = LayerPixels(paper, 0);
  EXPECT_NE(s1, s0);
  EXPECT_TRUE(window.modified);
  EXPECT_TRUE(FlowHoldsLayer(paper, *a.Flow(), 0));
  EXPECT_EQ(scope.panes.navigatorUpdates, navigator + 1);
  EXPECT_EQ(scope.panes.layerPaneUpdates, panes + 1);
  EXPECT_EQ(a.Events().stepCount(), steps + 1);
  RecordedCommand last = LastRecordedCommand(a.Events());
  ASSERT_TRUE(last.found);
  EXPECT_EQ(last.frame.header.cls, kPcFilter0);
  EXPECT_EQ(last.frame.header.code, 81);
  std::vector<uint8_t> expected = {0, 0};
  expected.push_back(static_cast<uint8_t>(paper.GetActiveMaskIndex()));
  expected.push_back(static_cast<uint8_t>(static_cast<uint32_t>(paper.GetActiveMaskIndex()) >> 8));
  EXPECT_EQ(std::vector<uint8_t>(last.payload.data(), last.payload.data() + last.payload.size()), expected);

  ASSERT_TRUE(CmdThreshold(paper, a.Flow(), 0, false));
  EXPECT_EQ(dialogs.calls, 1);
  const std::vector<uint8_t> bytes = {0, 0, static_cast<uint8_t>(paper.GetActiveMaskIndex()), 0};
  last = LastRecordedCommand(a.Events());
  ASSERT_TRUE(last.found);
  EXPECT_EQ(last.frame.header.cls, kPcFilter2);
  EXPECT_EQ(last.frame.header.code, 49);
  std::vector<uint8_t> words = bytes;
  AppendI32(words, 100);
  AppendI32(words, static_cast<int32_t>(0x803366CCu));
  EXPECT_EQ(std::vector<uint8_t>(last.payload.data(), last.payload.data() + last.payload.size()), words);
  const std::vector<uint32_t> s2 = LayerPixels(paper, 0);
  EXPECT_NE(s2, s1);

  SRectWH rect{};
  ASSERT_TRUE(paper.Undo(a.Flow(), 0, rect));
  EXPECT_EQ(LayerPixels(paper, 0), s1);
  ASSERT_TRUE(paper.Undo(a.Flow(), 0, rect));
  EXPECT_EQ(LayerPixels(paper, 0), s0);
  EXPECT_TRUE(FlowHoldsLayer(paper, *a.Flow(), 0));
  ASSERT_TRUE(paper.Redo(a.Flow(), 0, rect));
  EXPECT_EQ(LayerPixels(paper, 0), s1);
  ASSERT_TRUE(paper.Redo(a.Flow(), 0, rect));
  EXPECT_EQ(LayerPixels(paper, 0), s2);

  // Saved, loaded and played into another document.
  const std::string path = PathOf("filters.te4");
  CPaperEventFileDocument file(paper);
  ASSERT_TRUE(SaveEventFile(path, file, false, -1, -1, true));
  HeadlessPlaybackWindow b;
  CPlayer player(b.Paper(), &b);
  ASSERT_EQ(player.startPlay(path), kStartPlayStarted);
  EXPECT_EQ(PlayToEnd(player), kPlayStepEnded);
  ASSERT_TRUE(player.stopPlay(true));
  EXPECT_EQ(Fingerprint(b.Paper()), Fingerprint(paper));
  EXPECT_EQ(LayerPixels(b.Paper(), 0), s2);

  // The record flag clear: stream and undo as they were.
  const int64_t committed = a.Events().committed();
  const int32_t stepCount = a.Events().stepCount();
  const int64_t undoMemory = paper.GetUndoMemory();
  ASSERT_TRUE(ReplayInvert(paper, a.Flow(), 0, SFilterRecordedValues{}, false, 0));
  EXPECT_EQ(a.Events().committed(), committed);
  EXPECT_EQ(a.Events().stepCount(), stepCount);
  EXPECT_EQ(paper.GetUndoMemory(), undoMemory);
  EXPECT_NE(LayerPixels(paper, 0), s2);
  EXPECT_TRUE(scope.paper.warnings.Texts().empty());
}

// A failed run: the store over Work and the working copy are put back, nothing is refreshed,
// recorded or pushed.
TEST_F(FilterRunnerTest, AFailedRunLeavesStoreAndWorkingCopyAsTheyWere) {
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  TPaper& paper = f.Paper();
  ASSERT_TRUE(paper.SelectRect(f.Flow(), 0, true, 0, TPoint{4, 4}, TPoint{30, 30}));
  const std::vector<std::string> before = Fingerprint(paper);
  const int64_t committed = f.Events().committed();
  const int64_t undo = paper.GetUndoMemory();
  const int32_t panes = scope.panes.layerPaneUpdates;
  CFlt4Core core(paper, f.Flow(), 0, &SourceScribblingProc, true);
  ASSERT_TRUE(core.IsValid());
  EXPECT_FALSE(core.Run0(81));
  EXPECT_EQ(core.Failure(), FilterFailure::kProcFailed);
  EXPECT_EQ(Fingerprint(paper), before);
  EXPECT_TRUE(FlowHoldsLayer(paper, *f.Flow(), 0));
  EXPECT_EQ(f.Events().committed(), committed);
  EXPECT_EQ(paper.GetUndoMemory(), undo);
  EXPECT_EQ(scope.panes.layerPaneUpdates, panes);
}

TEST_F(FilterRunnerTest, ARefusedCommitFailsTheRunAsOutOfMemory) {
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  TPaper& paper = f.Paper();
  ASSERT_TRUE(paper.NewLayer(f.Flow(), 1, true, true, "empty", 0, 255, 0, paper.canvasHeight, paper.canvasWidth));
  const int32_t index = paper.GetActiveLayerIndex();
  const std::vector<std::string> before = Fingerprint(paper);
  CFlt4Core core(paper, f.Flow(), index, &InvertProc, true);
  ASSERT_TRUE(core.IsValid());
  RefuseNextCommits(3);
  EXPECT_FALSE(core.Run0(81));
  ResetAddressSpaceSettings();
  EXPECT_EQ(core.Failure(), FilterFailure::kOutOfMemory);
  EXPECT_EQ(Fingerprint(paper), before);
  EXPECT_TRUE(FlowHoldsLayer(paper, *f.Flow(), index));
}

// Previews: the visible part of the layer only; a second preview first takes the first away;
// one that misses the bounds fails quietly; cancel repaints, OK does not.
TEST_F(FilterRunnerTest, PreviewsCoverTheVisibleRectangleAndComeOffAgain) {
  FilterDocument f(300, 200);
  ASSERT_TRUE(f.ok);
  TPaper& paper = f.Paper();
  auto& window = static_cast<HeadlessDocumentWindow&>(*paper.GetDrawWindow());
  window.clientSize = SSize{100, 80};
  const std::vector<uint32_t> original = LayerPixels(paper, 0);
  TRect visible{};
  ASSERT_TRUE(paper.GetVisibleCanvasRect(visible));
  EXPECT_EQ(visible.right - visible.left, 100);
  EXPECT_EQ(visible.bottom - visible.top, 80);

  CFlt4Core core(paper, f.Flow(), 0, &InvertProc, false);
  ASSERT_TRUE(core.IsValid());
  ASSERT_TRUE(core.ApplyPreview(nullptr, 0));
  EXPECT_TRUE(core.PreviewDirty());
  const TRect first = core.DirtyRect();
  const CLayerData& layer = f.Layer();
  const auto changedIn = [&](const TRect& storeRect) {
    const std::vector<uint32_t> now = LayerPixels(paper, 0);
    int32_t inside = 0, outside = 0;
    for (int32_t y = 0; y < layer.StoreHeight(); ++y)
      for (int32_t x = 0; x < layer.StoreWidth(); ++x) {
        const size_t i = static_cast<size_t>(y) * static_cast<size_t>(layer.StoreWidth()) + static_cast<size_t>(x);
        const bool in = x >= storeRect.left && x < storeRect.right && y >= storeRect.top && y < storeRect.bottom;
        if (now[i] != original[i]) (in ? inside : outside) += 1;
      }
    return std::make_pair(inside, outside);
  };
  auto counts = changedIn(first);
  // Every pixel of the visible rectangle but the fully transparent ones (inverting those keeps
  // them as they are).
  EXPECT_GT(counts.first, 100 * 80 * 99 / 100);
  EXPECT_LE(counts.first, 100 * 80);
  EXPECT_EQ(first.right - first.left, 100);
  EXPECT_EQ(counts.second, 0);

  // Scrolled: the second preview holds only its own rectangle.
  paper.viewOffset = TPoint{150, 90};
  ASSERT_TRUE(core.ApplyPreview(nullptr, 0));
  const TRect second = core.DirtyRect();
  EXPECT_NE(second.left, first.left);
  counts = changedIn(second);
  EXPECT_GT(counts.first, 0);
  EXPECT_EQ(counts.second, 0);

  // Cancel repaints exactly the dirty rectangle; the layer is as before.
  const int32_t invalidations = window.invalidations + window.paints;
  EXPECT_TRUE(core.RestorePreview(true));
  EXPECT_FALSE(core.PreviewDirty());
  EXPECT_EQ(LayerPixels(paper, 0), original);
  EXPECT_GT(window.invalidations + window.paints, invalidations);
  // OK restores without a repaint.
  ASSERT_TRUE(core.ApplyPreview(nullptr, 0));
  const int32_t beforeOk = window.invalidations + window.paints;
  EXPECT_TRUE(core.RestorePreview(false));
  EXPECT_EQ(window.invalidations + window.paints, beforeOk);
  EXPECT_EQ(LayerPixels(paper, 0), original);
  EXPECT_FALSE(core.RestorePreview(true));

  // A selection the view does not show: the preview fails and the dirty flag stays clear.
  MaskOfValue(f, TRect{0, 0, 20, 20}, 255);
  CFlt4Core corner(paper, f.Flow(), 0, &InvertProc, false);
  ASSERT_TRUE(corner.IsValid());
  EXPECT_FALSE(corner.ApplyPreview(nullptr, 0));
  EXPECT_FALSE(corner.PreviewDirty());
  EXPECT_EQ(LayerPixels(paper, 0), original);
}

// A flat image whose size is only claimed, for the size checks of large stores.
class ClaimedImage : public TMTC {
 public:
  ClaimedImage(int32_t width, int32_t height) {
    view_ = SDibView{width, height, reinterpret_cast<uint8_t*>(&pixel_), &row_};
    ownsBlock_ = false;
    ownsRows_ = false;
  }
  ~ClaimedImage() override { view_ = SDibView{0, 0, nullptr, nullptr}; }

 private:
  uint32_t pixel_ = 0;
  int32_t row_ = 0;
};

// Areas are computed in 64 bits: a 65536 x 65536 store (its area wraps to 0 in 32 bits) is
// accepted, an empty Work is not.
TEST_F(FilterRunnerTest, ContextAreasOfLargeStoresDoNotWrap) {
  CBlockVMTC store(65536, 65536);
  ASSERT_TRUE(store.IsValid());
  ClaimedImage source(65536, 65536);
  CBlockVMTC backup(1, 1);
  TChannel channel(1, 1);
  CMaskData mask;
  FilterContext c;
  c.Store = &store;
  c.Mask = &mask;
  c.Backup = &backup;
  c.Source = &source;
  c.SourceMask = &channel;
  c.Coverage = &FullCoverage;
  struct AreaCase {
    TRect bounds, work;
    bool ok;
  };
  const AreaCase cases[] = {
      {{0, 0, 65536, 65536}, {0, 0, 65536, 65536}, true},
      {{0, 0, 65536, 65536}, {0, 0, 65536, 32768}, true},
      {{0, 0, 65536, 65536}, {10, 10, 10, 65536}, false},
      {{0, 0, 65536, 65536}, {0, 0, 65537, 65536}, false},
      {{0, 0, 0, 65536}, {0, 0, 1, 1}, false},
  };
  for (const AreaCase& a : cases) {
    c.Bounds = a.bounds;
    c.Work = a.work;
    EXPECT_EQ(CheckFilterContext(c), a.ok) << a.work.right << "x" << a.work.bottom;
  }
}

}  // namespace
}  // namespace tf::test
