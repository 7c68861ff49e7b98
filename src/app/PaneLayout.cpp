#include "app/PaneLayout.h"

#include <algorithm>

#include "platform/Debug.h"

namespace tf {

const int32_t kPaneSearchOrder[kDockViewCount] = {0, 1, 3, 4, 5, 6, 7, 8, 9, 2};

bool IsValidViewLayout(const SViewLayout& v) {
  return v.ParentForm >= 0 && v.ParentPane >= 0 && v.ViewIndex >= 0 && v.Width >= 1 && v.Height >= 1;
}

int32_t FindSavedView(const CAppProfile& profile, int32_t form, int32_t column, int32_t view) {
  for (int32_t i : kPaneSearchOrder) {
    const SViewLayout& v = profile.views[i];
    if (v.ParentForm == form && v.ParentPane == column && v.ViewIndex == view) return i;
  }
  return -1;
}

namespace {

bool SavedLayoutUsable(const CAppProfile& profile) {
  if (profile.FloatFormCount <= 0) return false;
  return std::all_of(std::begin(profile.views), std::end(profile.views), IsValidViewLayout);
}

// Docks the saved windows; false when a column names a place no pane holds, or the column
// records run out.
bool DockSavedForms(const CAppProfile& profile, PaneLayoutDock& dock, std::vector<int32_t>& made) {
  const int32_t formCount = std::min(profile.FloatFormCount, static_cast<int32_t>(kFloatFormMax));
  int32_t nextColumn = 0;
  for (int32_t i = 0; i < formCount; ++i) {
    const SFloatFormLayout& f = profile.floatForms[i];
    if (f.PaneCount <= 0) continue;
    const int32_t form = dock.CreateFloatForm();
    made.push_back(form);
    dock.SetFormVisible(form, f.Visible);
    dock.SetFormBounds(form, f.X, f.Y, f.Width, f.Height);
    dock.KeepFormOnScreen(form);
    for (int32_t j = 0; j < f.PaneCount; ++j) {
      if (nextColumn >= kFloatPaneMax) {
        DebugOut("pane layout: more columns saved than the settings hold; using the default arrangement");
        return false;
      }
      const SFloatColumnLayout& c = profile.floatPanes[nextColumn++];
      for (int32_t k = 0; k < c.ViewCount; ++k) {
        const int32_t view = FindSavedView(profile, i, j, k);
        if (view < 0) return false;
        dock.DockView(view, form, j, profile.views[view]);
      }
      dock.SetActiveView(form, j, c.ActiveView);
      dock.SetColumnClosed(form, j, c.Collapse);
    }
    dock.SetFormVisible(form, f.Visible);
  }
  return true;
}

}  // namespace

bool RestorePaneLayout(const CAppProfile& profile, PaneLayoutDock& dock) {
  if (!SavedLayoutUsable(profile)) {
    dock.ResetPosition();
    return true;
  }
  dock.SetFormBounds(kToolFormId, profile.ToolFormX, profile.ToolFormY, -1, -1);
  dock.KeepFormOnScreen(kToolFormId);
  dock.SetFormVisible(kToolFormId, profile.ToolFormVisible);
  std::vector<int32_t> made;
  if (!DockSavedForms(profile, dock, made)) dock.ResetPosition();
  for (int32_t view : kPaneSearchOrder) dock.EnsureViewFloating(view);
  // A fallback can leave windows of the saved arrangement without a pane: they go.
  for (int32_t form : made)
    if (!dock.FormHasViews(form)) dock.FreeForm(form);
  return true;
}

void SavePaneLayout(const SDockState& state, CAppProfile& profile) {
  auto visibleOf = [&state](const SDockFormState& f) {
    return f.visible || (state.allHidden && f.visibleBeforeHideAll);
  };
  int32_t forms = 0;
  int32_t columns = 0;
  bool surplus = false;
  for (const SDockFormState& f : state.floatForms) {
    const auto count = static_cast<int32_t>(f.columns.size());
    if (forms >= kFloatFormMax || columns + count > kFloatPaneMax) {
      surplus = true;  // the panes of the forms left out name no saved place and float alone
      break;
    }
    SFloatFormLayout& out = profile.floatForms[forms];
    out.PaneCount = count;
    out.Visible = visibleOf(f);
    out.X = f.x;
    out.Y = f.y;
    out.Width = f.width;
    out.Height = f.height;
    for (int32_t k = 0; k < count; ++k) {
      SFloatColumnLayout& c = profile.floatPanes[columns++];
      c.ParentForm = forms;
      c.PaneIndex = k;
      c.ViewCount = f.columns[k].viewCount;
      c.ActiveView = f.columns[k].activeView;
      c.Collapse = f.columns[k].activeClosed;
    }
    ++forms;
  }
  if (surplus) DebugOut("pane layout: more floating windows or columns than the settings hold; the surplus is not saved");
  profile.FloatFormCount = forms;
  profile.ToolFormVisible = visibleOf(state.toolForm);
  profile.ToolFormX = state.toolForm.x;
  profile.ToolFormY = state.toolForm.y;
  profile.ToolFormWidth = state.toolForm.width;
  profile.ToolFormHeight = state.toolForm.height;
  for (int32_t i = 0; i < kDockViewCount; ++i) profile.views[i] = state.views[i];
}

}  // namespace tf
