#include "document/ShellServices.h"

namespace tf {
namespace {

ToolPaneHost& DefaultHost() {
  static ToolPaneHost host;
  return host;
}

ToolPaneHost* g_host = nullptr;

int32_t AtLeastOne(int32_t value) { return value < 1 ? 1 : value; }

}  // namespace

ToolPaneHost* SetToolPaneHost(ToolPaneHost* host) {
  ToolPaneHost* previous = g_host ? g_host : &DefaultHost();
  g_host = host;
  return previous;
}

ToolPaneHost& GetToolPaneHost() { return g_host ? *g_host : DefaultHost(); }

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

}  // namespace tf
