#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/PaneLayout.h"
#include "platform/Debug.h"

namespace tf {
namespace {

// A float manager that records what a restore asks of it.
struct RecordingDock : PaneLayoutDock {
  int32_t nextForm = 0;
  std::map<int32_t, std::vector<int32_t>> formViews;  // form -> panes docked in it
  std::map<int32_t, bool> visible;
  std::vector<std::string> calls;
  std::set<int32_t> freed;
  bool resetPutsPanesInForm = true;

  int32_t CreateFloatForm() override {
    formViews[nextForm];
    return nextForm++;
  }
  void SetFormVisible(int32_t form, bool v) override { visible[form] = v; }
  void SetFormBounds(int32_t form, int32_t x, int32_t y, int32_t w, int32_t h) override {
    calls.push_back("bounds " + std::to_string(form) + " " + std::to_string(x) + "," + std::to_string(y) + " " +
                    std::to_string(w) + "x" + std::to_string(h));
  }
  void KeepFormOnScreen(int32_t form) override { calls.push_back("onscreen " + std::to_string(form)); }
  void TakeOut(int32_t view) {
    for (auto& [f, views] : formViews) std::erase(views, view);
  }
  void DockView(int32_t view, int32_t form, int32_t column, const SViewLayout&) override {
    TakeOut(view);
    formViews[form].push_back(view);
    calls.push_back("dock " + std::to_string(view) + " " + std::to_string(form) + ":" + std::to_string(column));
  }
  void SetActiveView(int32_t form, int32_t column, int32_t active) override {
    calls.push_back("active " + std::to_string(form) + ":" + std::to_string(column) + "=" + std::to_string(active));
  }
  void SetColumnClosed(int32_t form, int32_t column, bool closed) override {
    if (closed) calls.push_back("closed " + std::to_string(form) + ":" + std::to_string(column));
  }
  bool Docked(int32_t view) const {
    for (const auto& [f, views] : formViews)
      if (std::find(views.begin(), views.end(), view) != views.end()) return true;
    return false;
  }
  void EnsureViewFloating(int32_t view) override {
    if (Docked(view)) return;
    const int32_t form = CreateFloatForm();
    formViews[form].push_back(view);
    calls.push_back("float " + std::to_string(view));
  }
  void ResetPosition() override {
    calls.push_back("reset");
    const int32_t form = CreateFloatForm();
    for (int32_t v = 0; v < kDockViewCount; ++v) {
      TakeOut(v);
      formViews[form].push_back(v);
    }
  }
  bool FormHasViews(int32_t form) override { return !formViews[form].empty(); }
  void FreeForm(int32_t form) override {
    freed.insert(form);
    formViews.erase(form);
  }
};

// Two forms: form 0 with columns {options, navigator} and {colour}; form 1 with everything else
// in one column, loupe included.
CAppProfile SavedTwoForms() {
  CAppProfile p;
  p.FloatFormCount = 2;
  p.floatForms[0] = {2, true, 10, 20, 200, 300};
  p.floatForms[1] = {1, false, 400, 20, 200, 500};
  p.floatPanes[0] = {0, 0, 1, 2, false};
  p.floatPanes[1] = {0, 1, 0, 1, true};
  p.floatPanes[2] = {1, 0, 0, 7, false};
  auto place = [&p](int32_t view, int32_t form, int32_t col, int32_t idx) {
    p.views[view] = SViewLayout{form, col, idx, 180, 100, true};
  };
  place(0, 0, 0, 0);
  place(1, 0, 0, 1);
  place(4, 0, 1, 0);
  int32_t idx = 0;
  for (int32_t v : {2, 3, 5, 6, 7, 8, 9}) place(v, 1, 0, idx++);
  p.ToolFormVisible = true;
  p.ToolFormX = 5;
  p.ToolFormY = 6;
  return p;
}

TEST(PaneLayout, RestoresFormsColumnsAndToolWindowPosition) {
  const CAppProfile p = SavedTwoForms();
  RecordingDock dock;
  EXPECT_TRUE(RestorePaneLayout(p, dock));
  EXPECT_EQ(dock.formViews[0], (std::vector<int32_t>{0, 1, 4}));
  EXPECT_EQ(dock.formViews[1], (std::vector<int32_t>{2, 3, 5, 6, 7, 8, 9}));
  EXPECT_EQ(dock.nextForm, 2);  // nothing left over for the final pass
  EXPECT_TRUE(dock.visible[0]);
  EXPECT_FALSE(dock.visible[1]);  // hidden at exit: rebuilt hidden, with its panes
  EXPECT_TRUE(dock.visible[kToolFormId]);
  const std::vector<std::string>& c = dock.calls;
  EXPECT_EQ(c[0], "bounds -1 5,6 -1x-1");  // the tool window keeps its size
  EXPECT_EQ(c[1], "onscreen -1");
  EXPECT_NE(std::find(c.begin(), c.end(), "active 0:0=1"), c.end());
  EXPECT_NE(std::find(c.begin(), c.end(), "closed 0:1"), c.end());
  EXPECT_NE(std::find(c.begin(), c.end(), "onscreen 1"), c.end());
}

TEST(PaneLayout, UnusableRecordsUseTheDefaultArrangement) {
  struct Case {
    const char* what;
    void (*spoil)(CAppProfile&);
  };
  const Case cases[] = {
      {"no forms", [](CAppProfile& p) { p.FloatFormCount = 0; }},
      {"zero width", [](CAppProfile& p) { p.views[6].Width = 0; }},
      {"zero height", [](CAppProfile& p) { p.views[2].Height = 0; }},
      {"negative place", [](CAppProfile& p) { p.views[9].ViewIndex = -1; }},
  };
  for (const Case& k : cases) {
    CAppProfile p = SavedTwoForms();
    k.spoil(p);
    RecordingDock dock;
    RestorePaneLayout(p, dock);
    EXPECT_EQ(dock.calls, (std::vector<std::string>{"reset"})) << k.what;
  }
}

TEST(PaneLayout, DuplicatePlaceDocksTheEarlierPaneAndFloatsTheOther) {
  CAppProfile p = SavedTwoForms();
  p.views[2] = SViewLayout{0, 0, 0, 100, 100, true};  // loupe claims the options place
  p.floatPanes[2].ViewCount = 6;                      // form 1 holds the others
  int32_t idx = 0;
  for (int32_t v : {3, 5, 6, 7, 8, 9}) p.views[v] = SViewLayout{1, 0, idx++, 100, 100, true};
  RecordingDock dock;
  RestorePaneLayout(p, dock);
  EXPECT_EQ(dock.formViews[0], (std::vector<int32_t>{0, 1, 4}));
  EXPECT_EQ(dock.calls.back(), "float 2");
}

TEST(PaneLayout, FallbackFreesTheFormsItLeftEmpty) {
  CAppProfile p = SavedTwoForms();
  p.floatPanes[2].ViewCount = 8;  // names (1, 0, 7), which no pane holds
  RecordingDock dock;
  RestorePaneLayout(p, dock);
  ASSERT_NE(std::find(dock.calls.begin(), dock.calls.end(), "reset"), dock.calls.end());
  EXPECT_EQ(dock.freed, (std::set<int32_t>{0, 1}));
  for (const auto& [form, views] : dock.formViews) EXPECT_FALSE(views.empty()) << form;
}

TEST(PaneLayout, SaveCountsHiddenTogetherOnlyWhileAllAreHidden) {
  SDockState s;
  SDockFormState form;
  form.visible = false;
  form.visibleBeforeHideAll = true;
  form.columns = {{2, 1, false}, {1, 0, true}};
  s.floatForms = {form};
  s.toolForm.visibleBeforeHideAll = true;
  s.allHidden = true;
  CAppProfile p;
  SavePaneLayout(s, p);
  EXPECT_EQ(p.FloatFormCount, 1);
  EXPECT_TRUE(p.floatForms[0].Visible);
  EXPECT_TRUE(p.ToolFormVisible);
  EXPECT_EQ(p.floatPanes[1].ParentForm, 0);
  EXPECT_EQ(p.floatPanes[1].PaneIndex, 1);
  EXPECT_TRUE(p.floatPanes[1].Collapse);
  // Shown again and then closed by hand: the old mark no longer counts.
  s.allHidden = false;
  SavePaneLayout(s, p);
  EXPECT_FALSE(p.floatForms[0].Visible);
  EXPECT_FALSE(p.ToolFormVisible);
}

TEST(PaneLayout, SurplusFormsAndColumnsAreLeftOutAndSaid) {
  SDockState s;
  for (int32_t i = 0; i < 20; ++i) {
    SDockFormState f;
    f.visible = true;
    f.columns = {{1, 0, false}};
    s.floatForms.push_back(f);
  }
  std::vector<std::string> out;
  DebugSink old = SetDebugSink([&out](std::string_view t) { out.emplace_back(t); });
  CAppProfile p;
  SavePaneLayout(s, p);
  SetDebugSink(old);
  EXPECT_EQ(p.FloatFormCount, 16);
  EXPECT_EQ(p.floatPanes[15].ParentForm, 15);
  EXPECT_EQ(out.size(), 1u);
}

}  // namespace
}  // namespace tf
