// TPaper: new documents, the canvas size and the paper colour.
#include "document/BlendMode.h"
#include "document/LayerDraw.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "platform/Debug.h"
#include "platform/Host.h"

namespace tf {

namespace {

// Blend modes of a document's first layer.
constexpr uint8_t kFirstLayerMode = 3;        // normal
constexpr uint8_t kFirstLegacyLayerMode = 0;  // multiply, under the older stroke engine

// A canvas of at least one pixel whose display buffer can be held (its bytes fit int32).
bool CanvasSizeAllowed(int32_t width, int32_t height) {
  int64_t bytes = 0;
  return width >= 1 && height >= 1 && CDibCore::CheckedImageBytes(width, height, 4, bytes);
}

}  // namespace

bool TPaper::InitDocument(const std::string& path, TFlowImage* flow, bool transparent, bool hideCanvasColor,
                          int32_t dpi, int32_t layerHeight, int32_t layerWidth, int32_t height, int32_t width) {
  const bool modern = HasModernEngine();
  // The legacy engine's first layer has the canvas size.
  const int32_t firstWidth = modern ? layerWidth : width;
  const int32_t firstHeight = modern ? layerHeight : height;
  auto check = [&] {
    // A document is set up once; the sizes come from dialogs, pictures and played streams alike.
    return ready == 0 && layers_->Count() == 0 && CanvasSizeAllowed(width, height) && firstWidth >= 1 &&
           firstHeight >= 1;
  };
  // The new-document event is written unless a recording is being played into the document.
  const bool record = eventMngr_ != nullptr && eventMngr_->state != kEventPlaying;
  return RunCommand(record, check, [&](PaperCommand& command) {
    WaitCursor busy;
    filePath = path;
    resolution = dpi;
    showCanvasColor = hideCanvasColor ? 0 : 1;
    if (!SetCanvasSize(flow, width, height)) return false;

    // The first layer. When it cannot be made the stack has shown its message; the document
    // stays not ready and nothing is recorded.
    const uint8_t mode = modern ? kFirstLayerMode : kFirstLegacyLayerMode;
    if (layers_->InsertLayer(0, firstWidth, firstHeight, true, 255, !HasDocumentUndo(), mode) < 0) return false;
    layers_->AssignDefaultName(0, 1);
    CLayerData& layer = *layers_->Get(0);
    FillNeutralAll(*layer.Store(), mode);
    const bool clear = modern && transparent;
    layer.SetAlphaAll(clear ? 0 : 255);
    layer.FillThumbnailNeutral(clear);

    TFlowImage* copy = flow != nullptr ? flow : GetFlowImage();
    SelectLayer(copy, 0);
    RedrawAll(true);
    SetGradientLineInt(TPoint{0, 0}, TPoint{width, 0});
    command.Record([&](CEventMngr& events) {
      events.writeNewDocument(width, height, layerWidth, layerHeight, dpi, !hideCanvasColor, !transparent);
    });
    StartEventRecording();
    ready = 1;
    NotifyReady(true);
    InvalidateWindow(false);
    return true;
  });
}

bool TPaper::NewDocument(const std::string& path, TFlowImage* flow, bool transparent, bool hideCanvasColor,
                         int32_t dpi, int32_t height, int32_t width) {
  return InitDocument(path, flow, transparent, hideCanvasColor, dpi, height, width, height, width);
}

bool TPaper::NewDocumentWithSlots(const std::string& path, TFlowImage* flow, int32_t height, int32_t width) {
  if (!CanvasSizeAllowed(width, height)) return false;
  if (!CreateSelectionSlots(width, height)) return false;
  return NewDocument(path, flow, true, false, 0, height, width);
}

bool TPaper::StartEventRecording() { return IsRecording() && eventMngr_->startRecording(); }

bool TPaper::SetCanvasSize(TFlowImage* flow, int32_t width, int32_t height) {
  if (!CanvasSizeAllowed(width, height)) return false;
  // The display buffer first: when it cannot be had, the canvas stays as it was.
  if (!displayBuffer_->Resize(width, height)) return false;
  canvasWidth = width;
  canvasHeight = height;
  layers_->SetCanvasSize(width, height);
  TFlowImage* copy = flow != nullptr ? flow : GetFlowImage();
  if (slots_ != nullptr && !slots_->Resize(width, height)) {
    DebugOut("TPaper::SetCanvasSize: the selection slots could not follow the canvas\n");
  }
  if (masks_ != nullptr) masks_->RefreshThumbnails();
  if (copy != nullptr) copy->Resize(false);
  if (window_ != nullptr) window_->UpdateScrollBars(nullptr);
  return true;
}

bool TPaper::SetPaperColor(uint32_t colour, bool record) {
  return RunCommand(
      record, [] { return true; },
      [&](PaperCommand& command) {
        command.Record([&](CEventMngr& events) { events.writePaperColor(colour); });
        // The record keeps the colour to go back to: the one in force before the change.
        command.Undo([&] {
          return PushAttributeUndo(nullptr, static_cast<int32_t>(paperColor), kUndoPaperColor,
                                   static_cast<int32_t>(colour));
        });
        paperColor = colour;
        RedrawAll(true);
        return true;
      });
}

}  // namespace tf
