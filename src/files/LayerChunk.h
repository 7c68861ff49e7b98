// The layer chunk TLYR of documents: the layer attribute record, the name and the layer's
// TBIM tiled-block chunks.
#pragma once
#include <cstdint>

#include "raster/ChunkStream.h"

namespace tf {

class Stream;
class CLayerData;
class CLayerMngr;
class TProgressDlg;

// The tile side of layer stores in documents.
inline constexpr int32_t kLayerChunkTile = 32;

// Writes the chunk header, the 72-byte record and the name with its padding (short: 8). With a
// size request only the chunk's length (80 + rounded name length) is given and nothing written.
uint8_t WriteLayerRecord(Stream& stream, const CLayerData& layer, uint32_t* sizeRequest);
// The record, then the store's blocks (tiles of 32 pixels, else 22; a layer without a store: 22).
// Bytes written before a failure stay; the guarded form cuts them back (and turns an exception
// into 3).
uint8_t WriteLayerChunk(Stream& stream, const CLayerData& layer);
uint8_t WriteLayerChunkGuarded(Stream& stream, const CLayerData& layer);

// Reads a layer chunk whose header was just read (size: the header's size) into the stack: the
// record (short: 9; size below 72 or a name beyond it: 17; format level above 1: 12; a store
// geometry that disagrees with 32-pixel tiles, or a store no command makes or whose tiles cannot
// fit in the rest of the stream (LayerStoreCouldBeRead): 22; a store whose bytes do not fit 32
// bits or a layer the stack refuses: 21), the name (1, 9) and the blocks (22 to 26, 1, 9, 16). A blend
// mode outside 0 to 21 is read as normal (3). A layer whose record was read stays in the stack
// with what was read; its store is compacted and its thumbnail drawn. withOwnUndo: the layer
// keeps its own pixel undo (a document without document undo). Progress +1.
uint8_t ReadLayerChunk(Stream& stream, CLayerMngr& layers, uint32_t size, bool withOwnUndo, TProgressDlg* dialog);

// Whether a layer record's store could be what the program wrote: sides within what layer
// commands make (kMaxLayerStoreSide), and every tile able to fit in the bytes left after the
// record's name (a tile takes at least a 4-byte fill value or its packed bytes).
struct SClipLayerAttr;
bool LayerStoreCouldBeRead(const SClipLayerAttr& attr, int64_t bytesAfterName);

}  // namespace tf
