// The filter commands: Filter > Repeat, remembered values, refusals and failures that change
// nothing, the messages of out of memory and exceptions, the blocks built without a dialog, the
// gradient map's record, rows whose algorithm is not built yet, and the parameter blocks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "events/EventPacket.h"
#include "filters/FilterTestSupport.h"
#include "filters/FilterTexts.h"
#include "paint/GradientSet.h"
#include "platform/ByteOrder.h"
#include "platform/Clock.h"
#include "platform/Stream.h"
#include "support/TempFolder.h"

namespace tf::test {
namespace {

class FilterCommandsTest : public TempFolderTest {
 protected:
  FilterCommandsTest() : TempFolderTest("tf-filter-commands") { SetFilterDialogHost(&dialogs); }
  ~FilterCommandsTest() override { SetMillisecondSource({}); }
  FilterTestScope scope;
  ScriptedDialogHost dialogs;
};

std::vector<uint8_t> Payload(const RecordedCommand& c) {
  return std::vector<uint8_t>(c.payload.data(), c.payload.data() + c.payload.size());
}

struct Snapshot {
  std::vector<std::string> document;
  int64_t committed;
  int64_t undo;
  bool operator==(const Snapshot&) const = default;
};
Snapshot Take(FilterDocument& f) {
  return Snapshot{Fingerprint(f.Paper()), f.Events().committed(), f.Paper().GetUndoMemory()};
}

TEST_F(FilterCommandsTest, RepeatRunsTheLastFilterWithItsLastValuesOrItsDialog) {
  ScopedFilterProc mosaic(FilterKey::Mosaic, &ThresholdProc);
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  TPaper& paper = f.Paper();
  EXPECT_FALSE(CanRepeatFilter());
  EXPECT_EQ(RepeatFilterCaption(), "フィルタの再実行(&L)");
  EXPECT_FALSE(RunRepeatFilter(paper, f.Flow(), 0, true));

  dialogs.words[0] = 90;
  dialogs.words[1] = static_cast<int32_t>(0xFF00FF00u);
  ASSERT_TRUE(CmdMosaic(paper, f.Flow(), 0, false));
  EXPECT_EQ(dialogs.calls, 1);
  EXPECT_EQ(dialogs.lastKey, FilterKey::Mosaic);
  EXPECT_TRUE(dialogs.lastCoreValid);
  EXPECT_TRUE(CanRepeatFilter());
  EXPECT_EQ(RepeatFilterName(), "モザイク");
  EXPECT_EQ(RepeatFilterCaption(), "モザイク(&L)");

  // Without a dialog: the values confirmed last.
  dialogs.words[0] = 200;
  const int32_t steps = f.Events().stepCount();
  ASSERT_TRUE(RunRepeatFilter(paper, f.Flow(), 0, true));
  EXPECT_EQ(dialogs.calls, 1);
  EXPECT_EQ(f.Events().stepCount(), steps + 1);
  RecordedCommand last = LastRecordedCommand(f.Events());
  ASSERT_TRUE(last.found);
  EXPECT_EQ(last.frame.header.code, 26);
  EXPECT_EQ(LoadLE<int32_t>(Payload(last).data() + 4), 90);

  // With its dialog (Alt held); cancelling it changes nothing.
  ASSERT_TRUE(RunRepeatFilter(paper, f.Flow(), 0, false));
  EXPECT_EQ(dialogs.calls, 2);
  last = LastRecordedCommand(f.Events());
  EXPECT_EQ(LoadLE<int32_t>(Payload(last).data() + 4), 200);
  dialogs.cancel = true;
  const Snapshot before = Take(f);
  EXPECT_FALSE(RunRepeatFilter(paper, f.Flow(), 0, false));
  EXPECT_EQ(Take(f), before);
  EXPECT_EQ(RepeatFilterName(), "モザイク");
}

TEST_F(FilterCommandsTest, RefusedAndFailedCommandsLeaveRepeatAndDocumentAsTheyWere) {
  ScopedFilterProc invert(FilterKey::Invert, &InvertProc);
  ScopedFilterProc blur(FilterKey::Blur, &SourceScribblingProc);
  ScopedFilterProc luminance(FilterKey::LuminanceToAlpha, &ThresholdProc);
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  TPaper& paper = f.Paper();
  ASSERT_TRUE(CmdInvert(paper, f.Flow(), 0, false));
  ASSERT_EQ(RepeatFilterName(), "色調反転");
  auto& window = static_cast<HeadlessDocumentWindow&>(*paper.GetDrawWindow());

  struct Case {
    const char* name;
    std::function<bool()> run;
    bool result;
  };
  const Case cases[] = {
      {"a stroke in progress",
       [&] {
         window.strokeActive = true;
         const bool r = CmdBlur(paper, f.Flow(), 0, false);
         window.strokeActive = false;
         return r;
       },
       false},
      {"during playback",
       [&] {
         window.playing = true;
         window.playbackPaused = true;
         const bool r = CmdBlur(paper, f.Flow(), 0, false);
         window.playing = false;
         return r;
       },
       false},
      {"an empty selection",
       [&] {
         CMaskData* mask = paper.GetActiveMask();
         mask->createMask(paper.canvasWidth, paper.canvasHeight);
         const bool r = CmdInvert(paper, f.Flow(), 0, false);
         mask->SetStore(nullptr);
         return r;
       },
       false},
      {"an algorithm that fails", [&] { return CmdBlur(paper, f.Flow(), 0, false); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Snapshot before = Take(f);
    EXPECT_EQ(c.run(), c.result);
    EXPECT_EQ(Take(f), before);
    EXPECT_EQ(RepeatFilterName(), "色調反転");
    EXPECT_TRUE(FlowHoldsLayer(paper, *f.Flow(), 0));
  }
  EXPECT_TRUE(scope.paper.warnings.Texts().empty());

  // Luminance to alpha runs but never becomes Filter > Repeat's: its block is the stroke's colour
  // and mix flag 1.
  f.d.stroke.SetColor(0x00C08040u);
  ASSERT_TRUE(CmdLuminanceToAlpha(paper, f.Flow(), 0, false));
  EXPECT_EQ(RepeatFilterName(), "色調反転");
  const RecordedCommand last = LastRecordedCommand(f.Events());
  ASSERT_TRUE(last.found);
  EXPECT_EQ(last.frame.header.cls, kPcFilter2);
  EXPECT_EQ(last.frame.header.code, 63);
  EXPECT_EQ(LoadLE<uint32_t>(Payload(last).data() + 4), f.d.stroke.GetColor());
  EXPECT_EQ(LoadLE<int32_t>(Payload(last).data() + 8), 1);
}

TEST_F(FilterCommandsTest, OutOfMemoryAndExceptionsShowTheirTextsAndChangeNothing) {
  struct Case {
    const char* name;
    FilterProc proc;
    int32_t refuse;  // commits refused from the start of the command
    bool emptyLayer;
    std::string text;
  };
  const Case cases[] = {
      {"an exception in the algorithm", &ThrowingProc, 0, false, "例外発生のため実行できません！"},
      {"a refused commit", &InvertProc, 3, true, "メモリ不足のため実行できませんでした！"},
      {"no memory for the backup", &InvertProc, 1, false, "メモリ不足のため実行できませんでした！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    scope.paper.warnings.Clear();
    ScopedFilterProc proc(FilterKey::Invert, c.proc);
    FilterDocument f;
    ASSERT_TRUE(f.ok);
    TPaper& paper = f.Paper();
    int32_t layer = 0;
    if (c.emptyLayer) {
      ASSERT_TRUE(paper.NewLayer(f.Flow(), 1, true, true, "empty", 0, 255, 0, paper.canvasHeight, paper.canvasWidth));
      layer = paper.GetActiveLayerIndex();
    }
    const Snapshot before = Take(f);
    RefuseNextCommits(c.refuse);
    EXPECT_FALSE(CmdInvert(paper, f.Flow(), layer, false));
    ResetAddressSpaceSettings();
    EXPECT_EQ(Take(f), before);
    EXPECT_TRUE(FlowHoldsLayer(paper, *f.Flow(), layer));
    ASSERT_FALSE(scope.paper.warnings.Texts().empty());
    EXPECT_NE(scope.paper.warnings.Texts().front().find(c.text), std::string::npos)
        << scope.paper.warnings.Texts().front();
    EXPECT_FALSE(CanRepeatFilter());
  }
}

TEST_F(FilterCommandsTest, MissingDialogsAndAlgorithmsFailLoudly) {
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  TPaper& paper = f.Paper();
  const Snapshot before = Take(f);
  // No algorithm yet: the command, its replay and the player's row say so.
  ScopedFilterProc unbuilt(FilterKey::FindEdges, nullptr);
  EXPECT_FALSE(CmdFindEdges(paper, f.Flow(), 0, false));
  EXPECT_TRUE(scope.paper.DebugSaid("filter FindEdges (actFilterFindEdge): its algorithm is not built yet"));
  SFilterRecordedValues values;
  EXPECT_FALSE(ReplayFindEdges(paper, f.Flow(), 0, values, false, 0));
  EXPECT_TRUE(scope.paper.DebugSaid("filter FindEdges: its algorithm is not built yet"));
  EXPECT_EQ(dialogs.calls, 0);
  // No dialog host: the default names the filter and its dialog.
  ScopedFilterProc mosaic(FilterKey::Mosaic, &ThresholdProc);
  SetFilterDialogHost(nullptr);
  EXPECT_FALSE(CmdMosaic(paper, f.Flow(), 0, false));
  EXPECT_TRUE(scope.paper.DebugSaid("filter Mosaic: no dialog TFormMosaic4 is installed"));
  // No tool window gives the clouds their colours.
  scope.paper.host.hasToolColours = false;
  EXPECT_FALSE(CmdClouds(paper, f.Flow(), 0, false));
  EXPECT_TRUE(scope.paper.DebugSaid("no tool window gives the foreground and background colours"));
  EXPECT_EQ(Take(f), before);
  EXPECT_FALSE(CanRepeatFilter());

  // Every catalogue row that has no algorithm yet fails its replay through the player.
  for (const SFilterReplayRow& row : FilterReplayRows()) {
    bool built = false;
    for (const SFilterCatalogueRow& r : FilterCatalogue())
      built = built || (std::string(r.keyName) == row.name && FilterProcOf(r.key) != nullptr);
    if (built || std::string(row.name).ends_with("V1")) continue;
    SFilterReplayCall call{paper, f.Flow(), 0, row.cls, row.id, 0, {0, 0, 0, 0, 0, 0}, 0, 0, nullptr, {},
                           nullptr, nullptr, nullptr, nullptr};
    EXPECT_FALSE(row.replay(call)) << row.name;
  }
  EXPECT_EQ(Take(f), before);
}

TEST_F(FilterCommandsTest, CatalogueRowsMatchTheRecorderAndThePlayer) {
  int32_t rows = 0;
  for (const SFilterCatalogueRow& row : FilterCatalogue()) {
    SCOPED_TRACE(row.keyName);
    const uint8_t cls = FilterClassOfId(row.eventId);
    const uint8_t expected = row.blockSize == 0    ? kPcFilter0
                             : row.blockSize == 8  ? kPcFilter2
                             : row.blockSize == 16 ? kPcFilter4
                             : row.blockSize == 24 ? kPcFilter6
                                                   : kPcFilterBlock;
    EXPECT_EQ(cls, expected);
    EXPECT_EQ(row.name == nullptr, row.key == FilterKey::LuminanceToAlpha);
    bool played = false;
    for (const SFilterReplayRow& r : FilterReplayRows()) played = played || (r.cls == cls && r.id == row.eventId);
    EXPECT_TRUE(played);
    ++rows;
  }
  EXPECT_EQ(rows, kFilterKeyCount);
  EXPECT_EQ(FilterRow(FilterKey::Floor).blockSize, 87);
  EXPECT_STREQ(FilterRow(FilterKey::Rotate180).name, "180°回転");
}

TEST_F(FilterCommandsTest, CloudsTakeTheToolColoursAndANewSeedEachTime) {
  // The erase stands in for the generator (which takes a 16-byte block).
  ScopedFilterProc any(FilterKey::Clouds, [](FilterContext& c, const void*, int32_t) { return EraseCovered(c, nullptr, 0); });
  ScopedFilterProc any2(FilterKey::Clouds2, [](FilterContext& c, const void*, int32_t) { return EraseCovered(c, nullptr, 0); });
  uint32_t now = 1234;
  SetMillisecondSource([&] { return now; });
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  ASSERT_TRUE(CmdClouds(f.Paper(), f.Flow(), 0, false));
  RecordedCommand last = LastRecordedCommand(f.Events());
  ASSERT_TRUE(last.found);
  EXPECT_EQ(last.frame.header.cls, kPcFilter4);
  EXPECT_EQ(last.frame.header.code, 70);
  std::vector<uint8_t> expected = Payload(last);
  const uint8_t* p = expected.data() + 4;
  EXPECT_EQ(LoadLE<uint32_t>(p + 0), 0xFF102030u);
  EXPECT_EQ(LoadLE<uint32_t>(p + 4), 0xFFF0E0D0u);
  EXPECT_EQ(LoadLE<uint32_t>(p + 8), 1234u);
  EXPECT_EQ(LoadLE<uint16_t>(p + 12), 256);
  EXPECT_EQ(p[14], 0);
  EXPECT_EQ(p[15], 255);
  now = 5678;
  ASSERT_TRUE(CmdClouds2(f.Paper(), f.Flow(), 0, false));
  EXPECT_EQ(RepeatFilterName(), "雲模様2");
  now = 9999;
  ASSERT_TRUE(RunRepeatFilter(f.Paper(), f.Flow(), 0, true));
  last = LastRecordedCommand(f.Events());
  EXPECT_EQ(last.frame.header.code, 70);
  EXPECT_EQ(LoadLE<uint32_t>(Payload(last).data() + 12), 9999u);
  EXPECT_EQ(Payload(last)[4 + 14], 16);
  EXPECT_EQ(dialogs.calls, 0);
}

// The gradient map's block refers to colour stops: it records a 50-byte block whose data is the
// gradient record, and replays from it. A record beyond the 16-bit data length ends the command
// before the run.
class GradientDialog : public ScriptedDialogHost {
 public:
  bool RunFilterDialog(const SFilterCatalogueRow& row, CFlt4Core&, void* block) override {
    ++calls;
    if (row.key != FilterKey::GradientMap) return false;
    auto& b = *static_cast<SGradientMapBlock*>(block);
    b.stops = stops;
    b.reverse = 1;
    b.keepAlpha = 0;
    return true;
  }
  const CColorSlotGroup* stops = nullptr;
};

bool GradientMapTestProc(FilterContext& c, const void* block, int32_t size) {
  if (size != kBlockGradientMap) return false;
  const auto& b = *static_cast<const SGradientMapBlock*>(block);
  if (b.stops == nullptr) return false;
  const uint32_t first = b.stops->GetSlot(b.stops->FirstStop())->color & 0x00FFFFFFu;
  return ForEachCoveredPixel(c, b.keepAlpha != 0, [&](int32_t, int32_t, uint32_t p) {
    return (p & 0xFF000000u) | (b.reverse != 0 ? first ^ 0xFFFFFFu : first);
  });
}

TEST_F(FilterCommandsTest, GradientMapRecordsItsGradientAndRefusesOversizedRecords) {
  ScopedFilterProc proc(FilterKey::GradientMap, &GradientMapTestProc);
  GradientDialog gradient;
  SetFilterDialogHost(&gradient);
  CColorSlotGroup stops(4);
  ASSERT_TRUE(stops.SetStop(0, 0x00336699u, 65536, 255));
  ASSERT_TRUE(stops.SetStop(1, 0x00FFFFFFu, 65536, 255));
  ASSERT_TRUE(stops.Normalize());
  gradient.stops = &stops;

  FilterDocument f;
  ASSERT_TRUE(f.ok);
  TPaper& paper = f.Paper();
  ASSERT_TRUE(CmdGradientMap(paper, f.Flow(), 0, false));
  EXPECT_EQ(RepeatFilterName(), "グラデーションマップ");
  const RecordedCommand last = LastRecordedCommand(f.Events());
  ASSERT_TRUE(last.found);
  EXPECT_EQ(last.frame.header.cls, kPcFilterBlock);
  EXPECT_EQ(last.frame.header.code, 54);
  const std::vector<uint8_t> payload = Payload(last);
  MemoryStream record;
  ASSERT_EQ(WriteGradientRecord(record, stops, SGradOption{0, 0, 0, 0, 1}), 0);
  ASSERT_EQ(payload.size(), 50 + record.Bytes().size());
  EXPECT_EQ(LoadLE<uint16_t>(payload.data() + 4), record.Bytes().size());
  EXPECT_EQ(LoadLE<uint16_t>(payload.data() + 6), 1);
  EXPECT_EQ(LoadLE<int32_t>(payload.data() + 18), stops.LastUsed() + 1);
  EXPECT_EQ(payload[22], 1);
  EXPECT_EQ(payload[23], 0);
  EXPECT_EQ(std::vector<uint8_t>(payload.begin() + 50, payload.end()), record.Bytes());

  // Played into another document, the same pixels.
  HeadlessPlaybackWindow b;
  ASSERT_TRUE(PlaySavedRecording(f.Paper(), PathOf("recording.te4"), b));
  EXPECT_EQ(LayerPixels(b.Paper(), 0), LayerPixels(paper, 0));

  // A name that makes the record longer than 32767 bytes.
  stops.SetName(std::string(40000, 'g'));
  const Snapshot before = Take(f);
  EXPECT_FALSE(CmdGradientMap(paper, f.Flow(), 0, false));
  EXPECT_EQ(Take(f), before);
  EXPECT_TRUE(scope.paper.DebugSaid("does not fit a filter block"));
}

// ---- Parameter blocks

TEST(FilterBlocksTest, LayoutsAndOperations) {
  // Recorded parts of the blocks.
  static_assert(sizeof(SFilterParam50::bytes) == 46 && SFilterParam50::kInlineOffset == 14);
  static_assert(sizeof(SFltFloor::values) == 63);
  // A float field of -0.0 is another block than one of 0.0.
  SFilterWords16 a{}, b{};
  const float zero = 0.0f, minusZero = -0.0f;
  std::memcpy(&a.words[2], &zero, 4);
  std::memcpy(&b.words[2], &minusZero, 4);
  EXPECT_FALSE(EqualFilterBlock16(&a, &b));
  EXPECT_TRUE(EqualFilterBlock16(&a, &a));
  ClearFilterBlock16(&b);
  EXPECT_TRUE(EqualFilterBlock16(&a, &b));

  // InitFilterBlock50 keeps bytes 6..13 and clears the inline bytes and the data address.
  SFilterParam50 block;
  std::memset(block.bytes, 0xAB, sizeof block.bytes);
  uint8_t buffer[4];
  block.data = buffer;
  ASSERT_TRUE(InitFilterBlock50(block, 2, 54));
  EXPECT_EQ(block.DataLength(), 108);
  EXPECT_EQ(block.Count(), 2);
  EXPECT_EQ(block.ItemSize(), 54);
  for (int32_t i = 6; i < 14; ++i) EXPECT_EQ(block.bytes[i], 0xAB) << i;
  for (int32_t i = 14; i < 46; ++i) EXPECT_EQ(block.bytes[i], 0) << i;
  EXPECT_EQ(block.data, nullptr);
  EXPECT_FALSE(InitFilterBlock50(block, 2, 20000));  // beyond the 16-bit length
  EXPECT_EQ(block.Count(), 2);

  SFltFloor floor;
  InitFloorBlock(floor);
  EXPECT_EQ(floor.values[44], 1);
  EXPECT_EQ(floor.values[46], 30);
  EXPECT_EQ(floor.ceiling.image, nullptr);
  floor.values[42] = 3;
  floor.values[43] = 2;  // the ceiling comes from a layer, the floor from a file
  EXPECT_FALSE(IsCeilingTextureFromFile(floor));
  EXPECT_TRUE(IsFloorTextureFromFile(floor));

  int32_t kernel[27];
  InitKernel5x5(kernel);
  EXPECT_EQ(kernel[24], 0);
  EXPECT_EQ(kernel[25], 1);
  EXPECT_EQ(kernel[26], 0);
  SGradientMapBlock map;
  map.keepAlpha = 0;
  InitGradientMapBlock(map);
  EXPECT_EQ(map.keepAlpha, 1);
  EXPECT_EQ(map.options.repeatCount, 1);
}

// A 50-byte block records its count, item size and inline bytes into the header, its data after
// it, and the player rebuilds the same block.
TEST_F(FilterCommandsTest, FiftyByteBlocksRecordAndReplayTheirDataAndInlineBytes) {
  static std::vector<uint8_t> seen;
  static std::vector<uint8_t> seenInline;
  ScopedFilterProc custom(FilterKey::Custom, [](FilterContext& c, const void* block, int32_t size) {
    if (size != kBlock50) return false;
    const auto& b = *static_cast<const SFilterParam50*>(block);
    seen.assign(b.data, b.data + b.DataLength());
    seenInline.assign(b.Inline(), b.Inline() + SFilterParam50::kInlineSize);
    return EraseCovered(c, nullptr, 0);
  });
  // The remembered values of the custom filter: a kernel and an inline byte.
  SFilterMemory& memory = FilterMemory(FilterKey::Custom);
  ASSERT_EQ(memory.data.size(), 108u);
  EXPECT_EQ(LoadLE<int32_t>(memory.data.data() + 100), 4);  // the built-in kernel's divisor
  memory.data[0] = 7;
  memory.inlineBytes[3] = 9;
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  ASSERT_TRUE(CmdCustom(f.Paper(), f.Flow(), 0, true));
  ASSERT_EQ(seen.size(), 108u);
  EXPECT_EQ(seen[0], 7);
  const std::vector<uint8_t> recordedData = seen;
  const std::vector<uint8_t> recordedInline = seenInline;
  const RecordedCommand last = LastRecordedCommand(f.Events());
  ASSERT_TRUE(last.found);
  const std::vector<uint8_t> payload = Payload(last);
  ASSERT_EQ(payload.size(), 50u + 108u);
  EXPECT_EQ(LoadLE<uint16_t>(payload.data() + 4), 108);
  EXPECT_EQ(LoadLE<uint16_t>(payload.data() + 6), 1);
  EXPECT_EQ(LoadLE<uint16_t>(payload.data() + 8), 108);
  EXPECT_EQ(payload[18 + 3], 9);
  seen.clear();
  seenInline.clear();
  HeadlessPlaybackWindow b;
  ASSERT_TRUE(PlaySavedRecording(f.Paper(), PathOf("recording.te4"), b));
  EXPECT_EQ(seen, recordedData);
  EXPECT_EQ(seenInline, recordedInline);
  EXPECT_EQ(LayerPixels(b.Paper(), 0), LayerPixels(f.Paper(), 0));
}

}  // namespace
}  // namespace tf::test
