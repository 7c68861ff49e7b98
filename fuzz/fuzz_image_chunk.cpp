// libFuzzer target: packed-image chunks (TTNL) from outside bytes.
//
// The input is a stream of chunks. The thumbnail walk runs over it from the start; then every
// chunk is read as a picture, as a channel and as raw data. A reader that succeeds must give an
// image of the chunk's size whose bytes are what it unpacked, and must leave the position at
// the end of the chunk; one that fails must give nothing. Whatever was read is written again
// and must read back to the same pixels.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzQuiet.h"
#include "platform/Stream.h"
#include "raster/FlatImage.h"
#include "raster/ImageChunk.h"

namespace {

[[noreturn]] void Fail(int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", __FILE__, line);
  __builtin_trap();
}

using namespace tf;

void CheckRewrite(const SImageChunkData& data) {
  MemoryStream out;
  SImageChunkInfo info = data.info;
  if (WriteImageChunkGuarded(out, info, data.pixels.data()) != 0) Fail(__LINE__);
  if (out.Size() % 4 != 0) Fail(__LINE__);
  if (!out.SetPosition(0)) Fail(__LINE__);
  SImageChunkData back;
  if (ReadImageChunkData(out, back) != 0) Fail(__LINE__);
  if (back.pixels != data.pixels || back.chunkLength != out.Size()) Fail(__LINE__);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  const std::vector<uint8_t> bytes(data, data + size);

  {
    MemoryStream stream(bytes);
    std::unique_ptr<TMTC> image;
    const uint8_t code = ReadThumbnail(stream, image);
    if (code != 0 && image) Fail(__LINE__);
  }

  MemoryStream stream(bytes);
  while (stream.Position() < stream.Size()) {
    const int64_t start = stream.Position();
    SImageChunkData chunk;
    const uint8_t code = ReadImageChunkData(stream, chunk);
    if (code != 0) {
      if (!chunk.pixels.empty()) Fail(__LINE__);
      break;
    }
    if (stream.Position() != start + chunk.chunkLength) Fail(__LINE__);
    if (chunk.pixels.size() != static_cast<size_t>(chunk.info.unpackedLength)) Fail(__LINE__);
    CheckRewrite(chunk);

    if (!stream.SetPosition(start)) Fail(__LINE__);
    std::unique_ptr<TMTC> picture;
    if (ReadImageChunk(stream, picture) != 0 || !picture) Fail(__LINE__);
    if (picture->Width() != chunk.info.width || picture->Height() != chunk.info.height) Fail(__LINE__);
    if (std::memcmp(picture->Bits(), chunk.pixels.data(), chunk.pixels.size()) != 0) Fail(__LINE__);

    if (!stream.SetPosition(start)) Fail(__LINE__);
    SImageChunkInfo info;
    std::unique_ptr<TChannel> channel;
    int64_t length = 0;
    const uint8_t channelCode = ReadChannelChunk(stream, info, channel, length);
    const bool isChannel =
        chunk.info.contentCode == kContentChannel || chunk.info.contentCode == kContentChannel4;
    if ((channelCode == 0) != isChannel || (channelCode != 0 && channelCode != kFileContentCode)) Fail(__LINE__);
    if (isChannel && std::memcmp(channel->Bits(), chunk.pixels.data(), chunk.pixels.size()) != 0) Fail(__LINE__);
    if (stream.Position() != start + chunk.chunkLength) Fail(__LINE__);
  }
  return 0;
}
