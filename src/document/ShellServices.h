// The interface through which the document asks the tool window for refreshes and sizes.
#pragma once
// What the document asks of the tool window: pane refreshes after document changes, the
// navigator's canvas size and image, and the thumbnail sizes of the layer and mask lists. The tool window
// installs its host at start-up; without one (headless runs, tests) the refreshes do nothing and the thumbnail
// sizes are the defaults below.
#include <cstdint>

namespace tf {

// Thumbnail edges used while no tool window answers (the layer list's row picture at its
// default display style).
inline constexpr int32_t kDefaultLayerThumbnailSize = 32;
inline constexpr int32_t kDefaultMaskThumbnailSize = 32;

class ToolPaneHost {
 public:
  virtual ~ToolPaneHost() = default;
  // Refreshes the layer pane from the bound document window.
  virtual void UpdateLayerPane() {}
  // Repaints the layer list row of a layer.
  virtual void RedrawLayerList(int32_t /*layerIndex*/) {}
  // Refreshes the mask pane (button states, list repaint).
  virtual void UpdateMaskPane() {}
  // Repaints the mask list view when the pane exists.
  virtual void RepaintMaskList() {}
  // Edge in pixels of the square layer / mask thumbnails.
  virtual int32_t LayerThumbnailSize() { return kDefaultLayerThumbnailSize; }
  virtual int32_t MaskThumbnailSize() { return kDefaultMaskThumbnailSize; }
  // Tells the navigator the canvas size after a canvas transform; the navigator ignores a call
  // whose sender is itself.
  virtual void SetNaviImageSize(const void* /*sender*/, int32_t /*width*/, int32_t /*height*/) {}
  // Re-renders the navigator image.
  virtual void UpdateNaviImage(const void* /*sender*/) {}
  // Refreshes the navigator pane from the bound document (its image and view frame).
  virtual void UpdateNavigator() {}
};

// Counts the calls it gets; the thumbnail sizes can be set. For tests.
class RecordingToolPaneHost final : public ToolPaneHost {
 public:
  void UpdateLayerPane() override { ++layerPaneUpdates; }
  void RedrawLayerList(int32_t layerIndex) override {
    ++layerRowRedraws;
    lastRedrawnRow = layerIndex;
  }
  void UpdateMaskPane() override { ++maskPaneUpdates; }
  void RepaintMaskList() override { ++maskListRepaints; }
  int32_t LayerThumbnailSize() override { return layerThumbnailSize; }
  int32_t MaskThumbnailSize() override { return maskThumbnailSize; }
  void SetNaviImageSize(const void* sender, int32_t width, int32_t height) override {
    lastNaviSender = sender;
    naviWidth = width;
    naviHeight = height;
  }
  void UpdateNaviImage(const void* sender) override {
    lastNaviSender = sender;
    ++naviImageUpdates;
  }
  void UpdateNavigator() override { ++navigatorUpdates; }

  int32_t layerPaneUpdates = 0;
  int32_t layerRowRedraws = 0;
  int32_t lastRedrawnRow = -1;
  int32_t maskPaneUpdates = 0;
  int32_t maskListRepaints = 0;
  int32_t layerThumbnailSize = kDefaultLayerThumbnailSize;
  int32_t maskThumbnailSize = kDefaultMaskThumbnailSize;
  const void* lastNaviSender = nullptr;
  int32_t naviWidth = 0;
  int32_t naviHeight = 0;
  int32_t naviImageUpdates = 0;
  int32_t navigatorUpdates = 0;
};

// Installing null restores the default (silent) host. Returns the host installed before.
ToolPaneHost* SetToolPaneHost(ToolPaneHost* host);
ToolPaneHost& GetToolPaneHost();

// Shorthands through the installed host.
void UpdateLayerPane();
void RedrawLayerList(int32_t layerIndex);
void UpdateMaskPane();
void RepaintMaskList();
// Never below 1.
int32_t GetLayerThumbnailSize();
int32_t GetMaskThumbnailSize();
void SetNaviImageSize(const void* sender, int32_t width, int32_t height);
void UpdateNaviImage(const void* sender);
void UpdateNavigator();

}  // namespace tf
