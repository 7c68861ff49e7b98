#include "app/AppPaperHost.h"

#include "app/AppPresetSettings.h"
#include "app/AppProfile.h"
#include "app/ToolWindow.h"
#include "events/ToneSetSources.h"
#include "paint/GradientSet.h"

namespace tf {

CAppPaperHost::CAppPaperHost(CAppProfile& profile, ToolWindow* toolWindow)
    : profile_(profile), toolWindow_(toolWindow) {
  if (toolWindow_ != nullptr) {
    stroke_.SetStroke(&toolWindow_->GetStroke());
    if (CToneMngr* tones = toolWindow_->GetToneMngr()) tones_ = std::make_unique<CRecordedToneSet>(*tones);
  }
}

CAppPaperHost::~CAppPaperHost() = default;

SPaperSettings CAppPaperHost::Settings() {
  SPaperSettings s;
  s.undoMax = profile_.undoMax;
  s.gridW = profile_.gridW;
  s.gridH = profile_.gridH;
  s.gridColor = profile_.GridColor;
  s.titleFullpath = profile_.titleFullpath;
  s.shortcutMode = profile_.ShortcutMode;
  s.fillLimit = profile_.fillLimit;
  s.fillTarget = profile_.fillTarget != 0;
  s.fillAntiAlias = profile_.fillAntiAlias;
  s.wandLimit = profile_.wandLimit;
  s.wandTarget = profile_.wandTarget != 0;
  s.wandAntiAlias = profile_.wandAntiAlias;
  return s;
}

IRecordedStroke* CAppPaperHost::MainRecordedStroke() { return toolWindow_ != nullptr ? &stroke_ : nullptr; }

IRecordedTones* CAppPaperHost::MainRecordedTones() { return tones_.get(); }

SGradOption CAppPaperHost::CurrentGradientOptions() {
  if (toolWindow_ != nullptr) {
    if (CGradMngr* gradients = toolWindow_->GetGradMngr()) {
      SGradOption options;
      gradients->GetOptions(options);
      return options;
    }
  }
  return CAppPresetSettings(profile_).GradientOptions();
}

}  // namespace tf
