// CPlayer: startPlay, the step loop, stroke stepping, checkpoints, the flag walk and stopPlay.
#include "playback/Player.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "document/LayerData.h"
#include "events/ToneSetSources.h"
#include "paint/Gradient.h"
#include "paint/GradientSet.h"
#include "paint/NibPreset.h"
#include "paint/PenRender.h"
#include "paint/Stroke.h"
#include "paint/StrokeMngr.h"
#include "paint/ToneSet.h"
#include "paper/EventFileIO.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "paper/PaperEventFile.h"
#include "platform/Clock.h"
#include "platform/Debug.h"
#include "platform/Stream.h"
#include "platform/Warning.h"
#include "raster/FlatImage.h"

namespace tf {

const char* const kStartPlayTexts[6] = {
    "イベントファイル再生を開始します",
    "何らかのエラーによりイベント再生の開始に失敗しました!",
    "ファイルエラーによりイベント再生の開始に失敗しました!",
    "パケットチェックエラーによりイベント再生の開始に失敗しました!",
    "バージョンエラーによりイベント再生の開始に失敗しました!",
    "保護エラーによりイベント再生の開始に失敗しました!",
};

namespace {

constexpr uint8_t kEventFileVersionError = 12;

bool IsPointsClass(uint8_t cls) { return cls == kPcPointsMore || cls == kPcPointsLast; }
bool IsFilterClass(uint8_t cls) { return (cls >= kPcFilter0 && cls <= kPcFilter6) || cls == kPcFilterBlock; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// The row table

CPlayTable::CPlayTable() : rows_(65536, nullptr) {
  const std::span<const SPlayRow> lists[] = {CorePlayRows(), LayerPlayRows(),  SelectionPlayRows(),
                                             FillPlayRows(), CanvasPlayRows(), FolderPlayRows(),
                                             TextPlayRows()};
  for (const std::span<const SPlayRow>& list : lists) {
    for (const SPlayRow& row : list) {
      const uint16_t key = static_cast<uint16_t>(row.cls * 256u + row.code);
      if (rows_[key] != nullptr) {
        duplicates_.push_back(key);
        continue;
      }
      rows_[key] = &row;
    }
  }
}

const CPlayTable& PlayTable() {
  static const CPlayTable table;
  return table;
}

bool MakeTwoColourGradient(const TStroke& stroke, CColorSlotGroup& stops) {
  stops.Clear();
  if (!stops.SetStop(0, stroke.GetBackColor() & 0xFFFFFFu, 65536, 255)) return false;
  if (!stops.SetStop(1, stroke.GetColor() & 0xFFFFFFu, 65536, 255)) return false;
  return stops.Normalize();
}

// ---------------------------------------------------------------------------------------------
// Construction and the player's objects

CPlayer::CPlayer(TPaper& paper, PlaybackHost* host) : paper_(paper), host_(host), events_(paper.EventMngr()) {
  AddFilterRows(FilterReplayRows());
}

CPlayer::~CPlayer() {
  if (events_ != nullptr && events_->state == kEventPlaying) stopPlay(false);
  freeObjects();
}

bool CPlayer::createObjects() {
  freeObjects();
  try {
    stroke_ = std::make_unique<TStroke>(0);
    baseShape_ = std::make_unique<CPenShapeObj>();
    renderer_ = std::make_unique<CPenRender>(stroke_.get());
    tones_ = std::make_unique<CToneMngr>();
    shapes_ = std::make_unique<PlayedShapes>(*this);
    played_ = std::make_unique<CPlayedToneSet>(*tones_, shapes_.get());
  } catch (const std::bad_alloc&) {
    freeObjects();
    return false;
  }
  SNibShape nib{};
  nib.Init(10.0f);
  renderer_->SetNibShape(nib);
  events_->attachPlayedResources(played_.get());
  if (host_ != nullptr) {
    host_->BindPlayer(this);
    bound_ = true;
  }
  // The document paints with the player's stroke and renderer.
  if (paper_.StrokeMngr() == nullptr) paper_.CreateStrokeMngr();
  if (CStrokeMngr* manager = paper_.StrokeMngr()) {
    manager->SetRender(renderer_.get());
    manager->SetStroke(stroke_.get());
  }
  return true;
}

void CPlayer::freeObjects() {
  if (bound_ && host_ != nullptr) host_->BindPlayer(nullptr);
  bound_ = false;
  if (events_ != nullptr) events_->attachPlayedResources(nullptr);
  if (CStrokeMngr* manager = paper_.StrokeMngr();
      manager != nullptr && renderer_ != nullptr && manager->GetRender() == renderer_.get()) {
    manager->SetRender(paper_.GetPenRender());
    manager->SetStroke(paper_.GetCurrentStroke());
  }
  played_.reset();
  shapes_.reset();
  tones_.reset();
  renderer_.reset();
  imageShape_.reset();
  baseShape_.reset();
  stroke_.reset();
}

CPenShapeObj* CPlayer::PlayShape() const {
  if (events_ != nullptr && events_->playUsesImageShape() && imageShape_ != nullptr) return imageShape_.get();
  return baseShape_.get();
}

bool CPlayer::PlayedShapes::rebuildImageShape(const TChannel& channel, int16_t scale, uint32_t key) {
  if (player_.baseShape_ == nullptr) return false;
  std::unique_ptr<CPenShapeObj> shape(new (std::nothrow) CPenShapeObj());
  if (shape == nullptr) return false;
  // The base shape gives the profile, nib and flag; it is valid once a falloff record was played.
  if (player_.baseShape_->IsValid()) shape->Assign(*player_.baseShape_);
  if (!shape->SetImageCopy(channel, false)) return false;
  shape->SetScale(scale);
  shape->SetSerialId(key);
  player_.imageShape_ = std::move(shape);
  return true;
}

bool CPlayer::PlayedShapes::imageShapeValid() const {
  return player_.imageShape_ != nullptr && player_.imageShape_->IsValid() && player_.imageShape_->IsBitmapNib();
}

void CPlayer::AddFilterRows(std::span<const SFilterReplayRow> rows) {
  for (const SFilterReplayRow& row : rows) {
    auto same = [&](const SFilterReplayRow& r) { return r.cls == row.cls && r.id == row.id; };
    auto it = std::find_if(filterRows_.begin(), filterRows_.end(), same);
    if (it != filterRows_.end())
      *it = row;
    else
      filterRows_.push_back(row);
  }
}

void CPlayer::warn(std::string_view text) const {
  if (host_ != nullptr && host_->QuietMode()) return;
  ShowWarning(text);
}

// ---------------------------------------------------------------------------------------------
// Starting

uint8_t CPlayer::startPlay(const std::string& path) {
  if (events_ == nullptr) return kStartPlayError;
  CPaperEventFileDocument document(paper_);
  const uint8_t loaded = LoadEventFile(path, document);
  if (loaded == kEventFileVersionError) return kStartPlayVersionError;
  if (loaded != 0) return kStartPlayFileError;
  return startLoaded();
}

uint8_t CPlayer::startLoaded() {
  if (events_ == nullptr || !events_->hasStream()) return kStartPlayFileError;
  if (!createObjects()) return kStartPlayError;
  appVersion_ = kVersionBeforeAppState;
  strokeEngine_ = 4;
  activeLayerPlayed = false;
  events_->readPos = events_->playStepStart = events_->playStepCount = 0;
  events_->runFlags = events_->strokeFlags = 0;
  events_->pointCount = events_->pointsDrawn = 0;
  events_->snapshotValid[0] = events_->snapshotValid[1] = events_->snapshotValid[2] = 0;
  events_->clearDictionaries();

  bool isProtected = false;
  if (!setProtected(FlagWalkMode::kQuery, &isProtected)) {
    warn(kBadPacketText);
    freeObjects();
    return kStartPlayPacketError;
  }
  if (isProtected && host_ != nullptr && host_->RenderMode()) {
    freeObjects();
    return kStartPlayProtected;
  }
  events_->protectedStream = isProtected ? 1 : 0;
  paper_.protectedDocument = isProtected ? 1 : 0;

  // The first packet after the leading state and information packets must make the document.
  SPacketHeader first{};
  bool found = false;
  events_->walkPackets(0, events_->writePos(), [&](const SPacketFrame& frame) {
    if (frame.header.cls == kPcState || frame.header.cls == kPcInfo) return true;
    first = frame.header;
    found = true;
    return false;
  });
  const bool makesDocument =
      found && first.cls == kPcPaper && (first.code == kPaperNewDocumentOld || first.code == kPaperNewDocument);
  events_->state = kEventPlaying;
  if (!makesDocument) {
    DebugOutF("player: the stream does not begin with a new document (first command %u, %u)\n", first.cls,
              first.code);
    return kStartPlayError;
  }
  SPacketHeader header{};
  if (stepResult(header) != kPlayStepPlayed || !checkpoint()) return kStartPlayError;
  events_->runFlags |= kRunAfterFirstStep;
  return kStartPlayStarted;
}

// ---------------------------------------------------------------------------------------------
// Packets and steps

bool CPlayer::dispatchPacket(SPacketHeader& header) {
  header = SPacketHeader{0, 0};
  CEventMngr& m = *events_;
  const uint32_t pos = static_cast<uint32_t>(m.readPos);
  uint8_t raw[2] = {0, 0};
  if (m.readAt(pos, raw, 2) != 2) return false;
  header = SPacketHeader{raw[0], raw[1]};
  const uint8_t cls = header.cls;

  if (isStrokeOpen()) {
    // Anything but state, information and points finishes the stroke, which closes its step.
    if (cls != kPcState && cls != kPcInfo && !IsPointsClass(cls)) {
      if (!finishStroke() || !checkpoint()) return false;
    }
  } else if (IsPointsClass(cls)) {
    // Points without a start open a stroke on the active layer with the engine in force.
    openStroke(strokeEngine_, paper_.GetActiveLayerIndex(), false);
  }

  SPacketFrame frame;
  if (!m.readPacketFrame(pos, m.writePos(), frame)) {
    DebugOutF("player: the packet (%u, %u) at 0x%x cannot be read\n", cls, header.code, pos);
    return false;
  }
  if (!payload_.Load(m, frame)) return false;
  m.readPos = static_cast<int32_t>(frame.next());
  m.stepTime = timeGetTime();

  if (IsFilterClass(cls)) return playFilter(frame, payload_);
  const SPlayRow* row = PlayTable().Find(cls, header.code);
  if (row == nullptr) {
    DebugOutF("player: no handler for the packet (%u, %u)\n", cls, header.code);
    return false;
  }
  uint8_t bits = 0;
  TStroke& stroke = *stroke_;
  SPlayCall call{this, paper_, paper_.GetFlowImage(), stroke, m, frame, payload_, appVersion_, bits};
  if (!row->play(call)) {
    DebugOutF("player: %s failed (packet %u, %u at 0x%x)\n", row->name, cls, header.code, pos);
    return false;
  }
  m.afterStep = static_cast<uint8_t>(m.afterStep | bits | row->afterStep);
  return true;
}

bool CPlayer::readStepPackets(SPacketHeader& header) {
  if (events_ == nullptr || !events_->hasStream() || events_->state != kEventPlaying || stroke_ == nullptr)
    return false;
  do {
    if (!dispatchPacket(header)) return false;
  } while (header.cls == kPcState || header.cls == kPcInfo);
  return true;
}

uint8_t CPlayer::stepResult(SPacketHeader& header) {
  if (!readStepPackets(header)) return kPlayStepError;
  if (events_->runFlags & kRunEndMarkerPlayed) {
    events_->runFlags &= static_cast<uint8_t>(~kRunEndMarkerPlayed);
    return kPlayStepEnded;
  }
  return kPlayStepPlayed;
}

uint8_t CPlayer::playStep() {
  if (events_ == nullptr || events_->state != kEventPlaying || stroke_ == nullptr) return kPlayStepError;
  if (isPaused()) return kPlayStepPaused;
  CEventMngr& m = *events_;
  if (isStrokeOpen()) {
    m.afterStep = 0;
    const uint8_t r = continueStroke();
    if (r == kPlayStepEnded) m.state = kEventFinished;
    return r;
  }
  m.runFlags &= static_cast<uint8_t>(~(kRunInStroke | kRunStrokeOpen));
  m.afterStep = 0;
  SPacketHeader header{};
  uint8_t r = kPlayStepPlayed;
  for (;;) {
    r = stepResult(header);
    if (r != kPlayStepPlayed || !isStrokeOpen()) break;
    if (IsPointsClass(header.cls)) {
      if (m.strokeFlags & kStrokePointByPoint) break;
    } else if (!IsStrokeStartClass(header.cls)) {
      r = kPlayStepError;
      break;
    }
  }
  m.lastPacket = header;
  if (r != kPlayStepError && !isStrokeOpen() && !checkpoint()) r = kPlayStepError;
  if (r == kPlayStepEnded) m.state = kEventFinished;
  return r;
}

uint8_t CPlayer::continueStroke() {
  CEventMngr& m = *events_;
  if (m.pointsDrawn < m.pointCount) {
    if (drawPoints(m.pointsDrawn, 1) < 0) return kPlayStepError;
    if (m.pointsDrawn >= m.pointCount && (m.strokeFlags & kStrokeLastPacketRead)) {
      if (!finishStroke() || !checkpoint()) return kPlayStepError;
    }
    return kPlayStepPlayed;
  }
  SPacketHeader header{};
  if (!dispatchPacket(header)) return kPlayStepError;
  m.lastPacket = header;
  if (header.cls == kPcPaper && header.code == kPaperEndMarker) {
    m.runFlags &= static_cast<uint8_t>(~kRunEndMarkerPlayed);
    if (!checkpoint()) return kPlayStepError;
    m.state = kEventFinished;
    return kPlayStepEnded;
  }
  // A stroke finished by its last points packet, or a command that followed it, closes a step.
  if (!isStrokeOpen() && header.cls != kPcState && header.cls != kPcInfo && !checkpoint()) return kPlayStepError;
  return kPlayStepPlayed;
}

uint8_t CPlayer::completeStroke() {
  if (events_ == nullptr || !isStrokeOpen()) return kPlayStepPlayed;
  uint8_t r = kPlayStepPlayed;
  while (isStrokeOpen()) {
    r = continueStroke();
    if (r == kPlayStepError) return r;
    if (r == kPlayStepEnded) break;
  }
  return r;
}

bool CPlayer::checkpoint() {
  CEventMngr& m = *events_;
  const int32_t start = m.playStepStart;
  const bool ok = m.playStepCount == 0 ? m.ring().Put(start) : m.ring().Push(start);
  if (!ok) return false;
  if (m.playStepCount == 0) m.ring().ClearForward();
  ++m.playStepCount;
  m.playStepStart = m.readPos;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Strokes

void CPlayer::openStroke(int32_t engine, int32_t layer, bool interpolationOff) {
  CEventMngr& m = *events_;
  strokeEngine_ = engine;
  m.runFlags = static_cast<uint8_t>((m.runFlags | kRunStrokeOpen) & ~kRunInStroke);
  m.strokeFlags = static_cast<uint8_t>((m.runFlags & kRunPointByPoint) ? kStrokePointByPoint : 0);
  m.pointCount = m.pointsDrawn = 0;
  stroke_->SetLayerIndex(layer);
  if (interpolationOff) {
    m.strokeFlags |= kStrokeInterpolationZero;
    stroke_->SetRawPoints(true);
    stroke_->SetShapeStroke(true);
    if (CStrokeMngr* manager = paper_.StrokeMngr()) manager->SetInterpolateMode(0);
  }
}

int32_t CPlayer::drawPoints(int32_t first, int32_t n) {
  CEventMngr& m = *events_;
  TFlowImage* flow = paper_.GetFlowImage();
  const WindowHandle target = paper_.GetDrawWindow() != nullptr ? paper_.GetDrawWindow()->Handle() : 0;
  int32_t drawn = 0;
  for (int32_t i = first; i < first + n && i < m.pointCount && i < kMaxPointsPerPacket; ++i) {
    const CEventMngr::SBufferedPoint& p = m.pointBuffer[i];
    if (m.runFlags & kRunInStroke) {
      // The view answer of an added point is not a failure: a point off the canvas repaints
      // nothing.
      if (strokeEngine_ == 4)
        paper_.StrokeToMngr(flow, *stroke_, false, target, p.x, p.y, p.pressure);
      else
        paper_.StrokeTo(flow, *stroke_, false, target, p.x, p.y, p.pressure);
    } else {
      bool begun = false;
      if (strokeEngine_ == 4) {
        begun =
            paper_.SelectStrokeEngine(2) && paper_.BeginStrokeMngr(flow, *stroke_, false, p.x, p.y, p.pressure);
      } else {
        paper_.SelectStrokeEngine(1);
        begun = BeginsStrokeDirect(strokeEngine_, appVersion_)
                    ? paper_.BeginStrokeDirect(flow, *stroke_, false, p.x, p.y, p.pressure)
                    : paper_.BeginStroke(flow, *stroke_, false, p.x, p.y, p.pressure);
      }
      if (!begun) {
        DebugOutF("player: a stroke of engine %d could not begin\n", strokeEngine_);
        return -1;
      }
      m.runFlags |= kRunInStroke;
    }
    ++drawn;
    ++m.pointsDrawn;
  }
  return drawn;
}

bool CPlayer::finishStroke() {
  CEventMngr& m = *events_;
  m.pointCount = 0;
  m.pointsDrawn = 0;
  if (m.strokeFlags & kStrokeInterpolationZero) {
    stroke_->SetRawPoints(false);
    stroke_->SetShapeStroke(false);
    if (CStrokeMngr* manager = paper_.StrokeMngr()) manager->SetInterpolateMode(1);
  }
  const bool began = (m.runFlags & kRunInStroke) != 0;
  m.runFlags &= static_cast<uint8_t>(~(kRunInStroke | kRunStrokeOpen));
  m.strokeFlags &=
      static_cast<uint8_t>(~(kStrokePointByPoint | kStrokeLastPacketRead | kStrokeInterpolationZero));
  if (!began) return true;  // a start without points painted nothing
  TFlowImage* flow = paper_.GetFlowImage();
  const WindowHandle target = paper_.GetDrawWindow() != nullptr ? paper_.GetDrawWindow()->Handle() : 0;
  SRectWH rect{};
  const int32_t layer = strokeEngine_ == 4 && paper_.StrokeMngr() != nullptr ? paper_.StrokeMngr()->GetLayer()
                                                                             : paper_.GetStrokeLayer(*stroke_);
  const bool ok = strokeEngine_ == 4 ? paper_.EndStrokeMngr(flow, *stroke_, false, rect, target)
                                     : paper_.EndStroke(flow, *stroke_, false, rect, target);
  if (rect.width > 0 && rect.height > 0)
    paper_.UpdateThumbnails(false, layer, rect.left, rect.top, rect.width, rect.height);
  m.afterStep |= 0x02;
  return ok;
}

// ---------------------------------------------------------------------------------------------
// Filters

bool CPlayer::playFilter(const SPacketFrame& frame, const CPlayPayload& payload) {
  const uint8_t cls = frame.header.cls;
  const uint8_t id = frame.header.code;
  const SFilterReplayRow* row = nullptr;
  for (const SFilterReplayRow& r : filterRows_)
    if (r.cls == cls && r.id == id) row = &r;
  if (row == nullptr) {
    DebugOutF("player: no replay routine for the filter packet (%u, %u)\n", cls, id);
    return false;
  }
  int16_t layer = 0;
  int16_t value = 0;
  if (!payload.Get(0, layer) || !payload.Get(2, value) || !paper_.IsValidLayerIndex(layer)) return false;
  const CLayerData* data = paper_.GetLayer(layer);
  const int32_t protect = PassesFilterAlphaProtect(appVersion_) && data->alphaProtect != 0 ? 1 : 0;
  SFilterReplayCall call{paper_,
                         paper_.GetFlowImage(),
                         layer,
                         cls,
                         id,
                         value,
                         {0, 0, 0, 0, 0, 0},
                         0,
                         0,
                         nullptr,
                         {},
                         nullptr,
                         nullptr,
                         nullptr,
                         nullptr};
  SFilterBlock block{};
  CColorSlotGroup gradient(16);
  SGradOption options{};
  std::unique_ptr<TMTC> madeFloor, madeWall;
  // Every filter replay gets the version's keep-alpha value (the older motion blur reads it too).
  call.alphaProtect = protect;
  switch (cls) {
    case kPcFilter0: break;
    case kPcFilter2:
    case kPcFilter4:
    case kPcFilter6:
      call.paramCount = cls == kPcFilter2 ? 2 : cls == kPcFilter4 ? 4 : 6;
      for (int32_t i = 0; i < call.paramCount; ++i)
        if (!payload.Get(4 + 4 * static_cast<uint32_t>(i), call.params[i])) return false;
      break;
    case kPcFilterBlock: {
      if (!payload.GetBytes(0, &block, sizeof block)) return false;
      const uint32_t n = payload.size() - static_cast<uint32_t>(sizeof block);
      if (block.dataLength.get() != n) return false;
      call.block = &block;
      call.data = std::span<const uint8_t>(payload.data() + sizeof block, n);
      if (id == 39) {
        // The older lighting: count light records of 56 bytes each.
        if (block.itemSize.get() != 56 || block.count.get() < 1 || n != 56u * block.count.get()) return false;
      } else if (id == 74) {
        if (n != 56) return false;
      } else if (id == 51) {
        if (n != 108) return false;
      } else if (id == 54) {
        if (block.count.get() != 1 || block.itemSize.get() != n || n == 0) return false;
        FixedMemoryStream stream(call.data.data(), n);
        if (ReadGradientRecordSafe(stream, gradient, options) != 0 || !gradient.Normalize()) return false;
        call.gradient = &gradient;
        call.gradientOptions = &options;
      } else if (id == kFilterFloor) {
        if (n != kFloorItemSize || block.itemSize.get() != kFloorItemSize) return false;
        // The textures from image files travel as state packets 128 (ceiling) and 129 (floor);
        // which ones came from files say bits 0 and 1 of bytes 42 (in use) and 43 (from a file)
        // of the 63 values (the block's texture fields hold resolutions). A texture from the
        // layer, or a file texture missing from the recording, is made by the replay from the
        // layer's part under the selection, as the command made it.
        const uint8_t* values = call.data.data();
        const bool ceilingFromFile = (values[42] & values[43] & 1) != 0;
        const bool floorFromFile = (values[42] & values[43] & 2) != 0;
        if ((ceilingFromFile && !events_->floorTexture) || (floorFromFile && !events_->wallTexture)) {
          char text[160];
          std::snprintf(text, sizeof text, "再生に必要な画像オブジェクトが不足しています! (%d, %d)", 38, 40);
          warn(text);
        }
        call.floorTexture = ceilingFromFile ? events_->floorTexture.get() : nullptr;
        call.wallTexture = floorFromFile ? events_->wallTexture.get() : nullptr;
        if (values[45] == 0) {
          // The older floor reads its textures as given, a copy of the layer's pixels standing in
          // for a missing one.
          auto layerCopy = [&]() -> std::unique_ptr<TMTC> {
            auto image = std::make_unique<TMTC>(data->StoreWidth(), data->StoreHeight());
            if (!image->IsValid()) return nullptr;
            TPoint dest{0, 0};
            SRectWH source{0, 0, data->StoreWidth(), data->StoreHeight()};
            if (!data->Store()->CopyToImage(*image, dest, source, 255, false)) return nullptr;
            return image;
          };
          if (!events_->floorTexture) madeFloor = layerCopy();
          if (!events_->wallTexture) madeWall = layerCopy();
          call.floorTexture = events_->floorTexture ? events_->floorTexture.get() : madeFloor.get();
          call.wallTexture = events_->wallTexture ? events_->wallTexture.get() : madeWall.get();
        }
      }
      break;
    }
    default: return false;
  }
  paper_.SyncFlowImage(paper_.GetFlowImage(), layer, false);
  const bool ok = row->replay(call);
  if (id == kFilterFloor && cls == kPcFilterBlock) {
    events_->floorTexture.reset();
    events_->wallTexture.reset();
  }
  if (!ok) {
    DebugOutF("player: the filter %s failed (packet %u, %u)\n", row->name, cls, id);
    return false;
  }
  events_->afterStep |= 0x03;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Pause, point by point, flag walk, application state, pen display, file extension

bool CPlayer::isPaused() const {
  return events_ != nullptr && events_->state == kEventPlaying && (events_->runFlags & kRunPaused) != 0;
}

void CPlayer::setPaused(bool on) {
  if (events_ == nullptr) return;
  if (on)
    events_->runFlags |= kRunPaused;
  else
    events_->runFlags &= static_cast<uint8_t>(~kRunPaused);
}

void CPlayer::setPointByPoint(bool on) {
  if (events_ == nullptr) return;
  if (on)
    events_->runFlags |= kRunPointByPoint;
  else
    events_->runFlags &= static_cast<uint8_t>(~kRunPointByPoint);
}

bool CPlayer::setFlagBits(FlagWalkMode mode, uint16_t mask, bool* answer) {
  if (events_ == nullptr || events_->writePos() == 0) return false;
  CEventMngr& m = *events_;
  if (mode == FlagWalkMode::kQuery && answer != nullptr) *answer = false;
  bool found = false;
  const SPacketWalkResult walk = m.walkPackets(0, m.writePos(), [&](const SPacketFrame& frame) {
    if (frame.header.cls != kPcState || frame.header.code != kStFlagWord) return true;
    uint8_t bytes[2];
    if (m.readAt(frame.payloadPos, bytes, 2) != 2) return false;
    uint16_t word = LoadU16(bytes);
    switch (mode) {
      case FlagWalkMode::kQuery:
        if (word & mask) found = true;
        return true;
      case FlagWalkMode::kSet: word = static_cast<uint16_t>(word | mask); break;
      case FlagWalkMode::kClear: word = static_cast<uint16_t>(word & ~mask); break;
    }
    StoreU16(bytes, word);
    return m.writeAt(frame.payloadPos, bytes, 2) == 2;
  });
  if (!walk.ok) {
    char text[200];
    std::snprintf(text, sizeof text, "unknown packet at 0x%x(0x%x,0x%x)\rlast code at 0x%x(0x%x,0x%x)",
                  walk.failPos + 2, walk.failHeader.cls, walk.failHeader.code, walk.failPos, walk.lastHeader.cls,
                  walk.lastHeader.code);
    warn(text);
    return false;
  }
  if (mode == FlagWalkMode::kQuery && answer != nullptr) *answer = found;
  return true;
}

bool CPlayer::readAppStat(const SPacketFrame& frame) {
  CEventMngr& m = *events_;
  SAppStateRecord record{};
  if (frame.length != static_cast<int32_t>(sizeof record) ||
      m.readAt(frame.payloadPos, &record, sizeof record) != sizeof record)
    return false;
  m.records.app = record;
  m.setSnapshotValid(kStAppState, true);
  if (record.extFlagsVersion.get() != 0) {
    warn(kAppStateVersionText);
    return false;
  }
  appVersion_ = int32_t{record.major.get()} * 100 + record.minor.get();
  return true;
}

void CPlayer::showPlaybackPen() {
  if (host_ == nullptr || renderer_ == nullptr || stroke_ == nullptr) return;
  SPlaybackPen pen;
  renderer_->GetGradeMap(pen.gradeMap);
  pen.shape = PlayShape();
  pen.useTone = stroke_->GetUseTone();
  pen.useGradation = stroke_->GetUseGradation();
  if (const CStrokeMngr* manager = paper_.StrokeMngr()) manager->GetStrokeParams(pen.strokeParams);
  renderer_->GetPenParams(pen.penParams);
  host_->ShowPlaybackPen(pen);
}

uint8_t CPlayer::getFileExt(uint8_t version, std::string& extension) {
  extension = version >= 32 ? ".te4" : version < 16 ? ".tes" : ".te3";
  return version;
}

// ---------------------------------------------------------------------------------------------
// Stopping

bool CPlayer::stopPlay(bool finished) {
  if (events_ == nullptr) return false;
  CEventMngr& m = *events_;
  if (finished && m.state == kEventIdle) m.state = kEventFinished;
  if (m.state != kEventPlaying && m.state != kEventFinished) return false;
  if (isStrokeOpen() && stroke_ != nullptr) completeStroke();
  if (m.runFlags & kRunAfterFirstStep) {
    const uint32_t end = static_cast<uint32_t>(m.readPos);
    m.setWritePosition(end, static_cast<int32_t>(end), m.playStepCount);
  }
  if (m.state == kEventPlaying) m.trimBlocks();
  m.snapshotValid[0] = m.snapshotValid[1] = m.snapshotValid[2] = 0;
  m.runFlags = m.strokeFlags = 0;
  m.clearDictionaries();
  freeObjects();
  if (m.state == kEventFinished) return m.removeEventFin();
  m.state = kEventRecording;
  return true;
}

}  // namespace tf
