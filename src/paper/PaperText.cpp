// TPaper: the text tool's commit of rendered text into a layer or the selection.
#include <algorithm>
#include <atomic>
#include <new>
#include <string_view>

#include "document/UndoData.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "paint/Text.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "platform/Debug.h"

namespace tf {

namespace {

// The selection commands' own combine of the working channel, by the modifier keys.
bool SelectWithSelectionCommands(TPaper& paper, TFlowImage* flow, int32_t layer, bool record, const SRectWH&,
                                 int32_t mode) {
  return paper.SelectFromWorkChannel(flow, layer, record, mode);
}

std::atomic<TPaper::WorkChannelSelector> g_workChannelSelector{&SelectWithSelectionCommands};

int16_t ToInt16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

}  // namespace

TPaper::WorkChannelSelector TPaper::SetWorkChannelSelector(WorkChannelSelector selector) {
  return g_workChannelSelector.exchange(selector);
}

bool TPaper::DrawStrokeInRect(TFlowImage* flow, TStroke& stroke, const SRectWH& rect, bool asSelection,
                              bool record, int32_t mode) {
  const int32_t index = GetStrokeLayer(stroke);
  CLayerData* layer = GetLayer(index);
  SRectWH area = rect;
  // The working copy must hold the layer: its channel is in that layer's store coordinates.
  auto check = [&] {
    if (flow == nullptr || layer == nullptr || layer->Store() == nullptr) return false;
    if (flow->layer != index || flow->valid == 0 || !flow->WorkChannel().IsValid()) return false;
    return ClipRectToSize(area, SSize{layer->StoreWidth(), layer->StoreHeight()});
  };
  if (!check()) {
    if (flow != nullptr) flow->WorkChannel().Fill(0);
    return false;
  }
  BindStrokeToPaper(stroke, &strokeSide_);
  if (asSelection) {
    const WorkChannelSelector select = g_workChannelSelector.load();
    if (select == nullptr) {
      DebugOut("TPaper::DrawStrokeInRect: no selection command takes the working channel yet\n");
      flow->WorkChannel().Fill(0);
      return false;
    }
    const bool done = select(*this, flow, index, record, area, mode);
    flow->WorkChannel().Fill(0);
    return done;
  }
  const bool done = RunCommand(
      record, [] { return true; },
      [&](PaperCommand& command) {
        // Without its undo the change is not made: a recording holds only what can be taken back.
        if (command.Recording() && !SaveLayerUndo(index, area, kUndoShape)) {
          DebugOut("TPaper::DrawStrokeInRect: the layer's undo could not be saved\n");
          return false;
        }
        if (!RenderFlowRect(flow, stroke, area)) return false;
        if (!PutImageToLayer(index, flow->Image(), 255, area, TPoint{area.left, area.top})) return false;
        SRectWH canvas{area.left - layer->offsetX, area.top - layer->offsetY, area.width, area.height};
        if (ClipRectToSize(canvas, SSize{canvasWidth, canvasHeight})) RefreshLayerRect(index, canvas);
        return true;
      });
  flow->WorkChannel().Fill(0);
  InvalidateWindow(false);
  return done;
}

int32_t TPaper::CommitText(TFlowImage* flow, TStroke& stroke, STextJob& job, bool asSelection, bool record) {
  const int32_t index = GetActiveLayerIndex();
  CLayerData* layer = GetLayer(index);
  if (flow == nullptr || layer == nullptr || layer->Store() == nullptr) return -1;
  stroke.SetLayerIndex(index);
  BindStrokeToPaper(stroke, &strokeSide_);
  SyncFlowImage(flow, index, false);
  if (flow->layer != index || flow->valid == 0) return -1;

  // The text lands where it was asked for on the canvas: the channel is in store coordinates.
  const TPoint position{job.x, job.y};
  job.target = &flow->WorkChannel();
  job.x = position.x + layer->offsetX;
  job.y = position.y + layer->offsetY;
  int32_t count = -1;
  try {
    count = RenderText(job);
  } catch (const std::bad_alloc&) {
    ShowCommandOutOfMemory();
  }
  job.x = position.x;
  job.y = position.y;
  if (count <= 0) {
    flow->WorkChannel().Fill(0);
    return count;
  }

  // The recorder writes the pen state before the text, as it does before a stroke.
  if (record) SyncStrokeState(false);
  // A text selection combines by the keys held now; the mode is recorded, so a replay combines
  // the same way whatever keys are held then.
  const int32_t mode = asSelection ? GetSelectionCombineMode() : 0;
  PaperCommand command(*this, record);
  command.Record([&](CEventMngr& events) {
    events.writeTextSelection(ToInt16(index), ToInt16(GetActiveMaskIndex()), flow->WorkChannel(), position, 0,
                              std::string_view(job.text.c_str()), job.logFont, ToInt16(job.spacing),
                              ToInt16(job.leading), asSelection ? 17 : 16, static_cast<uint8_t>(mode));
  });
  if (!DrawStrokeInRect(flow, stroke, job.drawn, asSelection, record, asSelection ? mode : -1)) {
    command.DropRecorded();
    return -1;
  }
  SetModified(true);
  return count;
}

}  // namespace tf
