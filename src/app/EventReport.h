// The playback report: what the report dialog shows when a playback ends, and its index pictures.
#pragma once
// The document window fills a TEventReportParam when a playback ends (finished, interrupted or
// stopped by an error) and shows the report form (app/qt/EventReportForm.h); the viewer and render
// modes write their results instead. Everything the form shows is made here, headless.
#include <array>
#include <cstdint>
#include <string>

namespace tf {

class TMTC;
class TMemoryGraphic;

inline constexpr int32_t kReportIndexSlots = 10;  // two rows of five
inline constexpr int32_t kReportCellSize = 97;
inline constexpr int32_t kReportCellStep = 102;
inline constexpr int32_t kReportCellMargin = 5;
inline constexpr int32_t kReportIndexWidth = 512;
inline constexpr int32_t kReportIndexHeight = 206;
inline constexpr uint8_t kReportFrameOpacity = 0x99;

enum ReportState : uint8_t { kReportFinished = 0, kReportInterrupted = 1, kReportStopped = 2 };

struct TEventReportParam {
  uint8_t state = kReportFinished;
  std::string fileName;    // the event file played (UTF-8)
  uint8_t appendable = 0;  // 1: recording may continue after the played stream
  uint32_t elapsed = 0;    // milliseconds from the start of playback to its end
  int32_t steps = 0;
  // The index pictures taken during playback (not owned; null slots stay blank).
  std::array<const TMTC*, kReportIndexSlots> indexPictures{};
};

void SplitMilliseconds(uint32_t ms, uint32_t& hours, uint32_t& minutes, uint32_t& seconds,
                       uint32_t& milliseconds);

// The form's texts.
std::string ReportStateText(uint8_t state);
std::string ReportFileNameText(const std::string& fileName, bool appendable);
// "s 秒 mmm", with "m 分 " in front when minutes > 0 and "h 時間 " in front of that when hours > 0.
std::string ReportTimeText(uint32_t ms);
std::string ReportStepText(int32_t steps);

// Draws the ten slots into the surface, cleared to its background first: each present picture
// centred (rounded down) in its 97 x 97 cell at (5 + 102 x column, 5 + 102 x row), opaque, and
// framed one pixel outside in frameColour at opacity 0x99. Pixels beyond the cell are cut.
void DrawIndex(TMemoryGraphic& surface, const std::array<const TMTC*, kReportIndexSlots>& pictures,
               uint32_t frameColour);

}  // namespace tf
