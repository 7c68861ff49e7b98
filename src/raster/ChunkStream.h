// Chunk streams: the chunk header, the result codes and the guarded chunk writer.
#pragma once
// Chunk streams: the 8-byte chunk header shared by documents, event files and preset files, the
// result codes of every chunk reader and writer, and the conventions they follow (zero padding to
// a multiple of 4 counted in the chunk's size; a guarded writer leaves no bytes behind on failure).
#include <cstdint>
#include <functional>
#include <string>

namespace tf {

class Stream;

// Result codes of the file readers and writers (one byte, one code space for documents, event
// files, preset files and their chunks).
enum FileResult : uint8_t {
  kFileOk = 0,
  kFileNoMemory = 1,
  kFileSkippedBlock = 2,  // tile or event block met outside its owner
  kFileException = 3,
  kFileMissing = 4,
  kFileOpenFailed = 6,
  kFileShortWrite = 8,
  kFileShortRead = 9,
  kFileSeekFailed = 10,
  kFilePastEnd = 11,  // a chunk runs past the end of the stream
  kFileLevel = 12,    // format level or version not supported
  kFileCanvasSize = 13,
  kFileImageKind = 14,    // packed-image kind not 1 or 2
  kFileContentCode = 15,  // content code or flag word not accepted
  kFileChunkId = 16,
  kFileChunkSize = 17,  // a size, length or count that does not fit
  kFileImageData = 18,  // packed-image bytes that do not unpack
  kFileThumbnailSkipped = 19,
  kFileLayerInserted = 21,
  kFileLayerGeometry = 22,
  kFileLayerCount = 23,
  kFileLayerKind = 24,
  kFileLayerLengths = 25,
  kFileLayerTile = 26,
  kFileNoMaskManager = 28,
  kFileMaskMade = 29,
  kFileMaskGeometry = 30,
  kFileMaskCount = 31,
  kFileMaskKind = 32,
  kFileMaskLengths = 33,
  kFileMaskTile = 34,
  kFileMaskAccepted = 35,
  kFileBadEventBlock = 39,
  kFileNoEventManager = 40,
  kFileRawStreamShort = 41,
  kFileEmptyStream = 42,
  kFileBlockRead = 43,
  kFileBlockSize = 44,
  kFileBlockAppend = 45,
  kFileBrokenStream = 47,
};

// A chunk id: four ASCII characters in reading order, compared as one little-endian value.
constexpr uint32_t MakeChunkId(const char (&text)[5]) {
  return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 | uint32_t(uint8_t(text[2])) << 16 |
         uint32_t(uint8_t(text[3])) << 24;
}
inline constexpr uint32_t kChunkLayer = MakeChunkId("TLYR");
inline constexpr uint32_t kChunkLayerBlocks = MakeChunkId("TBIM");
inline constexpr uint32_t kChunkMask = MakeChunkId("TMSK");
inline constexpr uint32_t kChunkMaskBlocks = MakeChunkId("TBMK");
inline constexpr uint32_t kChunkImage = MakeChunkId("TTNL");
inline constexpr uint32_t kChunkEventData = MakeChunkId("TEVP");
inline constexpr uint32_t kChunkEventStream = MakeChunkId("TEVS");
inline constexpr uint32_t kChunkEventBlock = MakeChunkId("TBEV");
// The four characters of an id, for messages.
std::string ChunkIdText(uint32_t id);

// Chunk header: id, then the size of what follows the header. The next chunk begins at
// start + 8 + size.
struct SChunkHeader {
  uint32_t id;
  uint32_t size;
};
static_assert(sizeof(SChunkHeader) == 8);
inline constexpr int32_t kChunkHeaderBytes = 8;

void EncodeChunkHeader(const SChunkHeader& header, uint8_t* out);
SChunkHeader DecodeChunkHeader(const uint8_t* in);
// Exact-count forms: false on a short read or write.
bool ReadChunkHeader(Stream& stream, SChunkHeader& header);
bool WriteChunkHeader(Stream& stream, const SChunkHeader& header);

// 0 when the id matches, else kFileChunkId.
uint8_t CheckChunkId(const SChunkHeader& header, uint32_t expectedId);
// kFileChunkId for another id, kFileChunkSize for another size, else 0.
uint8_t CheckChunkHeader(const SChunkHeader& header, uint32_t expectedId, uint32_t expectedSize);
// Reads length bytes and gives them as text up to the first zero byte: kFileNoMemory when the
// bytes cannot be held, kFileShortRead when the stream ends first (a negative length reads
// nothing and is short).
uint8_t ReadChunkString(Stream& stream, int64_t length, std::string& text);

// Zero bytes that bring length to a multiple of 4.
constexpr uint32_t ChunkPadding(uint64_t length) { return static_cast<uint32_t>((4 - length % 4) % 4); }
// Writes zero bytes until the stream position is a multiple of 4; the count written, or -1 on
// a short write (or an unknown position).
int32_t WriteChunkPadding(Stream& stream);
// Moves the position count bytes on (the body a reader does not need); false when the seek does
// not arrive. Skipping past the end is allowed: the next read is short.
bool SkipChunkBytes(Stream& stream, int64_t count);

// The guard rule of chunk writers: notes the position on construction; Finish(code) with a code
// other than 0 cuts the stream back to it (seek, then set the size), so a failed chunk leaves
// no bytes behind and the chunks before it stay intact. Returns the code.
class ChunkGuard {
 public:
  explicit ChunkGuard(Stream& stream);
  int64_t Start() const { return start_; }
  uint8_t Finish(uint8_t code);

 private:
  Stream& stream_;
  int64_t start_;
};

// Runs a writer under the guard rule: an exception inside becomes kFileException; any code
// other than 0 cuts the stream back to where the writer began.
template <class Writer>
uint8_t WriteGuarded(Stream& stream, Writer&& writer) {
  ChunkGuard guard(stream);
  uint8_t code = kFileException;
  try {
    code = writer();
  } catch (...) {
    code = kFileException;
  }
  return guard.Finish(code);
}

// Largest data length a packed piece of packedLength bytes can unpack to (deflate expands at
// most about 1032 to 1): a header promising more is refused before anything is allocated.
constexpr uint64_t MaxUnpackedLength(uint64_t packedLength) { return packedLength * 1032 + 1032; }

// Writes a whole file through the atomic writer: write's result code, kFileException for an
// exception, kFileShortWrite when the finished file cannot take the target's place, and
// createFailed when the temporary file cannot be made. On any failure the previous file stays.
uint8_t SaveChunkFileAtomically(const std::string& path, uint8_t createFailed,
                                const std::function<uint8_t(Stream&)>& write);

}  // namespace tf
