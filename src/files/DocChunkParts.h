// What the layer and mask chunks of documents share: the texts of their progress steps and
// warnings, and the name that follows each record.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tf {

class Stream;

// Progress and warning texts (UTF-8; the %s take UTF-8 too).
inline constexpr const char* kDocSavingStep = "%sを保存しています...";
inline constexpr const char* kDocLoadingStep = "%sをロードしています...";
inline constexpr const char* kDocSaveFailedText = "%s (\"%s\") の保存に失敗しました! (err=%d)";
inline constexpr const char* kDocReadFailedText = "%sの読み込みに失敗しました! (err=%d)";
inline constexpr const char* kDocLayerWord = "レイヤ";
// Progress titles of whole-file loads and saves, with kDocPictureWord and the file name.
inline constexpr const char* kDocLoadingTitle = "%sロード中 (%s)";
inline constexpr const char* kDocSavingTitle = "%s保存中 (%s)";
inline constexpr const char* kDocPictureWord = "画像";
inline constexpr const char* kDocMaskWord = "マスク";

// printf with up to two strings and one number, in a std::string.
std::string DocFormat(const char* format, std::string_view a, std::string_view b = {}, int32_t number = 0);
std::string DocFormatCode(const char* format, std::string_view a, int32_t number);
// The file name part of a path, for titles.
std::string DocFileNameOf(const std::string& path);

// The most name bytes a record carries (its length field is 16 bits, the zero included).
inline constexpr size_t kMaxChunkNameBytes = 65534;
// The name as written: up to its first zero byte, cut to kMaxChunkNameBytes on a character
// boundary (code page 932).
std::string ChunkNameOf(const std::string& name);
// Name length field (bytes with the zero) and the bytes written after the record (rounded up to 4).
inline uint16_t ChunkNameLength(const std::string& written) { return static_cast<uint16_t>(written.size() + 1); }
inline uint32_t ChunkNameSpan(const std::string& written) {
  return (static_cast<uint32_t>(written.size()) + 4) & ~3u;
}
// Writes the name, its zero and padding to a multiple of 4; false on a short write.
bool WriteChunkName(Stream& stream, const std::string& written);

// Checks the chunk size of a record of 72 bytes followed by its name: at least 72 and no more
// than the longest name's span. The record's name length is not compared: the name is the rest
// of the chunk. 0 or kFileChunkSize.
uint8_t CheckNamedRecordSize(uint32_t chunkSize, uint32_t nameLength);

// Tiles across and down that a store of the side needs (ceil), for side >= 1.
inline int64_t TilesFor(int64_t side, int64_t tile) { return (side + tile - 1) / tile; }
// A store's geometry as a record gives it: tiles of `tile` pixels, sides of at least 1, tile
// counts that agree with the sides. False when anything disagrees.
bool TiledGeometryAgrees(int32_t tileWidth, int32_t tileHeight, int32_t across, int32_t down, int32_t width,
                         int32_t height, int32_t tile);
// Whether the store's bytes (tile count x 4096) fit the store's 32-bit byte size.
bool TiledBytesFit(int32_t across, int32_t down);

}  // namespace tf
