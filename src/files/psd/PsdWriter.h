// CPsdWriter: writes a layered PSD file (version 1, 8-bit RGB) from a source of records and
// channels.
#pragma once
// What is written: the header; resources 1005 (resolution), 1006 (names of the extra channels,
// when there are any), 1024 (the active layer) and 1036 (a JPEG thumbnail, when there is
// one); the layer records with their PackBits channel data; the merged picture
// in PackBits. Lengths are counted in 64 bits and refused (kPsdTooLarge) past 32 bits.
#include <cstdint>
#include <string>
#include <vector>

#include "files/psd/PsdRecords.h"
#include "raster/FlatImage.h"

namespace tf {

class Stream;

// What the writer asks of its caller, in this order: the extra channels' names, the thumbnail,
// every layer record with its channel ids, every layer's channel data, every merged channel.
// Each answers false for failure (the write then fails with kPsdCallback).
class PsdWriteSource {
 public:
  virtual ~PsdWriteSource() = default;
  virtual bool LayerRecord(int32_t index, SPsdLayerRecord& record) = 0;
  virtual bool LayerChannelId(int32_t layer, int32_t number, int32_t& id) = 0;
  // channel.number in (colour channels come first); id and name out.
  virtual bool ExtraChannelInfo(SPsdChannel& channel) = 0;
  // channel.layer, number, id, width and height in; pixels of width x height out.
  virtual bool LayerChannelData(SPsdChannel& channel) = 0;
  // channel.number and rect in; pixels of the canvas out.
  virtual bool MergedChannelData(SPsdChannel& channel) = 0;
  // The thumbnail picture (B, G, R, A, rows top to bottom); false when there is none.
  virtual bool Thumbnail(const TMTC*& image) = 0;
};

class CPsdWriter {
 public:
  // The writer version (the psdSaveVer setting, 3 to 7): 6 and 7 add the Unicode name ('luni')
  // and the layer id ('lyid') of every layer.
  void SetOption(int32_t version) { version_ = version; }
  int32_t Version() const { return version_; }
  // The header to write: width, height, resolution, all channels (3 to 56), layer count, active
  // layer. kPsdBadSize for values the file cannot carry.
  uint8_t SetHeader(const SPsdHeader& header);
  // Writes the file beside the path and renames it over the path when complete; the file that
  // was there stays as it was on any failure.
  uint8_t Write(const std::string& path, PsdWriteSource& source);
  // Writes into a stream that can seek back (lengths are filled in afterwards).
  uint8_t WriteStream(Stream& stream, PsdWriteSource& source);

  // Bytes of channel data PackBits took in and gave out during the last write.
  int64_t PackedInput() const { return packedInput_; }
  int64_t PackedOutput() const { return packedOutput_; }

 private:
  uint8_t WriteResources(Stream& stream, PsdWriteSource& source);
  uint8_t WriteLayers(Stream& stream, PsdWriteSource& source);
  uint8_t WriteMerged(Stream& stream, PsdWriteSource& source);
  // Packs rows of a width x height plane into packedRows_ (counts in rowCounts_); false when a
  // row cannot carry its count in 16 bits.
  bool PackPlane(const uint8_t* pixels, int64_t width, int64_t height);

  int32_t version_ = 6;
  bool hasHeader_ = false;
  SPsdHeader header_;
  std::vector<uint8_t> packedRows_;
  std::vector<uint16_t> rowCounts_;
  int64_t packedInput_ = 0;
  int64_t packedOutput_ = 0;
};

}  // namespace tf
