// CEventFileDocument: what the event-file and thumbnail routines need of a document.
#pragma once
// What the event-file and thumbnail routines need of a document: its recorder, its canvas size,
// its undo's redo list and its composed picture. The document object implements it.
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

class CEventMngr;

class CEventFileDocument {
 public:
  virtual ~CEventFileDocument() = default;
  // The document's recorder; null when it has none.
  virtual CEventMngr* EventManager() = 0;
  virtual SSize CanvasSize() const = 0;
  // Empties the document undo's redo list (the recorder's own redo part is cleared separately).
  virtual void ClearDocumentRedo() = 0;
  // The composed picture of the canvas (the display buffer) without the grid; null when there
  // is none. EndThumbnailPicture draws the grid again when it was shown.
  virtual const TMTC* BeginThumbnailPicture() = 0;
  virtual void EndThumbnailPicture() = 0;
};

}  // namespace tf
