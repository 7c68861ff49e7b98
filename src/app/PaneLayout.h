// Saving and restoring the arrangement of the tool window's floating windows, their columns and
// the ten panes, over the docking calls it needs.
#pragma once
// Forms are named by the ids PaneLayoutDock gives them; panes by their index in kDockViewNames
// (options, navigator, loupe, information, colour, swatches, brushes, layers, masks, event log).
#include <cstdint>
#include <vector>

#include "app/AppProfile.h"

namespace tf {

inline constexpr int32_t kToolFormId = -1;

// The docking calls of a restore.
class PaneLayoutDock {
 public:
  virtual ~PaneLayoutDock() = default;
  // A new floating window of the float manager; its id.
  virtual int32_t CreateFloatForm() = 0;
  virtual void SetFormVisible(int32_t form, bool visible) = 0;
  // The tool window (kToolFormId) moves only; other forms take the whole rectangle.
  virtual void SetFormBounds(int32_t form, int32_t x, int32_t y, int32_t width, int32_t height) = 0;
  // Moves a form wholly off every screen back onto the nearest one.
  virtual void KeepFormOnScreen(int32_t form) = 0;
  // Docks the pane into a column of the form (past the last column: a new one), lays out the
  // form's columns, applies the pane's size and expanded flag and fits the form's height.
  virtual void DockView(int32_t view, int32_t form, int32_t column, const SViewLayout& layout) = 0;
  virtual void SetActiveView(int32_t form, int32_t column, int32_t active) = 0;
  virtual void SetColumnClosed(int32_t form, int32_t column, bool closed) = 0;
  // A pane not in a column of a managed floating window gets a floating window of its own.
  virtual void EnsureViewFloating(int32_t view) = 0;
  virtual void ResetPosition() = 0;
  virtual bool FormHasViews(int32_t form) = 0;
  virtual void FreeForm(int32_t form) = 0;
};

// The panes in the order they are searched and made floating (the loupe last).
extern const int32_t kPaneSearchOrder[kDockViewCount];

bool IsValidViewLayout(const SViewLayout& layout);
// The pane saved at (form, column, view) in search order, or -1.
int32_t FindSavedView(const CAppProfile& profile, int32_t form, int32_t column, int32_t view);

// Rebuilds the saved arrangement, or the default one when the saved values do not fit together.
// Forms it made that end up without a pane are freed. Always true.
bool RestorePaneLayout(const CAppProfile& profile, PaneLayoutDock& dock);

// What the float manager holds at exit, read by the tool window.
struct SDockColumnState {
  int32_t viewCount = 0;
  int32_t activeView = -1;
  bool activeClosed = false;  // the closed state of the active view (false when none)
};
struct SDockFormState {
  bool visible = false;
  bool visibleBeforeHideAll = false;  // counts only while allHidden holds
  int32_t x = 0, y = 0, width = 0, height = 0;
  std::vector<SDockColumnState> columns;
};
struct SDockState {
  SDockFormState toolForm;
  std::vector<SDockFormState> floatForms;  // manager entries 1.. (entry 0 is the tool window)
  bool allHidden = false;                  // the manager hid all forms together and still does
  SViewLayout views[kDockViewCount];       // each pane's SaveLayout, in kDockViewNames order
};

// The layout half of the tool window's settings save. At most 16 forms and 16 columns are kept;
// a surplus is left out and said on developer output.
void SavePaneLayout(const SDockState& state, CAppProfile& profile);

}  // namespace tf
