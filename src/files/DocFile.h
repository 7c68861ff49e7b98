// The program's own layered document file (.tfi): a 56-byte header, then chunks: the thumbnail
// TTNL, each layer as TLYR with its TBIM blocks from the bottom of the stack up, each mask as
// TMSK with its TBMK blocks in list order, and the recorded event stream (TEVP with TBEV blocks).
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "raster/ChunkStream.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

class Stream;
class TPaper;
class TProgressDlg;

inline constexpr uint32_t kDocMagic = MakeChunkId("TPIM");
inline constexpr uint32_t kDocHeaderSizeField = 48;
inline constexpr uint32_t kDocVersion = 1;
inline constexpr int32_t kMaxDocCanvasSide = 10000;
// Read in place of a resolution of 0.
inline constexpr int32_t kDefaultDocResolution = 72;

// Header flags. The caller of SaveDocFile sets the first four; the rest come from the document.
enum DocFlag : uint32_t {
  kDocLayers = 0x1,
  kDocMasks = 0x2,
  kDocThumbnail = 0x4,
  kDocEvents = 0x8,
  kDocSelectionShown = 0x10,
  kDocSelectionEnabled = 0x20,
  kDocPaperHidden = 0x40,   // transparent paper: the paper colour is not shown
  kDocPattern = 0x80,       // the background pattern is shown
  kDocLayerFields = 0x100,  // active layer, layer count and layer-name counter are valid
  kDocMaskFields = 0x200,   // active mask, mask count and mask-name counter are valid
};
inline constexpr uint32_t kDocCallerFlags = kDocLayers | kDocMasks | kDocThumbnail | kDocEvents;

// The header, little-endian on disk; offsets in the comments.
struct SDocHeader {
  uint32_t magic = kDocMagic;           // 0: TPIM
  uint32_t size = kDocHeaderSizeField;  // 4: 48
  int32_t width = 0;                    // 8: canvas
  int32_t height = 0;                   // 12
  uint32_t version = kDocVersion;       // 16
  uint16_t fixed4 = 4;                  // 20
  uint16_t fixed58 = 58;                // 22
  uint32_t flags = 0;                   // 24: DocFlag
  uint32_t paperColor = 0;              // 28: as the document keeps it
  int16_t activeLayer = 0;              // 32: kDocLayerFields
  int16_t activeMask = 0;               // 34: kDocMaskFields
  uint16_t resolution = 0;              // 36: dots per inch
  uint16_t reserved0 = 0;               // 38
  uint16_t layerCount = 0;              // 40: kDocLayerFields
  int16_t layerNameCounter = 0;         // 42: kDocLayerFields
  uint16_t maskCount = 0;               // 44: kDocMaskFields
  int16_t maskNameCounter = 0;          // 46: kDocMaskFields
  uint8_t reserved1[8] = {};            // 48
};
static_assert(sizeof(SDocHeader) == 56);
inline constexpr int32_t kDocHeaderBytes = 56;

void EncodeDocHeader(const SDocHeader& header, uint8_t* out);
SDocHeader DecodeDocHeader(const uint8_t* in);

// Fills the header from the document and the flags (the caller's four plus the document's
// switches; 0x100 with 0x1 and 0x200 with 0x2; fields their flag does not cover stay 0) and
// writes it (short: 8).
uint8_t WriteDocHeader(Stream& stream, const TPaper& paper, uint32_t flags);
// Reads and checks 56 bytes: 9 short, 16 magic, 17 size field, 12 version above 1, 13 a canvas
// side of 0 or less or above 10000.
uint8_t ReadDocHeader(Stream& stream, SDocHeader& header);

// Every layer from index 0 up with the guarded writer: status with the layer's name, a failure
// warned ("レイヤ", the name, the code) and skipped, progress +1 a layer. Returns the number
// written; failed (when given) receives the number that failed.
int32_t WriteLayers(Stream& stream, const TPaper& paper, TProgressDlg* dialog, int32_t* failed);

// Writes the whole file into the stream (header, then the chunks the flags ask for). True only
// when the header and every layer, mask and event chunk asked for were written; a thumbnail that
// cannot be made is left out (the file is complete without it). Nothing in the document changes.
bool WriteDocStream(Stream& stream, TPaper& paper, uint32_t flags, TProgressDlg* dialog);
// Saves the document to path through an atomic replace: the previous file stays until the new
// one is complete, and stays as it was when this returns false.
bool SaveDocFile(const std::string& path, TPaper& paper, uint32_t flags);

// What ReadDocChunks met, for the loader's warnings and tests.
struct SDocReadReport {
  int32_t layersRead = 0;
  int32_t layersFailed = 0;
  int32_t masksRead = 0;
  int32_t masksFailed = 0;
  int32_t unknownChunks = 0;
  uint32_t lastUnknownId = 0;
  bool eventsRead = false;
  bool badEventBlocks = false;
};

// The chunk loop from the position to the end of the stream: layers, masks and the event stream
// into the document; thumbnails (19), tile and event blocks standing alone (2) and unknown chunks
// (16) skipped. A failed layer or mask chunk is warned about and the chunks after it still read.
// Returns the code of the last chunk handled (9, 10, 11 end the loop).
uint8_t ReadDocChunks(Stream& stream, TPaper& paper, TProgressDlg* dialog, SDocReadReport* report = nullptr);

// Reads a document from the stream into a fresh document: 0, a header code (the document is
// then not set up), 1 when the canvas cannot be made, 3 on an exception. Problems inside the
// chunks are warned about and leave the result 0. Afterwards the document has at least one
// layer and one mask, an active layer and mask, its name counters, and records after the loaded
// stream.
uint8_t LoadDocStream(Stream& stream, TPaper& paper, const std::string& path, TProgressDlg* dialog,
                      SDocReadReport* report = nullptr);
// The file form: 4 missing, 6 cannot be opened, else LoadDocStream's code; with a progress
// dialog "%sロード中 (%s)".
uint8_t LoadDocFile(const std::string& path, TPaper& paper);

// The open dialog's preview: the canvas size from the header and the first picture thumbnail
// (none, result 0, when the file has none). 4 missing, 6 cannot be opened, header codes, 3.
uint8_t ReadDocumentThumbnail(const std::string& path, std::unique_ptr<TMTC>& image, SSize& canvasSize);

// Warnings of the loader.
inline constexpr const char* kDocReadErrorText = "読み込み中にエラーが検出されました! (err=%d)";
inline constexpr const char* kDocNoLayerText = "レイヤを1枚も読み込めませんでした!";
inline constexpr const char* kDocBadEventBlockText = "不正なイベントブロックは読み込めません!";
inline constexpr const char* kDocEventsDiscardedText =
    "イベントデータ部の読み込みに失敗しました!\rイベントは破棄されました。";
inline constexpr const char* kDocUnknownChunksText = "%d個の未知のデータブロックを無視しました!  (id = %s)";

}  // namespace tf
