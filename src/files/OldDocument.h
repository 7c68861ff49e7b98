// LoadOldDocument: the layered pictures of the program's first version (.wpb, second form "WPB2").
#pragma once
// Layout, little-endian. Header of 32 bytes: "WPB2"; uint32 0 when layer data follows; uint32
// width, height; uint32 paper colour; uint8 layer count - 1; uint8 active layer; two unused
// bytes; uint32 length of the event data at the end; uint32 unused. Then per layer from the
// bottom: an 8-byte record (blend mode, opacity, visible, five unused), a uint32 data length and
// run-length pixels, rows from the bottom of the picture up, each left to right: a byte b below
// 125 repeats the colour of the next 3 bytes b times, b from 125 on gives 255 - b literal
// 3-byte pixels. Then the event data, an older event stream. The program never writes this form.
#include <cstdint>
#include <string>

namespace tf {

class TPaper;
class TFlowImage;
class TEventPacket;

inline constexpr int32_t kOldDocumentHeaderSize = 32;
inline constexpr int32_t kOldDocumentMaxSide = 10000;

// Reads the file into the fresh document and its event data into packets (checked; a sealed
// stream makes the document protected, the end code is taken off; broken event data warns and
// leaves packets empty, the picture still opens). True when the layers were read. A wrong
// magic warns and changes nothing; a canvas side outside 1..10000 changes nothing; a blend mode
// the layer stack refuses or a file that cannot be read fails the load.
bool LoadOldDocument(TPaper& paper, TFlowImage* flow, const std::string& path, TEventPacket& packets);

}  // namespace tf
