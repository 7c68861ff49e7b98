// Event stream: appending and reading back stroke-point packets, and packing 64 KB event
// blocks, each beside a plain peer on the same data (a byte vector for appending, zlib's own
// compress2/uncompress for packing).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "events/EventStream.h"
#include "platform/BlockPack.h"

namespace tf {
namespace {

constexpr int kPackets = 1000000;
constexpr int kPacketsPerStep = 100;
constexpr uint32_t kBlockSize = 65536;

// A full points packet (16 points) of a smooth stroke, at tablet precision (quarter pixels,
// pressure in 1/1024 steps).
std::vector<uint8_t> PointsPayload(int index) {
  std::vector<uint8_t> payload(16 * sizeof(SPenPoint));
  auto* points = reinterpret_cast<SPenPoint*>(payload.data());
  for (int i = 0; i < 16; ++i) {
    float t = static_cast<float>(index * 16 + i) * 0.01f;
    points[i].x = std::floor((100.0f + 80.0f * std::sin(t)) * 4.0f) / 4.0f;
    points[i].y = std::floor((120.0f + 60.0f * std::cos(t * 0.7f)) * 4.0f) / 4.0f;
    points[i].pressure = std::floor((0.5f + 0.4f * std::sin(t * 3.0f)) * 1024.0f) / 1024.0f;
  }
  return payload;
}

void BM_AppendAndReadPointPackets(benchmark::State& state) {
  std::vector<std::vector<uint8_t>> payloads;
  for (int i = 0; i < 64; ++i) payloads.push_back(PointsPayload(i));
  const uint32_t size = static_cast<uint32_t>(payloads[0].size());
  std::vector<uint8_t> readBuffer(size);
  for (auto _ : state) {
    CEventMngr mngr(kBlockSize, 1048576);
    if (!mngr.setupRecording(nullptr, nullptr, 42, 42)) state.SkipWithError("setup failed");
    mngr.commitStep();
    for (int i = 0; i < kPackets; ++i) {
      const auto& p = payloads[i & 63];
      if (!mngr.appendPacket(kPcPointsMore, 16, p.data(), size)) {
        state.SkipWithError("append failed");
        break;
      }
      if ((i + 1) % kPacketsPerStep == 0) mngr.commitStep();
    }
    // Read back packet by packet, as the player does.
    uint32_t pos = 14;
    int read = 0;
    const uint32_t end = static_cast<uint32_t>(mngr.committed());
    while (pos < end) {
      SPacketFrame frame;
      if (!mngr.readPacketFrame(pos, end, frame)) break;
      mngr.readAt(frame.payloadPos, readBuffer.data(), static_cast<uint32_t>(frame.length));
      pos = frame.next();
      ++read;
    }
    if (read != kPackets) state.SkipWithError("read back fewer packets");
    benchmark::DoNotOptimize(readBuffer.data());
  }
  state.counters["packets/s"] =
      benchmark::Counter(static_cast<double>(kPackets) * state.iterations(), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(int64_t{kPackets} * (size + 2) * state.iterations());
}
BENCHMARK(BM_AppendAndReadPointPackets)->Unit(benchmark::kMillisecond);

// Peer: the same bytes copied into and read back from one flat block reserved up front
// (the memcpy ceiling).
void BM_AppendAndReadPointPackets_PeerVector(benchmark::State& state) {
  std::vector<std::vector<uint8_t>> payloads;
  for (int i = 0; i < 64; ++i) payloads.push_back(PointsPayload(i));
  const size_t size = payloads[0].size();
  std::vector<uint8_t> readBuffer(size);
  for (auto _ : state) {
    std::vector<uint8_t> stream;
    stream.reserve(size_t{kPackets} * (size + 2));
    for (int i = 0; i < kPackets; ++i) {
      const auto& p = payloads[i & 63];
      stream.push_back(kPcPointsMore);
      stream.push_back(16);
      stream.insert(stream.end(), p.begin(), p.end());
    }
    size_t pos = 0;
    int read = 0;
    while (pos + 2 <= stream.size()) {
      size_t len = 12u * stream[pos + 1];
      std::memcpy(readBuffer.data(), stream.data() + pos + 2, len);
      pos += 2 + len;
      ++read;
    }
    benchmark::DoNotOptimize(read);
    benchmark::DoNotOptimize(readBuffer.data());
  }
  state.counters["packets/s"] =
      benchmark::Counter(static_cast<double>(kPackets) * state.iterations(), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(int64_t{kPackets} * static_cast<int64_t>(size + 2) * state.iterations());
}
BENCHMARK(BM_AppendAndReadPointPackets_PeerVector)->Unit(benchmark::kMillisecond);

// A recorded-looking stream cut into 64 KB blocks: state records, strokes of point packets,
// command packets.
std::vector<std::vector<uint8_t>> EventBlocks(int blockCount) {
  CEventMngr mngr(kBlockSize, 1048576);
  mngr.setupRecording(nullptr, nullptr, 42, 42);
  mngr.commitStep();
  int stroke = 0;
  while (mngr.committed() < static_cast<int32_t>(kBlockSize) * blockCount) {
    SActiveLayerRecord active{};
    active.layer = static_cast<int16_t>(stroke % 5);
    active.mask = -1;
    mngr.writeStateRecord(kStActiveLayer, &active, sizeof active);
    SPenColorRecord color{};
    color.rgb[0] = static_cast<uint8_t>(stroke * 37);
    color.opacity = 0.8f;
    mngr.writeStateRecord(kStPenColor, &color, sizeof color);
    SStrokeStartPacket start{};
    start.layer = active.layer;
    start.mask = -1;
    mngr.appendRecord(kPcStrokeStart4, 0, start);
    int packets = 3 + stroke % 20;
    for (int i = 0; i < packets; ++i) {
      auto p = PointsPayload(stroke * 97 + i);
      mngr.appendPacket(i + 1 < packets ? kPcPointsMore : kPcPointsLast, 16, p.data(),
                        static_cast<uint32_t>(p.size()));
    }
    mngr.commitStep();
    if (stroke % 7 == 0) {
      SLayerAttrPacket attr{};
      attr.layer = active.layer;
      attr.opacity = 200;
      mngr.appendStep(kPcLayer, 17, &attr, sizeof attr);
    }
    ++stroke;
  }
  std::vector<std::vector<uint8_t>> blocks(blockCount, std::vector<uint8_t>(kBlockSize));
  for (int i = 0; i < blockCount; ++i)
    mngr.readAt(static_cast<uint32_t>(i) * kBlockSize, blocks[i].data(), kBlockSize);
  return blocks;
}

constexpr int kBenchBlocks = 16;

void BM_PackEventBlocks(benchmark::State& state) {
  auto blocks = EventBlocks(kBenchBlocks);
  std::vector<uint8_t> packed(65536);
  size_t total = 0;
  for (auto _ : state) {
    total = 0;
    for (const auto& b : blocks) total += BlockPack(b.data(), b.size(), packed);
    benchmark::DoNotOptimize(packed.data());
  }
  state.SetBytesProcessed(int64_t{kBenchBlocks} * kBlockSize * state.iterations());
  state.counters["ratio"] = static_cast<double>(total) / (double(kBenchBlocks) * kBlockSize);
}
BENCHMARK(BM_PackEventBlocks);

void BM_PackEventBlocks_PeerZlib(benchmark::State& state) {
  auto blocks = EventBlocks(kBenchBlocks);
  std::vector<uint8_t> packed(compressBound(kBlockSize));
  size_t total = 0;
  for (auto _ : state) {
    total = 0;
    for (const auto& b : blocks) {
      uLongf n = static_cast<uLongf>(packed.size());
      compress2(packed.data(), &n, b.data(), static_cast<uLong>(b.size()), kBlockPackLevel);
      total += n;
    }
    benchmark::DoNotOptimize(packed.data());
  }
  state.SetBytesProcessed(int64_t{kBenchBlocks} * kBlockSize * state.iterations());
  state.counters["ratio"] = static_cast<double>(total) / (double(kBenchBlocks) * kBlockSize);
}
BENCHMARK(BM_PackEventBlocks_PeerZlib);

// The same blocks packed, as a recording stores them: the input of the unpacking runs.
std::vector<std::vector<uint8_t>> PackedEventBlocks() {
  auto blocks = EventBlocks(kBenchBlocks);
  std::vector<std::vector<uint8_t>> packed(kBenchBlocks);
  for (int i = 0; i < kBenchBlocks; ++i) BlockPack(blocks[i].data(), kBlockSize, packed[i]);
  return packed;
}

void BM_UnpackEventBlocks(benchmark::State& state) {
  const auto packed = PackedEventBlocks();
  std::vector<uint8_t> out(kBlockSize);
  for (auto _ : state) {
    for (const auto& p : packed) {
      if (!BlockUnpack(p.data(), p.size(), out.data(), out.size())) state.SkipWithError("unpack failed");
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t{kBenchBlocks} * kBlockSize * state.iterations());
}
BENCHMARK(BM_UnpackEventBlocks);

void BM_UnpackEventBlocks_PeerZlib(benchmark::State& state) {
  const auto packed = PackedEventBlocks();
  std::vector<uint8_t> out(kBlockSize);
  for (auto _ : state) {
    for (const auto& p : packed) {
      uLongf n = kBlockSize;
      if (uncompress(out.data(), &n, p.data(), static_cast<uLong>(p.size())) != Z_OK)
        state.SkipWithError("uncompress failed");
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t{kBenchBlocks} * kBlockSize * state.iterations());
}
BENCHMARK(BM_UnpackEventBlocks_PeerZlib);

// Recording on fresh memory, then packing for the file: every iteration builds a new stream of
// point packets in blocks the system has just handed out (what the allocator kept from the last
// iteration is given back first, outside the timing), then packs each block. The peer packs the
// same bytes with zlib alone; the ratio of the two times is what recording adds to saving.
constexpr int kFreshPackets = 200000;

void ReturnFreedMemory(benchmark::State& state) {
  state.PauseTiming();
  malloc_trim(0);
  state.ResumeTiming();
}

void BM_AppendFreshAndPack(benchmark::State& state) {
  std::vector<std::vector<uint8_t>> payloads;
  for (int i = 0; i < 64; ++i) payloads.push_back(PointsPayload(i));
  const uint32_t size = static_cast<uint32_t>(payloads[0].size());
  std::vector<uint8_t> block(kBlockSize), packed;
  for (auto _ : state) {
    ReturnFreedMemory(state);
    CEventMngr mngr(kBlockSize, 1u << 30);
    if (!mngr.setupRecording(nullptr, nullptr, 42, 42)) state.SkipWithError("setup failed");
    mngr.commitStep();
    for (int i = 0; i < kFreshPackets; ++i) {
      if (!mngr.appendPacket(kPcPointsMore, 16, payloads[i & 63].data(), size)) {
        state.SkipWithError("append failed");
        break;
      }
      if ((i + 1) % kPacketsPerStep == 0) mngr.commitStep();
    }
    const uint32_t end = static_cast<uint32_t>(mngr.committed());
    for (uint32_t pos = 0; pos < end; pos += kBlockSize) {
      const uint32_t n = std::min(kBlockSize, end - pos);
      mngr.readAt(pos, block.data(), n);
      BlockPack(block.data(), n, packed);
    }
    benchmark::DoNotOptimize(packed.data());
  }
  state.counters["packets/s"] =
      benchmark::Counter(static_cast<double>(kFreshPackets) * state.iterations(), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(int64_t{kFreshPackets} * (size + 2) * state.iterations());
}
BENCHMARK(BM_AppendFreshAndPack)->Unit(benchmark::kMillisecond);

void BM_AppendFreshAndPack_PeerZlib(benchmark::State& state) {
  // The bytes the stream holds: the recorder's own layout, built once.
  CEventMngr mngr(kBlockSize, 1u << 30);
  mngr.setupRecording(nullptr, nullptr, 42, 42);
  mngr.commitStep();
  const auto first = PointsPayload(0);
  const uint32_t size = static_cast<uint32_t>(first.size());
  for (int i = 0; i < kFreshPackets; ++i) {
    mngr.appendPacket(kPcPointsMore, 16, PointsPayload(i & 63).data(), size);
    if ((i + 1) % kPacketsPerStep == 0) mngr.commitStep();
  }
  const uint32_t end = static_cast<uint32_t>(mngr.committed());
  std::vector<uint8_t> bytes(end);
  mngr.readSpan(0, bytes.data(), end);
  // One deflate state reset for every block, as a careful user of zlib keeps it.
  std::vector<uint8_t> packed(compressBound(kBlockSize));
  z_stream z{};
  if (deflateInit(&z, kBlockPackLevel) != Z_OK) state.SkipWithError("deflateInit failed");
  for (auto _ : state) {
    for (uint32_t pos = 0; pos < end; pos += kBlockSize) {
      deflateReset(&z);
      z.next_in = bytes.data() + pos;
      z.avail_in = std::min(kBlockSize, end - pos);
      z.next_out = packed.data();
      z.avail_out = static_cast<uInt>(packed.size());
      deflate(&z, Z_FINISH);
    }
    benchmark::DoNotOptimize(packed.data());
  }
  deflateEnd(&z);
  state.counters["packets/s"] =
      benchmark::Counter(static_cast<double>(kFreshPackets) * state.iterations(), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(int64_t{kFreshPackets} * (size + 2) * state.iterations());
}
BENCHMARK(BM_AppendFreshAndPack_PeerZlib)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tf

BENCHMARK_MAIN();
