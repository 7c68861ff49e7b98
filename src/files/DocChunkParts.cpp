#include "files/DocChunkParts.h"

#include <cstdio>
#include <filesystem>
#include <limits>

#include "platform/Stream.h"
#include "platform/Text.h"
#include "raster/ChunkStream.h"

namespace tf {

std::string DocFileNameOf(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

std::string DocFormat(const char* format, std::string_view a, std::string_view b, int32_t number) {
  const std::string first(a);
  const std::string second(b);
  const int length = std::snprintf(nullptr, 0, format, first.c_str(), second.c_str(), number);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, first.c_str(), second.c_str(), number);
  text.resize(static_cast<size_t>(length));
  return text;
}

std::string DocFormatCode(const char* format, std::string_view a, int32_t number) {
  const std::string first(a);
  const int length = std::snprintf(nullptr, 0, format, first.c_str(), number);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, first.c_str(), number);
  text.resize(static_cast<size_t>(length));
  return text;
}

std::string ChunkNameOf(const std::string& name) {
  std::string_view view(name.c_str());  // up to the first zero byte
  if (view.size() > kMaxChunkNameBytes) view = view.substr(0, Cp932FitLength(view, kMaxChunkNameBytes));
  return std::string(view);
}

bool WriteChunkName(Stream& stream, const std::string& written) {
  static const uint8_t kZeros[4] = {};
  const uint32_t span = ChunkNameSpan(written);
  return stream.WriteExact(written.data(), static_cast<int64_t>(written.size())) &&
         stream.WriteExact(kZeros, span - static_cast<int64_t>(written.size()));
}

uint8_t CheckNamedRecordSize(uint32_t chunkSize, uint32_t nameLength) {
  // The name is the chunk's bytes after the record, up to the first zero: the record's own name
  // length field is written but never trusted (a layer whose field disagrees is still read).
  (void)nameLength;
  constexpr uint32_t kRecord = 72;
  constexpr uint32_t kLongestSpan = (kMaxChunkNameBytes + 4) & ~3u;
  if (chunkSize < kRecord) return kFileChunkSize;
  const uint32_t body = chunkSize - kRecord;
  if (body > kLongestSpan) return kFileChunkSize;
  return kFileOk;
}

bool TiledGeometryAgrees(int32_t tileWidth, int32_t tileHeight, int32_t across, int32_t down, int32_t width,
                         int32_t height, int32_t tile) {
  return tileWidth == tile && tileHeight == tile && width >= 1 && height >= 1 &&
         across == TilesFor(width, tile) && down == TilesFor(height, tile);
}

bool TiledBytesFit(int32_t across, int32_t down) {
  const int64_t bytes = int64_t{across} * down * 4096;
  return across >= 1 && down >= 1 && bytes <= std::numeric_limits<int32_t>::max();
}

}  // namespace tf
