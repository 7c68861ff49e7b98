#include "files/OldDocument.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "document/LayerData.h"
#include "document/LayerMngr.h"
#include "events/OldEventPacket.h"
#include "paper/Paper.h"
#include "platform/ByteOrder.h"
#include "platform/Debug.h"
#include "platform/ResourceText.h"
#include "platform/Stream.h"
#include "platform/Warning.h"
#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"
#include "raster/MyStream.h"

namespace tf {

namespace {

constexpr uint8_t kRunLiteralFrom = 125;

struct SOldHeader {
  uint32_t layerFlag;
  uint32_t width;
  uint32_t height;
  uint32_t paperColour;
  uint8_t lastLayer;
  uint8_t activeLayer;
  uint32_t eventLength;
};

SOldHeader ParseHeader(const uint8_t* h) {
  SOldHeader header{};
  header.layerFlag = LoadLE<uint32_t>(h + 4);
  header.width = LoadLE<uint32_t>(h + 8);
  header.height = LoadLE<uint32_t>(h + 12);
  header.paperColour = LoadLE<uint32_t>(h + 16);
  header.lastLayer = h[20];
  header.activeLayer = h[21];
  header.eventLength = LoadLE<uint32_t>(h + 24);
  return header;
}

// Decodes runs into the picture (cleared first), rows bottom-up, never past its last pixel nor
// past the data.
void DecodeRuns(const std::vector<uint8_t>& data, TMTC& picture) {
  std::memset(picture.Bits(), 0, static_cast<size_t>(picture.GetImageSize()));
  const int32_t width = picture.Width();
  int32_t row = picture.Height() - 1;  // the file's first row is the picture's last
  int32_t x = 0;
  uint32_t* line = picture.Pixel(0, row);
  // One pixel; false once the picture is full.
  auto put = [&](uint32_t colour) {
    line[x] = colour;
    if (++x == width) {
      x = 0;
      if (--row < 0) return false;
      line = picture.Pixel(0, row);
    }
    return true;
  };
  const uint8_t* p = data.data();
  const uint8_t* end = p + data.size();
  auto colourAt = [](const uint8_t* c) {
    return (uint32_t{c[0]} << 16) | (uint32_t{c[1]} << 8) | uint32_t{c[2]};
  };
  while (p < end) {
    const uint8_t b = *p++;
    if (b < kRunLiteralFrom) {
      if (end - p < 3) return;
      const uint32_t colour = colourAt(p);
      p += 3;
      for (int32_t i = 0; i < b; ++i)
        if (!put(colour)) return;
    } else {
      for (int32_t i = 0; i < 255 - b; ++i) {
        if (end - p < 3) return;
        const uint32_t colour = colourAt(p);
        p += 3;
        if (!put(colour)) return;
      }
    }
  }
}

// At most the bytes left in the file, never what a header asks for.
bool ReadPart(FileStream& file, uint32_t length, std::vector<uint8_t>& out) {
  const int64_t take = std::min<int64_t>(length, file.Remaining());
  out.resize(static_cast<size_t>(take));
  return file.ReadExact(out.data(), take);
}

bool ReadLayers(TPaper& paper, TFlowImage* flow, FileStream& file, const SOldHeader& header, TMTC& picture) {
  const int32_t width = static_cast<int32_t>(header.width);
  const int32_t height = static_cast<int32_t>(header.height);
  CLayerMngr& layers = paper.Layers();
  layers.Delete(0);
  layers.SetNameCounter(0);
  std::vector<uint8_t> data;
  const int32_t count = header.lastLayer + 1;
  for (int32_t i = 0; i < count; ++i) {
    uint8_t record[8];
    uint32_t length = 0;
    if (!file.ReadExact(record, 8) || !file.ReadU32(length)) return false;
    const uint8_t mode = record[0];
    if (!paper.CanAddLayer(mode) || paper.InsertLayer(i, width, record[2] != 0, record[1], mode, height) != i) {
      DebugOut("LoadOldDocument: a layer of this blend mode cannot be made\n");
      return false;
    }
    layers.AssignDefaultName(i, 1);
    if (!ReadPart(file, length, data)) return false;
    DecodeRuns(data, picture);
    CLayerData* layer = paper.GetLayer(i);
    if (layer == nullptr || layer->Store() == nullptr) return false;
    layer->Store()->CopyAllFromImage(picture, 0, 0, 255);
    layer->Store()->Compact();
    // Every layer opaque, as the older player makes them: the runs carry no alpha, and a layer
    // of mode 3 (normal) left at alpha 0 would compose as nothing.
    paper.SetLayerAlpha(i, 255);
    paper.UpdateLayerThumbnail(i);
  }
  // An active index beyond the layers read: the top layer.
  const int32_t active = header.activeLayer < count ? header.activeLayer : count - 1;
  paper.SetActiveLayer(flow, active);
  return true;
}

}  // namespace

bool LoadOldDocument(TPaper& paper, TFlowImage* flow, const std::string& path, TEventPacket& packets) {
  FileStream file;
  uint8_t head[kOldDocumentHeaderSize];
  if (!file.OpenRead(path)) return false;
  if (!file.ReadExact(head, kOldDocumentHeaderSize) || std::memcmp(head, "WPB2", 4) != 0) {
    ShowWarning(Tx(TextId::OldDocumentUnknownFormat));
    return false;
  }
  const SOldHeader header = ParseHeader(head);
  if (header.width < 1 || header.width > kOldDocumentMaxSide || header.height < 1 ||
      header.height > kOldDocumentMaxSide) {
    DebugOut("LoadOldDocument: the canvas size is out of range\n");
    return false;
  }
  bool loaded = false;
  try {
    TMTC picture(static_cast<int32_t>(header.width), static_cast<int32_t>(header.height));
    if (!picture.IsValid()) return false;
    if (!paper.NewDocument(path, flow, true, false, 0, static_cast<int32_t>(header.height),
                           static_cast<int32_t>(header.width)))
      return false;
    paper.StorePaperColor(header.paperColour);
    if (header.layerFlag == 0) loaded = ReadLayers(paper, flow, file, header, picture);
  } catch (const std::bad_alloc&) {
    DebugOut("LoadOldDocument: out of memory\n");
    return false;
  }
  if (header.eventLength != 0) {
    std::vector<uint8_t> events;
    bool valid = false;
    bool sealed = false;
    // The event data closes the file, whether or not the layers were read.
    const int64_t size = file.Size();
    const bool fits = header.eventLength <= 0x7FFFFFF0u && size - kOldDocumentHeaderSize >= header.eventLength;
    if (fits && file.SetPosition(size - header.eventLength) && ReadPart(file, header.eventLength, events) &&
        events.size() == header.eventLength) {
      TMyMemory block(65536);
      block.Write(events.data(), static_cast<int32_t>(events.size()));
      block.RewindRead();
      valid = packets.Validate(block, sealed);
    }
    if (valid) {
      if (sealed) paper.protectedDocument = 1;
      packets.DropEndCode();
    } else {
      ShowWarning(Tx(TextId::OldDocumentBrokenEvents));
      packets.Clear();
    }
  }
  return loaded;
}

}  // namespace tf
