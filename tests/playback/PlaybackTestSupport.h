// A recorded painting, a document's fingerprint, and streams built packet by packet, for the
// player's tests, fuzz target and benchmark.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/LayerData.h"
#include "document/Mask.h"
#include "events/EventStream.h"
#include "events/StrokeSources.h"
#include "paint/NibShape.h"
#include "paint/PenParam.h"
#include "paint/PenRender.h"
#include "paint/Stroke.h"
#include "paint/StrokeMngr.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "playback/HeadlessPlaybackWindow.h"
#include "playback/Player.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"

namespace tf::test {

// FNV-1a.
struct Fnv {
  uint64_t h = 1469598103934665603ull;
  void Add(const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  }
  template <typename T>
  void Value(const T& v) {
    Add(&v, sizeof v);
  }
};

inline uint64_t ImageChecksum(const TMTC& image) {
  Fnv f;
  f.Value(image.Width());
  f.Value(image.Height());
  for (int32_t y = 0; y < image.Height(); ++y)
    f.Add(image.GetPixelPtr(0, y), static_cast<size_t>(image.Width()) * 4);
  return f.h;
}

// One line per part of the document: canvas, paper colour, each layer's settings and store
// (every pixel read, so uncommitted tiles count by their fill value), each mask, and the
// composed picture. Two documents are equal when their lines are.
inline std::vector<std::string> Fingerprint(TPaper& paper) {
  std::vector<std::string> lines;
  char text[400];
  std::snprintf(text, sizeof text, "canvas %dx%d paper %06x show %u layers %d active %d mask %d",
                paper.canvasWidth, paper.canvasHeight, paper.paperColor, paper.showCanvasColor,
                paper.GetLayerCount(), paper.GetActiveLayerIndex(), paper.GetActiveMaskIndex());
  lines.emplace_back(text);
  for (int32_t i = 0; i < paper.GetLayerCount(); ++i) {
    const CLayerData* layer = paper.GetLayer(i);
    uint64_t pixels = 0;
    int32_t w = 0, h = 0;
    if (layer->Store() != nullptr) {
      w = layer->StoreWidth();
      h = layer->StoreHeight();
      TMTC image(w, h);
      TPoint dest{0, 0};
      SRectWH source{0, 0, w, h};
      layer->Store()->CopyToImage(image, dest, source, 255, false);
      pixels = ImageChecksum(image);
    }
    std::snprintf(text, sizeof text,
                  "layer %d '%s' store %dx%d at %d,%d mode %u opacity %u visible %u protect %u dissolve %u/%u "
                  "clip %u pixels %016llx",
                  i, layer->name.c_str(), w, h, layer->offsetX, layer->offsetY, layer->blendMode, layer->opacity,
                  layer->visible, layer->alphaProtect, layer->dissolve, layer->dissolveThreshold, layer->clip,
                  static_cast<unsigned long long>(pixels));
    lines.emplace_back(text);
  }
  if (const CMaskMngr* masks = paper.MaskMngr()) {
    for (int32_t i = 0; i < masks->GetCount(); ++i) {
      const CMaskData* mask = masks->GetMask(i);
      Fnv f;
      int32_t w = 0, h = 0;
      if (CMaskData::IsAllocated(mask)) {
        w = mask->Store()->Width();
        h = mask->Store()->Height();
        TChannel channel(w, h);
        TPoint dest{0, 0};
        SRectWH source{0, 0, w, h};
        mask->Store()->CopyToChannel(channel, dest, source, false);
        for (int32_t y = 0; y < h; ++y) f.Add(channel.GetPixelPtr(0, y), static_cast<size_t>(w));
      }
      std::snprintf(text, sizeof text, "mask %d '%s' %dx%d at %d,%d pixels %016llx", i,
                    mask != nullptr ? mask->name.c_str() : "", w, h, mask != nullptr ? mask->offsetX : 0,
                    mask != nullptr ? mask->offsetY : 0, static_cast<unsigned long long>(f.h));
      lines.emplace_back(text);
    }
  }
  paper.ComposeRect(SRectWH{0, 0, paper.canvasWidth, paper.canvasHeight}, false);
  std::snprintf(text, sizeof text, "composed %016llx",
                static_cast<unsigned long long>(ImageChecksum(paper.DisplayBuffer())));
  lines.emplace_back(text);
  return lines;
}

inline uint64_t FingerprintChecksum(TPaper& paper) {
  Fnv f;
  for (const std::string& line : Fingerprint(paper)) f.Add(line.data(), line.size());
  return f.h;
}

// A small deterministic generator (xorshift64*).
struct SceneRng {
  uint64_t s;
  explicit SceneRng(uint64_t seed) : s(seed ? seed : 1) {}
  uint32_t Next() {
    s ^= s >> 12;
    s ^= s << 25;
    s ^= s >> 27;
    return static_cast<uint32_t>((s * 2685821657736338717ull) >> 32);
  }
  int32_t Range(int32_t lo, int32_t hi) {
    return lo + static_cast<int32_t>(Next() % static_cast<uint32_t>(hi - lo + 1));
  }
  float Unit() { return static_cast<float>(Next() % 1001) / 1000.0f; }
};

// A document that records: a headless window with its stroke and renderer, the recorder reading
// that stroke, a stroke manager of the newest engine.
struct RecordingDocument {
  RecordingDocument(int32_t width, int32_t height) {
    window.stroke = &stroke;
    window.penRender = &renderer;
    source.SetStroke(&stroke);
    TPaper& paper = window.Paper();
    paper.EventMngr()->stroke = &source;
    ok = paper.InitDocument("", &window.Flow(), false, false, 72, height, width, height, width) &&
         paper.CreateStrokeMngr() && paper.SelectStrokeEngine(2);
  }
  TPaper& Paper() { return window.Paper(); }
  TFlowImage* Flow() { return &window.Flow(); }
  CEventMngr& Events() { return *window.Paper().EventMngr(); }

  HeadlessPlaybackWindow window;
  TStroke stroke{2};
  CPenRender renderer{&stroke};
  StrokeRecordSource source;
  bool ok = false;
};

// One pen of the newest engine.
struct ScenePen {
  uint8_t type;
  uint8_t channel;
  uint8_t option1;
  uint16_t effect, env, speed;
  float nib;
};

inline const std::vector<ScenePen>& ScenePens() {
  static const std::vector<ScenePen> pens = {
      {kRenderPaint, 1, 0, 0, 0, 0, 5.0f},          {kRenderPaint, 0, 0, 0, 0, 0, 9.0f},
      {kRenderWatercolour, 0, 0, 60, 40, 30, 7.0f}, {kRenderEraser, 0, 0, 0, 0, 0, 4.0f},
      {kRenderBlur, 0, 0, 150, 0, 0, 6.0f},         {kRenderFingertip, 0, 0, 0, 0, 0, 6.0f},
      {kRenderSpread, 0, 0, 0, 0, 0, 5.0f},         {kRenderBurnDodge, 0, 1, 80, 0, 0, 8.0f},
  };
  return pens;
}

inline void SetScenePen(RecordingDocument& d, const ScenePen& pen, uint32_t colour, SceneRng& rng) {
  SPenParam p{};
  p.type = pen.type;
  p.channel = pen.channel;
  p.option1 = pen.option1;
  p.effect = pen.effect;
  p.env = pen.env;
  p.speed = pen.speed;
  d.renderer.SetPenParams(p, 7);
  SNibShape nib{};
  nib.Init(pen.nib);
  nib.SetMinRatio(0.25f + 0.5f * rng.Unit());
  d.renderer.SetNibShape(nib);
  d.stroke.SetColor(colour & 0xFFFFFFu);
  d.stroke.SetOpacity(0.4f + 0.6f * rng.Unit());
  SStrokeParam params{1, static_cast<uint8_t>(rng.Next() & 1), {0, 0}, 1000, 120, 150, 0, 0};
  d.Paper().StrokeMngr()->SetStrokeParams(params);
}

// A stroke of the newest engine, recorded: count points with pressure; the points drawn.
inline int32_t RecordStroke(RecordingDocument& d, SceneRng& rng, int32_t count) {
  TPaper& paper = d.Paper();
  float x = static_cast<float>(rng.Range(0, paper.canvasWidth - 1));
  float y = static_cast<float>(rng.Range(0, paper.canvasHeight - 1));
  if (!paper.BeginStrokeMngr(d.Flow(), d.stroke, true, x, y, rng.Unit())) return 0;
  for (int32_t i = 1; i < count; ++i) {
    x += static_cast<float>(rng.Range(-900, 900)) / 100.0f;
    y += static_cast<float>(rng.Range(-900, 900)) / 100.0f;
    paper.StrokeToMngr(d.Flow(), d.stroke, true, 0, x, y, rng.Unit());
  }
  SRectWH rect{};
  paper.EndStrokeMngr(d.Flow(), d.stroke, true, rect, 0);
  return count;
}

// One step of a scene: the command it records (its packet's class and code), run with the
// record flag set. A step whose command the player has no row for yet is left out of the
// painting, so the painting grows by itself as the commands' rows arrive.
struct SceneStep {
  const char* name;
  uint8_t cls;
  uint8_t code;
  std::function<bool(RecordingDocument&, SceneRng&)> run;
};

inline bool PlayerHasRow(uint8_t cls, uint8_t code) { return PlayTable().Find(cls, code) != nullptr; }

// Every document command built so far, one line each.
inline std::vector<SceneStep> SceneSteps() {
  auto layerIndex = [](RecordingDocument& d, SceneRng& rng) {
    return rng.Range(0, d.Paper().GetLayerCount() - 1);
  };
  std::vector<SceneStep> steps = {
      {"paper colour", kPcPaper, 1,
       [](RecordingDocument& d, SceneRng& rng) { return d.Paper().SetPaperColor(rng.Next() & 0xFFFFFFu, true); }},
      {"stroke", kPcStrokeStart4, 0,
       [](RecordingDocument& d, SceneRng& rng) {
         const auto& pens = ScenePens();
         const ScenePen& pen = pens[rng.Next() % pens.size()];
         const uint32_t colour = rng.Next();
         SetScenePen(d, pen, colour, rng);
         const int32_t points = rng.Range(2, 60);
         return RecordStroke(d, rng, points) > 0;
       }},
      {"select layer", kPcState, kStActiveLayer,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().SetActiveLayer(d.Flow(), layerIndex(d, rng));
       }},
      {"add layer", kPcLayer, 0,
       [](RecordingDocument& d, SceneRng& rng) {
         TPaper& p = d.Paper();
         const bool above = (rng.Next() & 1) != 0;
         const auto opacity = static_cast<uint8_t>(rng.Range(60, 255));
         return p.AddLayer(d.Flow(), p.GetLayerCount(), true, above, opacity, 3, p.canvasHeight, p.canvasWidth);
       }},
      {"new layer", kPcLayer, 11,
       [](RecordingDocument& d, SceneRng& rng) {
         TPaper& p = d.Paper();
         const int32_t index = rng.Range(0, p.GetLayerCount());
         const auto opacity = static_cast<uint8_t>(rng.Range(100, 255));
         return p.NewLayer(d.Flow(), index, true, true, "named", 0x00FFFFFFu, opacity, 3, p.canvasHeight,
                           p.canvasWidth);
       }},
      {"duplicate layer", kPcLayer, 3,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().DuplicateLayer(d.Flow(), layerIndex(d, rng), true);
       }},
      {"delete layer", kPcLayer, 1,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().GetLayerCount() > 2 && d.Paper().DeleteLayer(d.Flow(), layerIndex(d, rng), true);
       }},
      {"move layer", kPcLayer, 4,
       [=](RecordingDocument& d, SceneRng& rng) {
         const int32_t from = layerIndex(d, rng);
         const int32_t to = layerIndex(d, rng);
         return d.Paper().MoveLayer(d.Flow(), from, true, to);
       }},
      {"rename layer", kPcLayer, 19,
       [=](RecordingDocument& d, SceneRng& rng) {
         const int32_t index = layerIndex(d, rng);
         return d.Paper().RenameLayer(d.Flow(), index, true, "layer " + std::to_string(rng.Next() % 100));
       }},
      {"opacity", kPcLayer, 17,
       [=](RecordingDocument& d, SceneRng& rng) {
         const int32_t index = layerIndex(d, rng);
         return d.Paper().SetLayerOpacity(index, static_cast<uint8_t>(rng.Range(30, 255)), true);
       }},
      {"blend mode", kPcLayer, 16,
       [=](RecordingDocument& d, SceneRng& rng) {
         const int32_t index = layerIndex(d, rng);
         return d.Paper().SetLayerBlendMode(index, rng.Range(0, 21), true);
       }},
      {"visibility", kPcLayer, 18,
       [=](RecordingDocument& d, SceneRng& rng) {
         const int32_t index = layerIndex(d, rng);
         return d.Paper().SetLayerVisible(index, (rng.Next() % 3) != 0, true);
       }},
      {"alpha protection", kPcLayer, 20,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().SetLayerProtect(layerIndex(d, rng), -1, true);
       }},
      {"dissolve", kPcLayer, 21,
       [=](RecordingDocument& d, SceneRng& rng) {
         const int32_t index = layerIndex(d, rng);
         const bool on = (rng.Next() & 1) != 0;
         return d.Paper().SetLayerDissolve(index, on, true, static_cast<uint8_t>(rng.Range(0, 255)));
       }},
      {"show only", kPcPaper, 25,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().ShowActiveLayerOnly(layerIndex(d, rng), true);
       }},
      {"show all", kPcPaper, 24,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().SetAllLayersVisible(layerIndex(d, rng), true, true);
       }},
      {"invert visibility", kPcPaper, 26,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().InvertLayerVisibility(layerIndex(d, rng), true);
       }},
      {"flip left-right", kPcLayer, 32,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().FlipLayerHorizontal(d.Flow(), layerIndex(d, rng), true);
       }},
      {"flip top-bottom", kPcLayer, 33,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().FlipLayerVertical(d.Flow(), layerIndex(d, rng), true);
       }},
      {"turn 180", kPcLayer, 34,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().RotateLayer180(d.Flow(), layerIndex(d, rng), true);
       }},
      {"invert colours", kPcLayer, 35,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().InvertLayerColors(d.Flow(), layerIndex(d, rng), true);
       }},
      {"turn 90", kPcLayer, 36,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().RotateLayer90(d.Flow(), layerIndex(d, rng), true, true);
       }},
      {"turn 90 back", kPcLayer, 37,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().RotateLayer90(d.Flow(), layerIndex(d, rng), true, false);
       }},
      {"rotate", kPcLayer, 38,
       [=](RecordingDocument& d, SceneRng& rng) {
         const int32_t index = layerIndex(d, rng);
         return d.Paper().RotateLayerFree(d.Flow(), index, true, static_cast<float>(rng.Range(-170, 170)));
       }},
      {"scale", kPcLayer, 39,
       [=](RecordingDocument& d, SceneRng& rng) {
         TPaper& p = d.Paper();
         const int32_t index = layerIndex(d, rng);
         const int32_t width = rng.Range(p.canvasWidth / 2, p.canvasWidth * 2);
         const int32_t height = rng.Range(p.canvasHeight / 2, p.canvasHeight * 2);
         return p.ScaleLayer(d.Flow(), index, true, width, height);
       }},
  };
  // Selections, masks, fills, canvas, moves, folders, merges and pasted images.
  auto point = [](RecordingDocument& d, SceneRng& rng) {
    return TPoint{rng.Range(-8, d.Paper().canvasWidth + 8), rng.Range(-8, d.Paper().canvasHeight + 8)};
  };
  auto active = [](RecordingDocument& d) { return d.Paper().GetActiveLayerIndex(); };
  auto mode = [](SceneRng& rng) { return rng.Range(kMaskReplace, kMaskIntersect); };
  const std::vector<SceneStep> more = {
      {"select rectangle", kPcMask, 16,
       [=](RecordingDocument& d, SceneRng& rng) {
         const int32_t how = mode(rng);
         const TPoint a = point(d, rng);
         const TPoint b = point(d, rng);
         return d.Paper().SelectRect(d.Flow(), active(d), true, how, a, b);
       }},
      {"select ellipse", kPcMask, 19,
       [=](RecordingDocument& d, SceneRng& rng) {
         const int32_t how = mode(rng);
         const TPoint a = point(d, rng);
         const TPoint b = point(d, rng);
         return d.Paper().SelectEllipse(d.Flow(), active(d), true, how, a, b, (rng.Next() & 1) != 0);
       }},
      {"select polygon", kPcMask, 18,
       [=](RecordingDocument& d, SceneRng& rng) {
         TPoint points[5];
         for (TPoint& q : points) q = point(d, rng);
         return d.Paper().SelectPolygon(d.Flow(), active(d), true, mode(rng), 5, points);
       }},
      {"select all", kPcMask, 20,
       [=](RecordingDocument& d, SceneRng&) { return d.Paper().SelectAll(d.Flow(), active(d), true); }},
      {"invert selection", kPcMask, 3,
       [=](RecordingDocument& d, SceneRng&) { return d.Paper().InvertSelection(d.Flow(), active(d), true); }},
      {"move selection", kPcMask, 8,
       [=](RecordingDocument& d, SceneRng& rng) {
         const int32_t dx = rng.Range(-6, 6);
         const int32_t dy = rng.Range(-6, 6);
         return d.Paper().OffsetMask(d.Flow(), active(d), true, dx, dy);
       }},
      {"grow selection", kPcMask, 10,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().GrowSelectionOnePixel(d.Flow(), active(d), true, (rng.Next() & 1) != 0, -1);
       }},
      {"grow selection by n", kPcMask, 25,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().GrowSelectionBy(active(d), -1, true, 0, rng.Range(1, 5));
       }},
      {"shrink selection by n", kPcMask, 26,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().ShrinkSelectionBy(active(d), -1, true, 0, rng.Range(1, 5));
       }},
      {"new mask", kPcMask, 0,
       [=](RecordingDocument& d, SceneRng&) { return d.Paper().NewMask(d.Flow(), active(d), true, -1); }},
      {"duplicate mask", kPcMask, 4,
       [=](RecordingDocument& d, SceneRng&) { return d.Paper().DuplicateMask(d.Flow(), active(d), true, -1); }},
      {"mask from layer", kPcMask, 22,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().NewMaskFromLayer(d.Flow(), active(d), true, 0, rng.Range(0, 1), -1);
       }},
      {"active mask", kPcMask, 5,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().SetActiveMask(d.Flow(), active(d), true, rng.Range(0, d.Paper().GetMaskCount() - 1));
       }},
      {"combine masks", kPcMask, 9,
       [=](RecordingDocument& d, SceneRng& rng) {
         const int32_t n = d.Paper().GetMaskCount();
         if (n <= 1) return false;
         const int32_t how = mode(rng);
         const int32_t first = rng.Range(0, n - 1);
         const int32_t second = rng.Range(0, n - 1);
         return d.Paper().CombineMasks(d.Flow(), active(d), true, how, first, second);
       }},
      {"delete mask", kPcMask, 2,
       [=](RecordingDocument& d, SceneRng& rng) {
         const int32_t n = d.Paper().GetMaskCount();
         return n > 2 && d.Paper().DeleteMask(d.Flow(), active(d), true, rng.Range(0, n - 1));
       }},
      {"selection to layer", kPcMask, 24,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().SelectionToNewLayer(d.Flow(), active(d), true, (rng.Next() & 1) != 0, 0, -1);
       }},
      {"selection to alpha", kPcMask, 21,
       [=](RecordingDocument& d, SceneRng&) {
         return d.Paper().SelectionToLayerAlpha(d.Flow(), active(d), true, -1);
       }},
      {"cancel selection", kPcMask, 1,
       [=](RecordingDocument& d, SceneRng&) { return d.Paper().CancelSelection(d.Flow(), active(d), true); }},
      {"clear layer", kPcLayer, 2,
       [=](RecordingDocument& d, SceneRng& rng) {
         return (rng.Next() % 4) == 0 && d.Paper().ClearLayer(d.Flow(), layerIndex(d, rng), true);
       }},
      {"fill alpha", kPcLayer, 24,
       [=](RecordingDocument& d, SceneRng& rng) {
         const int32_t index = layerIndex(d, rng);
         return d.Paper().FillLayerAlpha(d.Flow(), index, true, static_cast<uint8_t>(rng.Range(0, 255)));
       }},
      {"invert alpha", kPcLayer, 25,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().InvertLayerAlpha(d.Flow(), layerIndex(d, rng), true);
       }},
      {"fill layer", kPcFill, 0,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().FillLayer(d.Flow(), active(d), true, true, rng.Next());
       }},
      {"fill rectangle", kPcFill, 1,
       [=](RecordingDocument& d, SceneRng& rng) {
         const TPoint b = point(d, rng);
         return d.Paper().FillRect(d.Flow(), active(d), true, true, point(d, rng),
                                   SPointF{static_cast<float>(b.x), static_cast<float>(b.y)});
       }},
      {"gradient fill", kPcFill, 2,
       [=](RecordingDocument& d, SceneRng& rng) {
         const TPoint b = point(d, rng);
         return d.Paper().GradientFillLayer(d.Flow(), active(d), true, false, point(d, rng),
                                            SPointF{static_cast<float>(b.x), static_cast<float>(b.y)});
       }},
      {"fill ellipse", kPcFill, 6,
       [=](RecordingDocument& d, SceneRng& rng) {
         const TPoint b = point(d, rng);
         return d.Paper().FillEllipse(d.Flow(), active(d), true, point(d, rng),
                                      SPointF{static_cast<float>(b.x), static_cast<float>(b.y)}, true);
       }},
      {"fill polygon", kPcFill, 4,
       [=](RecordingDocument& d, SceneRng& rng) {
         TPoint points[6];
         for (TPoint& q : points) q = point(d, rng);
         return d.Paper().FillPolygon(d.Flow(), active(d), true, 6, points);
       }},
      {"bucket fill", kPcChannel, 0,
       [=](RecordingDocument& d, SceneRng& rng) {
         const bool first = (rng.Next() % 5) == 0;
         const bool second = (rng.Next() & 1) != 0;
         const TPoint at = point(d, rng);
         return d.Paper().BucketFill(d.Flow(), active(d), true, first, second, at);
       }},
      {"magic wand", kPcChannel, 1,
       [=](RecordingDocument& d, SceneRng& rng) {
         const bool all = (rng.Next() & 1) != 0;
         const int32_t how = mode(rng);
         const TPoint at = point(d, rng);
         return d.Paper().MagicWand(d.Flow(), active(d), true, all, how, at);
       }},
      {"turn canvas", kPcPaper, 4,
       [](RecordingDocument& d, SceneRng& rng) {
         return (rng.Next() % 3) == 0 && d.Paper().RotateCanvas90(d.Flow(), (rng.Next() & 1) != 0, true);
       }},
      {"canvas size", kPcPaper, 2,
       [](RecordingDocument& d, SceneRng& rng) {
         TPaper& p = d.Paper();
         if ((rng.Next() % 3) != 0) return false;
         const int32_t width = std::clamp(p.canvasWidth + rng.Range(-20, 20), 40, 400);
         const bool flag = (rng.Next() & 1) != 0;
         const auto anchor = static_cast<uint8_t>(rng.Range(0, 8));
         const int32_t height = std::clamp(p.canvasHeight + rng.Range(-20, 20), 40, 400);
         return p.ResizeCanvas(d.Flow(), width, true, flag, anchor, height);
       }},
      {"trim canvas", kPcPaper, 11,
       [=](RecordingDocument& d, SceneRng& rng) {
         TPaper& p = d.Paper();
         const int32_t w = std::max(40, p.canvasWidth - rng.Range(0, 20));
         const int32_t h = std::max(40, p.canvasHeight - rng.Range(0, 20));
         if ((rng.Next() % 3) != 0) return false;
         const bool flag = (rng.Next() & 1) != 0;
         const SRectWH area{rng.Range(0, p.canvasWidth - w), rng.Range(0, p.canvasHeight - h), w, h};
         return p.TrimCanvas(d.Flow(), active(d), flag, true, area);
       }},
      {"resolution", kPcPaper, 9,
       [](RecordingDocument& d, SceneRng& rng) {
         TPaper& p = d.Paper();
         if ((rng.Next() % 4) != 0) return false;
         const int32_t width = std::clamp(p.canvasWidth * rng.Range(70, 130) / 100, 40, 400);
         const bool flag = (rng.Next() & 1) != 0;
         const int32_t height = std::clamp(p.canvasHeight * rng.Range(70, 130) / 100, 40, 400);
         return p.ChangeResolution(d.Flow(), width, true, flag, height);
       }},
      {"move layer on canvas", kPcLayer, 7,
       [=](RecordingDocument& d, SceneRng& rng) {
         TPaper& p = d.Paper();
         const int32_t index = layerIndex(d, rng);
         const int32_t dx = rng.Range(-15, 15);
         const int32_t dy = rng.Range(-15, 15);
         const int32_t bits = p.GetOffsetOverflow(*p.GetLayer(index), dx, dy);
         return p.OffsetLayerGrow(d.Flow(), index, true, dy, dx, bits);
       }},
      {"move layer in selection", kPcLayer, 12,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().OffsetLayerInMask(d.Flow(), active(d), true, TPoint{rng.Range(-9, 9), rng.Range(-9, 9)},
                                            -1);
       }},
      {"into folder", kPcLinkGroup, 0,
       [=](RecordingDocument& d, SceneRng& rng) {
         const int32_t index = layerIndex(d, rng);
         return d.Paper().ChangeGroupDepth(d.Flow(), index, true, (rng.Next() & 1) != 0);
       }},
      {"merge down", kPcLayer, 5,
       [=](RecordingDocument& d, SceneRng& rng) {
         const int32_t index = layerIndex(d, rng);
         return d.Paper().GetLayerCount() > 3 && d.Paper().CanMergeDown(index) &&
                d.Paper().MergeDown(d.Flow(), index, true);
       }},
      {"merge visible", kPcPaper, 10,
       [](RecordingDocument& d, SceneRng& rng) {
         const bool composite = (rng.Next() & 1) != 0;
         return d.Paper().GetLayerCount() > 4 && (rng.Next() % 4) == 0 &&
                d.Paper().MergeVisibleLayers(d.Flow(), composite, true, composite ? 0x30003u : 1u);
       }},
      {"trim layer", kPcLayer, 8,
       [=](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().TrimLayer(d.Flow(), layerIndex(d, rng), true);
       }},
      {"transform in selection", kPcLayer, 48,
       [=](RecordingDocument& d, SceneRng& rng) {
         const bool flag = (rng.Next() & 1) != 0;
         const auto how = static_cast<uint8_t>(rng.Range(7, 10));
         return d.Paper().TransformInSelection(d.Flow(), active(d), true, flag, how, -1);
       }},
      {"image flip", kPcPaper, 32,
       [](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().ApplyImageToAll(d.Flow(), static_cast<uint8_t>(rng.Range(12, 15)), true);
       }},
      {"visible flip", kPcPaper, 16,
       [](RecordingDocument& d, SceneRng& rng) {
         return d.Paper().ApplyImageToVisible(d.Flow(), static_cast<uint8_t>(rng.Range(12, 15)), true);
       }},
      {"image as layer", kPcImage, 1,
       [](RecordingDocument& d, SceneRng& rng) {
         const int32_t width = rng.Range(3, 40);
         const int32_t height = rng.Range(3, 40);
         TMTC image(width, height);
         for (int32_t y = 0; y < image.Height(); ++y)
           for (int32_t x = 0; x < image.Width(); ++x) *image.Pixel(x, y) = rng.Next();
         return d.Paper().AddImageLayer(d.Flow(), image, true, "pasted", nullptr);
       }},
      {"image into layer", kPcImage, 2,
       [=](RecordingDocument& d, SceneRng& rng) {
         const int32_t width = rng.Range(3, 40);
         const int32_t height = rng.Range(3, 40);
         TMTC image(width, height);
         for (int32_t y = 0; y < image.Height(); ++y)
           for (int32_t x = 0; x < image.Width(); ++x) *image.Pixel(x, y) = rng.Next() | 0xFF000000u;
         return d.Paper().PasteImageToLayer(d.Flow(), active(d), true, "into", nullptr, image);
       }},
  };
  steps.insert(steps.end(), more.begin(), more.end());
  std::vector<SceneStep> kept;
  for (SceneStep& step : steps)
    if (PlayerHasRow(step.cls, step.code)) kept.push_back(std::move(step));
  return kept;
}

// After each command of the painting: the stream's step count and the document's checksum.
struct StepCheck {
  int32_t steps;
  uint64_t checksum;
  std::string name;
};

// Records a seeded painting of count commands (strokes every other command); the checks after
// each command (none without fingerprints).
inline std::vector<StepCheck> RecordPainting(RecordingDocument& d, uint64_t seed, int32_t count,
                                             bool fingerprints = true) {
  std::vector<StepCheck> checks;
  const std::vector<SceneStep> steps = SceneSteps();
  SceneRng rng(seed);
  if (fingerprints) checks.push_back({d.Events().stepCount(), FingerprintChecksum(d.Paper()), "start"});
  for (int32_t i = 0; i < count; ++i) {
    const SceneStep& step = (i % 2 == 0) ? steps[1] : steps[rng.Next() % steps.size()];
    step.run(d, rng);
    if (fingerprints) checks.push_back({d.Events().stepCount(), FingerprintChecksum(d.Paper()), step.name});
  }
  return checks;
}

// The stream's bytes as recorded so far.
inline std::vector<uint8_t> RecordedBytes(CEventMngr& m) {
  std::vector<uint8_t> bytes(static_cast<size_t>(m.committed()));
  if (!bytes.empty()) m.readSpan(0, bytes.data(), static_cast<uint32_t>(bytes.size()));
  return bytes;
}

// A stream built packet by packet.
struct StreamBuilder {
  std::vector<uint8_t> bytes;
  StreamBuilder& Add(uint8_t cls, uint8_t code, const void* payload = nullptr, size_t length = 0) {
    bytes.push_back(cls);
    bytes.push_back(code);
    const auto* p = static_cast<const uint8_t*>(payload);
    bytes.insert(bytes.end(), p, p + length);
    return *this;
  }
  template <typename T>
  StreamBuilder& Record(uint8_t cls, uint8_t code, const T& record) {
    return Add(cls, code, &record, sizeof record);
  }
  StreamBuilder& Bytes(uint8_t cls, uint8_t code, const std::vector<uint8_t>& payload) {
    return Add(cls, code, payload.data(), payload.size());
  }
  // The application-state record of a version, and a new document of the size.
  StreamBuilder& Start(int32_t width, int32_t height, uint16_t major = 4, uint16_t minor = 58) {
    SAppStateRecord app{};
    app.major = major;
    app.minor = minor;
    Record(kPcState, kStAppState, app);
    SNewDocumentPacket doc{};
    doc.canvasWidth = width;
    doc.canvasHeight = height;
    doc.layerWidth = width;
    doc.layerHeight = height;
    doc.documentValue = 72;
    doc.showCanvasColor = 0xFF;
    doc.opaqueLayer = 0xFF;
    return Record(kPcPaper, kPaperNewDocument, doc);
  }
};

// Puts the bytes into the document's stream as a loaded recording.
inline bool LoadStreamBytes(TPaper& paper, const std::vector<uint8_t>& bytes) {
  CEventMngr& m = *paper.EventMngr();
  if (!m.resetForLoad()) return false;
  if (!bytes.empty() && m.writeSpan(0, bytes.data(), static_cast<uint32_t>(bytes.size())) != bytes.size())
    return false;
  return m.setLoadedLength(static_cast<int32_t>(bytes.size()), 0);
}

// Plays to the end (or the step cap); the last step result.
inline uint8_t PlayToEnd(CPlayer& player, int32_t cap = 1 << 20) {
  uint8_t r = kPlayStepPlayed;
  for (int32_t i = 0; i < cap && r == kPlayStepPlayed; ++i) r = player.playStep();
  return r;
}

// Records the seeded painting on a canvas of the size, replays its stream step by step and
// compares the played document with the recorded one after every step the recording closed.
// Empty when all agree and the replay reaches the stream's end; else where and how it differs
// first: the step, the command and the lines of the two fingerprints that differ.
inline std::string ReplayMismatch(int32_t width, int32_t height, uint64_t seed, int32_t count) {
  char head[160];
  std::snprintf(head, sizeof head, "seed %#llx, %d commands, %dx%d: ", static_cast<unsigned long long>(seed), count,
                width, height);
  RecordingDocument a(width, height);
  if (!a.ok) return std::string(head) + "the document was not made";
  const std::vector<StepCheck> checks = RecordPainting(a, seed, count);
  const std::vector<uint8_t> bytes = RecordedBytes(a.Events());
  // The document right after each step closed (a command that records no step of its own, as
  // choosing the active layer, reaches the stream with the next step's state records).
  std::vector<std::pair<int32_t, size_t>> bySteps;
  for (size_t i = 0; i < checks.size(); ++i)
    if (bySteps.empty() || bySteps.back().first != checks[i].steps) bySteps.emplace_back(checks[i].steps, i);
  // The command whose step closes after step: its index among the painting's commands and name.
  auto commandAfter = [&](int32_t step) {
    for (size_t i = 0; i < checks.size(); ++i)
      if (checks[i].steps > step) return std::to_string(i - 1) + " '" + checks[i].name + "'";
    return std::string("(none)");
  };
  HeadlessPlaybackWindow b;
  if (!LoadStreamBytes(b.Paper(), bytes)) return std::string(head) + "the stream was not loaded";
  CPlayer player(b.Paper(), &b);
  if (player.startLoaded() != kStartPlayStarted) return std::string(head) + "the replay does not start";
  CEventMngr& m = *b.Paper().EventMngr();
  uint8_t r = kPlayStepPlayed;
  while (r == kPlayStepPlayed) {
    r = player.playStep();
    if (r != kPlayStepPlayed || (m.runFlags & kRunStrokeOpen) != 0) continue;
    const auto it = std::find_if(bySteps.begin(), bySteps.end(), [&](const auto& e) { return e.first == m.playStepCount; });
    if (it == bySteps.end() || FingerprintChecksum(b.Paper()) == checks[it->second].checksum) continue;
    // The recorded document of that moment, recorded again up to that command.
    std::string text = std::string(head) + "after step " + std::to_string(m.playStepCount) + ", command " +
                       std::to_string(it->second - 1) + " '" + checks[it->second].name + "' differs:";
    RecordingDocument again(width, height);
    RecordPainting(again, seed, static_cast<int32_t>(it->second), false);
    const std::vector<std::string> recorded = Fingerprint(again.Paper());
    const std::vector<std::string> played = Fingerprint(b.Paper());
    for (size_t i = 0; i < std::max(recorded.size(), played.size()); ++i) {
      const std::string x = i < recorded.size() ? recorded[i] : "", y = i < played.size() ? played[i] : "";
      if (x != y) text += "\n  recorded: " + x + "\n  played:   " + y;
    }
    return text;
  }
  // Without an end marker the read at the stream's end fails; an earlier stop is a failed step.
  if (static_cast<size_t>(m.readPos) != bytes.size())
    return std::string(head) + "the replay stopped at step " + std::to_string(m.playStepCount) + ", in command " +
           commandAfter(m.playStepCount);
  return {};
}

}  // namespace tf::test
