// CPlayer: plays a recorded event stream back into its document, one step at a time.
#pragma once
// A recording, loaded from an event file into a fresh document, is played back step by step
// through the very document commands that recorded it, with the record flag clear. The player
// holds the document's CEventMngr (its read position, played step count, run and stroke flags,
// point buffer and the snapshots of the played state records live there) and its own stroke,
// pen renderer, pen shapes and tone set, which stand in for the tool window's while it plays.
//
// Every packet is looked up by its (class, code) pair in one table assembled from the row lists
// of playback/PlayRows.h; filter packets go to the player's own (class, filter id) table of
// replay routines, which the filters add to. A pair with no row fails the step (3) and names the
// pair on the developer output: a packet is never skipped.
//
// Steps close in the stream's checkpoint ring exactly where recording closed them, so undo and
// redo after playback move over the same steps as they would in the recorded document.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "events/Dictionaries.h"
#include "events/EventStream.h"
#include "paint/FalloffMap.h"
#include "paint/PenParam.h"
#include "paint/StrokeParam.h"
#include "playback/PlayRows.h"

namespace tf {

class TPaper;
class TFlowImage;
class TStroke;
class CPenRender;
class CPenShapeObj;
class CToneMngr;
class CPlayedToneSet;
class CColorSlotGroup;
struct SFilterBlock;

// ---------------------------------------------------------------------------------------------
// What the player asks of the window it plays in

// The player's pen, as the tool window shows it during playback.
struct SPlaybackPen {
  SGradeMap gradeMap{};
  const CPenShapeObj* shape = nullptr;
  bool useTone = false;
  bool useGradation = false;
  SStrokeParam strokeParams{};
  SPenParam penParams{};
};

class CPlayer;

// The afterStep bits: what the window refreshes after a step.
inline constexpr uint8_t kAfterLayers = 0x01;
inline constexpr uint8_t kAfterNavigator = 0x02;
inline constexpr uint8_t kAfterSize = 0x04;
inline constexpr uint8_t kAfterLayerPane = 0x08;
inline constexpr uint8_t kAfterMaskPane = 0x10;
inline constexpr uint8_t kAfterPenParams = 0x20;
inline constexpr uint8_t kAfterNib = 0x40;
inline constexpr uint8_t kAfterCaption = 0x80;

// The document window's side of playback. The window reads afterStep after each step and
// refreshes; the pixel work is all done by the document.
class PlaybackHost {
 public:
  virtual ~PlaybackHost() = default;
  // The player's stroke, renderer, pen shape, tone set and gradient colours are in force for the
  // window from BindPlayer(player) until BindPlayer(nullptr).
  virtual void BindPlayer(CPlayer* player) = 0;
  // The viewer or render mode: warnings are not shown.
  virtual bool QuietMode() const { return false; }
  // The render mode: a protected stream is refused.
  virtual bool RenderMode() const { return false; }
  // Hands the tool window the player's pen for display.
  virtual void ShowPlaybackPen(const SPlaybackPen& pen) { (void)pen; }
};

// ---------------------------------------------------------------------------------------------
// Filter replay rows

// What a filter's replay routine gets: the document, its working copy and the layer (already
// loaded into the working copy), the recorded parameters, and the record flag clear.
struct SFilterReplayCall {
  TPaper& paper;
  TFlowImage* flow;
  int32_t layer;
  uint8_t cls;  // 32, 33, 34, 35 or 38
  uint8_t id;   // the filter event id (the packet's code)
  int16_t value;
  int32_t params[6];   // classes 33 to 35: the int32 parameters (2, 4 or 6 of them)
  int32_t paramCount;  // 0 for classes 32 and 38
  // Every filter: the layer's alpha-protect flag for
  // recordings above version 206, else 0.
  int32_t alphaProtect;
  const SFilterBlock* block;      // class 38: the parameter block
  std::span<const uint8_t> data;  // class 38: the data bytes after the block
  // Class 38 id 54: the gradient record of the data, read into colour stops and options.
  const CColorSlotGroup* gradient;
  const SGradOption* gradientOptions;
  // Class 38 id 40: the floor and wall textures (kept from state packets 128 and 129, or made
  // in their place).
  const TMTC* floorTexture;
  const TMTC* wallTexture;
};

using FFilterReplay = bool (*)(const SFilterReplayCall& call);

struct SFilterReplayRow {
  uint8_t cls;
  uint8_t id;
  FFilterReplay replay;
  const char* name;
};

// The replay rows of the filter catalogue (playback/PlayRowsFilters.cpp): one for each event id
// of a current filter, calling its replay twin with the record flag clear. Every CPlayer starts
// with them.
std::span<const SFilterReplayRow> FilterReplayRows();
// The rows of the two older filter generations (playback/PlayRowsFiltersOld.cpp), among them.
std::vector<SFilterReplayRow> OlderFilterReplayRows();

// ---------------------------------------------------------------------------------------------
// The row table

// The union of the seven row lists, looked up by (class, code).
class CPlayTable {
 public:
  CPlayTable();
  const SPlayRow* Find(uint8_t cls, uint8_t code) const { return rows_[cls * 256u + code]; }
  // Pairs that more than one list holds (the first row wins in Find).
  const std::vector<uint16_t>& Duplicates() const { return duplicates_; }

 private:
  std::vector<const SPlayRow*> rows_;
  std::vector<uint16_t> duplicates_;
};

// The table of this program (built once from the row lists).
const CPlayTable& PlayTable();

// ---------------------------------------------------------------------------------------------
// Version adaptations (the recording's program version: major x 100 + minor)

inline constexpr int32_t kVersionBeforeAppState = 200;
// The flag word's alpha-keeping bit is played (and the stroke keeps alpha by it).
constexpr bool PlaysFlagWordAlpha(int32_t appVersion) { return appVersion < 206; }
// Filters that take an alpha-protect argument get the layer's flag.
constexpr bool PassesFilterAlphaProtect(int32_t appVersion) { return appVersion > 206; }
// A stroke of engines 0 to 3 begins with TPaper::BeginStrokeDirect.
constexpr bool BeginsStrokeDirect(int32_t engine, int32_t appVersion) { return engine < 2 || appVersion <= 222; }
// A gradient fill uses the two-colour gradient of the player's stroke (MakeTwoColourGradient).
constexpr bool UsesTwoColourGradient(int32_t appVersion) {
  return appVersion < 282 || appVersion == 298 || appVersion == 299;
}
// The older ellipse fill (6/3) and ellipse selection (10/17) use the newer ellipse variant.
constexpr bool UsesNewerEllipse(int32_t appVersion) { return appVersion > 305; }
// Slot 0: the stroke's second colour, slot 1: its colour, both alpha 255, weight 65536.
bool MakeTwoColourGradient(const TStroke& stroke, CColorSlotGroup& stops);

// ---------------------------------------------------------------------------------------------
// The player

// Results of startPlay.
enum StartPlayResult : uint8_t {
  kStartPlayStarted = 0,
  kStartPlayError = 1,
  kStartPlayFileError = 2,
  kStartPlayPacketError = 3,
  kStartPlayVersionError = 4,
  kStartPlayProtected = 5,
};
// Results of playStep and stepResult.
enum PlayStepResult : uint8_t {
  kPlayStepPlayed = 0,
  kPlayStepPaused = 1,
  kPlayStepEnded = 2,
  kPlayStepError = 3,
};
// Modes of the whole-stream flag walk.
enum class FlagWalkMode : uint8_t { kQuery, kSet, kClear };

// The document window's texts of the startPlay results, by result.
extern const char* const kStartPlayTexts[6];
inline constexpr const char* kBadPacketText = "イベントパケットが不正です!";
inline constexpr const char* kAppStateVersionText = "eventMngr::readAppStat: extFlags version error!";

class CPlayer {
 public:
  // Plays into the document (which must not be set up yet: the stream's first command makes it).
  // The host may be null (no window: nothing is bound or shown).
  CPlayer(TPaper& paper, PlaybackHost* host);
  ~CPlayer();
  CPlayer(const CPlayer&) = delete;
  CPlayer& operator=(const CPlayer&) = delete;

  // Loads the event file into the document's stream and plays its first step (StartPlayResult).
  uint8_t startPlay(const std::string& path);
  // The same over the stream the document already holds (loaded raw or built by a test).
  uint8_t startLoaded();
  // One step (PlayStepResult).
  uint8_t playStep();
  // Reads and plays one packet; header gets its header (0, 0 when none could be read).
  bool dispatchPacket(SPacketHeader& header);
  // Plays the state and information packets at the read position and the first packet after
  // them.
  bool readStepPackets(SPacketHeader& header);
  // readStepPackets: 3 failed, 2 the end marker was played, else 0.
  uint8_t stepResult(SPacketHeader& header);
  // Finishes the open stroke at once, point by point (0; 3 on failure).
  uint8_t completeStroke();
  // Ends playback and records again after the played part (false when not playing or the
  // end marker cannot be taken off).
  bool stopPlay(bool finished);

  bool isPaused() const;
  void setPaused(bool on);
  void setPointByPoint(bool on);
  // The whole-stream walk over the flag words: query (answer: a word holds a mask bit), set or
  // clear the mask bits in place. False for an empty stream or a packet that cannot be stepped
  // over (with the warning naming it).
  bool setFlagBits(FlagWalkMode mode, uint16_t mask, bool* answer);
  bool setProtected(FlagWalkMode mode, bool* answer) { return setFlagBits(mode, kFlagProtected, answer); }
  // Plays the application-state record of the frame.
  bool readAppStat(const SPacketFrame& frame);
  // Hands the window the player's pen.
  void showPlaybackPen();
  // ".te4" for a version byte of 32 or more, ".tes" below 16, ".te3" otherwise; the byte.
  static uint8_t getFileExt(uint8_t version, std::string& extension);
  // Closes a played step in the checkpoint ring.
  bool checkpoint();

  // ---- filter replay rows (the filters add theirs)
  void AddFilterRows(std::span<const SFilterReplayRow> rows);
  // No filter rows at all (tests of a pair without a row).
  void ClearFilterRows() { filterRows_.clear(); }

  // ---- the player's objects and state (for the window, the rows and the tests)
  TPaper& Paper() const { return paper_; }
  CEventMngr& Events() const { return *events_; }
  PlaybackHost* Host() const { return host_; }
  int32_t appVersion() const { return appVersion_; }
  void setAppVersion(int32_t version) { appVersion_ = version; }
  TStroke* Stroke() const { return stroke_.get(); }
  CPenRender* PenRender() const { return renderer_.get(); }
  CToneMngr* Tones() const { return tones_.get(); }
  CPenShapeObj* BaseShape() const { return baseShape_.get(); }
  CPenShapeObj* ImageShape() const { return imageShape_.get(); }
  // The shape the player paints with: the rebuilt image shape when the last nib-shape record
  // says an image nib is in use and the shape is a valid image nib, else the base shape.
  CPenShapeObj* PlayShape() const;
  // The engine of the open stroke: 0, 1, 2 or 4.
  int32_t strokeEngine() const { return strokeEngine_; }
  void setStrokeEngine(int32_t engine) { strokeEngine_ = engine; }
  // Whether an active-layer record (0/8) was played already.
  bool activeLayerPlayed = false;
  // Opens a stroke of the engine (runFlags 0x80) on the layer, the point-by-point mode taken now.
  void openStroke(int32_t engine, int32_t layer, bool interpolationOff);
  // Draws n points of the point buffer from index first; the count drawn (-1 when the stroke
  // could not begin).
  int32_t drawPoints(int32_t first, int32_t n);
  // Ends the open stroke through the document and refreshes its rectangle.
  bool finishStroke();
  // A warning unless in the viewer or render mode.
  void warn(std::string_view text) const;

 private:
  bool createObjects();
  void freeObjects();
  uint8_t continueStroke();
  bool playFilter(const SPacketFrame& frame, const CPlayPayload& payload);
  bool isStrokeOpen() const { return (events_->runFlags & kRunStrokeOpen) != 0; }

  // The shape half of the played resources (the tone half is CPlayedToneSet).
  class PlayedShapes final : public IPlayedResources {
   public:
    explicit PlayedShapes(CPlayer& player) : player_(player) {}
    int32_t addImagePattern(std::unique_ptr<TChannel>, int32_t, int32_t, int32_t) override { return -1; }
    int32_t addScreenTone(const int32_t[6], bool, std::unique_ptr<TChannel>) override { return -1; }
    bool setPatternPlacement(int32_t, int32_t, int32_t, int32_t, bool) override { return false; }
    bool setPatternName(int32_t, std::string_view) override { return false; }
    int32_t setCurrentPattern(int32_t) override { return -1; }
    bool rebuildImageShape(const TChannel& channel, int16_t scale, uint32_t key) override;
    bool imageShapeValid() const override;

   private:
    CPlayer& player_;
  };

  TPaper& paper_;
  PlaybackHost* host_;
  CEventMngr* events_;
  int32_t appVersion_ = kVersionBeforeAppState;
  int32_t strokeEngine_ = 4;
  bool bound_ = false;
  std::unique_ptr<TStroke> stroke_;
  std::unique_ptr<CPenShapeObj> baseShape_;
  std::unique_ptr<CPenShapeObj> imageShape_;
  std::unique_ptr<CPenRender> renderer_;
  std::unique_ptr<CToneMngr> tones_;
  std::unique_ptr<PlayedShapes> shapes_;
  std::unique_ptr<CPlayedToneSet> played_;
  std::vector<SFilterReplayRow> filterRows_;
  CPlayPayload payload_;
};

}  // namespace tf
