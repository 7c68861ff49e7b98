// The clipboard as the document reads it: a pasted image and the layer attributes copied with it.
#pragma once
// The document pastes what the clipboard holds as a new layer. It reaches the clipboard only
// through ClipboardHost, which the file and exchange subsystem installs (the system clipboard
// with its image and "tfLayerAttr" formats). Until one is installed the default host answers
// nothing and says so on the developer output, so a paste fails visibly instead of silently.
// Tests install ScriptedClipboardHost.
#include <cstdint>
#include <memory>
#include <string>

#include "document/ClipLayerAttr.h"
#include "platform/Window.h"
#include "raster/FlatImage.h"

namespace tf {

class CLayerData;

class ClipboardHost {
 public:
  virtual ~ClipboardHost() = default;
  // The clipboard's image as a new 32-bit image; null when it holds none.
  virtual std::unique_ptr<TMTC> GetImage(WindowHandle window) = 0;
  // The layer attribute record and layer name copied with the image; false when it holds none.
  virtual bool GetLayerAttr(WindowHandle window, SClipLayerAttr& attributes, std::string& name) = 0;
};

// Holds what a test puts there; an empty image means no image on the clipboard. Counts reads.
class ScriptedClipboardHost final : public ClipboardHost {
 public:
  std::unique_ptr<TMTC> GetImage(WindowHandle window) override;
  bool GetLayerAttr(WindowHandle window, SClipLayerAttr& attributes, std::string& name) override;
  // An image of width x height whose pixel (x, y) is pixel(x, y); false when it cannot be made.
  template <class Fn>
  bool PutImage(int32_t width, int32_t height, Fn pixel) {
    if (!image.Resize(width, height)) return false;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) *image.Pixel(x, y) = pixel(x, y);
    return true;
  }

  TMTC image;
  bool hasAttributes = false;
  SClipLayerAttr attributes;
  std::string name;
  int32_t imageReads = 0;
};

// Installing null restores the default host (no clipboard). Returns the host installed before.
ClipboardHost* SetClipboardHost(ClipboardHost* host);
ClipboardHost& GetClipboardHost();

// Shorthands through the installed host.
std::unique_ptr<TMTC> GetClipboardImage(WindowHandle window);
bool GetClipLayerAttr(WindowHandle window, SClipLayerAttr& attributes, std::string& name);

// Copies the record's attributes and the name onto the layer: visibility, alpha protection,
// dissolve, opacity, blend mode (clamped to 0..21), the dissolve threshold and seed; with the
// clipboard flag (0x40) also the offsets, clamped so that the canvas lies inside the layer's
// store. Answers whether the record's offset was within that range. Then the thumbnail is
// redrawn. The store's default fill is not taken: a store's fill is fixed, and another fill would
// change the pixels of its untouched tiles (and so what a recording replays).
bool ApplyClipLayerAttr(CLayerData& layer, const SClipLayerAttr& attributes, const std::string& name);

}  // namespace tf
