// What the documents ask of the application: the settings, the tool window's stroke and tone set
// for recording, and the current gradient's options.
#pragma once
#include <memory>

#include "events/StrokeSources.h"
#include "paper/DocumentWindow.h"

namespace tf {

class CAppProfile;
class CRecordedToneSet;
class ToolWindow;

class CAppPaperHost final : public PaperHost {
 public:
  CAppPaperHost(CAppProfile& profile, ToolWindow* toolWindow);
  ~CAppPaperHost() override;

  SPaperSettings Settings() override;
  IRecordedStroke* MainRecordedStroke() override;
  IRecordedTones* MainRecordedTones() override;
  SGradOption CurrentGradientOptions() override;

 private:
  CAppProfile& profile_;
  ToolWindow* toolWindow_;
  StrokeRecordSource stroke_;
  std::unique_ptr<CRecordedToneSet> tones_;
};

}  // namespace tf
