#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/BlockPack.h"
#include "platform/Stream.h"

namespace tf {
namespace {

// Event-like data: runs of small records with a few varying bytes, plus some noise.
std::vector<uint8_t> SampleData(size_t size, uint32_t seed, bool noisy) {
  std::vector<uint8_t> data(size);
  std::mt19937 rng(seed);
  for (size_t i = 0; i < size; ++i) {
    if (noisy)
      data[i] = static_cast<uint8_t>(rng());
    else
      data[i] = static_cast<uint8_t>((i % 14 < 2) ? 17 : (i % 14 < 6 ? (i / 14) & 0xFF : rng() % 4));
  }
  return data;
}

// Copies bytes into a block of exactly that size, so that reading past it is caught by ASan.
std::unique_ptr<uint8_t[]> ExactCopy(const uint8_t* data, size_t size) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size]);
  if (size) std::memcpy(copy.get(), data, size);
  return copy;
}

class VectorSink final : public PackSink {
 public:
  bool Write(const void* data, size_t size) override {
    if (refuseAfter >= 0 && writes++ >= refuseAfter) return false;
    const auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
    return true;
  }
  std::vector<uint8_t> bytes;
  int refuseAfter = -1;
  int writes = 0;
};

struct RoundTripCase {
  size_t size;
  bool noisy;
};
// Short, stable names in test lists and logs.
std::string CaseName(const RoundTripCase& c) { return std::to_string(c.size) + (c.noisy ? "_noisy" : "_plain"); }
void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << CaseName(c); }

class BlockPackRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(BlockPackRoundTrip, EveryModeUnpacksToTheSource) {
  const RoundTripCase c = GetParam();
  std::vector<uint8_t> source = SampleData(c.size, static_cast<uint32_t>(c.size), c.noisy);

  std::vector<uint8_t> buffer(7, 0xEE);  // old contents are replaced
  uint32_t packed = BlockPack(source.data(), source.size(), buffer);
  ASSERT_GE(packed, 1u);
  ASSERT_EQ(buffer.size(), packed);

  VectorSink sink;
  EXPECT_EQ(BlockPack(source.data(), source.size(), sink), packed);
  EXPECT_EQ(sink.bytes, buffer);

  MemoryStream stream;
  stream.WriteU32(0xCAFEBABE);  // packing starts at the stream's position
  EXPECT_EQ(BlockPack(source.data(), source.size(), stream), packed);
  ASSERT_EQ(stream.Size(), 4 + int64_t{packed});
  EXPECT_EQ(std::vector<uint8_t>(stream.Bytes().begin() + 4, stream.Bytes().end()), buffer);

  auto exact = ExactCopy(buffer.data(), buffer.size());
  std::vector<uint8_t> out(c.size + 1, 0xAB);
  ASSERT_TRUE(BlockUnpack(exact.get(), packed, out.data(), c.size));
  out.resize(c.size);
  EXPECT_EQ(out, source);

  // zlib's own reader takes the packed bytes as they are.
  std::vector<uint8_t> z(c.size + 1);
  uLongf zlen = static_cast<uLongf>(z.size());
  ASSERT_EQ(uncompress(z.data(), &zlen, buffer.data(), packed), Z_OK);
  ASSERT_EQ(zlen, c.size);
  z.resize(c.size);
  EXPECT_EQ(z, source);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BlockPackRoundTrip,
                         ::testing::Values(RoundTripCase{0, false}, RoundTripCase{1, false},
                                           RoundTripCase{255, true}, RoundTripCase{65535, false},
                                           RoundTripCase{65536, false}, RoundTripCase{65537, true},
                                           RoundTripCase{3 * 65536 + 11, true}, RoundTripCase{2 << 20, false}),
                         [](const auto& info) { return CaseName(info.param); });

TEST(BlockPack, PythonZlibReadsWhatWePack) {
  if (std::system("python3 -c 'import zlib' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  std::vector<uint8_t> source = SampleData(100000, 3, false);
  std::vector<uint8_t> packed;
  ASSERT_GT(BlockPack(source.data(), source.size(), packed), 0u);
  std::string dir = ::testing::TempDir();
  std::string in = dir + "blockpack_in.z", expect = dir + "blockpack_expect.bin";
  std::ofstream(in, std::ios::binary)
      .write(reinterpret_cast<const char*>(packed.data()), static_cast<std::streamsize>(packed.size()));
  std::ofstream(expect, std::ios::binary)
      .write(reinterpret_cast<const char*>(source.data()), static_cast<std::streamsize>(source.size()));
  std::string cmd =
      "python3 -c \"import sys,zlib; a=open(sys.argv[1],'rb').read(); "
      "b=open(sys.argv[2],'rb').read(); sys.exit(0 if zlib.decompress(a)==b else 1)\" '" +
      in + "' '" + expect + "'";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  std::remove(in.c_str());
  std::remove(expect.c_str());
}

TEST(BlockUnpack, RefusesEveryTruncation) {
  std::vector<uint8_t> source = SampleData(3000, 9, false);
  std::vector<uint8_t> packed;
  uint32_t n = BlockPack(source.data(), source.size(), packed);
  ASSERT_GT(n, 8u);
  std::vector<uint8_t> out(source.size());
  for (uint32_t len = 1; len < n; ++len) {
    auto cut = ExactCopy(packed.data(), len);  // ASan sees any read past len
    EXPECT_FALSE(BlockUnpack(cut.get(), len, out.data(), out.size())) << "length " << len;
  }
  EXPECT_FALSE(BlockUnpack(packed.data(), 0, out.data(), out.size()));
  EXPECT_FALSE(BlockUnpack(nullptr, n, out.data(), out.size()));
}

TEST(BlockUnpack, RefusesCorruptBytesAndWrongSizes) {
  std::vector<uint8_t> source = SampleData(20000, 5, false);
  std::vector<uint8_t> packed;
  uint32_t n = BlockPack(source.data(), source.size(), packed);
  std::vector<uint8_t> out(source.size() + 1);

  // Wrong expected size either way.
  EXPECT_FALSE(BlockUnpack(packed.data(), n, out.data(), source.size() - 1));
  EXPECT_FALSE(BlockUnpack(packed.data(), n, out.data(), source.size() + 1));
  EXPECT_TRUE(BlockUnpack(packed.data(), n, out.data(), source.size()));

  // Every flipped byte is judged exactly as zlib's own reader judges it: refused by the header
  // check, the decoder or the Adler-32 check, or accepted with zlib's output. Adler-32 lets a
  // few rare patterns through (and flips in the padding bits after the last code are
  // harmless), so nearly all, not all, are caught.
  int passed = 0;
  std::vector<uint8_t> z(source.size() + 1);
  for (uint32_t i = 0; i < n; ++i) {
    std::vector<uint8_t> bad = packed;
    bad[i] ^= 0x5A;
    uLongf zlen = static_cast<uLongf>(z.size());
    bool zlibAccepts = uncompress(z.data(), &zlen, bad.data(), n) == Z_OK && zlen == source.size();
    bool ours = BlockUnpack(bad.data(), n, out.data(), source.size());
    ASSERT_EQ(ours, zlibAccepts) << "byte " << i;
    if (ours) {
      ++passed;
      EXPECT_TRUE(std::equal(out.begin(), out.begin() + zlen, z.begin())) << "byte " << i;
    }
  }
  EXPECT_LE(passed, 8);

  // Bytes that are not a stream at all.
  std::vector<uint8_t> zeros(64, 0);
  EXPECT_FALSE(BlockUnpack(zeros.data(), zeros.size(), out.data(), 16));
}

TEST(BlockUnpack, IgnoresPaddingAfterTheStream) {
  std::vector<uint8_t> source = SampleData(999, 1, true);
  std::vector<uint8_t> packed;
  uint32_t n = BlockPack(source.data(), source.size(), packed);
  packed.resize(n + 3, 0);  // rounded up as packets and blocks store it
  std::vector<uint8_t> out(source.size());
  ASSERT_TRUE(BlockUnpack(packed.data(), packed.size(), out.data(), out.size()));
  EXPECT_EQ(out, source);
}

TEST(BlockUnpack, EmptySourceRoundTripsToZeroBytes) {
  std::vector<uint8_t> packed;
  uint32_t n = BlockPack(nullptr, 0, packed);
  ASSERT_GE(n, 1u);
  uint8_t dummy = 0;
  EXPECT_TRUE(BlockUnpack(packed.data(), n, &dummy, 0));
  EXPECT_FALSE(BlockUnpack(packed.data(), n, &dummy, 1));
}

TEST(BlockPack, SinkThatRefusesGivesZero) {
  std::vector<uint8_t> source = SampleData(1 << 20, 2, true);  // several output pieces
  for (int refuseAfter : {0, 1, 3}) {
    VectorSink sink;
    sink.refuseAfter = refuseAfter;
    EXPECT_EQ(BlockPack(source.data(), source.size(), sink), 0u) << refuseAfter;
  }
  // A fixed stream too small for the packed bytes refuses the write.
  std::vector<uint8_t> small(16);
  FixedMemoryStream fixed(small.data(), static_cast<int64_t>(small.size()));
  EXPECT_EQ(BlockPack(source.data(), source.size(), fixed), 0u);
}

// One packer over many pieces gives each piece as BlockPack alone does, also after a piece whose
// sink refused half way, and at either level.
TEST(BlockPacker, PiecesPackAsAloneAndSurviveARefusedPiece) {
  BlockPacker packer;
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    const std::vector<uint8_t> source = SampleData(70000 + seed * 1000, seed, seed % 2 == 0);
    if (seed == 3) {
      VectorSink refusing;
      refusing.refuseAfter = 0;
      EXPECT_EQ(packer.Pack(source.data(), source.size(), refusing), 0u);
    }
    std::vector<uint8_t> alone;
    ASSERT_GT(BlockPack(source.data(), source.size(), alone), 0u);
    std::vector<uint8_t> reused;
    ASSERT_EQ(packer.Pack(source.data(), source.size(), reused), alone.size());
    EXPECT_EQ(reused, alone);
    // Stored (level 0): one zlib stream a little longer than the bytes, unpacked the same way.
    std::vector<uint8_t> stored;
    const uint32_t n = packer.Pack(source.data(), source.size(), stored, kBlockStoreLevel);
    ASSERT_GT(n, source.size());
    std::vector<uint8_t> out(source.size());
    ASSERT_TRUE(BlockUnpack(stored.data(), n, out.data(), out.size()));
    EXPECT_EQ(out, source);
  }
}

}  // namespace
}  // namespace tf
