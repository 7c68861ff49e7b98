#include "app/ToolWindow.h"

#include <cmath>

#include "app/AppProfile.h"
#include "app/MainFormCore.h"
#include "paint/NibPreset.h"
#include "paint/PaintParam.h"
#include "paint/PenRender.h"
#include "paint/Stroke.h"
#include "paint/StrokeMngr.h"
#include "paper/Paper.h"
#include "platform/Debug.h"
#include "raster/ColorConvert.h"

namespace tf {

namespace {
ToolWindowFactory& Factory() {
  static ToolWindowFactory factory;
  return factory;
}
}  // namespace

ToolWindowFactory SetToolWindowFactory(ToolWindowFactory factory) {
  ToolWindowFactory before = std::move(Factory());
  Factory() = std::move(factory);
  return before;
}

std::unique_ptr<ToolWindow> CreateToolWindow(ToolWindowOwner& owner) {
  if (Factory()) {
    if (std::unique_ptr<ToolWindow> window = Factory()(owner)) return window;
    DebugOut("The tool window could not be made; the interim tool window stands in.\n");
  }
  return std::make_unique<InterimToolWindow>(owner);
}

void FreeToolWindow(std::unique_ptr<ToolWindow>& window) { window.reset(); }

InterimToolWindow::InterimToolWindow(ToolWindowOwner& owner)
    : owner_(owner),
      stroke_(std::make_unique<TStroke>(2)),
      param_(std::make_unique<TPaintParam>(9)),
      penShape_(std::make_unique<CPenShapeObj>()) {
  param_->ApplyToStroke(*stroke_);
  const CAppProfile& profile = AppProfile();
  stroke_->SetColor(ColorToBGRA(profile.fgCol, 0));
  stroke_->SetBackColor(ColorToBGRA(profile.bgCol, 0));
  outline_ = std::max(1, static_cast<int32_t>(std::ceil(param_->GetEffectiveWidth())));
  DebugOut("The tool window is not built yet: an interim tool window holds the pencil and its colours.\n");
}

InterimToolWindow::~InterimToolWindow() = default;

void InterimToolWindow::Startup() { ApplyTool(); }

void InterimToolWindow::SetupPen(CStrokeMngr* manager, CPenRender& renderer) {
  const TPaintParam& p = *param_;
  p.ApplyToStroke(*stroke_);
  SStrokeParam strokeParams;
  SNibShape nibShape;
  uint32_t nibFlag = 0;
  SGradeMap gradeMap;
  SPenParam penParams;
  const bool haveStroke = p.SaveToStrokeParam(strokeParams);
  const bool haveShape = p.GetNibShape(nibShape);
  const bool haveFlag = p.GetNibFlagWord(nibFlag);
  const bool haveMap = p.GetGradeMap(gradeMap);
  const bool havePen = p.SaveToPenParam(penParams);
  p.SaveToPenShape(penShape_.get());
  if (manager != nullptr && haveStroke) manager->SetStrokeParams(strokeParams);
  if (haveFlag) renderer.SetNibFlag(nibFlag);
  if (haveShape) renderer.SetNibShape(nibShape);
  if (havePen) renderer.SetPenParams(penParams, 7);
  if (haveMap) renderer.SetGradeMap(gradeMap);
  renderer.SetPenShape(penShape_.get(), false, false, false);
}

void InterimToolWindow::ApplyTool() {
  if (bound_ != nullptr && owner_.MainPenRender() != nullptr) {
    TPaper* paper = bound_->Paper();
    SetupPen(paper != nullptr ? paper->StrokeMngr() : nullptr, *owner_.MainPenRender());
  }
  AppProfile().SetToolOpacity(0, std::min(1.0f, param_->opaque + 0.00001f));
}

void InterimToolWindow::SetForeColor(uint32_t colour) { stroke_->SetColor(colour); }
void InterimToolWindow::SetBackColor(uint32_t colour) { stroke_->SetBackColor(colour); }

float InterimToolWindow::GetNibSize() { return param_->GetParametricWidth(); }

void InterimToolWindow::SetNibSize(float value) {
  param_->SetWidth(value);
  outline_ = std::max(1, static_cast<int32_t>(std::ceil(param_->GetEffectiveWidth())));
  ApplyTool();
}

void InterimToolWindow::SetToolMode(int32_t mode, bool) {
  // The document windows' temporary tools switch the mode for the length of a press.
  if (mode < 0 || mode > 32) {
    DebugOutF("The tool window is not built yet: tool mode %d is not offered.\n", mode);
    return;
  }
  mode_ = mode;
}

}  // namespace tf
