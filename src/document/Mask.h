// Masks: CMaskData (one 8-bit coverage map) and CMaskMngr (the document's mask list and selection).
#pragma once
// A mask is an 8-bit coverage map over the canvas: 0 not selected, 255 fully selected. Its store
// (a sparse CBlockVCH) has its own size and an offset: store pixel (x, y) lies on canvas pixel
// (x - offset x, y - offset y), as with layers. A mask without a store selects nothing.
//
// CMaskMngr owns the masks of one document in list order (list position = mask index); the mask
// at the active index is the selection, and the manager keeps its traced outline. Combining a
// shape or another mask into a mask, trimming, inverting and rescaling build a new CMaskData and
// hand the old one to the caller (who gives it to the document undo or frees it), except the
// in-place inversion of a mask that lies inside the canvas.
//
// Sizes, offsets and indexes from outside are range-checked at entry: a size must be 1 ..
// kMaxMaskSide on each side, an offset within +-kMaxMaskOffset; anything else is refused (false,
// -1 or null) and nothing changes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/SelectionOutline.h"
#include "raster/BlockVCH.h"
#include "raster/DibImage.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"
#include "raster/ScaleImage.h"

namespace tf {

class CLayerData;
class MaskCanvas;
class Surface;

inline constexpr int32_t kMaxMaskSide = 1 << 17;
inline constexpr int32_t kMaxMaskOffset = 1 << 24;

// Texts of the masks (names are code page 932 bytes, as layer names).
inline constexpr const char* kMaskNameStem = "\x83\x7D\x83\x58\x83\x4E";  // "マスク"
inline constexpr const char* kLuminanceNameStem = "\x96\xBE\x93\x78";     // "明度"
inline constexpr const char* kCreateMaskFailedText = "CMaskData::createMask: exception!";
inline constexpr const char* kExtendMaskFailedText = "makeExtendMask: exception!";
inline constexpr const char* kZoomMaskFailedText = "makeZoomMask: Exception!\n";

// Combine modes.
enum MaskCombineMode : int32_t { kMaskReplace = 0, kMaskAdd = 1, kMaskSubtract = 2, kMaskIntersect = 3 };

// The store size and offset are acceptable (see above).
bool IsAcceptableMaskGeometry(const TPoint& offset, const SSize& size);

class CMaskData {
 public:
  // CreateEmpty(index): no store, a 1x1 thumbnail, a new id, offset 0, empty name.
  explicit CMaskData(int32_t index = 0);
  CMaskData(const CMaskData&) = delete;
  CMaskData& operator=(const CMaskData&) = delete;
  ~CMaskData();

  // Create(index, width, height): as above with a store of width x height reading 0. Null when
  // the size is refused or the store cannot be made.
  static std::unique_ptr<CMaskData> Create(int32_t index, int32_t width, int32_t height);
  // A copy of the source's pixels (no store when the source is not allocated), thumbnail,
  // index, offset and name, with a new id. Null when memory runs out.
  static std::unique_ptr<CMaskData> CreateCopy(const CMaskData& source);

  // ---- Fields ----
  int32_t index = 0;
  int32_t id = 0;
  std::string name;
  int32_t offsetX = 0;
  int32_t offsetY = 0;

  // The program-wide id counter (the next id to give).
  static int32_t IdCounter();
  void NewId();
  void SetIndex(int32_t value) { index = value; }

  CBlockVCH* Store() const { return store_.get(); }
  TTC* Thumbnail() const { return thumbnail_.get(); }
  // Store present and valid; safe on a null mask.
  static bool IsAllocated(const CMaskData* mask);
  bool IsAllocated() const { return IsAllocated(this); }
  // Frees the store and makes a new empty one (ShowWarning on failure). Returns IsAllocated.
  bool createMask(int32_t width, int32_t height);
  // Takes the store (null frees it).
  void SetStore(std::unique_ptr<CBlockVCH> store) { store_ = std::move(store); }
  std::unique_ptr<CBlockVCH> TakeStore() { return std::move(store_); }

  // From a layer: store of the layer's size; byte := alpha x luminance / 255 (inverted
  // luminance with invert) or the alpha; offset := the layer's; named "明度(name)" or
  // "マスク(name)"; thumbnail for the canvas size.
  bool FromLuminance(const CLayerData& layer, bool invert);
  bool FromAlpha(const CLayerData& layer);
  // Every alpha of the layer := 0, then the mask values over the overlap of both stores. True
  // when the mask is not allocated; false when the stores do not overlap.
  bool ToLayerAlpha(CLayerData& layer) const;
  // A flat image at the canvas origin: alpha := alpha x mask / 255 over the overlap.
  bool MultiplyImageAlpha(TMTC& image) const;

  int64_t CommittedBytes() const;
  // Store rectangle in canvas coordinates (left, top, right, bottom).
  TRect GetRect() const;
  // Bounds of the nonzero pixels in canvas coordinates; false when none.
  bool GetBounds(TRect& bounds) const;
  // Union of the tiles holding pixels or a nonzero fill, clipped to the store, canvas coordinates.
  bool GetTileBounds(TRect& bounds) const;
  // Value at a canvas point; -1 outside the store.
  int32_t ValueAtCanvas(int32_t x, int32_t y) const;
  // value x scale / 255 at a store point; 0 outside.
  uint8_t ValueAt(int32_t x, int32_t y, uint8_t scale) const;
  uint8_t ValueAtFast(int32_t x, int32_t y, uint8_t scale) const;

  // Thumbnail sized for the canvas proportions within max width x max height; an unchanged size
  // answers true at once; a new size is filled with 0.
  bool FitThumbnail(int32_t canvasWidth, int32_t canvasHeight, int32_t maxWidth, int32_t maxHeight);
  // The canvas area of the store box-averaged into the thumbnail as grey.
  bool DrawThumbnail(int32_t canvasWidth, int32_t canvasHeight);
  bool RenderThumbnail(int32_t canvasWidth, int32_t canvasHeight, int32_t maxWidth, int32_t maxHeight);
  // RenderThumbnail at the mask list's thumbnail size.
  bool UpdateThumbnail(int32_t canvasWidth, int32_t canvasHeight);

 private:
  bool FromLayer(const CLayerData& layer, int kind);
  std::unique_ptr<CBlockVCH> store_;
  std::unique_ptr<TTC> thumbnail_;
};

inline int64_t MemoryUse(const CMaskData& mask) { return mask.CommittedBytes(); }

// The area-averaging resampler between two mask stores.
class CScaleMaskImage : public CScaleImage8 {
 public:
  CScaleMaskImage(CBlockVCH& source, CBlockVCH& dest);
  const uint8_t* SourcePixel(int32_t x, int32_t y) override;
  uint8_t* DestPixel(int32_t x, int32_t y) override;

 private:
  CBlockVCH& source_;
  CBlockVCH& dest_;
};

class CMaskMngr {
 public:
  // The first mask (no store) named "マスク1", active; outline index -1.
  CMaskMngr(const MaskCanvas* canvas, int32_t capacity = 16);
  CMaskMngr(const CMaskMngr&) = delete;
  CMaskMngr& operator=(const CMaskMngr&) = delete;
  ~CMaskMngr();

  const MaskCanvas* GetCanvas() const { return canvas_; }
  SSize CanvasSize() const;
  int32_t SetNameCounter(int32_t value);
  int32_t NameCounter() const { return nameCounter_; }
  bool NameMask(int32_t index, int32_t step);
  static std::string CombineModeCaption(int32_t mode);

  // ---- List ----
  bool IsValidIndex(int32_t index) const { return index >= 0 && index < GetCount(); }
  int32_t GetCount() const { return static_cast<int32_t>(masks_.size()); }
  int32_t GetLastIndex() const { return GetCount() - 1; }
  int32_t GetActiveIndex() const { return activeIndex_; }
  // index = count appends an empty mask first; a valid index becomes active. Returns the active
  // index.
  int32_t SetActive(int32_t index);
  CMaskData* GetMask(int32_t index) const;
  CMaskData* GetActiveMask() const { return GetMask(activeIndex_); }
  bool HasMask(int32_t index) const { return GetMask(index) != nullptr; }
  bool HasActiveMask() const { return HasMask(activeIndex_); }
  bool HasAnyMask() const;
  int32_t GetLastAllocatedIndex() const;
  bool IsLargerThanCanvas(int32_t index) const;
  int64_t GetCommittedBytes() const;
  // Index of the mask with the id; -1 when none.
  int32_t FindId(int32_t id) const;
  void Renumber();
  void ClampActive();
  std::unique_ptr<CMaskData> Detach(int32_t index);
  bool DeleteAt(int32_t index);
  int32_t Clear();
  // Valid index: inserted there; index = count: appended; else -1 (the mask stays the caller's).
  int32_t InsertMask(int32_t index, std::unique_ptr<CMaskData>& mask);
  // Valid index: put there, the old one handed back; else appended, null handed back.
  std::unique_ptr<CMaskData> ReplaceMask(int32_t index, std::unique_ptr<CMaskData> mask);
  // Valid index: exchanges the mask with the one at the index; ClampActive, Renumber.
  bool PutMask(int32_t index, std::unique_ptr<CMaskData>& mask);
  int32_t NewMask(int32_t index);
  int32_t InsertExisting(int32_t index, std::unique_ptr<CMaskData>& mask);
  // A copy of mask n at n; the source moves to n + 1.
  int32_t Duplicate(int32_t index);
  int32_t Move(int32_t to, int32_t from);
  bool Remove(int32_t index, std::unique_ptr<CMaskData>& mask);
  bool ClearMask(int32_t index, std::unique_ptr<CMaskData>& old);

  // ---- Combining ----
  // The channel (pixel (x, y) on canvas pixel (x - offset x, y - offset y), store size `size`)
  // combined into mask n (-1: active) by the mode; the result replaces the mask and takes its
  // name, the old mask is handed out.
  bool CombineChannel(int32_t index, const TChannel& channel, int32_t mode, std::unique_ptr<CMaskData>& old,
                      const TPoint& offset, const SSize& size);
  // The combined mask as a new object (not inserted), thumbnail updated; null on failure.
  std::unique_ptr<CMaskData> CombineToNew(int32_t index, const TChannel& channel, int32_t mode,
                                          const TPoint& offset, const SSize& size);
  bool CopyMask(int32_t target, int32_t source, std::unique_ptr<CMaskData>& old);
  bool CombineMasks(int32_t target, int32_t source, int32_t mode, std::unique_ptr<CMaskData>& old);
  // Inverts mask n. A mask inside the canvas is inverted in place (old stays null); otherwise a
  // store covering canvas and mask replaces it and the old mask is handed out.
  bool InvertMask(int32_t index, std::unique_ptr<CMaskData>& old);
  bool TrimToCanvas(int32_t index, std::unique_ptr<CMaskData>& old);
  bool TrimToContent(int32_t index, std::unique_ptr<CMaskData>& old);
  bool TrimAfterAdd(int32_t index);
  // Store rectangle in canvas coordinates; true when it lies wholly inside the canvas.
  bool GetCanvasRect(const CMaskData& mask, TRect& rect) const;
  // A new mask covering the canvas and the mask, with the old pixels in place; null on failure.
  std::unique_ptr<CMaskData> makeExtendMask(const CMaskData& mask) const;

  // ---- Thumbnails ----
  void UpdateThumbnail(CMaskData* mask);
  void UpdateActiveThumbnail() { UpdateThumbnail(GetActiveMask()); }
  void UpdateAllThumbnails();

  // ---- Outline ----
  bool RebuildOutline(const SSize& canvasSize, int32_t index);
  bool RebuildOutlineAtStore(int32_t index);
  bool ClearOutline();
  bool HasOutline() const { return outline_.HasPoints(); }
  bool DrawOutline(Surface& surface, int32_t clientWidth, int32_t clientHeight);
  bool StepOutline();
  void SetOutlineOffset(const TPoint& offset) { outline_.SetOffset(offset); }
  TPoint GetOutlineOffset() const { return outline_.Offset(); }
  int32_t OutlineIndex() const { return outlineIndex_; }
  CAntPoints& Outline() { return outline_; }

  // ---- Rescaling (method 1 sampled, 2 area average) ----
  std::unique_ptr<CMaskData> ScaleMask(const CMaskData& mask, const SSize& oldCanvas, const SSize& newCanvas,
                                       int32_t method) const;
  bool ScaleAllMasks(const SSize& newCanvas, int32_t method);
  std::unique_ptr<CMaskMngr> makeZoomMask(const SSize& newCanvas, int32_t method) const;

  // ---- Exchange ----
  // Exchanges the masks, the active index and the name counter with the other manager; each
  // keeps its own canvas. Both outlines are emptied (the caller traces the one it shows again).
  void ExchangeContent(CMaskMngr& other);

 private:
  int32_t Resolve(int32_t index) const { return index == -1 ? activeIndex_ : index; }
  std::unique_ptr<CMaskData> MaskFromChannel(const CMaskData* old, const TChannel& channel, const TPoint& offset);
  std::unique_ptr<CMaskData> AddChannel(const CMaskData* old, const TChannel& channel, const TPoint& offset,
                                        const SSize& size);
  std::unique_ptr<CMaskData> IntersectChannel(const CMaskData* old, const TChannel& channel, const TPoint& offset,
                                              const SSize& size);
  std::unique_ptr<CMaskData> SubtractChannel(CMaskData* old, const TChannel& channel, const TPoint& offset,
                                             const SSize& size);
  // Replaces mask n by the result (which takes its name) and hands the old one out.
  void Install(int32_t index, std::unique_ptr<CMaskData> result, std::unique_ptr<CMaskData>& old);

  const MaskCanvas* canvas_;
  std::vector<std::unique_ptr<CMaskData>> masks_;
  int32_t activeIndex_ = -1;
  int32_t nameCounter_ = 0;
  int32_t outlineIndex_ = -1;
  CAntPoints outline_;
};

// The manager's committed bytes (see MemoryUse in raster/BlockImage.h).
inline int64_t MemoryUse(const CMaskMngr& masks) { return masks.GetCommittedBytes(); }

}  // namespace tf
