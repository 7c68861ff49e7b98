// The interfaces through which the document reaches the managers that come with their own modules.
#pragma once
// TPaper owns, besides its layer stack and event recorder, a document undo, the masks with the
// selection, the selection slots of the older player and a stroke manager. Each is reached here
// through the smallest interface the document needs of it now; the module that builds the
// manager implements the interface (or replaces it by the manager itself) and TPaper's Create...
// routine makes it. Until then the document has none: the routines that need one say so on the
// developer output and answer false.
#include <cstdint>
#include <memory>

#include "document/UndoData.h"
#include "raster/Geometry.h"

namespace tf {

class CLayerData;

// The undo and redo of one document (CUndoMngrEx, filled by the document undo module).
class CDocumentUndo {
 public:
  virtual ~CDocumentUndo() = default;
  // Undo depth above 0.
  virtual bool IsEnabled() const = 0;
  // A record of a rectangle of the layer before the command changes it: pixels, alpha plane or
  // a reversible operation by the code's category. False, nothing pushed, when the undo is
  // disabled or the code belongs to none of those categories.
  virtual bool SaveLayerRect(CLayerData& layer, const SRectWH& rect, uint8_t code) = 0;
  // An attribute record (codes 17 to 26) carrying the attribute's value before the change.
  // layer is null for the document's own attribute (code 17, the paper colour).
  virtual bool PushAttribute(CLayerData* layer, int32_t value, int32_t extra, uint8_t code) = 0;
  // The general entry: a record of the code with its four values. On true the record has taken
  // held (null afterwards) and owns the object by the code's release rules; on false held is
  // left as it was and the object stays the caller's.
  virtual bool Push(std::unique_ptr<CUndoHeld>& held, uint8_t code, int32_t value1, int32_t value2,
                    int32_t value3, int32_t value4) = 0;
  // Empties the undo and the redo list.
  virtual void ClearAll() = 0;
  // Bytes held by both lists and by the stores kept for later saves.
  virtual int64_t MemorySize() const = 0;
};

// The masks of one document and its selection (CMaskMngr, filled by the masks module).
class PaperMasks {
 public:
  virtual ~PaperMasks() = default;
  // Index of the active mask (the selection); -1 when none.
  virtual int32_t ActiveIndex() const = 0;
  // Redraws every mask thumbnail (after the canvas size changed).
  virtual void RefreshThumbnails() = 0;
  // Bytes held by the masks' stores and thumbnails.
  virtual int64_t MemorySize() const = 0;
};

// The selection slots of the older version's player (TSelectMng, filled by the selection module).
class SelectionSlots {
 public:
  virtual ~SelectionSlots() = default;
  // Gives every slot the canvas size; false when that cannot be done.
  virtual bool Resize(int32_t width, int32_t height) = 0;
};

}  // namespace tf
