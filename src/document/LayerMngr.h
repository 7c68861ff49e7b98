// CLayerMngr: the layer stack of one document.
#pragma once
// CLayerMngr: the layer stack of one document, index 0 at the bottom. It owns its layers, keeps
// the active index (-1 only while empty), the default names ("レイヤ" and a number), the folder
// depths and the structural operations: insert, delete, move a layer or a block, replace, and
// merge a layer into the one below.
//
// Folders are expressed by depth alone: a layer whose following layers (higher indexes) are
// deeper than itself is a folder row, and those consecutive deeper layers are its content.
//
// Ownership: operations that take a layer take it from a std::unique_ptr passed by reference
// and empty that pointer only when they succeed; on failure the layer stays the caller's.
// Indexes from outside are range-checked: an invalid index does nothing and answers false, -1
// or null. The stack never holds more than its limit (10000) layers.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/LayerData.h"
#include "document/UndoData.h"
#include "raster/Geometry.h"

namespace tf {

// Messages of the stack (shown through ShowWarning).
inline constexpr const char* kBadLayerIndexText = "不正なレイヤインデックスです!";
inline constexpr const char* kLayerInitFailedText = "レイヤの初期化に失敗しました!";
inline constexpr const char* kLayerAddFailedText = "レイヤの追加に失敗しました!";
inline constexpr const char* kLayerMoveFailedText = "レイヤ移動に失敗しました！";
inline constexpr const char* kMergeResizeFailedText =
    "レイヤのサイズ変更失敗により、レイヤ結合ができませんでした！";
inline constexpr const char* kUndoFailedText = "アンドゥに失敗しました!\rすべてのアンドゥはクリアされます!";
// Shows kUndoFailedText.
void ShowUndoFailed();
// Default layer name stem, code page 932 bytes of "レイヤ".
inline constexpr const char* kLayerNameStem = "\x83\x8C\x83\x43\x83\x84";

// Mode word of MergeDown: low 16 bits choose the composite (0 per-layer combine, 1..3 the
// pair-table composite with that table length); high bits carry options.
enum : uint32_t {
  kMergeOptionZeroAlpha = 0x10000u,      // pixels of zero effective alpha stay untouched
  kMergeOptionAllAttributes = 0x20000u,  // the replacement takes all the lower layer's attributes
};

class CLayerMngr : public UndoTargetResolver {
 public:
  // Create (list capacity): 24 for a document, the layer count for a merge's scratch stack.
  explicit CLayerMngr(int32_t capacity = 24);
  CLayerMngr(const CLayerMngr&) = delete;
  CLayerMngr& operator=(const CLayerMngr&) = delete;
  // Frees every layer.
  ~CLayerMngr() override;

  // ---- Settings ----
  int32_t Limit() const { return limit_; }
  // Clamped to 1..10000.
  void SetLimit(int32_t limit);
  int32_t CanvasWidth() const { return canvasWidth_; }
  int32_t CanvasHeight() const { return canvasHeight_; }
  // The canvas size given to layers inserted afterwards.
  void SetCanvasSize(int32_t width, int32_t height);
  int32_t ThumbnailWidth() const { return thumbnailWidth_; }
  int32_t ThumbnailHeight() const { return thumbnailHeight_; }
  // The size new thumbnails are fitted into (the layer list sets it).
  void SetThumbnailSize(int32_t width, int32_t height);

  // ---- Names ----
  int32_t NameCounter() const { return nameCounter_; }
  void SetNameCounter(int32_t value) { nameCounter_ = value; }
  // "レイヤ" and name counter + step (code page 932 bytes).
  std::string MakeName(int32_t step) const;
  // name counter += step, then the layer's name := MakeName(0).
  bool AssignDefaultName(int32_t index, int32_t step);
  // target name := source name.
  bool CopyName(int32_t target, int32_t source);

  // ---- List ----
  int32_t Count() const { return static_cast<int32_t>(layers_.size()); }
  int32_t TopIndex() const { return Count() - 1; }
  // The layer at index; null for an invalid index.
  CLayerData* Get(int32_t index) const;
  CLayerData* operator[](int32_t index) const { return Get(index); }
  bool CanAdd() const { return Count() < limit_; }
  bool IsValidIndex(int32_t index) const { return index >= 0 && index < Count(); }

  // ---- Active layer ----
  int32_t ActiveIndex() const { return activeIndex_; }
  CLayerData* Active() const { return Get(activeIndex_); }
  // Sets it only for a valid index; returns the (possibly unchanged) active index.
  int32_t SetActive(int32_t index);
  // active := count - 1 when it is >= count.
  void ClampActive();
  // Every layer's index := its position.
  void Renumber();

  // ---- Structure ----
  // Removes the layer without freeing it; null for an invalid index. The Fix form then clamps
  // the active index and renumbers.
  std::unique_ptr<CLayerData> Extract(int32_t index);
  std::unique_ptr<CLayerData> ExtractAndFix(int32_t index);
  // Frees the layer and removes it (nothing for an invalid index).
  void FreeAt(int32_t index);
  // Frees every layer; active index -1. Returns the old count.
  int32_t Clear();
  // Inserts at a valid index (the layers there move up), else appends. Returns the position;
  // -1 (the layer stays the caller's) when the layer is null or the stack is full.
  int32_t InsertAt(int32_t index, std::unique_ptr<CLayerData>& layer);
  // Creates, initialises and inserts a new layer (see the algorithm); the index or -1 with a
  // message ("不正なレイヤインデックスです!" for a negative index, "レイヤの初期化に失敗しました!"
  // when the store cannot be made, "レイヤの追加に失敗しました!" otherwise).
  int32_t InsertLayer(int32_t index, int32_t width, int32_t height, bool visible, uint8_t opacity,
                      bool withOwnUndo, uint8_t mode);
  int32_t AddLayer(int32_t width, int32_t height, bool visible, uint8_t opacity, bool withOwnUndo, uint8_t mode);
  // index < 0: "不正なレイヤインデックスです!" and -1; else InsertAt, clamp active, renumber.
  int32_t InsertExisting(int32_t index, std::unique_ptr<CLayerData>& layer);
  // Frees the layer, clamps the active index, renumbers.
  bool Delete(int32_t index);
  // Puts the layer at the index and returns the old one unfreed; renumbers. Null (the layer
  // stays the caller's) for an invalid index or a null layer.
  std::unique_ptr<CLayerData> Replace(int32_t index, std::unique_ptr<CLayerData>& layer);
  // CLayerData::Assign of the source into the target (both valid, not the same).
  bool AssignLayer(int32_t target, int32_t source);
  bool SetThumbnailSizeAt(int32_t index, int32_t width, int32_t height);
  // -1 when to = from or from is invalid; to is clamped into 0..count-1; the layer moves to it.
  // Returns the new index.
  int32_t Move(int32_t to, int32_t from);
  // Exchanges the entries at index (here) and otherIndex (in other); renumbers this stack, the
  // other when asked.
  bool SwapWith(int32_t index, CLayerMngr& other, bool renumberOther, int32_t otherIndex);

  // ---- Ids ----
  int32_t GetIdAt(int32_t index) const;
  int32_t IndexOfId(int32_t id) const;
  bool FindById(int32_t id, int32_t& index, CLayerData*& layer) const;

  // ---- Visibility ----
  int32_t VisibleCount() const;
  // Lowest visible index or -1.
  int32_t FirstVisible() const;
  // One byte per layer (1 visible); false for an empty stack.
  bool GetVisibility(std::vector<uint8_t>& flags) const;
  bool SetAllVisible(bool visible);
  bool InvertVisibility();
  // visible := (index = n) for every layer; false for an invalid n.
  bool ShowOnly(int32_t n);
  // Sets a clamped range; returns how many were set.
  int32_t SetRangeVisible(int32_t start, int32_t count, bool visible);
  // start valid and count > 0; count := min(count, layer count - start).
  bool ClampRange(int32_t start, int32_t& count) const;

  // ---- Folder depths ----
  // With rebuild, the depth cache is rebuilt from the layers (false for an empty stack);
  // without, the cache is kept, unless the stack changed its order or size since it was built
  // (then it is rebuilt too). Depths changed on the layers directly need a rebuild.
  bool EnsureDepthArray(bool rebuild);
  const std::vector<uint8_t>& DepthArray() const { return depths_; }
  // Largest depth; -1 when the cache cannot be built.
  int32_t GetMaxDepth();
  // Number of consecutive layers directly above index that are deeper than it (0 for a plain
  // layer); -1 for an invalid index.
  int32_t GetGroupSpan(int32_t index, bool rebuild);
  // Nearest index below whose depth is smaller; -1 when none.
  int32_t GetParentIndex(int32_t index, bool rebuild);
  // index >= 1, every depth below 249, and the layer below at least as deep.
  bool CanIndent(int32_t index, bool rebuild);
  // index >= 1 and depth > 0.
  bool CanOutdent(int32_t index, bool rebuild);
  // After the matching test, the layer and its folder content go one level deeper / shallower.
  bool ChangeDepth(int32_t start, bool indent, bool rebuild);
  // Adds delta to the depths of a clamped range (each kept in 0..250); returns the count or 0.
  int32_t AddDepth(int32_t start, int32_t count, bool rebuild, int32_t delta);
  // Writes the cache range back into the layers (each clamped to 250).
  bool ApplyDepths(int32_t start, int32_t count);

  // ---- Blocks ----
  // from valid, 0 <= to <= count, count = span(from) + 1, to outside from .. from + count.
  bool CanMoveBlock(int32_t to, int32_t from, bool rebuild, int32_t count);
  // Moves the layer at from with its folder content to before position to, taking the depth of
  // the target place. New index of the block's first layer, or -1 (stack unchanged).
  int32_t MoveBlock(int32_t to, int32_t from, int32_t count);

  // ---- Merge ----
  // 1 <= index <= count - 1, not a folder row with content, and the layer below at depth - 1 or
  // depth.
  bool CanMergeDown(int32_t index);
  // Replaces the lower layer by a layer covering both stores with the upper layer composed into
  // it (mode word: see kMergeOption*). The replacement keeps the lower layer's id. The old lower
  // layer goes to oldLower when given (the undo keeps it), else it is freed. The upper layer
  // stays in the stack. False, the stack exactly as it was, for invalid indexes, a selector
  // outside 0..3, or when the replacement cannot be made ("レイヤのサイズ変更失敗により、...").
  bool MergeDown(int32_t lower, int32_t upper, std::unique_ptr<CLayerData>* oldLower, uint32_t modeWord);

  // ---- Undo ----
  // The core of the document's undo and redo: the newest record of the document undo, its
  // layer looked up by id, performed. A record whose layer is gone is dropped silently (false),
  // unless it names no layer (paper colour, mask records) or finds its layers itself (layer
  // structure). A failed undo shows
  // "アンドゥに失敗しました!..." and empties both lists; a failed redo answers false only.
  // refreshFlags is the record's code flags; layerIndex the layer to show.
  //
  // DocumentUndo offers (as the document undo does):
  //   bool PeekUndo(CUndoData*&), PeekRedo(CUndoData*&);
  //   void DropNewestUndo(), DropNewestRedo();
  //   bool Undo(int32_t& layerIndex, CLayerData* layer, SRectWH& rect), Redo(...);
  //   void ClearAll();
  template <class DocumentUndo>
  bool UndoStep(DocumentUndo& undo, int32_t& layerIndex, uint32_t& refreshFlags, SRectWH& rect);
  template <class DocumentUndo>
  bool RedoStep(DocumentUndo& undo, int32_t& layerIndex, uint32_t& refreshFlags, SRectWH& rect);

  // ---- Memory ----
  void FreeAllOwnUndo();
  int64_t GetOwnUndoMemory() const;
  int64_t GetMemory() const;

  // ---- UndoTargetResolver ----
  int32_t FindLayerIndex(int32_t layerId) const override { return IndexOfId(layerId); }
  CBlockVMTC* FindLayerPixels(int32_t layerId) override;
  // The stack holds no masks: always -1 (the document answers for its masks).
  int32_t FindMaskIndex(int32_t maskId) const override;

 private:
  template <class DocumentUndo, bool Redo>
  bool Step(DocumentUndo& undo, int32_t& layerIndex, uint32_t& refreshFlags, SRectWH& rect);
  // Composes the upper layer into the replacement; false when nothing could be composed.
  bool ComposeInto(CLayerData& replacement, const CLayerData& upper, const TPoint& position, uint32_t modeWord);

  std::vector<CLayerData*> layers_;  // owned
  int32_t limit_ = kMaxLayerCount;
  int32_t activeIndex_ = -1;
  int32_t canvasWidth_ = 0;
  int32_t canvasHeight_ = 0;
  int32_t thumbnailWidth_ = 0;
  int32_t thumbnailHeight_ = 0;
  int32_t nameCounter_ = 0;
  std::vector<uint8_t> depths_;  // folder depth cache, one byte per layer
  bool depthsStale_ = true;      // a structural change of the stack since the last rebuild
};

// ---------------------------------------------------------------------------------------------

template <class DocumentUndo, bool Redo>
bool CLayerMngr::Step(DocumentUndo& undo, int32_t& layerIndex, uint32_t& refreshFlags, SRectWH& rect) {
  CUndoData* record = nullptr;
  const bool found = Redo ? undo.PeekRedo(record) : undo.PeekUndo(record);
  if (!found || record == nullptr) return false;
  refreshFlags = record->Flags();
  int32_t index = IndexOfId(record->layerId);
  CLayerData* layer = Get(index);
  // Layer-structure records find their layers themselves; the paper colour (17) and the mask
  // records name no layer at all.
  const bool needsLayer = record->category != kUndoCategoryLayers && record->category != kUndoCategoryMasks &&
                          record->code != kUndoPaperColor;
  if (layer == nullptr && needsLayer) {
    if (Redo) {
      undo.DropNewestRedo();
    } else {
      undo.DropNewestUndo();
    }
    return false;
  }
  if (layer != nullptr) layerIndex = index;
  SRectWH area{0, 0, 0, 0};
  const bool done = Redo ? undo.Redo(layerIndex, layer, area) : undo.Undo(layerIndex, layer, area);
  if (!done) {
    if (!Redo) {
      ShowUndoFailed();
      undo.ClearAll();
    }
    return false;
  }
  rect = area;
  return true;
}

template <class DocumentUndo>
bool CLayerMngr::UndoStep(DocumentUndo& undo, int32_t& layerIndex, uint32_t& refreshFlags, SRectWH& rect) {
  return Step<DocumentUndo, false>(undo, layerIndex, refreshFlags, rect);
}

template <class DocumentUndo>
bool CLayerMngr::RedoStep(DocumentUndo& undo, int32_t& layerIndex, uint32_t& refreshFlags, SRectWH& rect) {
  return Step<DocumentUndo, true>(undo, layerIndex, refreshFlags, rect);
}

// The stack's GetMemory (see MemoryUse in raster/BlockImage.h).
inline int64_t MemoryUse(const CLayerMngr& layers) { return layers.GetMemory(); }

}  // namespace tf
