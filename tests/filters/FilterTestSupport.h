// A recorded document for the filter tests, test algorithms, and an independent model of the
// coverage rule.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/LayerData.h"
#include "document/Mask.h"
#include "document/ShellServices.h"
#include "platform/AddressSpace.h"
#include "filters/FilterCommands.h"
#include "filters/FilterContext.h"
#include "filters/FilterCore.h"
#include "paper/EventFileIO.h"
#include "paper/PaperEventFile.h"
#include "paper/PaperTestSupport.h"
#include "playback/PlayRowHarness.h"
#include "playback/PlaybackTestSupport.h"
#include "raster/BlockVCH.h"
#include "raster/Composite.h"
#include "raster/PixelOps.h"
#include "support/PythonReader.h"

namespace tf::test {

// Every pixel of a layer's store (uncommitted tiles by their fill).
inline std::vector<uint32_t> StorePixels(const CBlockVMTC& store) {
  std::vector<uint32_t> pixels;
  pixels.reserve(static_cast<size_t>(store.Width()) * static_cast<size_t>(store.Height()));
  for (int32_t y = 0; y < store.Height(); ++y)
    for (int32_t x = 0; x < store.Width(); ++x) pixels.push_back(store.GetPixel(x, y));
  return pixels;
}

inline std::vector<uint32_t> LayerPixels(TPaper& paper, int32_t index) {
  return StorePixels(*paper.GetLayer(index)->Store());
}

// The working copy equals the layer's store over the store's size.
inline bool FlowHoldsLayer(TPaper& paper, TFlowImage& flow, int32_t index) {
  const CBlockVMTC& store = *paper.GetLayer(index)->Store();
  if (flow.layer != index || flow.Image().Width() < store.Width() || flow.Image().Height() < store.Height())
    return false;
  for (int32_t y = 0; y < store.Height(); ++y)
    for (int32_t x = 0; x < store.Width(); ++x)
      if (flow.Image().GetPixel(x, y) != store.GetPixel(x, y)) return false;
  return true;
}

// Runs a numpy model of tests/data (script MODE INPUT OUTPUT, little-endian int32 files): false when
// python3 or numpy cannot run it (the output then says why).
inline bool RunModelScript(const std::string& script, const std::string& mode, const std::vector<int32_t>& input,
                           std::vector<uint32_t>& out, std::string& output) {
  char in[] = "/tmp/tf_filter_in_XXXXXX";
  char res[] = "/tmp/tf_filter_out_XXXXXX";
  const int a = ::mkstemp(in), b = ::mkstemp(res);
  if (a < 0 || b < 0) return false;
  const auto bytes = static_cast<ssize_t>(input.size() * 4);
  const bool written = ::write(a, input.data(), static_cast<size_t>(bytes)) == bytes;
  ::close(a);
  ::close(b);
  std::map<std::string, std::string> lines;
  const bool ran = written && RunNumpyScript(script, mode + " " + in + " " + res, lines, output) == 0;
  if (ran) {
    FILE* f = std::fopen(res, "rb");
    out.clear();
    uint32_t v;
    while (f != nullptr && std::fread(&v, 4, 1, f) == 1) out.push_back(v);
    if (f != nullptr) std::fclose(f);
  }
  ::unlink(in);
  ::unlink(res);
  return ran;
}

// ---- Test algorithms

// Inverts B, G and R through a channel table; alpha through the table unchanged.
inline uint8_t* InvertTable() {
  static uint8_t table[1024];
  for (int32_t i = 0; i < 256; ++i) {
    table[4 * i + 0] = static_cast<uint8_t>(255 - i);
    table[4 * i + 1] = static_cast<uint8_t>(255 - i);
    table[4 * i + 2] = static_cast<uint8_t>(255 - i);
    table[4 * i + 3] = static_cast<uint8_t>(i);
  }
  return table;
}
inline uint32_t InvertValue(uint32_t p) { return p ^ 0x00FFFFFFu; }

inline bool InvertProc(FilterContext& c, const void*, int32_t size) {
  if (size != 0) return false;
  return MapByChannelTables(c, InvertTable(), c.KeepAlpha != 0);
}

// An 8-byte block: word 0 is a luminance threshold, word 1 the colour above it (alpha 255 below,
// the colour's own alpha above). Colour and alpha move by the coverage.
inline bool ThresholdProc(FilterContext& c, const void* block, int32_t size) {
  if (size != 8 || block == nullptr) return false;
  const int32_t threshold = BlockWord(block, 0);
  const uint32_t above = static_cast<uint32_t>(BlockWord(block, 1));
  uint32_t table[256];
  for (int32_t i = 0; i < 256; ++i) table[i] = i >= threshold ? above : 0xFF000000u;
  return MapByLuminance(c, table, c.KeepAlpha != 0);
}

// Writes into Source (as the motion and zoom blurs do) and into the store, then fails.
inline bool SourceScribblingProc(FilterContext& c, const void*, int32_t) {
  if (!CheckFilterContext(c)) return false;
  for (int32_t y = c.Work.top; y < c.Work.bottom; ++y)
    for (int32_t x = c.Work.left; x < c.Work.right; ++x) {
      *c.Source->Pixel(x, y) = 0x12345678u;
      if (uint32_t* p = c.Store->WritePtr(x, y)) *p = 0x87654321u;
    }
  return false;
}

inline bool ThrowingProc(FilterContext& c, const void*, int32_t) {
  if (uint32_t* p = c.Store->WritePtr(c.Work.left, c.Work.top)) *p = 0xDEADBEEFu;
  throw std::runtime_error("scripted failure");
}

// ---- The coverage rule, modelled from the mask's own bytes

inline int32_t ModelCoverage(const CLayerData& layer, const CMaskData* mask, int32_t x, int32_t y) {
  if (!CMaskData::IsAllocated(mask)) return 255;
  const int64_t mx = int64_t{x} - layer.offsetX + mask->offsetX;
  const int64_t my = int64_t{y} - layer.offsetY + mask->offsetY;
  const CBlockVCH& s = *mask->Store();
  if (mx < 0 || my < 0 || mx >= s.Width() || my >= s.Height()) return 0;
  return s.GetPixel(static_cast<int32_t>(mx), static_cast<int32_t>(my));
}

// The document a filter test works on: a 72 x 56 canvas, recording, its layer 0 holding pixels
// of every alpha, pasted by a recorded command.
struct FilterDocument {
  explicit FilterDocument(int32_t width = 72, int32_t height = 56, uint64_t seed = 7) : d(width, height) {
    SceneRng rng(seed);
    TMTC image(width, height);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) *image.Pixel(x, y) = rng.Next();
    ok = d.ok && d.Paper().PasteImageToLayer(d.Flow(), 0, true, "into", nullptr, image);
  }
  TPaper& Paper() { return d.Paper(); }
  TFlowImage* Flow() { return d.Flow(); }
  CEventMngr& Events() { return d.Events(); }
  CLayerData& Layer(int32_t i = 0) { return *d.Paper().GetLayer(i); }

  RecordingDocument d;
  bool ok = false;
};

// Saves the document's recording as an event file at path and plays it into the window's
// document to the end; false when a step fails.
inline bool PlaySavedRecording(TPaper& from, const std::string& path, HeadlessPlaybackWindow& into) {
  CPaperEventFileDocument file(from);
  if (!SaveEventFile(path, file, false, -1, -1, true)) return false;
  CPlayer player(into.Paper(), &into);
  if (player.startPlay(path) != kStartPlayStarted) return false;
  const uint8_t r = PlayToEnd(player);
  return player.stopPlay(true) && r == kPlayStepEnded;
}

// A dialog host that answers with a scripted block, or cancels.
class ScriptedDialogHost : public FilterDialogHost {
 public:
  bool RunFilterDialog(const SFilterCatalogueRow& row, CFlt4Core& core, void* block) override {
    ++calls;
    lastKey = row.key;
    lastCoreValid = core.IsValid();
    if (cancel) return false;
    if (row.blockSize >= 8 && row.blockSize <= 24) std::memcpy(block, words, static_cast<size_t>(row.blockSize));
    RememberFilterBlock(row.key, block, row.blockSize);
    return true;
  }
  int32_t calls = 0;
  FilterKey lastKey = FilterKey::kCount;
  bool lastCoreValid = false;
  bool cancel = false;
  int32_t words[6] = {0, 0, 0, 0, 0, 0};
};

// Installs a dialog host for a scope, and starts each test with fresh remembered values and no
// repeat hook.
class FilterTestScope {
 public:
  FilterTestScope() {
    ResetFilterMemory();
    ResetRepeatFilter();
    previousPanes_ = SetToolPaneHost(&panes);
    paper.host.hasToolColours = true;
    paper.host.toolForeground = 0x102030;
    paper.host.toolBackground = 0xF0E0D0;
  }
  ~FilterTestScope() {
    SetFilterDialogHost(nullptr);
    SetToolPaneHost(previousPanes_);
    ResetRepeatFilter();
    ResetFilterMemory();
    ResetAddressSpaceSettings();
  }
  PaperTestScope paper;
  RecordingToolPaneHost panes;

 private:
  ToolPaneHost* previousPanes_ = nullptr;
};

}  // namespace tf::test
