#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/ByteOrder.h"
#include "platform/Memory.h"
#include "platform/Stream.h"
#include "raster/ChunkStream.h"
#include "raster/DibImage.h"
#include "raster/FlatImage.h"
#include "raster/ImageChunk.h"
#include "support/FaultStream.h"
#include "support/TestRng.h"

namespace tf {
namespace {

using test::FaultStream;
using test::XorShiftRng;

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

// ---------------------------------------------------------------------------------------------
// Layouts

TEST(ChunkLayout, HeaderAndImageInfoBytes) {
  uint8_t header[8];
  EncodeChunkHeader(SChunkHeader{kChunkImage, 0x01020304u}, header);
  EXPECT_EQ(std::vector<uint8_t>(header, header + 8), Bytes({'T', 'T', 'N', 'L', 4, 3, 2, 1}));
  EXPECT_EQ(DecodeChunkHeader(header).id, kChunkImage);
  EXPECT_EQ(DecodeChunkHeader(header).size, 0x01020304u);
  EXPECT_EQ(ChunkIdText(kChunkEventBlock), "TBEV");

  SImageChunkInfo info;
  info.kind = 0x0102;
  info.contentCode = 0x0304;
  info.groupSize = 5;
  info.xorByte = 6;
  info.stride = 7;
  info.tail = 8;
  info.sourceWidth = 0x0A0B0C0D;
  info.sourceHeight = -2;
  info.width = 0x11121314;
  info.height = 0x15161718;
  info.packedLength = 0x191A1B1C;
  info.unpackedLength = 0x1D1E1F20;
  uint8_t bytes[40];
  EncodeImageChunkInfo(info, bytes);
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 40),
            Bytes({0x02, 0x01, 0x04, 0x03, 5,    6,    7,    8,    0x0D, 0x0C, 0x0B, 0x0A, 0xFE, 0xFF,
                   0xFF, 0xFF, 0x14, 0x13, 0x12, 0x11, 0x18, 0x17, 0x16, 0x15, 0x1C, 0x1B, 0x1A, 0x19,
                   0x20, 0x1F, 0x1E, 0x1D, 0,    0,    0,    0,    0,    0,    0,    0}));
  const SImageChunkInfo back = DecodeImageChunkInfo(bytes);
  EXPECT_EQ(std::memcmp(&back, &info, sizeof info), 0);
}

TEST(ChunkLayout, CheckIdsSizesAndStrings) {
  const SChunkHeader header{kChunkMask, 72};
  EXPECT_EQ(CheckChunkId(header, kChunkMask), 0);
  EXPECT_EQ(CheckChunkId(header, kChunkLayer), 16);
  EXPECT_EQ(CheckChunkHeader(header, kChunkMask, 72), 0);
  EXPECT_EQ(CheckChunkHeader(header, kChunkMask, 76), 17);
  EXPECT_EQ(CheckChunkHeader(header, kChunkLayer, 72), 16);

  MemoryStream stream(std::vector<uint8_t>{'a', 'b', 0, 'z', 'q', 'r'});
  std::string text = "old";
  EXPECT_EQ(ReadChunkString(stream, 4, text), 0);
  EXPECT_EQ(text, "ab");  // up to the first zero byte
  EXPECT_EQ(stream.Position(), 4);
  EXPECT_EQ(ReadChunkString(stream, 3, text), 9);  // two bytes left
  EXPECT_EQ(text, "ab");                           // unchanged on failure
  EXPECT_EQ(ReadChunkString(stream, -1, text), 9);
  EXPECT_EQ(ReadChunkString(stream, 2, text), 0);
  EXPECT_EQ(text, "qr");  // no zero byte: all of it
}

// ---------------------------------------------------------------------------------------------
// Byte pass

struct PassCase {
  uint8_t group, xorByte, stride;
};

TEST(BytePass, ReadingUndoesWritingForEveryParameterSet) {
  const PassCase cases[] = {{0, 0, 0},   {1, 0, 0},       {2, 0, 0},  {4, 0x6B, 3}, {3, 0xFF, 0},
                            {7, 1, 255}, {255, 0x80, 16}, {16, 0, 5}, {1, 0x6B, 1}};
  const size_t lengths[] = {0, 1, 3, 5, 16383, 16384, 16385, 16390, 16384 * 2 + 1, 50001};
  XorShiftRng rng(77);
  for (size_t length : lengths) {
    std::vector<uint8_t> original(length);
    for (auto& b : original) b = static_cast<uint8_t>(rng.Next());
    for (const PassCase& c : cases) {
      std::vector<uint8_t> bytes = original;
      ApplyBytePass(bytes.data(), bytes.size(), c.group, c.xorByte, c.stride);
      if (length > 16 && (c.group >= 2 || c.xorByte != 0)) {
        EXPECT_NE(bytes, original) << "length " << length << " group " << int(c.group);
      }
      UndoBytePass(bytes.data(), bytes.size(), c.group, c.xorByte, c.stride);
      EXPECT_EQ(bytes, original) << "length " << length << " group " << int(c.group) << " xor " << int(c.xorByte)
                                 << " stride " << int(c.stride);
    }
  }
}

TEST(BytePass, EveryPieceRestartsItsGroupsAndXorPositions) {
  // Group 4 over 16384 + 6 bytes: 4096 whole groups in the first piece; the second piece of 6
  // bytes has one whole group reversed and a remainder of 2 left as it is.
  std::vector<uint8_t> bytes(16384 + 6);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 13 + 1);
  std::vector<uint8_t> passed = bytes;
  ApplyBytePass(passed.data(), passed.size(), 4, 0, 0);
  for (size_t g = 0; g < 16384; g += 4)
    for (size_t k = 0; k < 4; ++k) ASSERT_EQ(passed[g + k], bytes[g + 3 - k]);
  EXPECT_EQ(passed[16384], bytes[16387]);
  EXPECT_EQ(passed[16387], bytes[16384]);
  EXPECT_EQ(passed[16388], bytes[16388]);
  EXPECT_EQ(passed[16389], bytes[16389]);

  // XOR with stride 3: piece offsets 0, 4, 8, ... take the complement of the XOR byte, counted
  // again from the second piece's start (16384 is a multiple of 4, so use stride 4: 0, 5, ...).
  passed = bytes;
  ApplyBytePass(passed.data(), passed.size(), 0, 0x6B, 4);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const size_t offset = i % 16384;
    const uint8_t expected = offset % 5 == 0 ? static_cast<uint8_t>(bytes[i] ^ 0x94) : bytes[i];
    ASSERT_EQ(passed[i], expected) << i;
  }
  // XOR byte 0 and group size 1 change nothing.
  passed = bytes;
  ApplyBytePass(passed.data(), passed.size(), 1, 0, 3);
  EXPECT_EQ(passed, bytes);
}

// ---------------------------------------------------------------------------------------------
// Packed-image chunks

std::unique_ptr<TMTC> RandomPicture(int32_t width, int32_t height, uint64_t seed) {
  auto image = std::make_unique<TMTC>(width, height);
  XorShiftRng rng(seed);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) *image->Pixel(x, y) = rng.Next();
  return image;
}

bool SamePixels(const CDibCore& a, const CDibCore& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() && a.GetImageSize() == b.GetImageSize() &&
         std::memcmp(a.Bits(), b.Bits(), static_cast<size_t>(a.GetImageSize())) == 0;
}

TEST(ImageChunk, PicturesRoundTripPlainAndScrambled) {
  for (bool scrambled : {false, true}) {
    auto picture = RandomPicture(37, 23, scrambled ? 5 : 6);
    MemoryStream stream;
    stream.Write("XY", 2);  // the chunk need not start at a multiple of 4
    ASSERT_EQ(WritePictureChunk(stream, SSize{370, 230}, *picture, scrambled), 0);
    const int64_t end = stream.Size();
    EXPECT_EQ(end % 4, 0);
    const SChunkHeader header = DecodeChunkHeader(stream.Data() + 2);
    EXPECT_EQ(header.id, kChunkImage);
    EXPECT_EQ(int64_t{header.size} + 8 + 2, end);
    const SImageChunkInfo info = DecodeImageChunkInfo(stream.Data() + 10);
    EXPECT_EQ(info.kind, scrambled ? 2 : 1);
    EXPECT_EQ(info.contentCode, 0);
    EXPECT_EQ(info.groupSize, scrambled ? 4 : 0);
    EXPECT_EQ(info.xorByte, scrambled ? 0x6B : 0);
    EXPECT_EQ(info.stride, scrambled ? 3 : 0);
    EXPECT_EQ(info.tail, 0);
    EXPECT_EQ(info.sourceWidth, 370);
    EXPECT_EQ(info.sourceHeight, 230);
    EXPECT_EQ(info.width, 37);
    EXPECT_EQ(info.height, 23);
    EXPECT_EQ(info.unpackedLength, 37 * 23 * 4);
    EXPECT_GE(int64_t{header.size} - 40 - info.packedLength, 0);
    EXPECT_LE(int64_t{header.size} - 40 - info.packedLength, 3);

    ASSERT_TRUE(stream.SetPosition(2));
    SImageChunkData data;
    ASSERT_EQ(ReadImageChunkData(stream, data), 0);
    EXPECT_EQ(data.chunkLength, end - 2);
    EXPECT_EQ(stream.Position(), end);
    ASSERT_TRUE(stream.SetPosition(2));
    std::unique_ptr<TMTC> back;
    ASSERT_EQ(ReadImageChunk(stream, back), 0);
    ASSERT_TRUE(back);
    EXPECT_TRUE(SamePixels(*back, *picture));
  }
}

// A chunk may hold fewer bytes than its image: the picture and the channel read from it keep
// them and are zero past them, even where the allocator hands out a block that held other data.
TEST(ImageChunk, BytesPastAShortUnpackedLengthReadAsZero) {
  const uint8_t held[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  for (uint16_t content : {uint16_t{0}, uint16_t{2}}) {
    SCOPED_TRACE(content);
    SImageChunkInfo info;
    info.contentCode = content;
    info.width = 16;
    info.height = 16;
    info.unpackedLength = sizeof held;
    MemoryStream stream;
    ASSERT_EQ(WriteImageChunkGuarded(stream, info, held), 0);
    const size_t imageBytes = content == 0 ? 16 * 16 * 4 : 16 * 16;
    void* used = nullptr;
    ASSERT_TRUE(TryGetMem(used, static_cast<int64_t>(imageBytes)));
    std::memset(used, 0x5E, imageBytes);
    FreeMem(used);
    ASSERT_TRUE(stream.SetPosition(0));
    std::vector<uint8_t> bytes(imageBytes, 0xFF);
    if (content == 0) {
      std::unique_ptr<TMTC> picture;
      ASSERT_EQ(ReadImageChunk(stream, picture), 0);
      std::memcpy(bytes.data(), picture->Bits(), imageBytes);
    } else {
      SImageChunkInfo read;
      int64_t length = 0;
      std::unique_ptr<TChannel> channel;
      ASSERT_EQ(ReadChannelChunk(stream, read, channel, length), 0);
      std::memcpy(bytes.data(), channel->Bits(), imageBytes);
    }
    std::vector<uint8_t> expected(imageBytes, 0);
    std::memcpy(expected.data(), held, sizeof held);
    EXPECT_EQ(bytes, expected);
  }
}

// A display image keeps its rows bottom-up; the chunk holds them top to bottom all the same.
TEST(ImageChunk, BottomUpPicturesAreWrittenTopRowFirst) {
  TTC display(false);
  ASSERT_TRUE(display.Resize(7, 3));
  ASSERT_FALSE(display.IsTopDown());
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 7; ++x) *display.Pixel(x, y) = 0xFF000000u | uint32_t(y) << 8 | uint32_t(x);
  MemoryStream stream;
  ASSERT_EQ(WritePictureChunk(stream, SSize{7, 3}, display, false), 0);
  ASSERT_TRUE(stream.SetPosition(0));
  SImageChunkData data;
  ASSERT_EQ(ReadImageChunkData(stream, data), 0);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 7; ++x)
      ASSERT_EQ(LoadU32(data.pixels.data() + 4 * (y * 7 + x)), *display.Pixel(x, y));
}

TEST(ImageChunk, ChannelsRoundTripWithTheirOwnPassAndTail) {
  TChannel channel(19, 7);
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 19; ++x) *channel.GetPixelPtr(x, y) = static_cast<uint8_t>(x * 11 + y * 37);
  for (uint16_t content : {uint16_t{2}, uint16_t{4}}) {
    SImageChunkInfo info;
    info.kind = kImagePassed;
    info.contentCode = content;
    info.groupSize = 3;
    info.xorByte = 0x5A;
    info.stride = 1;
    info.tail = 5;
    info.width = 19;
    info.height = 7;
    info.unpackedLength = 19 * 7;
    MemoryStream stream;
    ASSERT_EQ(WriteImageChunk(stream, info, channel.Bits()), 0);
    EXPECT_EQ(stream.Size() % 4, 0);
    ASSERT_TRUE(stream.SetPosition(0));
    SImageChunkInfo read;
    std::unique_ptr<TChannel> back;
    int64_t length = 0;
    ASSERT_EQ(ReadChannelChunk(stream, read, back, length), 0);
    EXPECT_EQ(length, stream.Size());
    EXPECT_EQ(read.tail, 5);
    EXPECT_EQ(read.contentCode, content);
    ASSERT_TRUE(back);
    EXPECT_TRUE(SamePixels(*back, channel));
  }
  // A picture is not a channel: read through, then refused.
  auto picture = RandomPicture(4, 4, 1);
  MemoryStream stream;
  ASSERT_EQ(WritePictureChunk(stream, SSize{4, 4}, *picture, false), 0);
  ASSERT_TRUE(stream.SetPosition(0));
  SImageChunkInfo read;
  std::unique_ptr<TChannel> back;
  int64_t length = 0;
  EXPECT_EQ(ReadChannelChunk(stream, read, back, length), 15);
  EXPECT_FALSE(back);
  EXPECT_EQ(stream.Position(), stream.Size());
}

TEST(ImageChunk, WriterRefusesWhatNoReaderTakes) {
  uint8_t pixels[64] = {};
  SImageChunkInfo info;
  info.width = 4;
  info.height = 4;
  info.unpackedLength = 64;
  MemoryStream stream;
  info.kind = 3;
  EXPECT_EQ(WriteImageChunk(stream, info, pixels), 14);
  info.kind = 0x0101;  // the low byte counts
  EXPECT_EQ(WriteImageChunkGuarded(stream, info, pixels), 0);
  const int64_t size = stream.Size();
  info.unpackedLength = 65;
  EXPECT_EQ(WriteImageChunkGuarded(stream, info, pixels), 17);
  info.unpackedLength = 64;
  info.width = 10001;
  EXPECT_EQ(WriteImageChunkGuarded(stream, info, pixels), 17);
  EXPECT_EQ(stream.Size(), size);
}

TEST(ImageChunk, ThumbnailWalkSkipsOtherChunksAndIcons) {
  MemoryStream stream;
  // A chunk of another kind, an icon (content code 3), then the picture.
  ASSERT_TRUE(WriteChunkHeader(stream, SChunkHeader{kChunkLayer, 12}));
  stream.Write("twelve bytes", 12);
  auto icon = RandomPicture(8, 8, 3);
  SImageChunkInfo info;
  info.kind = kImagePlain;
  info.contentCode = kContentIcon;
  info.width = info.height = 8;
  info.unpackedLength = 256;
  ASSERT_EQ(WriteImageChunk(stream, info, icon->Bits()), 0);
  auto picture = RandomPicture(9, 5, 4);
  ASSERT_EQ(WritePictureChunk(stream, SSize{90, 50}, *picture, true), 0);

  ASSERT_TRUE(stream.SetPosition(0));
  std::unique_ptr<TMTC> found;
  ASSERT_EQ(ReadThumbnail(stream, found), 0);
  ASSERT_TRUE(found);
  EXPECT_TRUE(SamePixels(*found, *picture));

  // Without a picture: 0 and no image.
  MemoryStream none;
  ASSERT_EQ(WriteImageChunk(none, info, icon->Bits()), 0);
  ASSERT_TRUE(none.SetPosition(0));
  std::unique_ptr<TMTC> nothing;
  EXPECT_EQ(ReadThumbnail(none, nothing), 0);
  EXPECT_FALSE(nothing);

  // A chunk whose size runs past the end.
  MemoryStream past;
  ASSERT_TRUE(WriteChunkHeader(past, SChunkHeader{kChunkLayer, 100}));
  past.Write("abcd", 4);
  ASSERT_TRUE(past.SetPosition(0));
  EXPECT_EQ(ReadThumbnail(past, nothing), 11);
}

// Guard rule: a write refused at any byte leaves the stream as it was before the call.
TEST(ImageChunk, FailedGuardedWriterLeavesNoBytesBehind) {
  auto picture = RandomPicture(40, 30, 9);
  MemoryStream reference;
  reference.Write("earlier chunk", 13);
  ASSERT_EQ(WritePictureChunk(reference, SSize{40, 30}, *picture, true), 0);
  const int64_t whole = reference.Size() - 13;
  for (int64_t limit = 0; limit < whole; limit += (limit < 64 ? 1 : 97)) {
    FaultStream stream;
    stream.Write("earlier chunk", 13);
    stream.SetLimit(limit);
    EXPECT_EQ(WritePictureChunk(stream, SSize{40, 30}, *picture, true), 8) << limit;
    ASSERT_EQ(stream.Size(), 13) << limit;
    EXPECT_EQ(std::memcmp(stream.Bytes().data(), "earlier chunk", 13), 0);
  }
}

// ---------------------------------------------------------------------------------------------
// Bad input: each case damages one field of a good chunk and names the code.

struct BadImageCase {
  const char* name;
  int32_t offset;  // from the chunk start
  int32_t width;   // bytes written: 1, 2 or 4; 0: the byte XORed with the value
  int64_t value;   // the value; from 2000000 on: the body length (size - 40) + value - 2500000
  uint8_t code;
};

void PrintTo(const BadImageCase& c, std::ostream* os) { *os << c.name; }

class ImageChunkBadInput : public ::testing::TestWithParam<BadImageCase> {};

// A good scrambled 6 x 5 picture chunk and its packed length.
std::vector<uint8_t> GoodImageChunk() {
  auto picture = RandomPicture(6, 5, 12);
  MemoryStream stream;
  EXPECT_EQ(WritePictureChunk(stream, SSize{60, 50}, *picture, true), 0);
  return stream.TakeBytes();
}

TEST_P(ImageChunkBadInput, NamesTheCode) {
  const BadImageCase& c = GetParam();
  std::vector<uint8_t> bytes = GoodImageChunk();
  const uint32_t size = LoadU32(bytes.data() + 4);
  int64_t value = c.value;
  if (value >= 2000000) value = int64_t{size} - 40 + (value - 2500000);
  if (c.width == 0) bytes[c.offset] ^= static_cast<uint8_t>(value);
  if (c.width == 1) bytes[c.offset] = static_cast<uint8_t>(value);
  if (c.width == 2) StoreU16(bytes.data() + c.offset, static_cast<uint16_t>(value));
  if (c.width == 4) StoreU32(bytes.data() + c.offset, static_cast<uint32_t>(value));
  MemoryStream stream(bytes);
  SImageChunkData data;
  EXPECT_EQ(ReadImageChunkData(stream, data), c.code);
  if (c.code != 0) {
    EXPECT_TRUE(data.pixels.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ImageChunkBadInput,
    ::testing::Values(
        BadImageCase{"WrongId", 0, 1, 'X', 16}, BadImageCase{"KindThree", 8, 2, 3, 14},
        BadImageCase{"KindHighByteIgnored", 8, 2, 0x7702, 0}, BadImageCase{"SizeBelowInfo", 4, 4, 39, 17},
        BadImageCase{"SizePastTheEnd", 4, 4, 2500000 + 40 + 4, 9}, BadImageCase{"PackedZero", 32, 4, 0, 17},
        BadImageCase{"PackedNegative", 32, 4, -8, 17}, BadImageCase{"PackedBeyondChunk", 32, 4, 2500001, 17},
        BadImageCase{"TailAbovePacked", 15, 1, 255, 17}, BadImageCase{"WidthZero", 24, 4, 0, 17},
        BadImageCase{"Width10001", 24, 4, 10001, 17}, BadImageCase{"HeightNegative", 28, 4, -5, 17},
        BadImageCase{"UnpackedZero", 36, 4, 0, 17}, BadImageCase{"UnpackedNegative", 36, 4, -120, 17},
        BadImageCase{"UnpackedAbovePixelBytes", 36, 4, 6 * 5 * 4 + 1, 17},
        BadImageCase{"UnpackedShorterThanPacked", 36, 4, 6 * 5 * 4 - 1, 18},
        BadImageCase{"PassParametersChanged", 13, 1, 0x6C, 18},
        BadImageCase{"PackedByteFlipped", 48 + 9, 0, 0xFF, 18}),
    [](const ::testing::TestParamInfo<BadImageCase>& info) { return std::string(info.param.name); });

// Packed bytes that do not unpack were loaded as zeros; now they are refused with 18.
TEST(ImageChunk, CorruptPackedBytesAreRefusedNotLoadedAsZeros) {
  std::vector<uint8_t> bytes = GoodImageChunk();
  const int32_t packed = LoadI32(bytes.data() + 8 + 24);
  for (int32_t at = 0; at < packed; ++at) {
    std::vector<uint8_t> damaged = bytes;
    damaged[48 + at] ^= 0x21;
    MemoryStream stream(damaged);
    std::unique_ptr<TMTC> image;
    EXPECT_EQ(ReadImageChunk(stream, image), 18) << at;
    EXPECT_FALSE(image);
  }
}

TEST(ImageChunk, EveryPrefixIsAShortRead) {
  const std::vector<uint8_t> bytes = GoodImageChunk();
  for (size_t n = 0; n < bytes.size(); ++n) {
    MemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
    SImageChunkData data;
    EXPECT_EQ(ReadImageChunkData(stream, data), 9) << n;
  }
}

}  // namespace
}  // namespace tf
