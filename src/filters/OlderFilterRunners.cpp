// The older filter generations' runners and the greyscale command.
#include "filters/OlderFilterRunners.h"

#include <cstring>
#include <new>
#include <stdexcept>

#include "document/LayerData.h"
#include "document/UndoData.h"
#include "events/EventStream.h"
#include "filters/FilterCore.h"
#include "filters/FiltersV1.h"
#include "paper/DocumentWindow.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "platform/Host.h"
#include "raster/BlockVMTC.h"

namespace tf {

namespace {

// The whole store back from the backup and the working copy reloaded (a failed run leaves the
// document as it found it).
void PutBack(TPaper& paper, TFlowImage* flow, int32_t index, CLayerData& layer, const CBlockVMTC& backup) {
  layer.Store()->CopyAllFrom(backup);
  if (flow != nullptr) paper.CommitFlowImage(flow, index, false);
}

// Algo(backup, layer, mask) -> bool; Record(events, layer, mask index) -> bool.
template <class Algo, class Record>
bool RunOlder(TPaper& paper, TFlowImage* flow, int32_t index, BackupRef& backup, bool record, bool compact,
              Algo&& algo, Record&& write) {
  CLayerData* layer = paper.IsValidLayerIndex(index) ? paper.GetLayer(index) : nullptr;
  if (layer == nullptr || layer->Store() == nullptr) return false;
  const bool made = backup == nullptr;
  if (made && !BackupLayerBlock(backup, *layer)) return false;
  // A backup the runner made and still holds is freed on every way out.
  struct SOwned {
    BackupRef& ref;
    bool made;
    ~SOwned() {
      if (made) ref.reset();
    }
  } owned{backup, made};
  {
    WaitCursor cursor;
    bool ok = false;
    try {
      ok = algo(*backup, *layer, paper.GetActiveMask());
    } catch (...) {
      PutBack(paper, flow, index, *layer, *backup);
      throw;
    }
    if (!ok) {
      PutBack(paper, flow, index, *layer, *backup);
      return false;
    }
    if (compact) layer->Store()->Compact();
    RefreshAfterFilter(flow, paper, index);
  }
  if (record) {
    if (CEventMngr* events = paper.EventMngr())
      write(*events, static_cast<int16_t>(index), static_cast<int16_t>(paper.GetActiveMaskIndex()));
    if (paper.PushUndo(backup.get(), kUndoFilter, index, layer->id, 0, 0)) (void)backup.release();
  }
  return true;
}

auto NoRecord(uint8_t id) {
  return [id](CEventMngr& e, int16_t layer, int16_t mask) { return e.writeFilter0(id, layer, mask); };
}
auto Record2(uint8_t id, int32_t a, int32_t b) {
  return [=](CEventMngr& e, int16_t layer, int16_t mask) {
    const int32_t p[2] = {a, b};
    return e.writeFilter2(id, layer, mask, p);
  };
}
auto Record4(uint8_t id, int32_t a, int32_t b, int32_t c, int32_t d) {
  return [=](CEventMngr& e, int16_t layer, int16_t mask) {
    const int32_t p[4] = {a, b, c, d};
    return e.writeFilter4(id, layer, mask, p);
  };
}

int32_t SingleBits(float v) {
  int32_t bits;
  std::memcpy(&bits, &v, 4);
  return bits;
}

// Second generation: the runner's own backup, no record.
template <class Algo>
bool RunLegacy(TPaper& paper, TFlowImage* flow, int32_t index, bool compact, Algo&& algo) {
  BackupRef backup;
  return RunOlder(paper, flow, index, backup, false, compact, algo, NoRecord(0));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// First generation

bool ReplaySharpenV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record) {
  return RunOlder(paper, flow, layer, backup, record, false, &SharpenV1, NoRecord(8));
}

bool ReplaySharpenMoreV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record) {
  return RunOlder(paper, flow, layer, backup, record, false, &SharpenMoreV1, NoRecord(9));
}

bool ReplayGrayscale(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record) {
  return RunOlder(
      paper, flow, layer, backup, record, false,
      [](const CBlockVMTC&, CLayerData& l, const CMaskData* m) { return GrayscaleV1(l, m); }, NoRecord(20));
}

bool ReplayLevelsV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record, int32_t low,
                    int32_t middle, int32_t high, int32_t outLow, int32_t outHigh) {
  return RunOlder(
      paper, flow, layer, backup, record, false,
      [&](const CBlockVMTC&, CLayerData& l, const CMaskData* m) {
        return LevelsV1(l, m, low, middle, high, outLow, outHigh, nullptr);
      },
      [=](CEventMngr& e, int16_t li, int16_t mi) {
        const int32_t p[6] = {0, low, middle, high, outLow, outHigh};
        return e.writeFilter6(16, li, mi, p);
      });
}

bool ReplayBrightnessContrastV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record,
                                int32_t contrast, int32_t brightness) {
  return RunOlder(
      paper, flow, layer, backup, record, false,
      [&](const CBlockVMTC&, CLayerData& l, const CMaskData* m) {
        return BrightnessContrastV1(l, m, contrast, brightness, nullptr);
      },
      Record2(18, contrast, brightness));
}

bool ReplayHueSaturationV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record,
                           int32_t hue, int32_t saturation, int32_t lightness) {
  return RunOlder(
      paper, flow, layer, backup, record, false,
      [&](const CBlockVMTC&, CLayerData& l, const CMaskData* m) {
        return HueSaturationV1(l, m, hue, saturation, lightness, nullptr);
      },
      Record4(19, 0, hue, saturation, lightness));
}

bool ReplayPosterizeV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record,
                       int32_t levels) {
  return RunOlder(
      paper, flow, layer, backup, record, true,
      [&](const CBlockVMTC&, CLayerData& l, const CMaskData* m) { return PosterizeV1(l, m, levels, nullptr); },
      Record2(21, 0, levels));
}

bool ReplayNoiseV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record,
                   int32_t monochrome, int32_t range) {
  return RunOlder(
      paper, flow, layer, backup, record, false,
      [&](const CBlockVMTC& b, CLayerData& l, const CMaskData* m) {
        return NoiseV1(b, l, m, range, monochrome != 0, 0, nullptr);
      },
      Record2(22, monochrome, range));
}

bool ReplayMosaicV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record, int32_t cell,
                    int32_t keepAlpha) {
  return RunOlder(
      paper, flow, layer, backup, record, true,
      [&](const CBlockVMTC& b, CLayerData& l, const CMaskData* m) {
        return MosaicV1(b, l, m, cell, keepAlpha != 0, nullptr);
      },
      Record2(23, cell, keepAlpha));
}

bool ReplayMotionBlurV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record,
                        int32_t distance, float angle, int32_t keepAlpha) {
  const float d = static_cast<float>(distance);
  return RunOlder(
      paper, flow, layer, backup, record, true,
      [&](const CBlockVMTC& b, CLayerData& l, const CMaskData* m) {
        return MotionBlurV1(b, l, m, d, angle, keepAlpha != 0);
      },
      Record2(2, SingleBits(d), SingleBits(angle)));
}

bool ReplayZoomBlurV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record,
                      int32_t amount, int32_t centreX, int32_t centreY, int32_t keepAlpha) {
  // Word 0's low byte: the keep-alpha value of the run (the layer's flag when a command runs it),
  // which the replay reads back.
  return RunOlder(
      paper, flow, layer, backup, record, true,
      [&](const CBlockVMTC& b, CLayerData& l, const CMaskData* m) {
        return ZoomBlurV1(b, l, m, static_cast<float>(amount), centreX, centreY, keepAlpha != 0);
      },
      Record4(3, keepAlpha & 0xFF, amount, centreX, centreY));
}

bool CmdGrayscale(TPaper& paper, TFlowImage* flow, int32_t layerIndex) {
  DocumentWindow* window = paper.GetDrawWindow();
  if (window == nullptr || !window->PrepareCommand(false, true)) return false;
  CLayerData* layer = paper.IsValidLayerIndex(layerIndex) ? paper.GetLayer(layerIndex) : nullptr;
  if (layer == nullptr || layer->Store() == nullptr) return false;
  BackupRef backup;
  try {
    if (flow != nullptr) paper.SyncFlowImage(flow, layerIndex, false);
    backup.reset(new CBlockVMTC());
    if (!backup->CreateCopy(*layer->Store()) || !backup->IsValid()) throw std::bad_alloc();
    return ReplayGrayscale(paper, flow, layerIndex, backup, true);
  } catch (const std::bad_alloc&) {
    ShowCommandOutOfMemory();
  } catch (const std::exception& e) {
    ShowCommandException(e.what());
  } catch (...) {
    ShowCommandException("");
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Second generation

bool RunLegacySharpen(TPaper& paper, TFlowImage* flow, int32_t layer, float strength) {
  return RunLegacy(paper, flow, layer, false, [&](const CBlockVMTC& b, CLayerData& l, const CMaskData* m) {
    return LegacySharpen(b, l, m, strength);
  });
}

bool RunLegacyGaussian(TPaper& paper, TFlowImage* flow, int32_t layer, float sigma) {
  return RunLegacy(paper, flow, layer, true, [&](const CBlockVMTC& b, CLayerData& l, const CMaskData* m) {
    return LegacyGaussianBlur(b, l, m, sigma);
  });
}

bool RunLegacyTwirl(TPaper& paper, TFlowImage* flow, int32_t layer, float centreYFraction, float centreXFraction,
                    uint8_t radiusFlag, float turns) {
  return RunLegacy(paper, flow, layer, false, [&](const CBlockVMTC& b, CLayerData& l, const CMaskData* m) {
    return LegacyTwirl(b, l, m, centreYFraction, centreXFraction, radiusFlag, turns);
  });
}

bool RunLegacyEmboss(TPaper& paper, TFlowImage* flow, int32_t layer, float distance, float angle) {
  return RunLegacy(paper, flow, layer, true, [&](const CBlockVMTC& b, CLayerData& l, const CMaskData* m) {
    return LegacyEmboss(b, l, m, distance, angle);
  });
}

bool RunLegacyWave(TPaper& paper, TFlowImage* flow, int32_t layer, float phase, float rowFrequency,
                   float columnFrequency, float rowAmplitude, float columnAmplitude) {
  return RunLegacy(paper, flow, layer, false, [&](const CBlockVMTC& b, CLayerData& l, const CMaskData* m) {
    return LegacyWave(b, l, m, phase, rowFrequency, columnFrequency, rowAmplitude, columnAmplitude);
  });
}

bool RunLegacyTiles(TPaper& paper, TFlowImage* flow, int32_t layer, const SLegacyTiles& tiles) {
  return RunLegacy(paper, flow, layer, true, [&](const CBlockVMTC& b, CLayerData& l, const CMaskData* m) {
    return LegacyTiles(b, l, m, tiles);
  });
}

bool RunLegacyClouds(TPaper& paper, TFlowImage* flow, int32_t layer, const SLegacyClouds& clouds) {
  return RunLegacy(paper, flow, layer, true, [&](const CBlockVMTC& b, CLayerData& l, const CMaskData* m) {
    return LegacyClouds(b, l, m, clouds);
  });
}

bool RunLegacyCloudsRock(TPaper& paper, TFlowImage* flow, int32_t layer, int32_t rockWidth,
                         const SLegacyClouds& clouds) {
  return RunLegacy(paper, flow, layer, true, [&](const CBlockVMTC& b, CLayerData& l, const CMaskData* m) {
    return LegacyCloudsRock(b, l, m, rockWidth, clouds);
  });
}

bool RunLegacyLighting(TPaper& paper, TFlowImage* flow, int32_t layer, int32_t ambientLevel,
                       uint32_t ambientColour, std::span<const uint8_t> records) {
  return RunLegacy(paper, flow, layer, false, [&](const CBlockVMTC& b, CLayerData& l, const CMaskData* m) {
    return LegacyLighting(b, l, m, ambientLevel, ambientColour, records);
  });
}

bool RunLegacyFloor(TPaper& paper, TFlowImage* flow, int32_t layer, const uint8_t values[63], const TMTC* ceiling,
                    const TMTC* floor) {
  return RunLegacy(paper, flow, layer, false, [&](const CBlockVMTC& b, CLayerData& l, const CMaskData* m) {
    return LegacyFloor(b, l, m, values, ceiling, floor);
  });
}

}  // namespace tf
