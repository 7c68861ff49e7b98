// The blend modes: mode table, merge routines, pair table and mode orders.
#pragma once
// The 22 blend modes of the layer stack: the mode table, the merge routines, the pair table,
// the legacy routine pairs, the two orders of the modes (layer ids and the user interface's
// TBlendMode), and the routines that combine layers and draw them into images through a mode.
//
// Every pixel routine has a row form beside it (document/BlendRows.h); the drawing routines here
// choose the row form once per row or rectangle. The colour functions are in
// document/BlendFunctions.h.
//
// The layer-level routines take what they read of a layer as an SBlendLayer (mode, opacity,
// dissolve settings) and its pixels as a CBlockVMTC; the layer stack passes its layers' fields.
#include <cstdint>
#include <string>

#include "document/BlendRows.h"
#include "raster/Composite.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"
#include "raster/PixelOps.h"

namespace tf {

class CBlockVMTC;

// Layer mode ids (the order of the mode table, stored in documents and events).
enum : uint8_t {
  kModeMultiply = 0,
  kModeAdd = 1,
  kModeSubtract = 2,
  kModeNormal = 3,
  kModeScreen = 4,
  kModeOverlay = 5,
  kModeHardLight = 6,
  kModeSoftLight = 7,
  kModeDifference = 8,
  kModeExclusion = 9,
  kModeDarken = 10,
  kModeLighten = 11,
  kModeBurn = 12,
  kModeDodge = 13,
  kModeHue = 14,
  kModeSaturation = 15,
  kModeColor = 16,
  kModeLuminosity = 17,
  kModeLinearBurn = 18,
  kModeLinearLight = 19,
  kModeVividLight = 20,
  kModePinLight = 21,
};
inline constexpr int32_t kBlendModeCount = 22;
// New layers and folders.
inline constexpr uint8_t kNewLayerMode = kModeNormal;

// The user interface's order of the modes.
enum TBlendMode : uint8_t {
  bmStandard,
  bmLighten,
  bmScreen,
  bmDodge,
  bmDodgeLinear,
  bmDarken,
  bmMultiple,
  bmBurn,
  bmBurnLinear,
  bmBurnLinearNega,
  bmOverlay,
  bmSoftlight,
  bmHardlight,
  bmVividlight,
  bmLinearlight,
  bmPinlight,
  bmDifference,
  bmExclusion,
  bmHue,
  bmSaturation,
  bmColor,
  bmLuminosity,
};

// Flags of a mode.
enum : int32_t {
  kModeFlagInvertAfter = 0x01,      // a descriptor composite into a layer of this mode inverts the colours after
  kModeFlagStartFromSource = 0x08,  // a descriptor composite from a layer of this mode starts from the source
  kModeFlagNeutralFill = 0x20,      // the new-layer dialog offers the neutral colour as the fill
};

// The zero-alpha option of a mode word (bit 0 of its high 16 bits): pixels whose effective source
// alpha is 0 stay untouched. The low 16 bits are the pair-table selector 0..3.
inline constexpr uint32_t kModeWordZeroAlpha = 0x10000u;

// One entry of the mode table.
struct SLayerParam {
  int32_t id;
  const char* name;       // display name (UTF-8): the built-in text until LoadBlendModeNames, "" after release
  uint32_t neutralColor;  // 0x00RRGGBB: what an empty pixel of a layer in this mode holds
  PixelOp sourceAlpha;    // (pixel, colour, opacity): weighted with MulDiv255(opacity, colour alpha)
  PixelOp weighted;       // (pixel, colour, weight): the colour function applied with a weight
  uint32_t startColor;    // 0x00RRGGBB: where a composite descriptor starts
  int32_t flags;          // kModeFlag*
  // Row forms of the same routines.
  SRowOps sourceAlphaRows;
  WeightedRowOp weightedRows;
};

// A merge routine (pixel, colour, opacity) that merges into a pixel whose alpha may be below 255
// and computes the new alpha, with its row form.
struct SMergeRoutine {
  PixelOp pixel;
  SRowOps rows;
};

// An entry of the pair table: special routines for a (destination mode, source mode) pair.
struct SBlendPair {
  uint8_t destMode;
  uint8_t sourceMode;
  SMergeRoutine routine;
};

// A legacy routine pair: a block routine that applies one image to another and the pixel
// routine for one uniform colour (with its row form).
struct SLegacyOpPair {
  OldCompositeRoutine block;
  PixelOp pixel;
  SRowOps pixelRows;
};

// What the drawing routines read of a layer.
struct SBlendLayer {
  uint8_t mode = kNewLayerMode;
  uint8_t opacity = 255;
  bool dissolve = false;
  int32_t dissolveThreshold = 0;
  SRandom random{0, 0, 0, 0, 0};  // the layer's stored random record
};

// ---- Names --------------------------------------------------------------------------------

// Looks up the display name of a mode id; false when the text is missing.
using BlendNameLookup = bool (*)(int32_t mode, std::string& name);
// The built-in texts of the 22 names (UTF-8), by mode id.
const char* DefaultBlendModeName(int32_t mode);
// Fills the 22 names (at start-up, before any document exists, and again once the language
// module is loaded). Without a lookup the names are the program's texts (Tx: the module's when one
// is loaded); for a text the lookup does not have, the built-in text is used.
void LoadBlendModeNames(BlendNameLookup lookup = nullptr);
// Releases the names (at exit); the entries read "" afterwards.
void ReleaseBlendModeNames();

// ---- Table look-ups -----------------------------------------------------------------------

// The entry of mode & 0x7F; none above 21.
const SLayerParam* GetBlendModeEntry(uint32_t mode);
// The entry's name; false (name emptied) for a mode outside 0..21.
bool GetBlendModeName(int32_t mode, std::string& name);
// Neutral colour of mode & 0x7F (0x00FFFFFF, transparent white's colour, above 21).
uint32_t GetBlendModeNeutralColor(uint32_t mode);
// The merge routine of mode & 0x7F (the normal merge above 21).
const SMergeRoutine& GetMergeRoutine(uint32_t mode);
// The descriptor merge of mode & 0x7F as a row descriptor: {start colour, flags 0, BlendColor,
// the mode's weighted routine}.
SCompositeRowOps MergeDescriptor(uint32_t mode);

// Between the two orders, indexing with the low 7 bits (values above 21 give 0xFF).
uint8_t BlendModeToLayerMode(uint32_t blendMode);
uint8_t LayerModeToBlendMode(uint32_t layerMode);
// The table name of the mode of a TBlendMode value ("" above 21).
std::string BlendModeName(uint32_t blendMode);

// The pair (destination mode, source mode) within the first 2, 2, 4 or 6 entries for selector
// 0, 1, 2 or 3; none for another selector or when not found.
const SBlendPair* FindBlendPair(uint32_t destMode, uint32_t sourceMode, uint32_t selector);

// Mode 0: (OldCompositeMultiply, MultiplyOp), 1: (OldCompositeAdd, AddOp), 2: (OldCompositeSubtract,
// SubtractOp), any other: (OldCompositeSourceAlpha, PixelBlendSourceAlpha); mode & 0x7F.
const SLegacyOpPair& GetLegacyOpPair(uint32_t mode);

// Descriptor of a composite from a source-mode layer into a destination-mode layer, as the
// layer composite builds it: start colour = the source's when both are equal, else the larger;
// flags = the source mode's (0x40 added with the zero-alpha option); destination routine = the
// destination mode's weighted routine; source routine = the source mode's. Modes & 0x7F, 0..21.
SCompositeRowOps LayerCompositeDescriptor(uint32_t destMode, uint32_t sourceMode, bool zeroAlphaOption);
// The same as a per-pixel SCompositeOps.
SCompositeOps LayerCompositeOps(uint32_t destMode, uint32_t sourceMode, bool zeroAlphaOption);

// ---- Flat images --------------------------------------------------------------------------

// Draws a source image into an image as if the image were a normal-mode layer (alpha scale 255),
// with the mode and opacity of the layer: the pair (3, mode) when the selector finds one
// (TMTC::CombineFrom semantics), else a descriptor composite {start colour = the mode's, flags =
// the mode's (+0x40 with the zero-alpha option), BlendColor, the mode's weighted routine}
// (TMTC::CompositeFrom). False when nothing was drawn (mode above 21, opacity 0, empty clip).
bool BlendImageIntoImage(TMTC& display, const TMTC& source, const SBlendLayer& layer, uint32_t modeWord,
                         SRectWH& sourceRect, TPoint& destPoint);

// Draws an image into an opaque picture through the layer's source-alpha routine at the layer's
// opacity (TMTC::CombineTo). A dissolving layer goes through RandomThresholdOp with the layer's
// threshold and a copy of its random record, or a fresh record (seeded from the clock, range
// 0..255) when reseed is set; the dissolve slot is left as the pixel-by-pixel pass leaves it.
bool DrawImageAsLayer(TMTC& display, const TMTC& source, TPoint& destPoint, bool reseed, const SBlendLayer& layer,
                      SRectWH& sourceRect);

// Applies an image to the display over a rectangle with the legacy block routine of kind
// 0 multiply, 1 add, 2 subtract, other normal (source alpha), at the value.
bool ApplyLegacyImageOp(TMTC& display, const TMTC& source, const SRectWH& sourceRect, const TPoint& destPoint,
                        int32_t value, int32_t kind);

// Every pixel's colour := the mode's neutral colour, alpha kept.
void FillImageNeutral(TMTC& image, uint32_t mode);

// ---- Tiled stores (the layer routines) ----------------------------------------------------

// Per-layer combine: the upper store into the lower store at the position with the merge routine
// of the upper mode, value the upper opacity and alpha scale the lower opacity; the lower opacity
// becomes 255. Returns the store walk's result. An upper layer of opacity 0 contributes nothing
// but the lower alphas still take the lower opacity over the walked area (it would be lost).
// Every lower tile the walk writes is committed first (CBlockVMTC::FromBlockPieces): when a
// commit is refused nothing changes, the lower opacity and the point and rectangle included, and
// the result is false.
bool CombineLayerStores(CBlockVMTC& lowerStore, SBlendLayer& lower, const CBlockVMTC& upperStore,
                        const SBlendLayer& upper, TPoint& destPoint, SRectWH& sourceRect);

// Pair or descriptor composite of the upper store into the lower store (see the mode word); the
// lower opacity becomes 255; a lower layer of a mode with flag 0x01 has its whole store's colours
// inverted after a descriptor composite. False for a mode above 21. Upper opacity 0 and refused
// commits: as CombineLayerStores.
bool CompositeLayerStores(CBlockVMTC& lowerStore, SBlendLayer& lower, const CBlockVMTC& upperStore,
                          const SBlendLayer& upper, TPoint& destPoint, uint32_t modeWord, SRectWH& sourceRect);

// Draws a layer's store into an image as if the image were a normal-mode layer: the pair
// (3, mode) through the store's combine into an image, else the descriptor through its composite
// into an image (content rectangles only).
bool BlendLayerStoreIntoImage(const CBlockVMTC& store, const SBlendLayer& layer, TMTC& image, TPoint& destPoint,
                              uint32_t modeWord, SRectWH& sourceRect);

// The rectangle / the whole store := the blend mode's neutral colour (B, G, R; alpha kept), by
// CBlockVMTC::SetColorRect: uniform tiles only change their fill.
bool FillNeutralRect(CBlockVMTC& store, SRectWH& rect, int32_t blendMode);
bool FillNeutralAll(CBlockVMTC& store, int32_t blendMode);

}  // namespace tf
