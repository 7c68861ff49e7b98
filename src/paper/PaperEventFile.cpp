#include "paper/PaperEventFile.h"

#include "paper/Paper.h"
#include "platform/Debug.h"

namespace tf {

CEventMngr* CPaperEventFileDocument::EventManager() { return paper_.EventMngr(); }

SSize CPaperEventFileDocument::CanvasSize() const { return SSize{paper_.canvasWidth, paper_.canvasHeight}; }

void CPaperEventFileDocument::ClearDocumentRedo() { paper_.ClearRedo(); }

const TMTC* CPaperEventFileDocument::BeginThumbnailPicture() {
  if (paper_.GetGridVisible() &&
      !paper_.ComposeRect(SRectWH{0, 0, paper_.canvasWidth, paper_.canvasHeight}, false))
    return nullptr;
  return &paper_.DisplayBuffer();
}

void CPaperEventFileDocument::EndThumbnailPicture() {
  if (paper_.GetGridVisible()) paper_.ComposeRect(SRectWH{0, 0, paper_.canvasWidth, paper_.canvasHeight}, true);
}

}  // namespace tf
