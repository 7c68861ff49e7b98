#include "document/Clipboard.h"

#include <algorithm>

#include "document/LayerData.h"
#include "platform/Debug.h"
#include "platform/HostSlot.h"

namespace tf {
namespace {

// Stands in until the exchange subsystem installs the system clipboard.
class NoClipboardHost final : public ClipboardHost {
 public:
  std::unique_ptr<TMTC> GetImage(WindowHandle) override {
    DebugOut("GetClipboardImage: no clipboard host is installed\n");
    return nullptr;
  }
  bool GetLayerAttr(WindowHandle, SClipLayerAttr&, std::string&) override {
    DebugOut("GetClipLayerAttr: no clipboard host is installed\n");
    return false;
  }
};

using Slot = HostSlot<ClipboardHost, NoClipboardHost>;

}  // namespace

std::unique_ptr<TMTC> ScriptedClipboardHost::GetImage(WindowHandle) {
  ++imageReads;
  if (!image.IsValid() || image.Width() < 1 || image.Height() < 1) return nullptr;
  auto copy = std::make_unique<TMTC>(image);
  if (!copy->IsValid()) return nullptr;
  return copy;
}

bool ScriptedClipboardHost::GetLayerAttr(WindowHandle, SClipLayerAttr& out, std::string& outName) {
  if (!hasAttributes) return false;
  out = attributes;
  outName = name;
  return true;
}

ClipboardHost* SetClipboardHost(ClipboardHost* host) { return Slot::Install(host); }
ClipboardHost& GetClipboardHost() { return Slot::Get(); }

std::unique_ptr<TMTC> GetClipboardImage(WindowHandle window) { return GetClipboardHost().GetImage(window); }
bool GetClipLayerAttr(WindowHandle window, SClipLayerAttr& attributes, std::string& name) {
  return GetClipboardHost().GetLayerAttr(window, attributes, name);
}

bool ApplyClipLayerAttr(CLayerData& layer, const SClipLayerAttr& a, const std::string& name) {
  layer.visible = (a.flags & kClipLayerVisible) != 0 ? 1 : 0;
  layer.alphaProtect = (a.flags & kClipLayerProtected) != 0 ? 1 : 0;
  if ((a.flags & kClipLayerDissolveValid) != 0) {
    layer.dissolve = (a.flags & kClipLayerDissolve) != 0 ? 1 : 0;
    layer.dissolveThreshold = a.dissolveOpacity;
    layer.SetSeed(a.dissolveSeed);
  }
  layer.opacity = a.opacity;
  layer.blendMode = a.blendMode <= kClipLayerLastMode ? a.blendMode : kClipLayerLastMode;
  // The offset keeps the canvas inside the store: clamped into 0 .. store - canvas.
  const int64_t highX = std::max<int64_t>(0, int64_t{layer.StoreWidth()} - layer.canvasWidth);
  const int64_t highY = std::max<int64_t>(0, int64_t{layer.StoreHeight()} - layer.canvasHeight);
  const bool inRange = a.offsetX >= 0 && a.offsetY >= 0 && a.offsetX <= highX && a.offsetY <= highY;
  if ((a.flags & kClipLayerClipboard) != 0) {
    layer.offsetX = static_cast<int32_t>(std::clamp<int64_t>(a.offsetX, 0, highX));
    layer.offsetY = static_cast<int32_t>(std::clamp<int64_t>(a.offsetY, 0, highY));
  }
  layer.name = name;
  layer.UpdateThumbnail();
  return inRange;
}

}  // namespace tf
