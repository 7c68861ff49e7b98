#include "document/ShellServices.h"

#include "platform/HostSlot.h"

namespace tf {
namespace {

// The default host is the interface itself: its routines do nothing.
using Slot = HostSlot<ToolPaneHost, ToolPaneHost>;

int32_t AtLeastOne(int32_t value) { return value < 1 ? 1 : value; }

}  // namespace

ToolPaneHost* SetToolPaneHost(ToolPaneHost* host) { return Slot::Install(host); }
ToolPaneHost& GetToolPaneHost() { return Slot::Get(); }

void UpdateLayerPane() { GetToolPaneHost().UpdateLayerPane(); }
void RedrawLayerList(int32_t layerIndex) { GetToolPaneHost().RedrawLayerList(layerIndex); }
void UpdateMaskPane() { GetToolPaneHost().UpdateMaskPane(); }
void RepaintMaskList() { GetToolPaneHost().RepaintMaskList(); }
int32_t GetLayerThumbnailSize() { return AtLeastOne(GetToolPaneHost().LayerThumbnailSize()); }
int32_t GetMaskThumbnailSize() { return AtLeastOne(GetToolPaneHost().MaskThumbnailSize()); }
void SetNaviImageSize(const void* sender, int32_t width, int32_t height) {
  GetToolPaneHost().SetNaviImageSize(sender, width, height);
}
void UpdateNaviImage(const void* sender) { GetToolPaneHost().UpdateNaviImage(sender); }
void UpdateNavigator() { GetToolPaneHost().UpdateNavigator(); }

}  // namespace tf
