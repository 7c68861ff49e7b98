// The event chunks of event files and documents (TEVP with its TBEV blocks, TEVS).
#pragma once
// Event blocks in files: the chunks that carry a recorded stream in an event file (.te4) and in
// the event part of a native document. TEVP is the full form (a header, then the stream packed
// in TBEV blocks of the manager's block size); TEVS the raw form (a header and the stream as it
// is). An optional TTNL thumbnail may stand before either. Little-endian throughout.
#include <cstdint>
#include <memory>
#include <string>

#include "raster/ChunkStream.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

class Stream;
class CEventMngr;
class TProgressDlg;

// Highest stream version (level) a file may carry; writers put it in place of any level outside
// 0 to 43.
inline constexpr int32_t kMaxEventFileLevel = 43;

// TEVP chunk: the full form's header, chunk header included. Its size covers only its own 48
// bytes; the blocks follow as chunks of their own.
struct SEventFileHeader {
  uint32_t id = kChunkEventData;  // 0
  uint32_t size = 48;             // 4
  int32_t canvasWidth = 0;        // 8
  int32_t canvasHeight = 0;       // 12
  uint16_t version = 0;           // 16: stream version (level)
  uint16_t flagWord = 0;          // 18
  uint16_t appMajor = 4;          // 20
  uint16_t appMinor = 58;         // 22
  int32_t stepCount = 0;          // 24
  int32_t streamLength = 0;       // 28: the committed length
  int32_t reserved1[2] = {};      // 32
  int32_t blockCount = 0;         // 40: ceiling(length / block size)
  int32_t blockSize = 0;          // 44
  int32_t reserved2[2] = {};      // 48
};
static_assert(sizeof(SEventFileHeader) == 56);
inline constexpr int32_t kEventFileHeaderBytes = 56;

// TBEV chunk: one block of the stream; the packed bytes and padding follow.
struct SEventBlockHeader {
  uint32_t id = kChunkEventBlock;  // 0
  uint32_t size = 0;               // 4: 20 + packed length rounded up to a multiple of 4
  int32_t offset = 0;              // 8: of the block in the stream
  int32_t unpackedLength = 0;      // 12
  int32_t packedLength = 0;        // 16
  int32_t reserved[2] = {};        // 20
};
static_assert(sizeof(SEventBlockHeader) == 28);
inline constexpr int32_t kEventBlockHeaderBytes = 28;

// TEVS chunk: the raw form's header; the stream and padding follow.
struct SEventStreamHeader {
  uint32_t id = kChunkEventStream;  // 0
  uint32_t size = 32;               // 4: stream length rounded up to a multiple of 4, + 32
  int32_t canvasWidth = 0;          // 8
  int32_t canvasHeight = 0;         // 12
  uint16_t version = 43;            // 16
  uint16_t flagWord = 0;            // 18
  uint16_t appMajor = 4;            // 20
  uint16_t appMinor = 58;           // 22
  int32_t stepCount = 0;            // 24
  int32_t streamLength = 0;         // 28
  int32_t reserved[2] = {};         // 32
};
static_assert(sizeof(SEventStreamHeader) == 40);
inline constexpr int32_t kEventStreamHeaderBytes = 40;

void EncodeEventFileHeader(const SEventFileHeader& header, uint8_t* out);
SEventFileHeader DecodeEventFileHeader(const uint8_t* in);
void EncodeEventBlockHeader(const SEventBlockHeader& header, uint8_t* out);
SEventBlockHeader DecodeEventBlockHeader(const uint8_t* in);
void EncodeEventStreamHeader(const SEventStreamHeader& header, uint8_t* out);
SEventStreamHeader DecodeEventStreamHeader(const uint8_t* in);

// The warning shown when a stream to be written does not walk packet by packet.
inline constexpr const char* kEventPacketsBadText = "イベントパケットが不正です!";

// Checks the committed stream packet by packet; a stream that does not walk is warned about.
// False also for a stream marked broken.
bool CheckEventStreamForWriting(const CEventMngr& manager);

// The full form: the TEVP header (level -1 or outside 0 to 43: 43; flag word -1: 0) and the
// blocks. 42 for an empty stream, 47 for a broken one, 8 on a short write.
uint8_t WriteEventData(Stream& stream, const CEventMngr& manager, const SSize& canvasSize, int32_t level,
                       TProgressDlg* dialog, int32_t flagWord);
// The TBEV blocks of the committed stream, one progress step each: 1, 8, 42, 43, 44, 47.
uint8_t WriteEventBlocks(Stream& stream, const CEventMngr& manager, TProgressDlg* dialog);
// The raw form: the TEVS header, the committed bytes and the padding: 8, 42, 47.
uint8_t WriteEventStream(Stream& stream, const CEventMngr& manager, const SSize& canvasSize);

// Reads the event part at the position (a thumbnail before it is skipped) into the manager,
// replacing its stream; its state stays as the caller set it. Blocks read before a failure stay
// in the stream, and the position is left at the start of the block that failed. Codes: 9, 12,
// 15, 16, 17 (a size, length or count that does not fit), 39 (a block that does not unpack), 40,
// 41, 42, 44, 45, 1.
uint8_t ReadEventChunk(Stream& stream, CEventMngr* manager, TProgressDlg* dialog);

// The preview of an event file: the canvas size of its event header and its thumbnail. 4, 6,
// the chunk codes of ReadEventChunk's first step (9, 16, 17) and the thumbnail reader's codes (a
// file without thumbnail gives 16).
uint8_t ReadEventThumbnail(const std::string& path, std::unique_ptr<TMTC>& image, SSize& canvasSize);

}  // namespace tf
