// CEventMngr: recording of filters (classes 32 to 35 by the size of their parameters, and 38
// for a parameter block), the floor filter with its textures.
#include "events/EventStream.h"
#include "events/RecordSources.h"
#include "raster/FlatImage.h"

namespace tf {

bool CEventMngr::writeFilter0(uint8_t id, int16_t layer, int16_t value) {
  if (FilterClassOfId(id) != kPcFilter0) return false;
  SLayerValuePacket p{};
  p.layer = layer;
  p.value = value;
  return recordCommand(RecordGroup::kAll, kPcFilter0, id, &p, sizeof p);
}

bool CEventMngr::writeFilter2(uint8_t id, int16_t layer, int16_t value, const int32_t params[2]) {
  if (FilterClassOfId(id) != kPcFilter2 || !params) return false;
  SLayerValue2Packet p{};
  p.layer = layer;
  p.value = value;
  p.a = params[0];
  p.b = params[1];
  return recordCommand(RecordGroup::kAll, kPcFilter2, id, &p, sizeof p);
}

bool CEventMngr::writeFilter4(uint8_t id, int16_t layer, int16_t value, const int32_t params[4]) {
  if (FilterClassOfId(id) != kPcFilter4 || !params) return false;
  SLayerValue4Packet p{};
  p.layer = layer;
  p.value = value;
  for (int i = 0; i < 4; ++i) p.p[i] = params[i];
  return recordCommand(RecordGroup::kAll, kPcFilter4, id, &p, sizeof p);
}

bool CEventMngr::writeFilter6(uint8_t id, int16_t layer, int16_t value, const int32_t params[6]) {
  if (FilterClassOfId(id) != kPcFilter6 || !params) return false;
  SLayerValue6Packet p{};
  p.layer = layer;
  p.value = value;
  for (int i = 0; i < 6; ++i) p.p[i] = params[i];
  return recordCommand(RecordGroup::kAll, kPcFilter6, id, &p, sizeof p);
}

bool CEventMngr::writeFilterBlock(uint8_t id, const SFilterBlock& block, const void* data) {
  if (id != 39 && id != 51 && id != 54 && id != 74) return false;
  const uint16_t n = block.dataLength;
  if (n > 0 && !data) return false;
  return recordCommand(RecordGroup::kAll, kPcFilterBlock, id, &block, sizeof block, data, n);
}

bool CEventMngr::writeFloorFilter(int16_t layer, int16_t value, const uint8_t values[63],
                                  uint16_t ceilingTextureField, uint16_t floorTextureField,
                                  const SRecordedImage* floorTexture, const SRecordedImage* wallTexture) {
  if (!values) return false;
  if (state != kEventRecording) return true;
  if (!writeAllState()) return false;
  // The textures taken from image files travel ahead of the filter in its step.
  if (floorTexture &&
      (!floorTexture->image || !appendImagePacket(kPcState, kStFloorTexture, layer, *floorTexture->image,
                                                  floorTexture->name, nullptr, false)))
    return false;
  if (wallTexture &&
      (!wallTexture->image || !appendImagePacket(kPcState, kStWallTexture, layer, *wallTexture->image,
                                                 wallTexture->name, nullptr, false)))
    return false;
  SFilterBlock block{};
  InitFilterBlock(block, layer, value, 1, kFloorItemSize);
  block.firstTextureField = ceilingTextureField;
  block.secondTextureField = floorTextureField;
  return recordCommand(RecordGroup::kNone, kPcFilterBlock, kFilterFloor, &block, sizeof block, values,
                       kFloorItemSize);
}

}  // namespace tf
