// Pictures and the program's own formats on the clipboard, with other programs and between
// documents.
#pragma once
// The picture travels as "image/bmp" (a BMP file: 14-byte header and a 24- or 32-bit DIB, rows
// from the bottom up), with "image/png" made on request for programs that want it. Two formats of
// our own ride along: "application/x-tfLayerAttr" (the copied layer's TLYR record, flag 0x40 set)
// and "application/x-tfClipBox" (the copied selection's rectangle, 16 bytes). Reading takes
// image/bmp, image/x-bmp, image/png and image/jpeg in that order, through our codecs.
//
// A 32-bit DIB keeps its alpha only when the layer attributes came with it (our own copy); from
// other programs it pastes opaque, as does anything below 24 bits.
//
// Spilling (a large picture written to a file instead of the clipboard, for systems whose
// clipboard could not take it) never happens on Linux; it is built and tests switch it on with
// SetClipboardSpill. The spill file is read only while spilling is allowed, from a folder of the
// user's own, and written atomically.
#include <cstdint>
#include <memory>
#include <string>

#include "document/Clipboard.h"
#include "document/ClipLayerAttr.h"
#include "platform/Window.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

class CLayerData;

// The formats, in the order they are registered; only the layer attributes and the clip box
// carry data.
inline constexpr const char* kClipFormatNames[5] = {"application/x-tfLayerAttr", "application/x-tfMaskAttr",
                                                     "application/x-tfMaskData", "application/x-tfClipBox",
                                                     "application/x-tfOptAttr"};
inline constexpr const char* kClipLayerAttrFormat = "application/x-tfLayerAttr";
inline constexpr const char* kClipBoxFormat = "application/x-tfClipBox";
inline constexpr const char* kClipDibFormat = "image/bmp";
inline constexpr const char* kClipReadFormats[4] = {"image/bmp", "image/x-bmp", "image/png", "image/jpeg"};
// Largest DIB (header included) that goes to the clipboard while spilling is allowed.
inline constexpr int64_t kClipSpillLimit = 0xEFFFFF;
inline constexpr const char* kClipSpillName = "tfClip.bmp";

// Spilling: allowed or not (off by default) and the folder of the spill file (default: the
// user's runtime folder, $XDG_RUNTIME_DIR/tintaframe4, else ~/.cache/tintaframe4).
void SetClipboardSpill(bool allowed, const std::string& folder = std::string());
bool ClipboardSpillAllowed();
std::string ClipboardSpillPath();

// A rectangle of the image as a 24- or 32-bit DIB on the clipboard (or in the spill file);
// the rectangle is clipped to the image first, nothing left gives false.
bool PutClipboardImage24(WindowHandle window, const TMTC& image, SRectWH rect);
bool PutClipboardImage32(WindowHandle window, const TMTC& image, SRectWH rect);
// The layer's TLYR record with flag 0x40 as the layer attributes.
bool PutClipLayerAttr(WindowHandle window, const CLayerData& layer);
// Reads the layer attributes: the entry must begin with TLYR, its size field be at least 72 and
// the entry hold the header and the 72 bytes; the name ends at its zero or the entry's end.
bool ReadClipLayerAttr(WindowHandle window, SClipLayerAttr& record, std::string& name);
bool PutClipBox(WindowHandle window, const SRectWH& rect);
// Offers the clip box without data, so that no stale rectangle remains.
bool ClearClipBox(WindowHandle window);
bool GetClipBox(WindowHandle window, SRectWH& rect);
// A picture in one of the read formats, or (spilling allowed) the spill file.
bool ClipboardHasImage(WindowHandle window);
// The size and depth of the clipboard's DIB (computed in 64 bits: false beyond the picture
// limits); a PNG or JPEG picture answers its size at 32 bits.
bool GetClipboardImageSize(WindowHandle window, int32_t& width, int32_t& height, int32_t& bitsPerPixel);
// The clipboard picture as a new 32-bit image, or null.
std::unique_ptr<TMTC> ReadClipboardImage(WindowHandle window);
void DeleteSpillFile();

// The picture exchange as the document reaches it (installed by the application).
class CClipboardExchange final : public ClipboardHost {
 public:
  std::unique_ptr<TMTC> GetImage(WindowHandle window) override { return ReadClipboardImage(window); }
  bool GetLayerAttr(WindowHandle window, SClipLayerAttr& attributes, std::string& name) override {
    return ReadClipLayerAttr(window, attributes, name);
  }
};

// Installs (or removes) the exchange as the document's clipboard host.
void InstallClipboardExchange(bool install);

// A BMP file's bytes of a rectangle (already clipped) of the image, at 24 or 32 bits.
bool BuildClipboardBmp(const TMTC& image, const SRectWH& rect, int32_t bits, std::vector<uint8_t>& out);

}  // namespace tf
