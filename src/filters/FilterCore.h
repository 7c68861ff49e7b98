// CFlt4Core: the filter runner. Binds one filter to a layer and the selection, previews it on
// the canvas, runs it once, refreshes, records its event and hands a backup of the layer to undo.
#pragma once
// A filter command makes one core per call: Create (which binds), IsValid, any number of
// previews and one RestorePreview while a dialog is open, then one run of the block's size
// (Run0 ... Run87), then the core goes. The event player makes one with the record flag clear
// and runs it once (or Execute plus RefreshAfterFilter for the floor and the gradient map).
//
// Before a run changes anything the core holds a whole copy of the layer's store (the backup).
// A recorded run ends by recording the filter's event and pushing the backup as one undo step
// (code 6); the undo then owns it. A run whose algorithm fails puts Bounds back from the backup
// and reloads the working copy (an algorithm may have written into Source, and the next stroke
// would carry that into the layer), so a failed run leaves the document as it found it.
//
// Also here (used by every filter generation): BackupLayerBlock and RefreshAfterFilter.
#include <cstdint>
#include <memory>

#include "filters/FilterBlocks.h"
#include "filters/FilterContext.h"
#include "raster/Geometry.h"

namespace tf {

class TPaper;
class TFlowImage;
class CLayerData;
class CMaskData;
class CBlockVMTC;
class PaperCommand;

// Why a core is invalid or a run failed (the commands choose their message by it).
enum class FilterFailure : uint8_t {
  kNone = 0,
  kNoLayer,        // no layer at the index, or no document
  kNoMask,         // the document has no active mask object
  kEmptySelection, // the selection has no pixel, or none on the layer's store
  kNoBackup,       // no memory for the backup
  kNoWorkingCopy,  // the working copy could not hold the layer
  kProcFailed,     // the algorithm answered false
  kOutOfMemory,    // a tile commit was refused during the run
  kNotFinite,      // a value that is not a finite number met an integer conversion
  kNoProc,         // the filter's algorithm is not built
};

// A copy of the layer's whole store; false (copy null) when it cannot be made. Never raises.
bool BackupLayerBlock(std::unique_ptr<CBlockVMTC>& copy, const CLayerData& layer);
// After a filter changed the layer: modified flag, the layer's thumbnail, the working copy
// reloaded from the store (work channel cleared), the selected part of the layer repainted
// (with thumbnails), the navigator and the layer pane refreshed.
void RefreshAfterFilter(TFlowImage* flow, TPaper& paper, int32_t layerIndex);

class CFlt4Core {
 public:
  // Reset, then Bind. The core may be invalid (see Failure()).
  CFlt4Core(TPaper& paper, TFlowImage* flow, int32_t layerIndex, FilterProc proc, bool record);
  ~CFlt4Core();
  CFlt4Core(const CFlt4Core&) = delete;
  CFlt4Core& operator=(const CFlt4Core&) = delete;

  bool IsValid() const;
  // Why the core is invalid, or why its last run failed.
  FilterFailure Failure() const { return failure_; }

  // Builds the context (Work = Bounds, clipped by clip when given; store coordinates) and calls
  // the algorithm. No cursor, refresh or record. A failed call leaves the store as it was over
  // Work and the working copy reloaded.
  bool Execute(const void* block, int32_t size, const TRect* clip);

  // One complete run of a block of that size: wait cursor, Execute, RefreshAfterFilter, and when
  // recording the event and the undo step. False (nothing refreshed, recorded or pushed) when
  // the algorithm fails.
  bool Run0(uint8_t id);
  bool Run8(uint8_t id, const void* block);
  bool Run16(uint8_t id, const void* block);
  bool Run24(uint8_t id, const void* block);
  bool Run50(uint8_t id, const SFilterParam50& block);
  bool Run87(uint8_t id, const SFltFloor& block);  // records code 40 whatever the id
  // The run for a logical block size (0, 8, 16, 24, 50, 87).
  bool RunSized(uint8_t id, const void* block, int32_t size);

  // Append the filter's event to the document's recorder (layer index, active mask index).
  bool RecordEvent0(uint8_t id);
  bool RecordEvent8(uint8_t id, const void* block);
  bool RecordEvent16(uint8_t id, const void* block);
  bool RecordEvent24(uint8_t id, const void* block);
  bool RecordEvent50(uint8_t id, const SFilterParam50& block);
  bool RecordEvent87(uint8_t id, const SFltFloor& block);
  // Hands the backup to the document undo (code 6, layer index, layer id); the core forgets it
  // only when the undo took it.
  bool CommitUndo();

  // On-canvas preview of the layer's part inside the window's visible canvas rectangle.
  bool ApplyPreview(const void* block, int32_t size);
  // Puts the backup's pixels back over the dirty rectangle; out (optional) gets it in canvas
  // coordinates. False when no preview is on the layer.
  bool RestoreDirty(TRect* out);
  // RestoreDirty and, with repaint, a repaint of that part of the canvas.
  bool RestorePreview(bool repaint);
  void AddDirtyRect(const TRect& rect);

  // With a command set, records go through it (a command failing afterwards takes them out).
  void SetCommand(PaperCommand* command) { command_ = command; }
  // The keep-alpha value of a replay, put into the context in place of the layer's flag.
  void SetKeepAlphaOverride(int32_t value) { keepAlphaOverride_ = value; }

  TPaper& Paper() const { return paper_; }
  TFlowImage* FlowImage() const { return flow_; }
  int32_t LayerIndex() const { return layerIndex_; }
  CLayerData* Layer() const { return layer_; }
  const CMaskData* Mask() const { return mask_; }
  const TRect& Bounds() const { return bounds_; }
  const CBlockVMTC* Backup() const { return backup_.get(); }
  bool RecordFlag() const { return record_; }
  bool PreviewDirty() const { return previewDirty_; }
  const TRect& DirtyRect() const { return dirty_; }
  FilterProc Proc() const { return proc_; }
  int32_t KeepAlphaOverride() const { return keepAlphaOverride_; }
  // The working copy's image and channel cut to the store's size (the context's Source).
  TMTC* SourceView() const { return &sourceView_; }
  TChannel* SourceMaskView() const { return &maskView_; }
  SFilterRunNote* Note() const { return &note_; }

 private:
  void Reset();
  void Bind(TFlowImage* flow, int32_t layerIndex, FilterProc proc, bool record);
  // Puts Work back from the backup and reloads the working copy after a failed call.
  void UndoFailedCall(const TRect& work);
  template <class Write>
  bool Record(Write&& write);

  TPaper& paper_;
  TFlowImage* flow_ = nullptr;
  int32_t layerIndex_ = -1;
  CLayerData* layer_ = nullptr;
  CMaskData* mask_ = nullptr;
  TRect bounds_{0, 0, 0, 0};
  std::unique_ptr<CBlockVMTC> backup_;
  bool record_ = true;
  bool previewDirty_ = false;
  TRect dirty_{0, 0, 0, 0};
  FilterProc proc_ = nullptr;
  FilterFailure failure_ = FilterFailure::kNone;
  PaperCommand* command_ = nullptr;
  int32_t keepAlphaOverride_ = -1;
  mutable TImageView sourceView_;
  mutable TChannelView maskView_;
  mutable SFilterRunNote note_;
};

}  // namespace tf
