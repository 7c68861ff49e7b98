#include "app/EventReport.h"

#include <algorithm>
#include <cstdio>

#include "platform/ResourceText.h"
#include "raster/FlatImage.h"
#include "raster/MemoryGraphic.h"

namespace tf {

namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

}  // namespace

void SplitMilliseconds(uint32_t ms, uint32_t& hours, uint32_t& minutes, uint32_t& seconds,
                       uint32_t& milliseconds) {
  hours = ms / 3600000;
  minutes = ms % 3600000 / 60000;
  seconds = ms % 60000 / 1000;
  milliseconds = ms % 1000;
}

std::string ReportStateText(uint8_t state) {
  switch (state) {
    case kReportInterrupted: return Tx(TextId::ReportInterrupted);
    case kReportStopped: return Tx(TextId::ReportStopped);
    default: return Tx(TextId::ReportFinished);
  }
}

std::string ReportFileNameText(const std::string& fileName, bool appendable) {
  return Format(Tx(TextId::ReportFileName), fileName.c_str(),
                Tx(appendable ? TextId::ReportAppendable : TextId::ReportNotAppendable));
}

std::string ReportTimeText(uint32_t ms) {
  uint32_t hours = 0, minutes = 0, seconds = 0, milliseconds = 0;
  SplitMilliseconds(ms, hours, minutes, seconds, milliseconds);
  std::string text = Format(Tx(TextId::ReportSeconds), static_cast<int>(seconds), Tx(TextId::ReportSecondWord),
                            static_cast<int>(milliseconds));
  if (minutes > 0)
    text = Format(Tx(TextId::ReportTimePart), static_cast<int>(minutes), Tx(TextId::ReportMinuteWord)) + text;
  if (hours > 0)
    text = Format(Tx(TextId::ReportTimePart), static_cast<int>(hours), Tx(TextId::ReportHourWord)) + text;
  return text;
}

std::string ReportStepText(int32_t steps) { return Format(Tx(TextId::ReportSteps), static_cast<int>(steps)); }

void DrawIndex(TMemoryGraphic& surface, const std::array<const TMTC*, kReportIndexSlots>& pictures,
               uint32_t frameColour) {
  if (!surface.IsValid()) return;
  surface.Clear();
  const uint32_t frame = (uint32_t{kReportFrameOpacity} << 24) | (frameColour & 0x00FFFFFFu);
  for (int32_t row = 0; row < 2; ++row) {
    for (int32_t column = 0; column < 5; ++column) {
      const TMTC* picture = pictures[static_cast<size_t>(row * 5 + column)];
      if (picture == nullptr || !picture->IsValid()) continue;
      const int32_t cellX = kReportCellMargin + kReportCellStep * column;
      const int32_t cellY = kReportCellMargin + kReportCellStep * row;
      const int32_t w = picture->Width();
      const int32_t h = picture->Height();
      const int32_t x = cellX + (kReportCellSize - w) / 2;
      const int32_t y = cellY + (kReportCellSize - h) / 2;
      const int32_t left = std::max(x, cellX), top = std::max(y, cellY);
      const int32_t right = std::min(x + w, cellX + kReportCellSize);
      const int32_t bottom = std::min(y + h, cellY + kReportCellSize);
      for (int32_t py = top; py < bottom; ++py)
        for (int32_t px = left; px < right; ++px)
          if (surface.Contains(px, py)) surface.SetPixel(px, py, picture->GetPixel(px - x, py - y) | 0xFF000000u);
      surface.FrameRect(TRect{left - 1, top - 1, right + 1, bottom + 1}, 1, frame,
                        SChannelOps{ChannelBlend, ChannelKeep});
    }
  }
}

}  // namespace tf
