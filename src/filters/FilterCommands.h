// The filter commands and their replay twins, driven by one catalogue; Filter > Repeat; the
// remembered values of the filter dialogs; the filter dialog host.
#pragma once
// Every filter of the Filter menu (and the Edit menu's luminance to alpha) is one catalogue row:
// its key, menu action, name, event id, block size, algorithm (FilterProc), dialog, last-used
// loader and the compiled defaults of its remembered values. From the row come the interactive
// command Cmd<Key> (menu actions call it with use last = false, Filter > Repeat with true), the
// replay twin Replay<Key> (the event player calls it with record off) and LoadLast<Key>.
//
// A command: the document window's gate (PrepareCommand(false, true); a refusal is silent), then
// inside the document commands' guard a runner bound to the layer and the selection, the block
// from the dialog or from the remembered values, the run with recording on, and on success the
// filter becomes Filter > Repeat's. Out of memory (no backup, a refused commit) shows
// kCommandOutOfMemoryText, an exception kCommandExceptionText with its message; any other
// failure ends the command silently and leaves Repeat as it was. Replay twins show nothing and
// answer false on any failure (an exception included).
//
// A row whose algorithm is not built yet fails its command and its replay with a line on the
// developer output naming the filter. The dialogs are reached through FilterDialogHost, which
// the filter dialogs install; without them a command that needs its dialog fails the same way.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "filters/FilterBlocks.h"
#include "filters/FilterContext.h"

namespace tf {

class TPaper;
class TFlowImage;
class CLayerData;
class CFlt4Core;
class CColorSlotGroup;
class TMTC;

// The keys of the catalogue, in catalogue order (the rows themselves are in FilterCommands.cpp).
#define TF_FILTER_KEYS(X) \
  X(BrightnessContrast) \
  X(ColorBalance) \
  X(GradientMap) \
  X(HueSaturation) \
  X(Invert) \
  X(FlipHorizontal) \
  X(FlipVertical) \
  X(Rotate180) \
  X(Levels) \
  X(Posterize) \
  X(Threshold) \
  X(Blur) \
  X(BlurMore) \
  X(RadialBlur) \
  X(MotionBlur) \
  X(GaussianBlur) \
  X(Polar) \
  X(Rotate) \
  X(Scale) \
  X(Noise) \
  X(ColorHalftone) \
  X(Mosaic) \
  X(Median) \
  X(Sharpen) \
  X(SharpenMore) \
  X(SharpenCustom) \
  X(Diffuse) \
  X(Emboss) \
  X(FindEdges) \
  X(Solarize) \
  X(Tiles) \
  X(Clouds) \
  X(Clouds2) \
  X(Plasma) \
  X(CloudsRock) \
  X(Wave) \
  X(Twirl) \
  X(Custom) \
  X(LuminanceToAlpha) \
  X(Lighting) \
  X(Floor)

enum class FilterKey : uint8_t {
#define TF_FILTER_KEY(key) key,
  TF_FILTER_KEYS(TF_FILTER_KEY)
#undef TF_FILTER_KEY
      kCount
};
inline constexpr int32_t kFilterKeyCount = static_cast<int32_t>(FilterKey::kCount);

// The remembered values of one filter: the block as its dialog last confirmed it (or the
// compiled defaults). Word blocks use the first size bytes of block; the 50-byte blocks their
// inline bytes and data; the gradient map its options and reverse flag; the floor its values.
// Some filters remember what their dialogs show rather than the block:
//   Scale: Single width and height percentages (negative when mirrored) at block 0 and 4, the
//     aspect lock at 8;
//   Plasma: block 4 monochrome, uint16 contrast in percent at 6, blend mode at 8, opacity in
//     percent at 9;
//   CloudsRock: block as confirmed (colours, tile size, contrast and softness of its kind); inline
//     uint16 clouds contrast at 0, rock contrast at 2, wrap-around at 4, rock at 5, uint16
//     softness at 6.
struct SFilterMemory {
  uint8_t block[24]{};
  uint8_t inlineBytes[SFilterParam50::kInlineSize]{};
  std::vector<uint8_t> data;
  SGradOption gradientOptions{0, 0, 0, 0, 1};
  uint8_t gradientReverse = 0;
  uint8_t floorValues[kFloorValueBytes]{};
  // The floor's pictures taken from files (ceiling, floor) and their resolutions, kept for
  // Filter > Repeat while the remembered values say "from file".
  std::shared_ptr<const TMTC> floorPictures[2];
  int32_t floorResolutions[2]{};
};

struct SFilterCatalogueRow;
// Fills the block (of the row's size; a 50-byte block already initialised by the command with
// its buffer) from the remembered values and the layer; false when it cannot.
using FilterLoader = bool (*)(const SFilterCatalogueRow& row, void* block, const CLayerData& layer);
// Sets the compiled defaults of a filter's remembered values.
using FilterDefaults = void (*)(SFilterMemory& memory);

struct SFilterCatalogueRow {
  FilterKey key;
  const char* keyName;  // "Mosaic"
  const char* action;   // the menu action
  const char* name;     // the display name (Filter > Repeat); null for luminance to alpha
  uint8_t eventId;
  int32_t blockSize;       // logical size: 0, 8, 16, 24, 50, 87, or 14 for the gradient map
  FilterProc proc;         // the algorithm; null until its issue builds it
  const char* dialog;      // the dialog form; null for the filters without one
  FilterLoader loader;     // null: the generic loader over the remembered values
  FilterDefaults defaults; // null: all zero
  int32_t keepAlphaAt;     // byte of the block that takes the layer's alpha protection; -1 none
  int32_t dataBytes;       // the 50-byte blocks' data: 108 (custom 5x5) or 56 (lighting)
  bool replayKeepAlpha;    // the replay puts the player's keep-alpha value into the context
};

// The row of a key; the rows in catalogue order.
const SFilterCatalogueRow& FilterRow(FilterKey key);
std::span<const SFilterCatalogueRow> FilterCatalogue();
// The row's algorithm (a test may put another in place, see ScopedFilterProc).
FilterProc FilterProcOf(FilterKey key);

// Puts an algorithm in place of a row's for its lifetime (tests of the runner and commands).
class ScopedFilterProc {
 public:
  ScopedFilterProc(FilterKey key, FilterProc proc);
  ~ScopedFilterProc();
  ScopedFilterProc(const ScopedFilterProc&) = delete;
  ScopedFilterProc& operator=(const ScopedFilterProc&) = delete;

 private:
  FilterKey key_;
  FilterProc previous_;
  bool hadPrevious_;
};

// ---------------------------------------------------------------------------------------------
// Dialogs and what the commands ask of the tool windows

class FilterDialogHost {
 public:
  virtual ~FilterDialogHost() = default;
  // Shows the row's dialog modally over the core (it previews through the core and removes the
  // preview when it closes), writes the remembered values and fills the block on OK. False when
  // cancelled. The default has no dialogs: it says so on the developer output and answers false.
  virtual bool RunFilterDialog(const SFilterCatalogueRow& row, CFlt4Core& core, void* block);
};
// Installing null restores the default host. Returns the host installed before.
FilterDialogHost* SetFilterDialogHost(FilterDialogHost* host);
FilterDialogHost& GetFilterDialogHost();

// ---------------------------------------------------------------------------------------------
// Remembered values

// The remembered values of a filter (compiled defaults until a dialog confirms).
SFilterMemory& FilterMemory(FilterKey key);
// The dialogs call this on OK with the block they confirmed.
void RememberFilterBlock(FilterKey key, const void* block, int32_t size);
// Every filter back to its compiled defaults (program start, tests).
void ResetFilterMemory();

// ---------------------------------------------------------------------------------------------
// Commands, replays, Filter > Repeat

// What a replay twin gets besides the document: the recorded values.
struct SFilterRecordedValues {
  int32_t words[6]{};  // classes 33 to 35
  int32_t wordCount = 0;
  const uint8_t* header = nullptr;  // class 38: the 50-byte SFilterBlock header
  std::span<const uint8_t> data;    // class 38: the data after it
  const CColorSlotGroup* gradient = nullptr;  // the gradient map's stops, read from the data
  const SGradOption* gradientOptions = nullptr;
  const TMTC* ceilingTexture = nullptr;  // the floor's texture pictures (0/128, 0/129)
  const TMTC* floorTexture = nullptr;
};

// The interactive command of a filter (the menu passes the active layer and use last = false).
bool RunFilterCommand(FilterKey key, TPaper& paper, TFlowImage* flow, int32_t layerIndex, bool useLast);
// The replay twin: the block rebuilt from the recorded values, run with the record flag given
// (the player passes false) and the player's keep-alpha value.
bool ReplayFilter(FilterKey key, TPaper& paper, TFlowImage* flow, int32_t layerIndex,
                  const SFilterRecordedValues& values, bool record, int32_t keepAlpha);
// The replay of event 52 (an older luminance to alpha without a colour): the colour of the stroke
// the document uses now and mix flag 0.
bool ReplayLuminanceToAlphaWithoutColour(TPaper& paper, TFlowImage* flow, int32_t layerIndex, bool record);
// The first versions of blur and blur more (events 0 and 1: the 3x3 and 5x5 box kernels), run
// with the record flag and keep-alpha value given (a recorded run records event 0 or 1), and the
// first colour balance (event 17), which is today's with the same four values.
bool ReplayBlurV1(TPaper& paper, TFlowImage* flow, int32_t layerIndex, bool record, int32_t keepAlpha);
bool ReplayBlurMoreV1(TPaper& paper, TFlowImage* flow, int32_t layerIndex, bool record, int32_t keepAlpha);
bool ReplayColorBalanceV1(TPaper& paper, TFlowImage* flow, int32_t layerIndex, const SFilterRecordedValues& values,
                          bool record, int32_t keepAlpha);
// The waves of events 69 (variant 0) and 80 (variant 1); today's wave records event 85.
bool ReplayWaveVariant(int32_t variant, TPaper& paper, TFlowImage* flow, int32_t layerIndex,
                       const SFilterRecordedValues& values, bool record, int32_t keepAlpha);
// The last-used loader of a filter.
bool LoadLastFilter(FilterKey key, void* block, const CLayerData& layer);

bool CanRepeatFilter();
// The name of the filter Filter > Repeat runs; empty before any filter ran.
std::string RepeatFilterName();
// "フィルタの再実行(&L)" before any filter ran, else "<name>(&L)".
std::string RepeatFilterCaption();
// Runs the last filter again (use last = true: its remembered values, no dialog; false: its
// dialog); false when no filter ran yet.
bool RunRepeatFilter(TPaper& paper, TFlowImage* flow, int32_t layerIndex, bool useLast);
// Forgets the repeat hook (tests; the program keeps it until it ends).
void ResetRepeatFilter();

// Cmd<Key>, Replay<Key>, LoadLast<Key> for every row.
#define TF_FILTER_DECLARE(key)                                        \
  inline bool Cmd##key(TPaper& paper, TFlowImage* flow, int32_t layerIndex, bool useLast) {           \
    return RunFilterCommand(FilterKey::key, paper, flow, layerIndex, useLast);                        \
  }                                                                                                   \
  inline bool Replay##key(TPaper& paper, TFlowImage* flow, int32_t layerIndex,                        \
                          const SFilterRecordedValues& values, bool record, int32_t keepAlpha) {       \
    return ReplayFilter(FilterKey::key, paper, flow, layerIndex, values, record, keepAlpha);          \
  }                                                                                                   \
  inline bool LoadLast##key(void* block, const CLayerData& layer) {                                   \
    return LoadLastFilter(FilterKey::key, block, layer);                                              \
  }
TF_FILTER_KEYS(TF_FILTER_DECLARE)
#undef TF_FILTER_DECLARE

}  // namespace tf
