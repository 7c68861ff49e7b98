// CLayerData: one layer of a document, its settings and its tiled pixel store.
#pragma once
// CLayerData: one layer of a document. Its pixels live in a sparse tiled store that may be
// larger than the canvas and offset against it: the offset is where the canvas's top-left pixel
// lies inside the store, so the store covers canvas x from -offsetX to store width - offsetX.
//
// Besides the pixels a layer keeps its display attributes (visibility, opacity, blend mode,
// dissolve, alpha protection), its folder depth, its name (code page 932 bytes), a thumbnail
// for the layer list and, in a document without document undo, its own pixel undo (8 and 8).
//
// Every layer takes a program-wide unique id at creation; undo records and merges refer to
// layers by it. Ids are never reused within a run.
#include <cstdint>
#include <memory>
#include <string>

#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

class CUndoMngr;

// Folder depth limits and the stack's size limit.
inline constexpr int32_t kMaxFolderDepth = 250;
inline constexpr int32_t kMaxLayerCount = 10000;
// Range of the dissolve random record.
inline constexpr int32_t kDissolveRandomLow = 0;
inline constexpr int32_t kDissolveRandomHigh = 255;
// Size of a layer's own pixel undo.
inline constexpr int32_t kOwnUndoLimit = 8;
// Colour a fresh thumbnail is filled with.
inline constexpr uint32_t kThumbnailFill = 0x00FFFFFFu;

// The program-wide layer id counter: starts at 0, +1 for every layer created.
int32_t LayerIdCounter();
// Takes the next id (counter + 1) and returns it.
int32_t TakeNextLayerId();
// For tests: sets the counter.
void ResetLayerIdCounter(int32_t value = 0);

class CLayerData {
 public:
  // Create (index, with own undo): defaults, the next id, the random record seeded from the
  // millisecond clock (range 0..255), the own pixel undo (8, 8) when asked. No store yet.
  explicit CLayerData(int32_t index = 0, bool withOwnUndo = false);
  CLayerData(const CLayerData&) = delete;
  CLayerData& operator=(const CLayerData&) = delete;
  // Destroy: FreeContent, then the own pixel undo goes.
  ~CLayerData();

  // ---- Fields (read and written directly by the document, files, events and undo) ----
  int32_t index = 0;    // position in the stack; rewritten by CLayerMngr::Renumber
  int32_t id = 0;       // unique id
  std::string name;     // code page 932 bytes
  int32_t offsetX = 0;  // canvas origin inside the store
  int32_t offsetY = 0;
  int32_t canvasWidth = 0;  // the document's canvas size
  int32_t canvasHeight = 0;
  uint8_t alphaProtect = 0;  // painting keeps the layer's alpha
  uint8_t opacity = 255;
  uint8_t blendMode = 0;  // mode id 0..21 (table look-ups use the low 7 bits)
  uint8_t dissolve = 0;   // 1: pixels shown by a random threshold
  uint8_t dissolveThreshold = 255;
  uint8_t visible = 0;            // 0 at construction, 1 after Init
  uint8_t clip = 0;               // clip flag kept by the document file
  uint8_t extraAttribute = 0;     // extra attribute byte kept by the document file
  SRandom random{0, 0, 0, 0, 0};  // dissolve random record

  // ---- Content ----
  // Frees store and thumbnail, visible := 0, empties the own undo lists.
  void FreeContent();
  // Frees the content and makes a width x height store filled with the mode's neutral colour
  // (alpha 0, as the store's fill values); offsets 0, canvas := width x height, visible 1,
  // alpha protect 0, opacity 255, the mode; a thumbnail fitted to the layer list's size.
  // False (content freed) when the store cannot be made or memory runs out.
  bool Init(int32_t width, int32_t height, uint8_t mode);
  // Init with the other's store size and mode, then Assign(other).
  bool InitFrom(const CLayerData& other);
  // Copies the other's pixels and thumbnail, its attributes (CopyAttributes), offsets, canvas
  // size and, when the other has one, its own pixel undo into this layer's. False when a copy
  // fails (out of memory) or either store is missing.
  bool Assign(const CLayerData& other);
  // Name, visible, opacity, alpha protect, mode, folder depth, dissolve threshold, dissolve,
  // random record, clip flag and extra attribute. Not offsets, canvas size, index or id.
  void CopyAttributes(const CLayerData& other);

  // ---- Identity ----
  void SetId(int32_t value) { id = value; }
  void SetIndex(int32_t value) { index = value; }
  // Takes the next id of the counter; returns it.
  int32_t AssignNewId();
  // Reseeds the random record (range 0..255).
  void SetSeed(int32_t seed);

  // ---- Folder depth (0..250) ----
  int32_t GroupDepth() const { return groupDepth_; }
  // depth := value clamped to 0..250; returns it.
  int32_t SetGroupDepth(int32_t depth);
  int32_t SetFolderDepth(int32_t depth) { return SetGroupDepth(depth); }
  // depth := depth + delta clamped to 0..250; returns it.
  int32_t AddGroupDepth(int32_t delta);

  // ---- Thumbnail ----
  TMTC* Thumbnail() const { return thumbnail_.get(); }
  // Fits the thumbnail into width x height keeping the canvas aspect, resizes it and fills it
  // with 0x00FFFFFF. False for an empty size or when memory runs out.
  bool SetThumbnailSize(int32_t width, int32_t height);
  // SetThumbnailSize with the layer list's thumbnail size.
  bool UpdateThumbnailSize();
  // Draws the canvas part of the store scaled into the whole thumbnail.
  void UpdateThumbnail();
  // Fills the thumbnail with the mode's neutral colour, alpha 0 when transparent, else 255.
  void FillThumbnailNeutral(bool transparent);

  // ---- Placement ----
  // 0 <= offsetX <= store width - canvas width and likewise for y; with clamp the offsets are
  // clamped into those ranges first (0 where the store is smaller than the canvas).
  bool IsOffsetInside(bool clamp);
  // Moves the content by (dx, dy) on the canvas (offset -= d, saturating); redraws the
  // thumbnail; returns IsOffsetInside(false).
  bool Offset(int32_t dx, int32_t dy);
  // The store is wider or taller than the canvas.
  bool IsOversized() const;
  // The store in canvas coordinates (left, top, right, bottom).
  void GetStoreRect(TRect& rect) const;
  // A new layer (same index, own undo exactly when this has one) of the given store size and
  // this mode, offsets := this offsets + position, this canvas size, with this store copied in
  // at position. New id, default attributes, depth 0. Null when the store cannot be made.
  std::unique_ptr<CLayerData> CreateResized(const SSize& size, const TPoint& position) const;

  // ---- Pixels ----
  CBlockVMTC* Store() const { return store_.get(); }
  int32_t StoreWidth() const { return store_ ? store_->Width() : 0; }
  int32_t StoreHeight() const { return store_ ? store_->Height() : 0; }
  // Every pixel's alpha := value / inverted, over the whole store.
  bool SetAlphaAll(uint8_t alpha);
  bool InvertAlpha();
  // Replaces the store; returns the old one unfreed.
  std::unique_ptr<CBlockVMTC> SwapStore(std::unique_ptr<CBlockVMTC> store);
  // The whole store / a rectangle of it into an image at the same position, opacity 255.
  bool CopyStoreToImage(TMTC& image) const;
  bool CopyRectToImage(TMTC& image, const SRectWH& rect) const;

  // ---- Own pixel undo ----
  CUndoMngr* OwnUndo() const { return ownUndo_.get(); }
  bool HasOwnUndo() const { return ownUndo_ != nullptr; }
  void ClearOwnUndo();
  void FreeOwnUndo();
  bool CanUndoOwn() const;
  bool CanRedoOwn() const;
  int64_t GetOwnUndoMemory() const;
  // Save the whole store / a rectangle into the own undo under this layer's index and id;
  // false without an own undo.
  bool SaveStoreOwnUndo();
  bool SaveRectOwnUndo(const SRectWH& rect);
  // Undoes the newest own record into the store; with an image, the restored rectangle of the
  // store is copied into it at the same position (opacity 255). rect becomes the restored area.
  bool UndoOwnPixels(TMTC* image, SRectWH& rect);

  // Committed bytes of the store plus the thumbnail's bytes.
  int64_t GetMemory() const;

 private:
  int32_t groupDepth_ = 0;
  std::unique_ptr<CBlockVMTC> store_;
  std::unique_ptr<TMTC> thumbnail_;
  std::unique_ptr<CUndoMngr> ownUndo_;
};

// The layer's GetMemory (see MemoryUse in raster/BlockImage.h).
inline int64_t MemoryUse(const CLayerData& layer) { return layer.GetMemory(); }

}  // namespace tf
