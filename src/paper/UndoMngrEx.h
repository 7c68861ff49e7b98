// CUndoMngrEx: the undo and redo of one document.
#pragma once
// Every document command that changes something hands the document undo a record; the
// document's undo and redo apply the newest one and move it to the other list. Besides the pixel
// records of CUndoMngr it handles alpha planes, reversible operations, attributes, layer
// structure and mask structure (the categories of UndoData.h). Objects a command detached (a
// deleted layer, a replaced mask) are owned by the records from then on, by the release rules
// of their codes.
//
// Depth: a record is heavy when it holds pixels or its code is flagged heavy. Pushing a heavy
// record first drops the oldest records while the list holds `limit` heavy ones, so a list keeps
// at most `limit` heavy records and any number of light ones between them; TrimUndo then drops
// the oldest records while the undo list holds more than limit + margin records. A list whose
// limit is 0 takes no record at all (the push answers false and the record stays the caller's).
//
// What a record keeps, by code (besides its category and code):
//   0-6    pixels: the saved tiles (CUndoMngr)
//   16     alpha plane of rect
//   7-11   layerId, rect; 12-15 rect over every layer (layerIds: only those layers)
//   17     value1 the paper colour to apply (no layer)
//   18-22, 26  value1 the value to apply; 23 (value2, value3) the offset to apply;
//   24     (value2, value3) the distance, maskIndex/maskId the mask moved with the layer;
//   25     name1 the name to apply
//   27, 29, 30  held the new layer (layerId its id), value1 its index, value2 the active before
//   28     held the deleted layer (layerId its id), value1 its index
//   31     layerId, value1 from, value2 to
//   32     held the former lower layer, extra the merged-away upper layer, value1 low half the
//          upper index, high half the lower index, value2 the lower layer's id (= layerId)
//   33     held a CLayerMngr: entry 0 the former bottom layer, entries 1..n the merged layers
//          with their former indexes in their index fields; value2 0 in effect, 1 undone
//   34, 36 held the former layer, layerId the layer in the stack, value3 toggled
//   35     as 34, maskIndex/maskId the mask, (value3, value4) its distance
//   37     held the new layer, value1 its index, layerId the source layer, the alpha plane the
//          source's former alpha (origin at rect)
//   38     value1 the layer count, table the depths before, table2 after
//   39     held the folder layer, layerIndex its index, value3 the layers it held
//   40     held a CLayerList, layerIndex the start, value1 the count
//   41     held a CLayerList, value1 the start, value2 the count, layerIndex the layer to show
//   42     layerIndex a, value1 q, value2 the block's former depth, value3 n, value4 b
//   43, 44 held a CLayerList of n entries (null: moved only), layerIndex the start, value1 n,
//          (value2, value3) the distance; 44 maskIndex/maskId the mask moved too
//   45-48  table one visible byte per layer, value2 the count
//   49-52  canvas turn and manager exchanges (their commands fill these handlers)
//   53-63  value1 the mask index, value2 its id, value3 low half the active mask before, high
//          half after; held the mask (53-56, 62); 57 value1 new active, value3 old active;
//          58 value1 from, value2 to; 60 (value3, value4) the distance; 61 value1 and value2
//          the flags (high half enabled, low half visible); 62 value2 the mask index;
//          63 name1 the old name, name2 the new one
#include <cstdint>
#include <memory>
#include <vector>

#include "document/LayerData.h"
#include "document/PixelUndo.h"
#include "document/UndoData.h"
#include "paper/PaperManagers.h"

namespace tf {

class CLayerMngr;
class CMaskMngr;
class TPaper;

// The layers a merge or folder command keeps (codes 40, 41, 43, 44).
using CLayerList = std::vector<std::unique_ptr<CLayerData>>;

// The margin of light records above the depth.
inline constexpr int32_t kUndoMargin = 32;
inline constexpr const char* kUndoDepthFailedText = "アンドゥ回数の変更に失敗しました!";

class CUndoMngrEx final : public CUndoMngr, public CDocumentUndo {
 public:
  CUndoMngrEx(TPaper& paper, CLayerMngr* layers, int32_t undoLimit, int32_t redoLimit,
              int32_t margin = kUndoMargin);

  // Installs another layer manager; returns the previous one.
  CLayerMngr* SetLayerMngr(CLayerMngr* layers);
  CLayerMngr* LayerMngr() const { return layers_; }
  int32_t Margin() const { return margin_; }
  // A limit of 0 or less sets both to 0; the redo limit is cut to the undo limit; the lists
  // drop their oldest records down to the new heavy limits. True when a limit changed.
  bool SetLimits(int32_t undoLimit, int32_t redoLimit);

  // ---- CUndoMngr slots ----
  int32_t TrimUndo() override;
  bool Assign(const CUndoMngr& other) override;
  bool PushUndo(std::unique_ptr<CUndoData>&& record) override;
  bool PushRedo(std::unique_ptr<CUndoData>&& record) override;

  bool PeekUndo(CUndoData*& record) const;
  bool PeekRedo(CUndoData*& record) const;
  void DropNewestUndo();
  void DropNewestRedo();

  // ---- CDocumentUndo ----
  bool IsEnabled() const override { return CUndoMngr::IsEnabled(); }
  bool SaveLayerRect(CLayerData& layer, const SRectWH& rect, uint8_t code) override;
  bool PushAttribute(CLayerData* layer, int32_t value, int32_t extra, uint8_t code) override;
  bool Push(std::unique_ptr<CUndoHeld>& held, uint8_t code, int32_t value1, int32_t value2, int32_t value3,
            int32_t value4) override;
  void ClearAll() override { CUndoMngr::ClearAll(); }
  int64_t MemorySize() const override { return CUndoMngr::MemorySize() + SpareBytes(); }

  // A record built by the command itself (categories 3 to 6): pushed, the undo list trimmed,
  // the redo list cleared. On true the record is taken; on false it stays the caller's.
  bool PushRecord(std::unique_ptr<CUndoData>& record);

  // Applies the newest undo (redo) record and moves it to the other list. layer is the record's
  // layer as the caller found it (null when none); layerIndex comes in as its index (or the
  // active index) and goes out as the layer to show; rect is the refresh rectangle.
  bool Undo(int32_t& layerIndex, CLayerData* layer, SRectWH& rect) { return Step(true, layerIndex, layer, rect); }
  bool Redo(int32_t& layerIndex, CLayerData* layer, SRectWH& rect) {
    return Step(false, layerIndex, layer, rect);
  }

 private:
  bool Step(bool undo, int32_t& layerIndex, CLayerData* layer, SRectWH& rect);
  bool PushOnto(CUndoList& list, int32_t limit, std::unique_ptr<CUndoData>& record);
  static void DropToHeavyLimit(CUndoList& list, int32_t limit);
  bool Commit(std::unique_ptr<CUndoData>& record);
  bool PushRecordHeld(std::unique_ptr<CUndoData>& record, std::unique_ptr<CUndoHeld>& held);
  std::unique_ptr<CUndoData> Pop(bool undo);
  bool PushOther(bool undo, std::unique_ptr<CUndoData>& record);

  bool PixelStep(bool undo, CLayerData* layer, SRectWH& rect);
  bool AlphaStep(bool undo, CLayerData* layer, SRectWH& rect);
  bool ReversibleStep(bool undo, CLayerData* layer, SRectWH& rect);
  bool AttributeStep(bool undo, CLayerData* layer, SRectWH& rect);
  bool LayerStep(bool undo, int32_t& layerIndex, SRectWH& rect);
  bool MaskStep(bool undo, int32_t layerIndex, SRectWH& rect);
  // Category 5 by code; show is the layer index to show.
  bool LayerRecord(CUndoData& record, bool undo, int32_t& show);
  bool MaskRecord(CUndoData& record, bool undo);

  TPaper& paper_;
  CLayerMngr* layers_;
  int32_t margin_;
};

}  // namespace tf
