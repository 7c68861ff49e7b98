#include "document/Clipboard.h"

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

void ApplyClipLayerAttr(CLayerData& layer, const SClipLayerAttr& a, const std::string& name) {
  layer.visible = (a.flags & kClipLayerVisible) != 0 ? 1 : 0;
  layer.alphaProtect = (a.flags & kClipLayerProtected) != 0 ? 1 : 0;
  if ((a.flags & kClipLayerDissolveValid) != 0) {
    layer.dissolve = (a.flags & kClipLayerDissolve) != 0 ? 1 : 0;
    layer.dissolveThreshold = a.dissolveOpacity;
    layer.SetSeed(a.dissolveSeed);
  }
  layer.opacity = a.opacity;
  if (a.blendMode <= kClipLayerLastMode) layer.blendMode = a.blendMode;
  if ((a.flags & kClipLayerClipboard) != 0 && a.offsetX >= 0 && a.offsetY >= 0 &&
      int64_t{a.offsetX} + layer.canvasWidth <= layer.StoreWidth() &&
      int64_t{a.offsetY} + layer.canvasHeight <= layer.StoreHeight()) {
    layer.offsetX = a.offsetX;
    layer.offsetY = a.offsetY;
  }
  layer.name = name;
  layer.UpdateThumbnail();
}

}  // namespace tf
