// CPaperEventFileDocument: the document object seen as a CEventFileDocument.
#pragma once
// The document object as the event-file and thumbnail routines see it (CEventFileDocument over
// TPaper): callers make one around the document and pass it to SaveEventFile, LoadEventFile,
// WriteEventChunk, ReadEventChunkAt and WriteThumbnail.
#include "paper/EventFileDocument.h"

namespace tf {

class TPaper;

class CPaperEventFileDocument final : public CEventFileDocument {
 public:
  explicit CPaperEventFileDocument(TPaper& paper) : paper_(paper) {}

  CEventMngr* EventManager() override;
  SSize CanvasSize() const override;
  // The document undo's redo list; the document undo module brings the clearing (until then a
  // line on the developer output).
  void ClearDocumentRedo() override;
  // The display buffer; recomposed without the grid first when the grid is shown (null when
  // that cannot be done).
  const TMTC* BeginThumbnailPicture() override;
  // Draws the grid again when it is shown.
  void EndThumbnailPicture() override;

 private:
  TPaper& paper_;
};

}  // namespace tf
