// Event packets: the header, the payload records and their sizes.
#pragma once
// The event packet stream: a plain sequence of packets, each a class byte, a code byte and a
// payload whose length is fixed by (class, code) or held in a fixed part at its start.
// Everything is little-endian. The payload records below are the one definition of their
// layouts; their fields are byte arrays, so the records have no padding and read the same on
// any host.
#include <cstddef>
#include <cstdint>

#include "platform/ByteOrder.h"

namespace tf {

// A little-endian field of a stored record.
template <typename T>
struct PacketField {
  uint8_t bytes[sizeof(T)];

  T get() const { return LoadLE<T>(bytes); }
  void set(T value) { StoreLE(bytes, value); }
  operator T() const { return get(); }
  PacketField& operator=(T value) {
    set(value);
    return *this;
  }
};
using PfU16 = PacketField<uint16_t>;
using PfI16 = PacketField<int16_t>;
using PfU32 = PacketField<uint32_t>;
using PfI32 = PacketField<int32_t>;
using PfF32 = PacketField<float>;
static_assert(sizeof(PfI32) == 4 && alignof(PfI32) == 1);

// ---------------------------------------------------------------------------------------------
// Frame

// Packet classes.
enum PacketClass : uint8_t {
  kPcState = 0,
  kPcInfo = 1,
  kPcPaper = 2,
  kPcLayer = 4,
  kPcLinkGroup = 5,
  kPcFill = 6,
  kPcMask = 10,
  kPcImage = 12,
  kPcChannel = 13,
  kPcStrokeStart0 = 16,   // engine 0
  kPcPointsMore = 17,     // points, more follow
  kPcPointsLast = 18,     // points, last packet of the stroke
  kPcStrokeStart0i = 20,  // engine 0, interpolation mode 0
  kPcStrokeStart1 = 21,
  kPcStrokeStart1i = 22,
  kPcStrokeStart2 = 23,
  kPcStrokeStart2i = 24,
  kPcFilter0 = 32,      // 4-byte filter parameters
  kPcFilter2 = 33,      // 12 bytes
  kPcFilter4 = 34,      // 20 bytes
  kPcFilter6 = 35,      // 28 bytes
  kPcFilterBlock = 38,  // SFilterBlock and its data
  kPcStrokeStart4 = 48,
  kPcStrokeStart4i = 49,
};

struct SPacketHeader {
  uint8_t cls;
  uint8_t code;
};
static_assert(sizeof(SPacketHeader) == 2);

constexpr uint32_t kPacketHeaderSize = 2;

// Class-0 state record codes.
enum StateCode : uint8_t {
  kStAppState = 0,
  kStPaperColor = 2,
  kStBackground = 3,
  kStGradPoints = 4,
  kStGradOptions = 5,
  kStActiveLayer = 8,
  kStFlagWord = 12,
  kStPressure = 13,
  kStPenColor = 16,
  kStPenSize = 17,
  kStPenDynamics = 18,
  kStFont = 32,
  kStText = 33,
  kStToneDefinition = 36,
  kStToneReference = 37,
  kStGradColors = 40,
  kStShapeDefinition = 44,
  kStShapeReference = 45,
  kStNibFalloff = 48,
  kStNibColors = 50,
  kStNibShape = 52,
  kStNibFlags = 53,
  kStPenParamsA = 56,
  kStPenParamsB = 57,
  kStPaintSwitches = 58,
  kStStrokeDynamics = 60,
  kStFloorTexture = 128,
  kStWallTexture = 129,
  kStColorRange = 136,
};

// Markers of class 2.
constexpr uint8_t kPaperNewDocumentOld = 0;
constexpr uint8_t kPaperNewDocument = 8;
constexpr uint8_t kPaperStartMarker = 254;
constexpr uint8_t kPaperEndMarker = 255;  // "EventFin"

// Flag word (class 0 code 12).
enum FlagWordBit : uint16_t {
  kFlagSelectionEnabled = 0x0001,
  kFlagTone = 0x0002,
  kFlagAlphaKeep = 0x0004,  // read only from recordings older than version 206
  kFlagGradation = 0x0008,
  kFlagProtected = 0x8000,
};

// Version of what is recorded.
constexpr uint16_t kAppVersionMajor = 4;
constexpr uint16_t kAppVersionMinor = 58;
// The last version whose recordings play the older ellipse packets (fill 6/3, selection 10/17)
// as the older ellipse; the player plays them as the newer in recordings of later versions.
constexpr uint16_t kOlderEllipseVersionMajor = 3;
constexpr uint16_t kOlderEllipseVersionMinor = 5;
constexpr int32_t kOlderEllipseAppVersion = kOlderEllipseVersionMajor * 100 + kOlderEllipseVersionMinor;
constexpr uint8_t kStreamVersion = 43;

// Byte length of a string field for a string of len bytes: the string, its terminator, and
// the total rounded down to even.
constexpr uint32_t PacketStringLength(uint32_t len) { return (len + 2) & ~uint32_t{1}; }
// n rounded up to even.
constexpr uint32_t RoundUpEven(uint32_t n) { return (n + 1) & ~uint32_t{1}; }

// ---------------------------------------------------------------------------------------------
// Payload length

// How the payload length of one (class, code) is found: fixed + multiplier x the field at
// fieldOffset of the payload (no field when fieldSize is 0). Field kinds: unsigned 16-bit or
// signed 32-bit.
struct SPacketLengthRule {
  int32_t fixed = 0;
  int32_t fieldOffset = 0;
  int32_t fieldSize = 0;  // 0, 2 (uint16) or 4 (int32)
  int32_t multiplier = 0;
  // Bytes of the payload needed to know the length.
  int32_t fixedPartSize() const { return fieldSize ? fieldOffset + fieldSize : 0; }
};

// The rule for (class, code); false for a pair that is not a packet.
bool GetPacketLengthRule(uint8_t cls, uint8_t code, SPacketLengthRule& rule);

// The payload length of a packet whose first `available` payload bytes are given: -1 for an
// unknown pair, a fixed part not all there, or a negative or oversized variable part.
int32_t PacketLengthFromBytes(uint8_t cls, uint8_t code, const uint8_t* payload, size_t available);

// ---------------------------------------------------------------------------------------------
// Shared shapes

struct SPacketPoint {  // two int32
  PfI32 x;
  PfI32 y;
};
static_assert(sizeof(SPacketPoint) == 8);

struct SPacketRect {  // left, top, right, bottom
  PfI32 left;
  PfI32 top;
  PfI32 right;
  PfI32 bottom;
};
static_assert(sizeof(SPacketRect) == 16);

// int16 layer, int16 value (mask, alpha, target index, 0...).
struct SLayerValuePacket {
  PfI16 layer;
  PfI16 value;
};
static_assert(sizeof(SLayerValuePacket) == 4);

// int16 layer, int16 value, two int32.
struct SLayerValue2Packet {
  PfI16 layer;
  PfI16 value;
  PfI32 a;
  PfI32 b;
};
static_assert(sizeof(SLayerValue2Packet) == 12);

// int16 layer, int16 value, four int32 (filters of class 34).
struct SLayerValue4Packet {
  PfI16 layer;
  PfI16 value;
  PfI32 p[4];
};
static_assert(sizeof(SLayerValue4Packet) == 20);

// int16 layer, int16 value, six int32 (filters of class 35).
struct SLayerValue6Packet {
  PfI16 layer;
  PfI16 value;
  PfI32 p[6];
};
static_assert(sizeof(SLayerValue6Packet) == 28);

// ---------------------------------------------------------------------------------------------
// Class 0, state records

struct SAppStateRecord {  // code 0
  PfU16 major;
  PfU16 minor;
  PfU16 extFlagsVersion;  // must be 0
  uint8_t zero[6];
};
static_assert(sizeof(SAppStateRecord) == 12);

struct SColorRecord {  // code 2 (flags 0), code 3 (flags: 0x01 canvas colour hidden, 0x02 pattern)
  uint8_t rgb[3];      // the colour's three low bytes, low byte first
  uint8_t flags;
};
static_assert(sizeof(SColorRecord) == 4);
constexpr uint8_t kBackgroundCanvasHidden = 0x01;
constexpr uint8_t kBackgroundPattern = 0x02;

struct SGradPointsRecord {  // code 4
  SPacketPoint start;
  SPacketPoint end;
};
static_assert(sizeof(SGradPointsRecord) == 16);

struct SGradOptionsRecord {  // code 5; code 40 holds the slot byte count in slotBytes
  uint8_t shape;
  uint8_t repeat1;
  uint8_t repeat2;
  uint8_t zero0;
  PfI16 repeatCount;
  PfU16 slotBytes;  // 0 in code 5
  uint8_t zero[4];
};
static_assert(sizeof(SGradOptionsRecord) == 12);
constexpr uint32_t kGradSlotSize = 24;

struct SActiveLayerRecord {  // code 8; -1: the current one at playback
  PfI16 layer;
  PfI16 mask;
};
static_assert(sizeof(SActiveLayerRecord) == 4);

struct SFlagWordRecord {  // code 12
  PfU16 flags;
};
static_assert(sizeof(SFlagWordRecord) == 2);

struct SPressureRecord {  // code 13: 0x01 size, 0x02 opacity, 0x04 edge
  PfU16 flags;
};
static_assert(sizeof(SPressureRecord) == 2);

struct SPenColorRecord {  // code 16
  uint8_t rgb[3];
  uint8_t penType;
  PfF32 opacity;
};
static_assert(sizeof(SPenColorRecord) == 8);

struct SPenSizeRecord {  // code 17
  PfF32 width;
  PfF32 minimumSize;
};
static_assert(sizeof(SPenSizeRecord) == 8);

struct SPenDynamicsRecord {  // code 18
  PfF32 effect;
  PfF32 env;
  PfF32 speed;
  PfF32 gamma;
  PfF32 spacing;
  uint8_t mapSelector;
  uint8_t zero;
};
static_assert(sizeof(SPenDynamicsRecord) == 22);

struct SFontRecord {    // code 32
  uint8_t logFont[60];  // LOGFONTA
  PfI16 layout1;
  PfI16 layout2;
  PfI16 zero1;
  PfI16 zero2;
};
static_assert(sizeof(SFontRecord) == 68);

struct STextRecordHeader {  // code 33, then n bytes of text
  PfU16 n;
};
static_assert(sizeof(STextRecordHeader) == 2);

// Tone or pattern definition, code 36, then n packed bytes of the tile.
struct SToneDefinition {
  PfU32 key;
  uint8_t zero0[8];
  PfU16 bitsPerPixel;  // 8
  PfU16 kind;          // 0 image pattern, 1 screen tone
  PfU16 nameLength;    // at most 64
  PfU16 one;           // 1
  PfU16 flags;         // 0x0100 image pattern, 0x0002 inverted, 0x0001 tone switch
  uint8_t zero1[2];
  PfI32 scale;
  PfI32 offsetX;
  PfI32 offsetY;
  PfI32 tileWidth;
  PfI32 tileHeight;
  uint8_t zero2[8];
  PfI32 toneAttributes[6];
  uint8_t zero3[8];
  char name[64];
  PfI32 tileBytes;
  PfI32 packedLength;
  PfI32 n;  // packed length rounded up to even; 0 without a tile
};
static_assert(sizeof(SToneDefinition) == 160);
static_assert(offsetof(SToneDefinition, name) == 84 && offsetof(SToneDefinition, n) == 156);
constexpr uint16_t kToneFlagSwitch = 0x0001;
constexpr uint16_t kToneFlagInverted = 0x0002;
constexpr uint16_t kToneFlagImagePattern = 0x0100;

struct SToneReference {  // code 37
  PfU32 key;
  PfI16 kind;
  PfI16 toneValue;
  PfU16 flags;  // 0x01 inverted, 0x02 screen tone
  PfI16 scale;
  PfI32 offsetX;
  PfI32 offsetY;
};
static_assert(sizeof(SToneReference) == 20);

// Pen-shape definition, code 44, then n packed bytes of the channel.
struct SShapeDefinition {
  PfU32 key;
  PfI16 scale;  // percent
  uint8_t zero0[2];
  PfI16 nibValue1;
  PfI16 nibValue2;
  uint8_t zero1[8];
  PfI32 width;
  PfI32 height;
  PfI32 channelBytes;
  PfI32 packedLength;
  PfI32 n;
};
static_assert(sizeof(SShapeDefinition) == 40);
static_assert(offsetof(SShapeDefinition, n) == 36);

struct SShapeReference {  // code 45
  PfU32 key;
  uint8_t zero0[2];
  PfI16 scale;
  uint8_t zero1[8];
  PfI32 width;
  PfI32 height;
};
static_assert(sizeof(SShapeReference) == 24);

struct SNibFalloffRecord {  // code 48
  PfU16 kind;
  PfU16 value1;
  PfU16 value2;
  PfU16 zero;
};
static_assert(sizeof(SNibFalloffRecord) == 8);

struct SNibColorsRecord {  // code 50
  PfU32 color1;
  PfU32 color2;
};
static_assert(sizeof(SNibColorsRecord) == 8);

struct SNibShapeRecord {  // code 52: the renderer's nib values 0, 3, 1, 2 in this order
  PfU16 nib0;
  PfU16 nib3;
  PfU16 nib1;
  PfU16 nib2;
  uint8_t imageNib;  // 1 when an image nib is in use
  uint8_t zero0;
  PfU16 zero1;
};
static_assert(sizeof(SNibShapeRecord) == 12);

struct SNibFlagsRecord {  // code 53
  PfU32 flags;
  uint8_t zero[8];
};
static_assert(sizeof(SNibFlagsRecord) == 12);

struct SPenParamsARecord {  // code 56
  uint8_t byte3Set;         // 1 when byte 3 of the pen parameters is non-zero
  uint8_t params[3];        // bytes 0, 1, 2 of the pen parameters
  uint8_t zero[4];
};
static_assert(sizeof(SPenParamsARecord) == 8);

struct SPenParamsBRecord {  // code 57: the pen parameters' words 1, 2, 3
  PfU32 words[3];
  PfU32 zero;
};
static_assert(sizeof(SPenParamsBRecord) == 16);

struct SPaintSwitchesRecord {  // code 58: 0x01 gradation, 0x02 screen tone
  PfU16 flags;
  PfU16 zero;
};
static_assert(sizeof(SPaintSwitchesRecord) == 4);

struct SStrokeDynamicsRecord {  // code 60
  PfU16 flags;                  // 0x01 pressure to size, 0x02 pressure to opacity
  PfU16 opacity1000;
  PfU16 zero0;
  PfU16 gamma100;
  PfU16 spacing1000;
  PfU16 value5;
  PfU16 value6;
  PfU16 zero1;
};
static_assert(sizeof(SStrokeDynamicsRecord) == 16);

// Colour-range record, code 136: int32 n = 20 + 8k, this header (first int32 k), k ranges.
struct SColorRangeHeader {
  PfI32 count;  // k
  uint8_t rest[16];
};
static_assert(sizeof(SColorRangeHeader) == 20);
constexpr uint32_t kColorRangeSize = 8;

// ---------------------------------------------------------------------------------------------
// Class 1, information: int32 n, then n bytes. Code 17: the start time.

struct SInfoHeader {
  PfI32 n;
};
static_assert(sizeof(SInfoHeader) == 4);
constexpr uint8_t kInfoStartTime = 17;

// ---------------------------------------------------------------------------------------------
// Image packet: class 12 codes 1, 2; class 0 codes 128, 129.

struct SImagePacketHeader {
  PfI16 layer;
  PfI32 width;
  PfI32 height;
  uint8_t bitsPerPixel;   // 32
  uint8_t hasAttributes;  // 1: a 72-byte layer-attribute record follows
  PfI32 length;           // attributes + name + pixels, rounded up to even
  PfI16 nameLength;       // with terminator, rounded up to even; 0 for none
  PfI32 pixelBytes;       // width x height x 4
};
static_assert(sizeof(SImagePacketHeader) == 22);
static_assert(offsetof(SImagePacketHeader, length) == 12);
constexpr uint32_t kImageAttributeSize = 72;

// ---------------------------------------------------------------------------------------------
// Class 2, paper and canvas

struct SNewDocumentOldPacket {  // code 0
  PfI32 canvasWidth;
  PfI32 canvasHeight;
  PfI32 layerWidth;
  PfI32 layerHeight;
};
static_assert(sizeof(SNewDocumentOldPacket) == 16);

struct SPaperColorPacket {  // code 1
  PfI32 color;
};
static_assert(sizeof(SPaperColorPacket) == 4);

struct SCanvasSizePacket {  // code 2
  uint8_t place1;
  uint8_t place2;
  PfI32 width;
  PfI32 height;
};
static_assert(sizeof(SCanvasSizePacket) == 10);

struct SResolutionPacket {  // codes 3, 9
  PfU16 mode;
  PfI32 width;
  PfI32 height;
};
static_assert(sizeof(SResolutionPacket) == 10);

struct SCropCanvasOldPacket {  // code 6
  PfI16 layer;
  SPacketRect rect;
};
static_assert(sizeof(SCropCanvasOldPacket) == 18);

struct SNewDocumentPacket {  // code 8
  PfI32 canvasWidth;
  PfI32 canvasHeight;
  PfI32 layerWidth;
  PfI32 layerHeight;
  PfI32 documentValue;
  uint8_t showCanvasColor;  // 0xFF shown, else 0
  uint8_t opaqueLayer;      // 0xFF opaque first layer, 0 transparent
  PfU16 zero0;
  PfU32 zero1;
};
static_assert(sizeof(SNewDocumentPacket) == 28);

struct SCropCanvasPacket {  // code 11
  PfI16 layer;
  PfI16 mode;
  SPacketRect rect;
};
static_assert(sizeof(SCropCanvasPacket) == 20);

// ---------------------------------------------------------------------------------------------
// Class 4, layer

// Layer flags of the layer packets.
constexpr uint16_t kLayerFlagVisible = 0x01;
constexpr uint16_t kLayerFlagProtect = 0x02;
constexpr uint16_t kLayerFlagClip = 0x10;

struct SNewLayerPacket {  // code 0
  PfI16 position;
  PfI32 width;
  PfI32 height;
  uint8_t blendMode;
  uint8_t opacity;
  PfU16 flags;
};
static_assert(sizeof(SNewLayerPacket) == 14);

struct SOffsetLayerPacket {  // codes 6 (bytes 0) and 7
  PfI16 layer;
  uint8_t b1;
  uint8_t b2;
  PfI32 dx;
  PfI32 dy;
};
static_assert(sizeof(SOffsetLayerPacket) == 12);

struct SNewNamedLayerPacket {  // code 11, then n bytes of name
  PfI16 position;
  PfI32 width;
  PfI32 height;
  uint8_t zero0[8];
  uint8_t blendMode;
  uint8_t opacity;
  PfU16 flags;
  PfU32 fillValue;
  uint8_t zero1[14];
  PfU16 n;
};
static_assert(sizeof(SNewNamedLayerPacket) == 42);
static_assert(offsetof(SNewNamedLayerPacket, n) == 40);

struct SOffsetInMaskPacket {  // codes 12 (value2 0) and 13
  PfI16 layer;
  PfI16 value;
  SPacketPoint point;
  PfI16 value2;
  uint8_t zero[6];
};
static_assert(sizeof(SOffsetInMaskPacket) == 20);

struct SLayerAttrPacket {  // codes 16, 17, 18, 20
  PfI16 layer;
  uint8_t blendMode;
  uint8_t opacity;
  PfU16 flags;
};
static_assert(sizeof(SLayerAttrPacket) == 6);

struct SNamePacketHeader {  // class 4 code 19, class 10 code 12: then n bytes of name
  PfI16 index;
  PfU16 n;
};
static_assert(sizeof(SNamePacketHeader) == 4);

struct SLayerOptionsPacket {  // code 21
  SLayerAttrPacket attr;
  uint8_t extra;
  uint8_t zero0;
  PfI32 seed;
  uint8_t zero1[6];
};
static_assert(sizeof(SLayerOptionsPacket) == 18);

struct SRotateLayerPacket {  // code 38
  PfI16 layer;
  PfI16 value;
  PfF32 angle;
  PfI32 unused;
};
static_assert(sizeof(SRotateLayerPacket) == 12);

struct SLayerSwitchPacket {  // codes 48-51
  PfI16 layer;
  PfI16 value;
  uint8_t on;
  uint8_t zero[3];
  PfI32 param;
};
static_assert(sizeof(SLayerSwitchPacket) == 12);

// ---------------------------------------------------------------------------------------------
// Class 5, link group

struct SLinkGroupPacket {  // codes 0, 1, then two arrays of count bytes
  PfI16 layer;
  PfI32 count;
  uint8_t one;  // 1
  uint8_t two;  // 2
  uint8_t zero0[4];
  PfI32 n;  // 2 x count
  uint8_t zero1[8];
};
static_assert(sizeof(SLinkGroupPacket) == 24);
static_assert(offsetof(SLinkGroupPacket, n) == 12);

struct SLinkGroupOffsetPacket {  // codes 9, 10
  PfI16 layer;
  PfI16 value;
  SPacketPoint point;
  PfI32 a;
  PfI32 b;
};
static_assert(sizeof(SLinkGroupOffsetPacket) == 20);

// ---------------------------------------------------------------------------------------------
// Class 6, fill

struct SFillPacket {  // codes 0-3, 5, 6
  PfI16 layer;
  PfI32 value;
  SPacketPoint first;
  PfF32 secondX;
  PfF32 secondY;
};
static_assert(sizeof(SFillPacket) == 22);

struct SFillPolygonHeader {  // code 4, then k points
  PfI16 layer;
  PfU16 count;
};
static_assert(sizeof(SFillPolygonHeader) == 4);

// ---------------------------------------------------------------------------------------------
// Class 10, mask and selection

struct SSelectShapePacket {  // codes 16, 17, 19
  PfI16 layer;
  PfI16 value;
  uint8_t combine;
  uint8_t zero;
  SPacketPoint first;
  SPacketPoint second;
};
static_assert(sizeof(SSelectShapePacket) == 22);

struct SSelectPolygonHeader {  // code 18, then k points
  PfI16 layer;
  PfI16 value;
  uint8_t combine;
  uint8_t zero;
  PfU16 count;
};
static_assert(sizeof(SSelectPolygonHeader) == 8);

// ---------------------------------------------------------------------------------------------
// Class 13, operations through a channel: header, then n packed bytes of the channel.

struct SChannelPacket {  // codes 0, 1, 4, 16, 17, 32
  PfI16 layer;
  PfI16 value;
  SPacketPoint origin;
  SPacketPoint point;
  uint8_t kind;
  uint8_t setting1;
  uint8_t setting2;
  uint8_t setting3;
  PfI16 setting4;
  SPacketRect rect;
  PfI32 n;  // packed length rounded up to even
  PfI32 channelBytes;
  PfI32 packedLength;
};
static_assert(sizeof(SChannelPacket) == 54);
static_assert(offsetof(SChannelPacket, rect) == 26 && offsetof(SChannelPacket, n) == 42);

struct SChannelPacketEx {  // codes 2, 3, 5
  PfI16 layer;
  PfI16 value;
  SPacketPoint points[3];
  uint8_t zero0[8];
  uint8_t kind;
  uint8_t setting1;
  uint8_t setting2;
  uint8_t setting3;
  PfI16 setting4;
  uint8_t zero1[2];
  SPacketRect rect;
  PfI32 n;
  PfI32 channelBytes;
  PfI32 packedLength;
};
static_assert(sizeof(SChannelPacketEx) == 72);
static_assert(offsetof(SChannelPacketEx, rect) == 44 && offsetof(SChannelPacketEx, n) == 60);

// Channel kind of each class-13 code; -1 for a code that is not a channel packet.
int ChannelKindOfCode(uint8_t code);

// ---------------------------------------------------------------------------------------------
// Strokes

struct SStrokeStartPacket {  // classes 16, 20-24, 48, 49, code 0
  PfI16 layer;
  PfI16 mask;
};
static_assert(sizeof(SStrokeStartPacket) == 4);

struct SPenPoint {  // classes 17, 18: code k, k of these
  PfF32 x;
  PfF32 y;
  PfF32 pressure;
};
static_assert(sizeof(SPenPoint) == 12);
constexpr int kMaxPointsPerPacket = 16;

// The stroke engine of a stroke-start class (0, 1, 2 or 4), -1 for another class.
int StrokeEngineOfClass(uint8_t cls);
// True for the stroke-start classes drawn with interpolation mode 0 (20, 22, 24, 49).
bool IsInterpolationZeroClass(uint8_t cls);
// True for every stroke-start class.
inline bool IsStrokeStartClass(uint8_t cls) { return StrokeEngineOfClass(cls) >= 0; }

// ---------------------------------------------------------------------------------------------
// Filters: class 32 SLayerValuePacket, 33 SLayerValue2Packet, 34 SLayerValue4Packet,
// 35 SLayerValue6Packet, 38 SFilterBlock and its data.

struct SFilterBlock {
  PfI16 layer;
  PfI16 value;
  PfU16 dataLength;  // item size x count
  PfU16 count;
  PfU16 itemSize;
  uint8_t zero0[8];
  // Floor filter: the first 16-bit fields of the floor record's two texture records, in the
  // record's order (the ceiling's, then the floor's).
  PfU16 firstTextureField;
  PfU16 secondTextureField;
  uint8_t zero1[28];
};
static_assert(sizeof(SFilterBlock) == 50);
static_assert(offsetof(SFilterBlock, firstTextureField) == 18);

constexpr uint8_t kFilterFloor = 40;
constexpr uint16_t kFloorItemSize = 63;

// Clears the block and sets layer, value, count, item size and data length (count x size).
void InitFilterBlock(SFilterBlock& block, int16_t layer, int16_t value, uint16_t count, uint16_t itemSize);

// The packet class of a filter event id (32, 33, 34, 35 or 38), 0 for an unknown id.
uint8_t FilterClassOfId(uint8_t id);

}  // namespace tf
