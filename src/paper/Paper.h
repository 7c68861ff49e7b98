// TPaper: the document of one document window, and the protocol every document command follows.
#pragma once
// TPaper holds the canvas size and resolution, the paper colour, the view state of its window
// (zoom, scroll, rotation, grid), the display buffers the picture is painted from, and the
// managers that hold the content: the layer stack, the masks, the selection slots, the document
// undo, the event recorder and the stroke manager. Every document command is a method that
// takes the window's working copy, its indexes and a record flag: set by the user interface
// (record the event, push undo), clear when the event player replays the command.
//
// Its methods are split by area:
//   Paper.cpp         construction, plumbing, undo pushes, refresh routines, the command protocol
//   PaperView.cpp     zoom steps, rotation, window-to-canvas mapping, grid, caption
//   PaperSetup.cpp    new documents, canvas size, paper colour
//   PaperCompose.cpp  composing the picture into the display buffers and painting it
//   FlowImage.cpp     the working copy (TFlowImage) and the document's side of it
//   PaperMasks.cpp    the masks, the selection outline and the selection slots
//   PaperUndo.cpp     the document undo and the undo and redo commands
//   PaperLayers.cpp   the layer commands (add, duplicate, delete, move, attributes)
//   PaperTransform.cpp  mirror, invert, turn, rotate and scale a layer
//   PaperImages.cpp   trim, pasted images, transforms in the selection and of the whole image
//   PaperSelection.cpp  the mask and selection commands
//   PaperFill.cpp     seed fill, magic wand, bucket fill, clears and fills
//   PaperCanvas.cpp, PaperMoves.cpp  canvas transforms; layers, folders and the selection moved
//   PaperFolders.cpp, PaperFoldersSelection.cpp  folders and merges; grow, shrink, colour range
//   PaperOlder.cpp    the older engines and the older stream's commands
//   PaperText.cpp     the text tool's commit
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "document/ClipLayerAttr.h"
#include "document/ColorMask.h"
#include "document/LayerMngr.h"
#include "events/EventStream.h"
#include "events/RecordSources.h"
#include "events/StrokeSources.h"
#include "paint/Gradient.h"
#include "paint/StrokeMngr.h"
#include "paper/DocumentWindow.h"
#include "paper/PaperManagers.h"
#include "platform/ResourceText.h"
#include "raster/DibImage.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"
#include "raster/ScaleImage.h"

namespace tf {

class TFlowImage;
class TPaper;
class CMaskData;
class CMaskMngr;    // masks (document/Mask.h)
class TSelectMng;   // selection slots (document/SelectionOutline.h)
class CUndoMngrEx;  // document undo (paper/UndoMngrEx.h)
class CStrokeMngr;
class CFillMngr;
class CPenRender;
class TStroke;
class Surface;  // composing and painting (paper/ViewRender.h)
struct SViewGeometry;

// ---------------------------------------------------------------------------------------------
// Zoom ratios

struct TZoomRatio {
  int32_t numerator = 1;
  int32_t denominator = 1;
  bool operator==(const TZoomRatio&) const = default;
};

// The 17 zoom steps from 1/16 to 16/1.
inline constexpr int kZoomStepCount = 17;
inline constexpr TZoomRatio kZoomSteps[kZoomStepCount] = {{1, 16}, {1, 12}, {1, 8}, {1, 6},  {1, 4}, {1, 3},
                                                          {1, 2},  {2, 3},  {1, 1}, {3, 2},  {2, 1}, {3, 1},
                                                          {4, 1},  {6, 1},  {8, 1}, {12, 1}, {16, 1}};

// The smallest step above the ratio (the last step when none is), and the largest step below it
// (the first when none is), compared at a precision of 1/10000 in 64 bits.
void ZoomRatioUp(TZoomRatio& ratio);
void ZoomRatioDown(TZoomRatio& ratio);

// View rotation: the angle in radians, the canvas point shown at the window centre, the angle in
// degrees, its sine and cosine.
struct SViewRotation {
  float radians = 0.0f;
  float centerX = 0.0f;
  float centerY = 0.0f;
  float degrees = 0.0f;
  float sine = 0.0f;
  float cosine = 1.0f;
};

// The paint routine of the stroke engine in use. The legacy routine marks a document that replays
// an older-version recording (no document undo, layers with their own pixel undo).
enum class StrokeRoutine : uint8_t { kLegacy = 0, kStepping = 1, kManager = 2 };

// Engine choice and the step routines of the three stroke engines (PaperStroke.cpp). A step
// routine paints the segment of the newest point; false when it failed.
void UseStrokeEngine0(TPaper& paper);
void UseStrokeEngine1(TPaper& paper);
void UseStrokeEngine2(TPaper& paper);
bool StrokeEngine0Step(TPaper& paper, TFlowImage* flow, TStroke& stroke);
bool StrokeEngine1Step(TPaper& paper, TFlowImage* flow, TStroke& stroke);
bool StrokeEngine2Step(TPaper& paper, TFlowImage* flow, TStroke& stroke);

// The commands' messages and the caption's words are the texts Paper* of resources/texts/paper.txt.

// Shows kCommandExceptionText, then the exception's own message.
void ShowCommandException(const char* message);
// Shows the out-of-memory message of the commands.
void ShowCommandOutOfMemory();

// ---------------------------------------------------------------------------------------------
// The command protocol

// The running part of one document command (see TPaper::RunCommand). It records, pushes undo
// records and remembers what it recorded, so that a command failing afterwards takes its step
// out of the stream again.
class PaperCommand {
 public:
  PaperCommand(TPaper& paper, bool record);
  PaperCommand(const PaperCommand&) = delete;
  PaperCommand& operator=(const PaperCommand&) = delete;

  TPaper& Paper() const { return paper_; }
  // The record flag: set by the user interface, clear when the event player replays.
  bool Recording() const { return record_; }
  // With the record flag set, runs the command's recorder writer (write(CEventMngr&)). Whether
  // the recorder wrote does not matter to the command (it writes only while recording); a step
  // it closed is remembered.
  template <class Write>
  void Record(Write&& write);
  // With the record flag set, runs the undo push (push() -> bool) and answers its result;
  // false without the record flag (no undo while replaying).
  template <class Push>
  bool Undo(Push&& push);
  // Steps this command closed in the stream.
  int32_t RecordedSteps() const { return recordedSteps_; }
  // Takes the recorded steps out of the stream again (newest first). Run by TPaper::RunCommand
  // when the command fails after it recorded.
  void DropRecorded();

 private:
  TPaper& paper_;
  bool record_;
  int32_t recordedSteps_ = 0;
};

// ---------------------------------------------------------------------------------------------
// The document

class TPaper {
 public:
  // Builds the document for its window (the window may be null for a document without one).
  explicit TPaper(DocumentWindow* window);
  TPaper(const TPaper&) = delete;
  TPaper& operator=(const TPaper&) = delete;
  // ready := 0, NotifyReady(0), then the buffers and the managers go.
  ~TPaper();

  // ---- Fields (read and written directly by the window, the files and the player) ----
  std::string filePath;                                    // path or title of the document
  StrokeRoutine strokeRoutine = StrokeRoutine::kStepping;  // written by the stroke road only
  uint8_t engineLevelOffered = 1;  // highest stroke engine offered (2 once a stroke manager exists)
  uint8_t engineLevelInUse = 1;    // stroke engine selected (1 or 2)
  uint8_t showCanvasColor = 1;     // 1: the canvas background is the paper colour
  uint8_t backgroundPattern = 0;   // the checker is shown when the canvas colour is off
  uint32_t paperColor = 0xFFFFFF;  // 0x00RRGGBB
  int32_t resolution = 0;          // dots per inch
  int32_t canvasWidth = 0;
  int32_t canvasHeight = 0;
  uint8_t selectionVisible = 0;   // selection outline shown
  uint8_t selectionEnabled = 0;   // selection in force for painting and filters
  uint8_t noSavePrompt = 0;       // the window closes without asking to save
  uint8_t ready = 0;              // 1 once set up
  uint8_t protectedDocument = 0;  // a protected recording was played into it: it cannot be saved
  uint8_t networkMode = 0;        // mode byte of the caption: 1 a networked document
  uint8_t gridVisible = 0;
  int32_t gridStepX = 25;  // canvas pixels, at least 2 through SetGrid
  int32_t gridStepY = 25;
  TPoint viewScroll{0, 0};  // window pixels: where the canvas edge lies while it is narrower
  TPoint viewOffset{0, 0};  // canvas pixels: the canvas column and row at the window edge
  TZoomRatio zoom{1, 1};
  SViewRotation rotation;
  // State of the stroke road: a stroke is open, its layer, its last pressure and distance.
  uint8_t strokeOpen = 0;
  int32_t strokeLayer = -1;
  float strokeValue1 = 0.0f;
  float strokeValue2 = 0.0f;
  // Called by NotifyReady with the document and the ready value; the window installs it.
  std::function<void(TPaper& paper, bool ready)> readyHandler;

  // ---- Plumbing ----
  DocumentWindow* GetDrawWindow() const { return window_; }
  void SetDrawWindow(DocumentWindow* window) { window_ = window; }
  // The owning window's working copy; null without a window.
  TFlowImage* GetFlowImage() const;
  // Sets the window's modified flag.
  void SetModified(bool value);
  // Calls the ready handler when one is installed.
  void NotifyReady(bool value);

  CLayerMngr& Layers() const { return *layers_; }
  CLayerData* GetLayer(int32_t index) const { return layers_->Get(index); }
  CLayerData* GetActiveLayer() const { return layers_->Active(); }
  int32_t GetActiveLayerIndex() const { return layers_->ActiveIndex(); }
  int32_t GetTopLayerIndex() const { return layers_->TopIndex(); }
  int32_t GetLayerCount() const { return layers_->Count(); }
  // 0 <= index <= count - 1: the index test of every command.
  bool IsValidLayerIndex(int32_t index) const { return layers_->IsValidIndex(index); }
  // Largest store width and height over the layers; false (outputs untouched) without layers.
  bool GetMaxStoreSize(int32_t& width, int32_t& height) const;
  // Index of the active mask (the selection); -1 without masks.
  int32_t GetActiveMaskIndex() const;

  // Makes the layer active and loads it into the working copy (reloading it from the store when
  // it was held already); false for an invalid index. SetActiveLayer then refreshes the layer and
  // mask panes of the tool window.
  bool SelectLayer(TFlowImage* flow, int32_t index);
  bool SetActiveLayer(TFlowImage* flow, int32_t index);

  // Layer routines the commands share. For a legacy document and a mode below 3 (multiply, add,
  // subtract) the layer's alpha becomes 255 everywhere; true for a legacy document.
  bool PrepareLegacyLayer(int32_t index, uint8_t blendMode);
  // The alpha byte of every pixel of the layer's whole store.
  bool SetLayerAlpha(int32_t index, uint8_t alpha);
  // The target becomes a copy of the source: store, thumbnail, attributes and name, offsets and
  // own pixel undo.
  bool CopyLayerContent(int32_t source, int32_t target);
  // Fits the layer's thumbnail to the layer list's thumbnail size.
  bool ResizeLayerThumbnail(int32_t index);

  // The stroke and nib in force (the window's; null while the painting engine has none).
  TStroke* GetCurrentStroke() const;
  CPenShapeObj* GetPenShape() const;
  // True unless the document replays an older-version recording.
  bool HasModernEngine() const { return strokeRoutine != StrokeRoutine::kLegacy; }

  // ---- Managers ----
  CEventMngr* EventMngr() const { return eventMngr_.get(); }
  CDocumentUndo* DocumentUndo() const { return undo_.get(); }
  PaperMasks* Masks() const { return masks_.get(); }
  SelectionSlots* Slots() const { return slots_.get(); }
  // The stroke manager, made by CreateStrokeMngr (null until then).
  CStrokeMngr* StrokeMngr() const { return strokeMngr_.get(); }
  // Each makes its manager as construction does: false (the reference empty, a line on the
  // developer output) when it cannot.
  bool CreateMaskMngr();
  bool CreateUndoMngr();
  bool CreateEventMngr();
  bool CreateSelectionSlots(int32_t width, int32_t height);
  bool CreateStrokeMngr();
  // Installs a manager made elsewhere (the engine switch, tests); returns the one it replaces.
  // A document undo replaces the layers' own pixel undo, which is freed.
  std::unique_ptr<CDocumentUndo> AdoptDocumentUndo(std::unique_ptr<CDocumentUndo> undo);
  std::unique_ptr<PaperMasks> AdoptMasks(std::unique_ptr<PaperMasks> masks);
  std::unique_ptr<SelectionSlots> AdoptSelectionSlots(std::unique_ptr<SelectionSlots> slots);
  // max(8, undoMax + 34): checkpoints enough for every record the document undo can hold.
  static int32_t GetCheckpointCapacity();
  // The recorder is set up and recording.
  bool IsRecording() const;

  // ---- Undo pushes (false without document undo) ----
  bool HasDocumentUndo() const { return undo_ != nullptr; }
  // A record of the code with four values; on true the undo owns the object (may be null).
  template <class T>
  bool PushUndo(T* object, uint8_t code, int32_t value1, int32_t value2, int32_t value3, int32_t value4);
  // Pixel record of the whole store / of a rectangle of the layer.
  bool PushLayerUndo(CLayerData& layer, uint8_t code);
  bool PushLayerRectUndo(CLayerData& layer, const SRectWH& rect, uint8_t code);
  // Attribute record (codes 17 to 26); layer null for the document's own (code 17).
  bool PushAttributeUndo(CLayerData* layer, int32_t value, uint8_t code, int32_t extra);
  // Pixel undo of a rectangle: into the document undo when there is one, else into the layer's
  // own pixel undo.
  bool SaveLayerUndo(int32_t index, const SRectWH& rect, uint8_t code);
  bool SaveLayerStoreUndo(int32_t index, uint8_t code);
  // The whole store; without document undo into the layer's own pixel undo.
  bool SaveWholeLayerUndo(int32_t index);
  bool PushLayerUndoByIndex(int32_t index, uint8_t code);

  // ---- Memory ----
  // The document undo's bytes, else the sum of the layers' own pixel undo; with the stores each
  // keeps for later saves.
  int64_t GetUndoMemory() const;
  // Display buffer width x height x 9 + layers + view buffer + pattern buffer + masks + undo.
  int64_t GetMemoryUsage(int64_t& layerBytes, int64_t& undoBytes) const;

  // ---- The command protocol ----
  // Every document command runs through here. check() tests every argument (indexes, sizes and
  // modes from the user interface, streams and the clipboard alike) and the command's own test;
  // false refuses the command: nothing is recorded, pushed or changed, nothing is shown. Then
  // body(PaperCommand&) records, pushes undo and changes in the order its command gives, and
  // answers whether it succeeded. A command that fails after it recorded takes its step out of
  // the stream again, so that a recording holds only what happened. Out of memory is shown as
  // the out-of-memory message, any other exception as the exception message with its message;
  // both answer false.
  template <class Check, class Body>
  bool RunCommand(bool record, Check&& check, Body&& body);

  // ---- Refreshes (all repaint through the window) ----
  void InvalidateWindow(bool erase);
  // Recomposes the whole display buffer and invalidates the window.
  void RedrawAll(bool grid);
  // Recomposes and repaints the rectangle (canvas coordinates), refreshes the layer's thumbnail
  // for it; for a layer other than the active one, the layer list row is redrawn too.
  void RefreshLayerRect(int32_t index, const SRectWH& rect);
  // With the canvas colour off the pattern buffer is cleared to 0xCCCCCC; then the whole display
  // buffer as RefreshLayerRect.
  void RefreshLayerView(int32_t index);
  // Each content rectangle of the layer's store, moved to canvas coordinates and clipped to the
  // display buffer (and clip): recompose, paint and, when asked, the thumbnail.
  void RefreshDirtyRegions(int32_t index, const SRectWH* clip, bool thumbnails);
  // Writes the working copy back (commit) or reloads it over the rectangle (store coordinates,
  // left, top, right, bottom), recomposes it, updates thumbnail and navigator, invalidates and
  // refreshes the layer and mask panes.
  void RefreshLayerArea(TFlowImage* flow, int32_t index, bool commit, const TRect& rect);
  void RefreshLayerAll(TFlowImage* flow, int32_t index, bool commit);
  void UpdateMaskPane();

  // ---- Composing and painting (PaperCompose.cpp) ----
  // Composes the visible layers over the canvas rectangle into the display buffer; grid on top.
  bool ComposeRect(const SRectWH& rect, bool grid);
  // The layer thumbnail (unless navigatorOnly) and the navigator over a canvas rectangle.
  bool UpdateThumbnailsRect(bool navigatorOnly, int32_t index, const SRectWH& rect);
  // Paints a canvas rectangle (left, top, right, bottom) into the window.
  bool PaintRect(WindowHandle window, const TRect& rect);
  // Prepares the view or pattern buffer for the whole window.
  bool RenderView();
  // Writes an image rectangle into the layer's store at a point (opacity 0..255).
  bool PutImageToLayer(int32_t index, const TMTC& image, int32_t opacity, const SRectWH& source,
                       const TPoint& dest);
  // Further composing and painting forms (PaperCompose.cpp; the routines in paper/ViewRender.h).
  bool ComposeRectXY(int32_t left, int32_t top, int32_t width, int32_t height, bool grid);
  bool FillBackground(TMTC& buffer, const SRectWH& rect) const;
  bool DrawGridRect(const SRectWH& rect);
  bool DrawGridIn(const TRect& bounds);
  bool DrawGridAll();
  void DrawGrid();
  bool UpdateThumbnails(bool navigatorOnly, int32_t index, int32_t left, int32_t top, int32_t width,
                        int32_t height);
  bool UpdateThumbnailsBounds(bool navigatorOnly, int32_t index, const TRect& bounds);
  bool UpdateThumbnailsSize(bool navigatorOnly, int32_t index, const SSize& size);
  bool UpdateThumbnailsAll(bool navigatorOnly, int32_t index);
  bool UpdateNavigatorRect(const SRectWH& navigatorRect);
  bool UpdateLayerThumbnail(int32_t index);
  void UpdateAllLayerThumbnails();
  bool DrawLayerThumbnailRect(int32_t index, const SRectWH& thumbnailRect);
  bool PutImage(int32_t index, const TMTC& image, int32_t opacity, int32_t x, int32_t y);
  bool GetLayerImage(TMTC& image, int32_t index, int32_t opacity, bool skipTransparentFill, const SRectWH& source,
                     const TPoint& dest) const;
  bool GetLayerImageAll(TMTC& image, int32_t index, int32_t opacity, bool skipTransparentFill, int32_t x,
                        int32_t y) const;
  SViewGeometry ViewGeometry() const;
  bool IsWholeZoomView() const;
  bool UseSmoothZoom() const;
  bool PaintRect(WindowHandle window, int32_t left, int32_t top, int32_t right, int32_t bottom);
  bool PaintWindow(Surface* surface);
  bool PaintDirect(Surface& surface, const SRectWH& rect);
  bool StretchToWindow(Surface* surface, TMTC& dest, const SRectWH& canvasRect);
  bool PaintRotated(const SRectWH& canvasRect);
  bool PreparePatternBuffer();
  bool FillBackgroundPattern(TMTC& image, const TRect& bounds, const TPoint& anchor) const;
  bool RenderRotatedNearest(TMTC& dest, const SRectWH& destRect, const TPoint& viewCentre);
  bool RenderRotatedSmooth(TMTC& dest, const SRectWH& destRect, const TPoint& viewCentre);

  // ---- Working copy (FlowImage.cpp) ----
  // TFlowImage::LoadLayer with the layer's store; true when it reloaded.
  bool SyncFlowImage(TFlowImage* flow, int32_t index, bool force);
  // The rectangle (left, top, right, bottom; store coordinates): written back into the store
  // (writeBack) or reloaded from it; the work channel cleared.
  void SyncFlowRect(TFlowImage* flow, int32_t index, bool writeBack, const TRect& rect);
  // toStore: the whole copy into the store; else the whole store into the copy. The work channel
  // is cleared.
  void CommitFlowImage(TFlowImage* flow, int32_t index, bool toStore);

  // ---- The stroke road (PaperStroke.cpp) ----
  // Engine choice. The legacy routine frees the document undo; the offered level rises to the
  // level; the level becomes the one in use.
  void SetStrokeRoutine(StrokeRoutine routine, uint8_t level);
  // False, nothing changed, for an engine above the offered level or other than 1 and 2.
  bool SelectStrokeEngine(int32_t engine);
  void FreeStrokeMngr();
  // After playback of an older recording: engine 1, document undo made again, selection slots
  // freed, alpha 255 on every layer and on the working copy, a new stroke manager.
  void ResetStrokeEngines();
  // The window's renderer (the recorder's while the window is locked for playback).
  CPenRender* GetPenRender() const;
  // The recorder takes the renderer and stroke manager as its pen source; with refresh (and the
  // window not locked for playback) UpdateStrokeMngr.
  void SyncStrokeState(bool refresh);
  void UpdateStrokeMngr();
  bool StrokeUsesChannel(const TStroke& stroke) const;
  // Canvas and store coordinates of a layer (offset: the canvas origin inside the store).
  TPoint GetLayerOffset(int32_t layer) const;
  void RectToStore(int32_t layer, SRectWH& rect) const;
  void RectToLayer(int32_t layer, SRectWH& rect) const;
  void PointToStore(int32_t layer, SPointF& point) const;
  // Engines 0 and 1. Points are canvas coordinates; a point that is not finite is refused, the
  // others are bounded to a range around the canvas. Add-point answers whether the view was
  // repainted; end answers the stroke's rectangle (canvas coordinates).
  bool BeginStroke(TFlowImage* flow, TStroke& stroke, bool record, float x, float y, float pressure);
  bool BeginStrokeDirect(TFlowImage* flow, TStroke& stroke, bool record, float x, float y, float pressure);
  bool StrokeTo(TFlowImage* flow, TStroke& stroke, bool record, WindowHandle target, float x, float y,
                float pressure);
  bool EndStroke(TFlowImage* flow, TStroke& stroke, bool record, SRectWH& rect, WindowHandle target);
  // Engine 2, through the stroke manager.
  bool BeginStrokeMngr(TFlowImage* flow, TStroke& stroke, bool record, float x, float y, float pressure);
  bool StrokeToMngr(TFlowImage* flow, TStroke& stroke, bool record, WindowHandle target, float x, float y,
                    float pressure);
  bool EndStrokeMngr(TFlowImage* flow, TStroke& stroke, bool record, SRectWH& rect, WindowHandle target);
  // The step routine in force for one added point.
  bool RunStrokeRoutine(TFlowImage* flow, TStroke& stroke);
  // View refresh during a stroke (rectangles in canvas coordinates unless named store).
  bool UpdateStrokeView(TFlowImage* flow, WindowHandle target, const SRectWH& rect, TStroke& stroke);
  bool RenderStrokeRect(TFlowImage* flow, TStroke& stroke, const SRectWH& rect);
  bool RenderFlowRect(TFlowImage* flow, TStroke& stroke, const SRectWH& storeRect);
  bool RenderFlowRectBlend(TFlowImage* flow, TStroke& stroke, const SRectWH& storeRect);
  bool RenderFlowRectBlur(TFlowImage* flow, TStroke& stroke, const SRectWH& storeRect);
  bool ComposeViewRect(TFlowImage* flow, const SRectWH& rect, int32_t strokeLayer);
  // The layer a stroke paints on: the stroke's layer when valid, else the active one.
  int32_t GetStrokeLayer(const TStroke& stroke) const;
  uint8_t GetStrokeLayerMode(const TStroke& stroke) const;
  // Gradation of the paper.
  void SetGradientLineFloat(const SPointF& p0, const SPointF& p1);
  void SetGradientLine(const TPoint& p0, const TPoint& p1);
  SGradOption GetGradientOptions() const;
  bool SetGradationOptions(int32_t shape, int32_t mirror, int32_t repeatCount, int32_t endless);
  const CColorSlotGroup* GetGradationColors() const;
  void ResetGradation();
  uint32_t GradationColorAt(int32_t x, int32_t y) const;
  // The document as the painting engine sees it.
  StrokePaper& StrokeSide() { return strokeSide_; }
  // Engine 1 stepping state.
  uint8_t strokeMajorAxis = 1;
  int32_t strokePreviousMajorAxis = -1;
  float strokeLastX = 0.0f;
  float strokeLastY = 0.0f;

 private:
  // The document as the stroke manager and the pixel writers reach it.
  class StrokeSideImpl final : public StrokePaper {
   public:
    explicit StrokeSideImpl(TPaper& paper) : paper_(paper) {}
    bool HasModernEngine() const override { return paper_.HasModernEngine(); }
    bool IsLockedForPlayback() const override;
    bool HasLayers() const override { return paper_.GetLayerCount() > 0; }
    bool ActiveLayerKeepsAlpha() const override;
    bool GetLayerBlendMode(int32_t layerIndex, uint32_t& mode) const override;
    bool IsSelectionEnabled() const override { return paper_.selectionEnabled != 0; }
    MaskSampler* GetActiveMask() override;
    TPoint GetActiveMaskOrigin() const override;
    TPoint GetActiveLayerOffset() const override { return paper_.GetLayerOffset(paper_.GetActiveLayerIndex()); }
    ToneSampler* GetToneSampler() override;
    uint32_t GradationColorAt(int32_t x, int32_t y) override { return paper_.GradationColorAt(x, y); }
    int32_t ActiveLayerIndex() const override { return paper_.GetActiveLayerIndex(); }
    int32_t TopLayerIndex() const override { return paper_.GetTopLayerIndex(); }
    TPoint LayerOffset(int32_t layer) const override { return paper_.GetLayerOffset(layer); }
    CBlockVMTC* LayerStore(int32_t layer) const override;
    bool PlaysVersion33OrLower() const override;
    CPenShapeObj* PenShape() const override { return paper_.GetPenShape(); }

   private:
    // The selection's mask as the writers sample it (store coordinates of the mask).
    class ActiveMaskSampler final : public MaskSampler {
     public:
      const CMaskData* mask = nullptr;
      bool IsAllocated() const override;
      int32_t ValueAt(int32_t x, int32_t y, int32_t value) const override;
    };
    TPaper& paper_;
    ActiveMaskSampler maskSampler_;
  };
  // Refuses a point that is not finite, bounds the others around the canvas, pressure to 0..1.
  bool AcceptStrokePoint(float& x, float& y, float& pressure) const;
  // The working copy as the stroke manager paints into it.
  static SStrokeCanvas CanvasOf(TFlowImage& flow);
  // The stroke's store rectangle cut to the layer's store (empty when nothing of it is inside).
  void ClipStrokeToStore(int32_t layer, SRectWH& store) const;
  void SetStrokeProgress(bool active, int32_t points);
  int32_t strokePoints_ = 0;
  bool strokePointFailed_ = false;  // a point of the open stroke was not painted
  std::unique_ptr<CStrokeMngr> strokeMngr_;
  StrokeSideImpl strokeSide_{*this};
  PenRecordSource penSource_;

 public:
  // ---- View (PaperView.cpp) ----
  void SetViewScroll(int32_t x, int32_t y) { viewScroll = {x, y}; }
  void SetViewOffset(int32_t x, int32_t y) { viewOffset = {x, y}; }
  float GetZoom() const;
  // Stores the ratio, clamped to 1/16 .. 16/1; a denominator of 0 or less is refused and the
  // ratio kept. Answers the zoom in force.
  float SetZoomRatio(int32_t numerator, int32_t denominator);
  bool CanZoomIn() const;
  bool CanZoomOut() const;
  void ZoomIn();
  void ZoomOut();
  void ResetZoom();
  bool IsRotated() const { return rotation.radians != 0.0f; }
  void SetRotationCenter(float x, float y);
  // Brought into (-360, 0]; exact sine and cosine at the quarter turns.
  void SetRotationDegrees(float degrees);
  // Stored as given, without normalisation.
  void SetRotationAngle(float radians);
  // Pans a rotated view by a window-space distance.
  void MoveRotationCenter(float dx, float dy);
  // The canvas point at the window centre.
  void GetViewCenter(int32_t clientWidth, int32_t clientHeight, int32_t& x, int32_t& y) const;
  // Window point (pixel index) to canvas coordinates (pixel centres at whole numbers).
  void ClientToCanvas(int32_t clientWidth, int32_t clientHeight, float& x, float& y) const;
  // The part of the canvas the window shows: the bounding box of the client area's corners
  // mapped into canvas coordinates (whole pixels, right and bottom exclusive), clipped to the
  // canvas. False, with an empty rectangle, without a window or when nothing of the canvas shows.
  bool GetVisibleCanvasRect(TRect& rect) const;
  // Canvas coordinates to window coordinates, with the window's client size.
  void CanvasToClient(float& x, float& y) const;
  void CanvasToClientPoint(TPoint& point) const;
  // The two mappings with an explicit client size.
  void CanvasToClientIn(int32_t clientWidth, int32_t clientHeight, float& x, float& y) const;
  void SetGrid(bool on, int32_t stepX, int32_t stepY, bool redraw);
  void ApplyGridSettings(bool redraw);
  bool GetGridVisible() const { return gridVisible != 0; }
  // Only while the paper colour is white and a value differs: both stored, and with redraw the
  // active layer's view refreshed. True when something changed. Neither recorded nor undone.
  bool SetBackgroundView(bool showCanvasColor, bool pattern, bool redraw);
  bool SetShowCanvasColor(bool on);
  bool SetBackgroundPattern(bool on);
  // The window caption: the file name (or whole path), with "( mode protected )" when either
  // applies.
  void GetCaption(std::string& text) const;
  // With rebuild the view is rendered again; then painted at once during playback, else
  // invalidated.
  void UpdateView(WindowHandle window, bool rebuild);
  void RefreshView();

  // ---- Set-up (PaperSetup.cpp) ----
  // Sets up a new document: canvas, first layer, paper, the new-document event and the start of
  // recording; ready. False, with nothing recorded, when an argument is refused (a size below 1
  // or beyond what a display buffer holds, a document set up already) or the first layer cannot
  // be made; the document is then not ready.
  bool InitDocument(const std::string& path, TFlowImage* flow, bool transparent, bool hideCanvasColor,
                    int32_t resolution, int32_t layerHeight, int32_t layerWidth, int32_t canvasHeight,
                    int32_t canvasWidth);
  bool NewDocument(const std::string& path, TFlowImage* flow, bool transparent, bool hideCanvasColor,
                   int32_t resolution, int32_t height, int32_t width);
  // Selection slots of the size, then NewDocument with the canvas colour shown, resolution 0.
  bool NewDocumentWithSlots(const std::string& path, TFlowImage* flow, int32_t height, int32_t width);
  // Starts the event stream; false when recording is off.
  bool StartEventRecording();
  // Canvas, layer stack's canvas size, selection slots, mask thumbnails, working copy, display
  // buffer and scroll bars. False (the canvas unchanged) for a size the display buffer cannot
  // hold; the other buffers may have followed.
  bool SetCanvasSize(TFlowImage* flow, int32_t width, int32_t height);
  // Paper colour := colour; nothing else.
  void StorePaperColor(uint32_t colour) { paperColor = colour; }
  // Records the colour (with record), pushes its undo, sets it and redraws.
  bool SetPaperColor(uint32_t colour, bool record);

  // ---- Gradation ----
  CGradation& Gradation() const { return *gradation_; }
  // Integer points, set as 16.16.
  void SetGradientLineInt(const TPoint& p0, const TPoint& p1);
  void GetGradientLine(TPoint& p0, TPoint& p1) const;
  // The current gradient's stops and options taken into the gradation.
  void UpdateGradation();

  // ---- Masks, selection outline and document undo (PaperMasks.cpp, PaperUndo.cpp) ----
  // The real managers behind Masks(), Slots() and DocumentUndo(); null when another stands there.
  CMaskMngr* MaskMngr() const;
  TSelectMng* SelectMngr() const;
  CUndoMngrEx* UndoMngr() const;
  // The outline of the active mask over the canvas; its step; drawn into the client area.
  bool RebuildSelectionOutline();
  bool StepAnts();
  bool DrawAnts(Surface& surface, int32_t clientWidth, int32_t clientHeight);
  // Document undo present: its list is not empty; otherwise the layer's own pixel undo.
  bool CanUndo(int32_t layerIndex) const;
  bool CanRedo(int32_t layerIndex) const;
  // One step of the document undo, the event stream moved with it, then the refresh its code asks
  // for; rect is the refresh rectangle. A record that cannot be applied (or whose layer is gone)
  // empties both lists and the stream's steps ahead. Without document undo, UndoLayerPixels.
  bool Undo(TFlowImage* flow, int32_t layerIndex, SRectWH& rect);
  bool Redo(TFlowImage* flow, int32_t layerIndex, SRectWH& rect);
  // Legacy document: the layer's own pixel undo into the store and the working copy.
  bool UndoLayerPixels(TFlowImage* flow, int32_t layerIndex, SRectWH& rect);
  // Empty the redo list / both lists, and the stream's checkpoints ahead while recording.
  void ClearRedo();
  void ClearUndo();
  // Every layer's own pixel undo, then ClearUndo.
  void ClearAllUndo();
  // The checkpoint ring resized to GetCheckpointCapacity, then the undo depth applied; false
  // (and the warning) when the ring cannot be resized.
  bool ApplyUndoDepth();
  bool IsUndoEnabled() const;

  // ---- Layer commands (PaperLayers.cpp) ----
  // count < 10000, and for a mode >= 0 also a mode of 0..21.
  bool CanAddLayer(int32_t mode) const;
  bool CanDeleteLayer() const { return GetLayerCount() > 1; }
  int32_t GetVisibleLayerCount() const;
  // Folder span + 1 of the layer (1 when the span cannot be computed).
  int32_t GetGroupSize(int32_t index) const;
  bool GetLayerProtect(int32_t index) const;
  // Inserts a layer at the position taking the depth of the layer below it; index or -1.
  int32_t InsertLayer(int32_t position, int32_t width, bool visible, uint8_t opacity, uint8_t mode,
                      int32_t height);
  // A layer between a folder row and its content joins the folder; true when its depth changed.
  bool AdoptGroupDepth(int32_t index);
  // Recomposes the canvas over the stores of the layer (or of its whole folder block).
  bool RefreshLayerOrGroup(int32_t index, bool navigator);
  // Each command checks every argument first and refuses (false, nothing recorded or changed);
  // with record it writes its event, then its undo record, then changes and refreshes.
  bool AddLayer(TFlowImage* flow, int32_t position, bool record, bool visible, uint8_t opacity, int32_t mode,
                int32_t height, int32_t width);
  bool AddLayerAboveActive(TFlowImage* flow, int32_t mode, bool record);
  bool NewLayer(TFlowImage* flow, int32_t position, bool record, bool visible, const std::string& name,
                uint32_t colour, uint8_t opacity, int32_t mode, int32_t height, int32_t width);
  bool DuplicateLayer(TFlowImage* flow, int32_t index, bool record);
  bool DeleteLayer(TFlowImage* flow, int32_t index, bool record);
  bool MoveLayer(TFlowImage* flow, int32_t from, bool record, int32_t to);
  bool RenameLayer(TFlowImage* flow, int32_t index, bool record, const std::string& name);
  bool SetLayerVisible(int32_t index, bool visible, bool record);
  bool ShowActiveLayerOnly(int32_t index, bool record);
  bool SetAllLayersVisible(int32_t index, bool show, bool record);
  bool InvertLayerVisibility(int32_t index, bool record);
  bool SetLayerOpacity(int32_t index, uint8_t opacity, bool record);
  bool StoreLayerOpacity(int32_t index, uint8_t opacity);
  bool SetLayerBlendMode(int32_t index, int32_t mode, bool record);
  bool SetLayerDissolve(int32_t index, bool dissolve, bool record, uint8_t threshold);
  // index -1: the active layer; value -1 toggles, 0 off, above 0 on.
  bool SetLayerProtect(int32_t index, int32_t value, bool record);
  // Forms the older version's event player calls (never recorded).
  bool AddTopLayer(TFlowImage* flow, int32_t mode);
  bool DuplicateToTop(TFlowImage* flow);
  bool DeleteLayerNoRecord(TFlowImage* flow, int32_t index) { return DeleteLayer(flow, index, false); }
  // The layer commands as the layer list gives them: a folder row goes to its folder command
  // (DeleteFolderRow, SetGroupVisible over the folder and its content), a plain layer to the
  // layer's own.
  bool DeleteLayerOrGroup(TFlowImage* flow, int32_t index, bool record);
  bool SetLayerOrGroupVisible(int32_t index, bool visible, bool record);

  // ---- Layer transforms (PaperTransform.cpp) ----
  // Codes 7 mirror left-right, 8 top-bottom, 9 invert colours, 10 turn 180, 11 invert alpha,
  // over the whole store, reversible.
  bool ApplyLayerCommand(TFlowImage* flow, int32_t index, bool record, uint8_t code);
  bool FlipLayerHorizontal(TFlowImage* flow, int32_t index, bool record);
  bool FlipLayerVertical(TFlowImage* flow, int32_t index, bool record);
  bool InvertLayerColors(TFlowImage* flow, int32_t index, bool record);
  bool RotateLayer180(TFlowImage* flow, int32_t index, bool record);
  bool RotateLayer90(TFlowImage* flow, int32_t index, bool record, bool clockwise);
  // A finite angle in degrees, bilinear.
  bool RotateLayerFree(TFlowImage* flow, int32_t index, bool record, float degrees);
  // The whole store scaled (area averaging) to width x height.
  bool ScaleLayer(TFlowImage* flow, int32_t index, bool record, int32_t width, int32_t height);
  // The undo record of a layer rebuilt in place of another (code 36): it names the layer now in
  // the stack and holds the former one. On true the undo owns the former layer.
  bool PushRebuildUndo(CLayerData* former, const CLayerData& now, int32_t index);

  // ---- Layer images, clipboard pastes and selection transforms (PaperImages.cpp) ----
  // Bounds: the canvas rectangle (0, 0, width, height) united with the store rectangles (canvas
  // coordinates) of the valid layers first .. first + count - 1 whose visible flag equals the
  // state; the number of layers that matched. The other forms: all layers by visibility, a range
  // regardless of visibility, every store.
  int32_t GetLayersBounds(int32_t first, int32_t count, bool visible, TRect& bounds) const;
  int32_t GetAllLayersBounds(TRect& bounds, bool visible) const;
  int32_t GetLayerRangeBounds(int32_t first, int32_t count, TRect& bounds) const;
  int32_t GetAllStoresBounds(TRect& bounds) const;
  // Recomposes the canvas over the content of one layer; true when any of it was visible.
  bool RefreshLayerContent(int32_t index, bool navigator);
  // InsertLayer at the canvas size.
  int32_t InsertCanvasLayer(int32_t position, bool visible, uint8_t opacity, uint8_t mode);
  // The layer's store cut to the canvas (a new layer with the canvas part of the store); refused
  // when the store is not larger than the canvas.
  bool TrimLayer(TFlowImage* flow, int32_t index, bool record);
  // The clipboard's image as a new top layer, with the layer attributes copied with it when there
  // are any; false when the clipboard holds no image.
  bool PasteClipboardAsLayer(TFlowImage* flow, bool record);
  // The image as a new top layer whose store covers the canvas, the image and what the attributes
  // ask for; attributes may be null. Refused for an empty or oversized image and for attribute
  // positions and sizes that are negative or beyond the tiled store's reach.
  bool AddImageLayer(TFlowImage* flow, const TMTC& image, bool record, const std::string& name,
                     const SClipLayerAttr* attributes);
  // The image into the layer's store at (0, 0), cut to the store. Recorded with the layer's
  // whole store after the paste, so that a replay writes the same pixels.
  bool PasteImageToLayer(TFlowImage* flow, int32_t index, bool record, const std::string& name,
                         const SClipLayerAttr* attributes, const TMTC& image);
  // Older player only (never recorded): the store replaced by a canvas-size store of the neutral
  // colour holding the old store at (dx, dy).
  bool ShiftLayerLegacy(TFlowImage* flow, int32_t index, int32_t dx, int32_t dy);
  // Codes 7 mirror left-right, 8 top-bottom, 9 invert colours, 10 turn by 180 degrees, applied
  // within the bounding rectangle of the mask (-1: the active one) and written back through it;
  // with withAlpha clear the store's alpha stays. An empty mask applies the code to the layer.
  bool TransformInSelection(TFlowImage* flow, int32_t index, bool record, bool withAlpha, uint8_t code,
                            int32_t mask);
  bool FlipSelectionHorizontal(TFlowImage* flow, int32_t index, bool record);
  bool FlipSelectionVertical(TFlowImage* flow, int32_t index, bool record);
  bool InvertSelectionColors(TFlowImage* flow, int32_t index, bool record);
  bool RotateSelection180(TFlowImage* flow, int32_t index, bool record);
  // Codes 12 mirror left-right, 13 top-bottom, 14 invert colours, 15 turn by 180 degrees over
  // every layer, or over the visible layers only.
  bool ApplyImageToAll(TFlowImage* flow, uint8_t code, bool record);
  bool ApplyImageToVisible(TFlowImage* flow, uint8_t code, bool record);
  // The user interface's image commands: all layers or the visible ones, always recorded.
  bool FlipImageHorizontal(TFlowImage* flow, bool allLayers);
  bool FlipImageVertical(TFlowImage* flow, bool allLayers);
  bool InvertImage(TFlowImage* flow, bool allLayers);
  bool RotateImage180(TFlowImage* flow, bool allLayers);

  // ---- Mask and selection commands (PaperSelection.cpp) ----
  // Reading the mask list (no event, no undo).
  int32_t GetMaskCount() const;
  CMaskData* GetActiveMask() const;
  CMaskData* GetMask(int32_t index) const;
  // The active index holds a mask object / the active mask holds a store.
  bool HasActiveMask() const;
  bool HasSelection() const;
  // The active mask's store reaches past the canvas.
  bool CanTrimOutMask() const;
  // -1 without a selection; else the active mask's value under the window point (-1 outside its
  // store).
  int32_t SelectionValueAt(int32_t clientX, int32_t clientY) const;
  // The outline of the active mask: over the canvas of the given size, or over its store.
  bool RebuildAnts(const SSize* canvasSize);
  void SetAntsOffset(const TPoint& offset);
  TPoint GetAntsOffset() const;
  // Both selection bytes, the outline retraced over the canvas, the window invalidated.
  void SetSelectionFlags(bool enabled, bool visible);
  // enabled * 65536 + visible, the form events and undo records carry.
  int32_t SelectionFlagsWord() const;
  // The combine mode of a new selection shape from the modifier keys held now and the
  // ShortcutMode setting: 0 replace, 1 add, 2 subtract, 3 intersect; 0 without a selection.
  int32_t GetSelectionCombineMode() const;
  // The window takes a command now, the selection is in force, the active layer is shown and
  // the selection exists.
  bool CanSelectionToLayer() const;
  void RepaintMaskList(int32_t index);
  void RefreshMaskThumbnails();

  // Mask and selection commands. Each takes the working copy, the layer it records and the
  // record flag; a mask argument of -1 is the active mask. Every layer and mask argument is
  // range-tested first: a refused argument answers false with nothing recorded or changed.
  // Selection shapes in the layer's store coordinates, combined into the active mask by mode
  // (0..3). False, nothing recorded, when the shape covers no pixel of the store.
  bool SelectRect(TFlowImage* flow, int32_t layer, bool record, int32_t mode, const TPoint& p1, const TPoint& p2);
  bool SelectPolygon(TFlowImage* flow, int32_t layer, bool record, int32_t mode, int32_t count,
                     const TPoint* points);
  // newerVariant: the ellipse is shaped by the whole rectangle even where it is clipped.
  bool SelectEllipse(TFlowImage* flow, int32_t layer, bool record, int32_t mode, const TPoint& p1,
                     const TPoint& p2, bool newerVariant);
  // The working copy's channel (a rendered text or stroke) combined into the active mask at the
  // layer's offset, by the mode (-1: from the modifier keys); no event of its own. The channel
  // is cleared afterwards in every case.
  bool SelectFromWorkChannel(TFlowImage* flow, int32_t layer, bool record, int32_t mode = -1);
  // The whole store of the layer becomes the selection.
  bool SelectAll(TFlowImage* flow, int32_t layer, bool record);
  bool CancelSelection(TFlowImage* flow, int32_t layer, bool record);
  bool InvertSelection(TFlowImage* flow, int32_t layer, bool record);
  // Change the byte when the active index holds a mask; answer the byte in force.
  uint8_t SetSelectionVisible(TFlowImage* flow, int32_t layer, bool record, bool value);
  uint8_t SetSelectionEnabled(TFlowImage* flow, int32_t layer, bool record, bool value);
  // Shows the selection moved by (dx, dy); false for (0, 0), without a selection or for an offset
  // beyond the mask limits; true also when the moved selection leaves the canvas.
  bool OffsetMask(TFlowImage* flow, int32_t layer, bool record, int32_t dx, int32_t dy);
  // index 0..count (count appends an empty mask) becomes active.
  bool SetActiveMask(TFlowImage* flow, int32_t layer, bool record, int32_t index);
  bool RenameMask(TFlowImage* flow, int32_t layer, bool record, const std::string& name, int32_t mask);
  // A new empty mask at index (-1: above the active one), made active.
  bool NewMask(TFlowImage* flow, int32_t layer, bool record, int32_t index);
  // Makes the mask active and removes it; needs two masks at least.
  bool DeleteMask(TFlowImage* flow, int32_t layer, bool record, int32_t mask);
  // A copy at the mask's index (the source moves down one), made active.
  bool DuplicateMask(TFlowImage* flow, int32_t layer, bool record, int32_t mask);
  // The mask's store cut to the canvas; false when it lies inside the canvas already.
  bool TrimOutMask(TFlowImage* flow, int32_t layer, bool record, int32_t mask);
  bool MoveMask(TFlowImage* flow, int32_t layer, bool record, int32_t from, int32_t to);
  bool CombineMasks(TFlowImage* flow, int32_t layer, bool record, int32_t mode, int32_t source, int32_t target);
  // kind 0: dark pixels of the layer selected; kind 1: its alpha. The new mask goes above the
  // mask and becomes active. combine is not used (every caller passes 0).
  bool NewMaskFromLayer(TFlowImage* flow, int32_t layer, bool record, int32_t combine, int32_t kind,
                        int32_t mask);
  // Grow (or shrink) the selection by one pixel; the store grows on each side the selection
  // touches, so that nothing moves on the canvas. The InStore form keeps the store.
  bool GrowSelectionOnePixel(TFlowImage* flow, int32_t layer, bool record, bool grow, int32_t mask);
  bool ShrinkSelectionOnePixel(TFlowImage* flow, int32_t layer, bool record, int32_t mask) {
    return GrowSelectionOnePixel(flow, layer, record, false, mask);
  }
  bool GrowSelectionOnePixelInStore(TFlowImage* flow, int32_t layer, bool record, bool grow, int32_t mask);
  // The selected part of the layer becomes a new layer above it; without keepSource it leaves
  // the source (kind 0 or 1: the two ways of reducing the alpha by the coverage).
  bool SelectionToNewLayer(TFlowImage* flow, int32_t layer, bool record, bool keepSource, int32_t kind,
                           int32_t mask);
  // The selected part goes to the clipboard (only with record) and out of the layer.
  bool CutSelection(TFlowImage* flow, int32_t layer, bool record, int32_t mask);
  // The mask's coverage becomes the layer's alpha.
  bool SelectionToLayerAlpha(TFlowImage* flow, int32_t layer, bool record, int32_t mask);

  // ---- Seed fill, magic wand and layer fills (PaperFill.cpp) ----
  // Whole-layer pixel commands. Each checks the layer index (0..count - 1) and, where it takes
  // one, the mask index (-1: the active mask) and refuses (false, nothing recorded or changed);
  // with record it records and pushes its undo before the change.
  bool ClearLayer(TFlowImage* flow, int32_t index, bool record);
  bool FillLayerAlpha(TFlowImage* flow, int32_t index, bool record, uint8_t alpha);
  bool InvertLayerAlpha(TFlowImage* flow, int32_t index, bool record);
  // SelectionToLayerAlpha stands with the mask and selection commands.
  // Shape fills with the current stroke into the working copy, written back over the painted
  // rectangle. They record after the change and only when a pixel was painted; a fill that
  // painted nothing answers false and leaves no undo record behind. Points are store
  // coordinates of the layer; the second point travels as floats in the recording.
  bool FillRect(TFlowImage* flow, int32_t index, bool record, bool saveUndo, const TPoint& a, const SPointF& b);
  bool FillPolygon(TFlowImage* flow, int32_t index, bool record, int32_t count, const TPoint* points);
  // newer: the ellipse keeps its whole rectangle when clipped (recorded as 6/6; the older kind
  // as 6/3).
  bool FillEllipse(TFlowImage* flow, int32_t index, bool record, const TPoint& a, const SPointF& b, bool newer);
  // The fills themselves: true when a pixel was painted; bounds gets the filled rectangle.
  bool RunRectFill(TFlowImage* flow, int32_t index, bool saveUndo, SRectWH& bounds, const TPoint& a,
                   const SPointF& b);
  bool RunPolygonFill(TFlowImage* flow, int32_t index, bool saveUndo, SRectWH& bounds, int32_t count,
                      const TPoint* points);
  bool RunEllipseFill(TFlowImage* flow, int32_t index, bool saveUndo, SRectWH& bounds, const TPoint& a,
                      const SPointF& b, bool newer);
  // The layer's whole store filled with a colour through the rectangle fill (6/0).
  bool FillLayer(TFlowImage* flow, int32_t index, bool record, bool saveUndo, uint32_t colour);
  // Sets the gradient line; unless onlySet, fills the layer with the gradient (6/2).
  bool GradientFillLayer(TFlowImage* flow, int32_t index, bool record, bool onlySet, const TPoint& start,
                         const SPointF& end);
  // Older recordings: the whole layer := the colour (alpha kept when the stroke keeps alpha on a
  // modern document, else 255). Not recorded.
  bool FillLayerColor(TFlowImage* flow, int32_t index, uint32_t colour);
  // The selected part of the layer filled with the colour (normally the paper colour): coverage
  // m of the selection paints the colour at m and takes m out of a visible pixel's alpha (6/5).
  // False when there is no selection in force or the selection misses the layer.
  bool ClearSelection(TFlowImage* flow, int32_t index, uint32_t colour, bool record);
  bool CanClearSelection() const;

  // Seed fills. The composed picture of the visible layers goes into the working copy (state 2)
  // over bounds, the union of the canvas and every store in canvas coordinates; repeated clicks
  // reuse it until a layer is loaded again.
  bool ComposeForFill(TFlowImage* flow, TRect& bounds);
  // The fill channel of the working copy from a seed in the layer's store coordinates. The
  // composite forms fill the composed picture (channel in picture coordinates: canvas - bounds
  // left/top); the layer forms the layer's store. A mask index of -1 means the active mask; an
  // unallocated mask does not limit the fill. False for an empty area or a seed outside the
  // canvas; after a queue overflow true with the part found (kSeedFillTooComplexText is shown).
  bool SeedFillComposite(TFlowImage* flow, int32_t layer, bool antiAlias, int32_t tolerance, TRect& bounds,
                         const TPoint& seed);
  bool SeedFillCompositeInMask(TFlowImage* flow, int32_t layer, bool antiAlias, int32_t tolerance, TRect& bounds,
                               const TPoint& seed, int32_t mask);
  bool SeedFillLayer(TFlowImage* flow, int32_t layer, const TPoint& seed, bool antiAlias, int32_t tolerance);
  bool SeedFillLayerInMask(TFlowImage* flow, int32_t layer, int32_t mask, bool antiAlias, int32_t tolerance,
                           const TPoint& seed);
  // The magic wand: the area combined into the active mask by the mode (0 replace, 1 add,
  // 2 subtract, 3 intersect); 13/3 with the channel, so a replay does not run the fill again.
  bool MagicWand(TFlowImage* flow, int32_t layer, bool record, bool antiAlias, int32_t mode, const TPoint& seed);
  // The working copy's channel over the area (its size, and the canvas origin inside it)
  // combined into the active mask (13/3), or over the layer's store (13/1).
  bool CombineWandChannel(TFlowImage* flow, int32_t layer, bool record, bool antiAlias, int32_t mode,
                          const TPoint& areaSize, const TPoint& areaOffset, const TPoint& seed);
  bool CombineWandChannelAtLayer(TFlowImage* flow, int32_t layer, bool record, bool antiAlias, int32_t mode,
                                 const TPoint& seed);
  // The bucket fill (eraser: the magic eraser), kept inside the selection; 13/0, 13/4 or, when
  // the composed picture's area is larger than the store, 13/2, 13/5.
  bool BucketFill(TFlowImage* flow, int32_t layer, bool record, bool eraser, bool antiAlias, const TPoint& seed);
  // The working copy's channel painted into the layer with the current stroke's colour (or
  // erased); the Grow form first puts a copy of the layer whose store covers the area in its
  // place. The player calls both with the recorded channel in the working copy.
  bool PaintFillChannel(TFlowImage* flow, int32_t layer, bool record, bool eraser, bool antiAlias,
                        const TPoint& seed);
  bool PaintFillChannelGrow(TFlowImage* flow, int32_t layer, bool record, bool eraser, bool antiAlias,
                            const TPoint& areaSize, const TPoint& areaOffset, const TPoint& seed);

  // ---- Canvas transforms and moving layers (PaperCanvas.cpp) ----
  // Canvas commands. Sizes from the user interface and from events alike are checked first
  // (canvas sides 1..10000, every store the command builds addressable): a refused command
  // returns false, records and changes nothing. With undo enabled and recording, the resize, trim
  // and resolution build a whole new layer stack and hand the old one to the undo (codes 50 to
  // 52); without, the resize and resolution change the stores in place and clear all undo.
  // The canvas turned by 90 degrees (2/4 clockwise, 2/5), undone by code 49.
  bool RotateCanvas90(TFlowImage* flow, bool clockwise, bool record);
  // The turn itself (also the undo's): all turned stores are built before any is installed; false
  // (the message shown) leaves every layer and the canvas as they were.
  bool TurnCanvas90(TFlowImage* flow, bool clockwise);
  // New canvas size; the old canvas lies at AnchorOffset(new, old, anchor) in the new one (2/2).
  bool ResizeCanvas(TFlowImage* flow, int32_t width, bool record, bool keepAttributes, uint8_t anchor,
                    int32_t height);
  // The in-place form of the resize over one scratch image; false leaves the document as it was.
  bool ResizeCanvasInPlace(TFlowImage* flow, int32_t width, int32_t height, const TPoint& d);
  // The canvas cut to the rectangle (canvas coordinates); layerIndex is recorded (2/11).
  bool TrimCanvas(TFlowImage* flow, int32_t layerIndex, bool keepAttributes, bool record, const SRectWH& rect);
  // Every layer and mask resampled to the new canvas: averaged (2/9) or sampled (2/3).
  bool ChangeResolution(TFlowImage* flow, int32_t width, bool record, bool keepAttributes, int32_t height);
  bool ChangeResolutionSampled(TFlowImage* flow, int32_t width, bool record, bool keepAttributes, int32_t height);
  bool ResampleCanvas(TFlowImage* flow, int32_t width, int32_t height, bool record, bool keepAttributes,
                      int32_t method);
  bool ResampleInPlace(TFlowImage* flow, int32_t width, int32_t height, int32_t method);
  // Installs the stack and sets the canvas size; on true layers holds the previous stack, on
  // false (the canvas cannot take the size) nothing changed.
  bool SwapLayerMngr(TFlowImage* flow, int32_t width, int32_t height, std::unique_ptr<CLayerMngr>& layers);
  // Exchanges the masks with those of the given manager (which then holds the previous ones),
  // refreshes the thumbnails and traces the outline again when one was shown.
  bool SwapMaskMngr(int32_t width, int32_t height, std::unique_ptr<CMaskMngr>& masks);
  // Every mask's offset minus d, the outline traced again when shown; true when there was a mask.
  bool MoveAllMasks(const TPoint& d);
  // The older version's canvas size and image size, played only.
  bool ResizeCanvasOld(TFlowImage* flow, int32_t width, uint8_t anchor, int32_t height);
  bool ResizeImageOld(TFlowImage* flow, int32_t width, int32_t height);
  // The reader of the first older document kind: not available, says so and answers false.
  bool ReadOldDocumentV1();
  // Moving layers on the canvas. A move is refused (false, nothing recorded or changed) for an
  // invalid index, a distance of (0, 0), a distance beyond what a store side reaches, or a grown
  // store beyond that. A layer whose moved store would no longer cover the canvas is rebuilt in a
  // larger store (the grow forms); a folder row moves its whole block.
  // Bit 1: the moved store leaves the canvas uncovered horizontally; bit 2 vertically.
  int32_t GetOffsetOverflow(const CLayerData& layer, int32_t dx, int32_t dy) const;
  bool OffsetLayer(TFlowImage* flow, int32_t index, bool record, int32_t dy, int32_t dx);
  bool OffsetLayerGrow(TFlowImage* flow, int32_t index, bool record, int32_t dy, int32_t dx, int32_t bits);
  // The played form of the grown move: bits and flag (1) as recorded.
  bool OffsetLayerEx(TFlowImage* flow, int32_t index, bool record, uint8_t bits, uint8_t flag, int32_t dy,
                     int32_t dx);
  // The layer with the selection (mask -1: the active mask); without selection pixels OffsetLayer.
  bool OffsetLayerInMask(TFlowImage* flow, int32_t index, bool record, const TPoint& d, int32_t mask);
  bool OffsetLayerInMaskGrow(TFlowImage* flow, int32_t index, bool record, const TPoint& d, int32_t mask,
                             int32_t bits);
  bool OffsetLayerInMaskEx(TFlowImage* flow, int32_t index, bool record, const TPoint& d, int32_t mask,
                           int32_t bits);
  // count layers from index (a folder block), with or without the selection.
  bool OffsetGroup(TFlowImage* flow, int32_t index, bool record, const TPoint& d, int32_t count);
  bool OffsetGroupInMask(TFlowImage* flow, int32_t index, bool record, const TPoint& d, int32_t count,
                         int32_t mask);
  // For each of the count layers a grown copy (when it overflows) or null; false (list empty)
  // when a copy cannot be made.
  bool BuildGrownLayers(int32_t index, int32_t count, const TPoint& d,
                        std::vector<std::unique_ptr<CLayerData>>& list);
  // Each grown copy goes in place of its layer (the list then holds the old one); the others move.
  void ApplyGroupOffset(int32_t index, const TPoint& d, std::vector<std::unique_ptr<CLayerData>>& list);
  // The mask's offset minus d, its thumbnail, and with retrace the selection outline again.
  bool OffsetMaskBy(CMaskData& mask, const TPoint& d, bool retrace);

  // ---- Folders, merges, selection grow and shrink, colour range (PaperFolders.cpp) ----
  // Tests of the menus. A legacy document merges down any layer above the bottom.
  bool CanMergeDown(int32_t index) const;
  // At least two layers visible and the lowest visible one is the bottom (first := the lowest
  // visible index, -1 when none). Without composite, a non-zero word wants the bottom layer in
  // multiply or normal mode, word 0 one not in add or subtract mode.
  bool CanMergeVisible(int32_t& first, bool composite, uint32_t modeWord) const;
  bool CanShiftGroupDepth(int32_t index, bool deeper, bool rebuild) const;
  bool CanChangeGroupDepth(bool deeper, bool rebuild) const;
  bool HasLayerGroups() const;
  int32_t GetActiveGroupSize() const { return GetGroupSize(GetActiveLayerIndex()); }
  // A folder row with content that is visible and in normal mode.
  bool CanMergeGroup(int32_t index) const;
  // A folder row with content that is not the whole stack.
  bool CanDeleteGroup(int32_t index) const;
  // GetLayersBounds (visible layers) or GetLayerRangeBounds (all) as a rectangle; a range is
  // clamped to the stack.
  SRectWH GetLayersBounds(int32_t index, int32_t count, bool visibleOnly) const;
  SRectWH GetAllLayersBounds(bool visibleOnly) const { return GetLayersBounds(0, GetLayerCount(), visibleOnly); }
  // Folder commands. A folder row is a layer whose following layers are deeper; moving, hiding,
  // deleting and merging a row act on its whole block. Each checks every argument first and
  // refuses (false, nothing recorded or changed).
  // Removes the folder row only; its content moves one level up. A plain layer is deleted.
  bool DeleteFolderRow(TFlowImage* flow, int32_t index, bool record);
  // Shows or hides the count layers from index (1 <= count <= layers from index); true without
  // change when the layer at index is so already.
  bool SetGroupVisible(int32_t index, int32_t count, bool record, bool visible);
  // The layer and its folder content one level deeper (into the folder below) or shallower.
  bool ChangeGroupDepth(TFlowImage* flow, int32_t index, bool record, bool deeper);
  // The block of count layers (the row's group size) from `from` to before position `to`.
  bool MoveLayerGroup(TFlowImage* flow, int32_t from, bool record, int32_t to, int32_t count);
  // The folder of size layers at index composed into one layer with the row's name and depth.
  bool MergeGroup(TFlowImage* flow, int32_t index, bool record, int32_t size);
  // Removes the folder of size layers at index.
  bool DeleteGroup(TFlowImage* flow, int32_t index, bool record, int32_t size);
  // Merges layer index into the layer below: per-layer combine (MergeDown), or the composite of
  // the mode word (BindLowerLayer; the main menu passes 0x30003: pair selector 3, zero-alpha
  // option, all attributes kept).
  bool MergeDown(TFlowImage* flow, int32_t index, bool record);
  bool BindLowerLayer(TFlowImage* flow, int32_t index, bool record, uint32_t modeWord);
  // The visible layers become one bottom layer: flatten (composite clear, word 1; the result is
  // opaque) or keeping transparency (composite set, word 0x30003). Nothing changes on failure.
  bool MergeVisibleLayers(TFlowImage* flow, bool composite, bool record, uint32_t modeWord);
  // Selection grow and shrink by radius 1..32 (mask -1: the active one). The shape value is
  // reserved and travels with the event.
  bool GrowSelectionBy(int32_t layer, int32_t mask, bool record, int32_t shape, int32_t radius);
  bool ShrinkSelectionBy(int32_t layer, int32_t mask, bool record, int32_t shape, int32_t radius);
  // The channel (at the mask offset `offset`) replaces mask n; with record the event and the
  // undo of the old mask; then the outline and both selection bytes.
  bool CommitGrownSelection(const TChannel& channel, int32_t layer, bool record, const TPoint& offset,
                            int32_t shape, int32_t radius, int32_t mask);
  bool CommitShrunkSelection(const TChannel& channel, int32_t layer, bool record, const TPoint& offset,
                             int32_t shape, int32_t radius, int32_t mask);
  // Selection by colour range: the settings record (source 0 the layer, 1 the displayed
  // picture) and its colour entries (8 bytes each) computed over the source into a channel,
  // limited to mask n's selection; when a pixel is selected the channel replaces mask n.
  bool ColorRangeSelect(int32_t layer, bool record, const SColorRangeSettings& settings,
                        const SColorEntry* entries, int32_t mask);
  // The coverage channel of the source (the layer's store size, or the canvas for the displayed
  // picture) and its selected count; false when the layer and the selection do not overlap.
  bool ComputeColorRangeChannel(int32_t layer, TChannel& channel, int32_t& selected,
                                const SColorRangeSettings& settings, const SColorEntry* entries, int32_t mask);
  // The channel replaces mask n (at the layer's offset, or the canvas origin for source 1);
  // with record the colour-range record and the channel (0/136, 13/32) and the undo.
  bool CommitColorRange(const TChannel& channel, int32_t layer, bool record, const SColorRangeSettings& settings,
                        const SColorEntry* entries, int32_t mask);

  // ---- Older engines and the older stream's commands (PaperOlder.cpp) ----
  // Engine 0's segment renderer: steps from start to end along the major axis and lays the pen
  // type's dab at every m-th step (consecutive segments share their joint point). Points that
  // are not finite are refused.
  bool RenderSegmentOld(TFlowImage* flow, TStroke& stroke, int32_t layer, const struct SStrokePoint& start,
                        const struct SStrokePoint& end);
  // A straight line at pressure 1 through engine 0's renderer, recorded as a stroke; refused when
  // the stroke's layer does not exist.
  bool DrawLine(TFlowImage* flow, TStroke& stroke, WindowHandle target, int32_t x0, int32_t y0, int32_t x1,
                int32_t y1);
  // The fill and clear commands refuse a layer outside 0..23 (or missing) and end with the
  // layer's thumbnail redrawn. An empty region fills the whole store with the colour at alpha
  // 255; otherwise the region's channel is composited with the colour over the store.
  bool FillRegion(TFlowImage* flow, const struct TSelectSlot& region, uint32_t colour, int32_t layer);
  bool FillRegionColor(TFlowImage* flow, int32_t layer, uint32_t colour, const struct TSelectSlot& region);
  // Rectangles in store coordinates, clipped; a negative size is refused. Clear: the neutral
  // colour of the layer's blend mode at alpha 255. Fill: the colour with the pixels' alpha kept.
  bool ClearRectOld(TFlowImage* flow, int32_t layer, const SRectWH& rect);
  bool FillRectOld(TFlowImage* flow, int32_t layer, const SRectWH& rect, uint32_t colour);
  // The polygon (count of the available points) traced into the current region slot, filled
  // with the colour (clear: the layer's neutral colour), the slot cleared again. slots null:
  // the document's own.
  bool FillPolygonOld(TFlowImage* flow, int32_t layer, uint32_t colour, int32_t mode, const TPoint* points,
                      int32_t available, int32_t count, TSelectMng* slots);
  bool ClearPolygonOld(TFlowImage* flow, int32_t layer, int32_t mode, const TPoint* points, int32_t available,
                       int32_t count, TSelectMng* slots);
  // Empties the layer's own pixel undo.
  bool ClearLayerUndoOld(int32_t layer);
  // Every layer i visible := (layer's visible) xor (i = layer).
  bool ToggleSoloVisibility(int32_t layer);
  // More than one visible layer, all of one blend mode: the first visible mode and index, and
  // the count of visible layers.
  bool VisibleLayersMergeable(uint8_t& mode, int32_t& first, int32_t& count) const;
  // While mergeable, the lowest visible layer and the next one composed into the lower (opacity
  // 255) and the upper deleted; then layer 0 active.
  bool MergeVisibleOld(TFlowImage* flow);

  // ---- Text (PaperText.cpp) ----
  // Commits the working copy's channel inside the rectangle (store coordinates of the stroke's
  // layer), the text tool's coverage: the stroke is bound to the document; without asSelection
  // the layer's pixels in the rectangle go to the undo (record set), the channel is painted with
  // the stroke's colour, opacity and writers onto the layer through the working copy, the view
  // and thumbnails are refreshed; with asSelection the channel is combined into the selection.
  // The channel is cleared in every case. The working copy must hold the stroke's layer.
  bool DrawStrokeInRect(TFlowImage* flow, TStroke& stroke, const SRectWH& rect, bool asSelection, bool record,
                        int32_t mode = -1);
  // The text tool's OK: the stroke takes the active layer, the job (its x, y a canvas point) is
  // rendered into the working channel at that point of the layer, recorded as text drawn (16) or
  // text selected (17) and committed by DrawStrokeInRect. Returns the glyphs drawn: 0 (nothing
  // drawn, nothing recorded) or -1 when the font or the layer cannot be had.
  int32_t CommitText(TFlowImage* flow, TStroke& stroke, struct STextJob& job, bool asSelection, bool record);
  // Combining the working channel into the selection: the selection commands' SelectFromWorkChannel
  // unless a test installs another (null: a text selection fails with a developer-output line).
  // mode: the combine mode (-1: from the modifier keys).
  using WorkChannelSelector = bool (*)(TPaper& paper, TFlowImage* flow, int32_t layer, bool record,
                                       const SRectWH& rect, int32_t mode);
  static WorkChannelSelector SetWorkChannelSelector(WorkChannelSelector selector);

  // ---- Buffers ----
  TTC& DisplayBuffer() const { return *displayBuffer_; }
  TTC& ViewBuffer() const { return *viewBuffer_; }
  TTC& PatternBuffer() const { return *patternBuffer_; }
  TMTC* NavigatorImage() const { return navigator_.get(); }
  CScaleImageTMTC& ViewScaler() const { return *viewScaler_; }

 private:
  friend class PaperCommand;
  bool UndoRedo(bool undoing, TFlowImage* flow, int32_t layerIndex, SRectWH& rect);
  // The end of a recorded stroke (PaperStroke.cpp): its undo save and its merge into the store.
  // A stroke whose undo cannot be saved, one of whose points could not be painted, or whose
  // pixels cannot be merged, is taken back, so that
  // the document, its undo list and its recording stay in step: its recorded step is dropped,
  // the working copy is restored from the store over the stroke and the out-of-memory message is
  // shown (after a failed merge the undo history goes too, as its newest record has no step).
  // False when the stroke was taken back.
  bool SaveStrokeUndo(TFlowImage* flow, int32_t layer, const SRectWH& store);
  bool MergeStroke(TFlowImage* flow, int32_t layer, const SRectWH& store, bool record);
  void TakeBackStroke(TFlowImage* flow, int32_t layer, const SRectWH& store, bool record);
  // Puts a rebuilt layer (fitted to its content) in place of the layer at index, records and
  // pushes the former layer's undo, then reloads and refreshes (PaperTransform.cpp).
  bool ReplaceRebuiltLayer(TFlowImage* flow, int32_t index, std::unique_ptr<CLayerData> built,
                           PaperCommand& command, const std::function<void(CEventMngr&)>& write);

  // Layer images, clipboard pastes and selection transforms: private state

  // Mask and selection commands: private state
  // Combines a channel into the active mask at the layer's offset and store size; the old mask
  // goes to the undo (code 56). False when the combine fails.
  bool CombineIntoSelection(PaperCommand& command, const TChannel& channel, int32_t layer, int32_t mode);
  // A shape filled into the working copy's channel, then CombineIntoSelection.
  bool SelectShape(TFlowImage* flow, int32_t layer, bool record, int32_t mode, int kind, const TPoint* points,
                   int32_t count, bool newerVariant);
  // Makes the mask active without recording: outline retraced, window invalidated, pane updated.
  bool ActivateMask(int32_t index);
  // Resolves -1 to the active mask; -1 when the index names no mask.
  int32_t ResolveMaskIndex(int32_t mask) const;
  bool GrowOnePixel(TFlowImage* flow, int32_t layer, bool record, bool grow, int32_t mask, bool growStore);

  // Seed fill, magic wand and layer fills: private state
  // The body shared by the three shape fills: the filler made by make() runs into the working copy.
  bool RunShapeFill(TFlowImage* flow, int32_t index, bool saveUndo, SRectWH& bounds,
                    const std::function<std::unique_ptr<CFillMngr>(TStroke& stroke, int32_t w, int32_t h)>& make);
  // Record and refresh of a shape fill that painted (code 1, 3, 6 or 4 with the points).
  bool FinishShapeFill(TFlowImage* flow, int32_t index, bool record, const SRectWH& bounds,
                       const std::function<void(CEventMngr&)>& write);
  bool CombineFillChannel(TFlowImage* flow, int32_t layer, bool record, bool antiAlias, int32_t mode,
                          const TPoint& areaSize, const TPoint& areaOffset, const TPoint& seed, bool atLayer);
  bool PaintFillChannelArea(TFlowImage* flow, int32_t layer, PaperCommand& command, bool eraser,
                            const std::function<void(CEventMngr&)>& write);

  // Canvas transforms and moving layers: private state
  bool CanvasSizeAccepted(int32_t width, int32_t height) const;
  bool HasUnsavedChanges() const;
  bool AskChangeWithoutUndo();
  void FinishCanvasChange(TFlowImage* flow);
  bool CanOffsetLayers(int32_t index, int32_t count, int32_t dx, int32_t dy, int32_t extraBits) const;
  std::unique_ptr<CLayerData> BuildGrownLayer(int32_t index, int32_t dx, int32_t dy, int32_t bits);
  void FinishLayerMove(TFlowImage* flow, int32_t index, bool grown);
  CMaskData* MoveMask(int32_t mask) const;
  bool OffsetBlock(TFlowImage* flow, int32_t index, bool record, const TPoint& d, int32_t count, CMaskData* mask,
                   int32_t maskArgument);

  // Folders, merges, selection grow and shrink, colour range: private state
  bool MergeDownWith(TFlowImage* flow, int32_t index, bool record, bool bind, uint32_t modeWord);
  bool CommitExtendedSelection(const TChannel& channel, int32_t layer, bool record, const TPoint& offset,
                               int32_t shape, int32_t radius, int32_t mask, bool grow);
  bool ExtendSelection(int32_t layer, int32_t mask, bool record, int32_t shape, int32_t radius, bool grow);
  // Both selection bytes := 1, the outline retraced over the canvas, the window and mask pane.
  void ShowNewSelection();

  // Older engines and the older stream's commands: private state

  // Text: private state

  DocumentWindow* window_ = nullptr;
  std::unique_ptr<CGradation> gradation_;
  std::unique_ptr<TTC> displayBuffer_;
  std::unique_ptr<TTC> viewBuffer_;
  std::unique_ptr<TTC> patternBuffer_;
  std::unique_ptr<TMTC> navigator_;
  std::unique_ptr<CScaleImageTMTC> viewScaler_;
  std::unique_ptr<CLayerMngr> layers_;
  std::unique_ptr<PaperMasks> masks_;
  std::unique_ptr<SelectionSlots> slots_;
  std::unique_ptr<CDocumentUndo> undo_;
  std::unique_ptr<CEventMngr> eventMngr_;

  // The document as its recorder reads it (events/RecordSources.h).
  class RecordedState final : public IRecordedDocument {
   public:
    explicit RecordedState(const TPaper& paper) : paper_(paper) {}
    uint32_t paperColor() const override { return paper_.paperColor; }
    bool showCanvasColor() const override { return paper_.showCanvasColor != 0; }
    bool backgroundPattern() const override { return paper_.backgroundPattern != 0; }
    bool selectionEnabled() const override { return paper_.selectionEnabled != 0; }
    int32_t activeLayerIndex() const override { return paper_.GetActiveLayerIndex(); }
    int32_t activeMaskIndex() const override { return paper_.GetActiveMaskIndex(); }
    void gradationPoints(TPoint& start, TPoint& end) const override { paper_.GetGradientLine(start, end); }
    SGradOption gradationOptions() const override { return paper_.Gradation().Options(); }
    const CColorSlotGroup* gradationSlots() const override { return paper_.Gradation().SlotGroup(); }
    int32_t strokeEngine() const override;
    bool imageNib(SRecordedNib& nib) const override;
    bool layerAttributes(int32_t layer, uint8_t& blendMode, uint8_t& opacity, uint16_t& flags) const override;
    bool layerOrigin(int32_t layer, TPoint& origin) const override;

   private:
    const TPaper& paper_;
  };
  RecordedState recordedState_{*this};
};

// ---------------------------------------------------------------------------------------------
// Building transformed layers (PaperTransform.cpp). Each returns a new layer with the source's
// index and attributes, or null; none changes the source.

// The layer turned by 90 degrees about the canvas centre.
std::unique_ptr<CLayerData> MakeRotated90Layer(const SSize& canvas, const CLayerData& layer, bool clockwise);

// Placement of a layer turned by any angle: sine and cosine in 16.16, the new store size and offset.
struct SRotatedGeometry {
  int32_t sine = 0;
  int32_t cosine = 65536;
  int32_t width = 0;
  int32_t height = 0;
  int32_t offsetX = 0;
  int32_t offsetY = 0;
};
inline constexpr int32_t kMaxRotatedSide = 1 << 16;
// False for a non-finite angle, an empty size, or a turned store beyond kMaxRotatedSide.
bool RotatedLayerGeometry(const SSize& canvas, int32_t storeWidth, int32_t storeHeight, int32_t offsetX,
                          int32_t offsetY, double degrees, SRotatedGeometry& out);
// Samples the turned source (bilinear, 16.16) into dest (g.width x g.height); outside the
// source the fill value is read.
bool RotateImageBilinear(const TMTC& source, uint32_t fill, int32_t sourceOffsetX, int32_t sourceOffsetY,
                         const SSize& canvas, const SRotatedGeometry& g, TMTC& dest);
std::unique_ptr<CLayerData> MakeRotatedLayer(const SSize& canvas, const CLayerData& layer, double degrees);
// A new layer whose store is the content's bounds united with the canvas; null when the store
// already has those tile counts (the layer is fitted) or memory runs out.
std::unique_ptr<CLayerData> FitStoreToContent(const SSize& canvas, CLayerData& layer);
// Puts the fitted layer in place of the given one (which is freed); true when it did.
bool ReplaceWithFitted(const SSize& canvas, std::unique_ptr<CLayerData>& layer);

// The area-averaging scaler over tiled stores (not owned): pixels are read and written through
// CBlockVMTC::WritePtrClamped.
class CScaleLayerImage : public CScaleImage {
 public:
  CScaleLayerImage(CBlockVMTC* source, CBlockVMTC* dest);
  const uint8_t* SourcePixel(int32_t x, int32_t y) override;
  uint8_t* DestPixel(int32_t x, int32_t y) override;

 private:
  CBlockVMTC* source_;
  CBlockVMTC* dest_;
};
// The whole source scaled into the whole destination, which is then compacted.
bool ScaleStore(CBlockVMTC& source, CBlockVMTC& dest);
// Source sides up to what 16.16 positions reach; new sides 1..kMaxRotatedSide.
inline constexpr int32_t kMaxScaleSourceSide = 32767;
bool ScaledLayerSizeValid(int32_t sourceWidth, int32_t sourceHeight, int32_t width, int32_t height);
// The whole store scaled to width x height, the offset scaled with it.
std::unique_ptr<CLayerData> MakeScaledLayer(const SSize& canvas, const CLayerData& layer, int32_t width,
                                            int32_t height);

// ---------------------------------------------------------------------------------------------
// Templates

template <class Write>
void PaperCommand::Record(Write&& write) {
  if (!record_) return;
  CEventMngr* events = paper_.EventMngr();
  if (events == nullptr) return;
  const int32_t before = events->stepCount();
  write(*events);
  if (events->stepCount() > before) recordedSteps_ += events->stepCount() - before;
}

template <class Push>
bool PaperCommand::Undo(Push&& push) {
  if (!record_) return false;
  return push();
}

template <class T>
bool TPaper::PushUndo(T* object, uint8_t code, int32_t value1, int32_t value2, int32_t value3, int32_t value4) {
  if (!undo_) return false;
  std::unique_ptr<CUndoHeld> held;
  if (object != nullptr) {
    held.reset(new (std::nothrow) TUndoHeld<T>(object));
    if (!held) return false;
  }
  if (undo_->Push(held, code, value1, value2, value3, value4)) return true;  // held taken
  if (held) held->Forget();                                                  // the object stays the caller's
  return false;
}

template <class Check, class Body>
bool TPaper::RunCommand(bool record, Check&& check, Body&& body) {
  if (!check()) return false;
  PaperCommand command(*this, record);
  try {
    if (body(command)) return true;
  } catch (const std::bad_alloc&) {
    command.DropRecorded();
    ShowCommandOutOfMemory();
    return false;
  } catch (const std::exception& e) {
    command.DropRecorded();
    ShowCommandException(e.what());
    return false;
  }
  command.DropRecorded();
  return false;
}

}  // namespace tf
