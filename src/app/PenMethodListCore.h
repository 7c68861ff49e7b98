// The tool-item list's logic (CPenMethodListCore): the brushes of the current paint kind, or the
// five setting slots of the current older pen, and the item settings the options pane edits.
#pragma once
// For the current pens (paint kinds 9..17, stroke engine 2) the items are the brushes of the
// brush set whose kind is the kind filter, in set order (with show-all every brush, a position
// then being a set index); for the older pens (kinds 0..8) the items are the five slots of the
// pen's group in the pen-setting block. The list owns a TPaintParam, the settings of the selected
// item; the field setters change it (and, for the older pens, the bound stroke at once), and
// StoreSettings writes it back into the item.
//
// The brush popup and the brush editor come from the palettes' later parts: they reach the list
// through ToolItemServices (SetToolItemServices). Until those are installed, opening the popup,
// a new brush and editing a brush refuse, change nothing and say so on the developer output.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/ListViewCore.h"

namespace tf {

class CPenMethodMngr;
class CPenMethodObj;
class CPenSettingBlock;
class CPenShapeObj;
class TPaintParam;
class TStroke;
struct SPenSetting;
class CPenMethodListCore;

// What the tool-item list needs of the brush popup and the brush editor.
class ToolItemServices {
 public:
  virtual ~ToolItemServices() = default;
  // The brush popup over the list's set (its own list of this class); null when none is made.
  virtual ListPopup* OpenBrushPopup(CPenMethodListCore& list) = 0;
  // Frees the popup (its view's style is remembered as the popup's list style).
  virtual bool CloseBrushPopup(CPenMethodListCore& list, ListPopup* popup) = 0;
  // The brush editor on a brush just appended to the set (set index); false when it was not
  // shown.
  virtual bool EditNewPenMethod(CPenMethodListCore& list, int32_t setIndex) = 0;
  // The brush editor on the selected brush.
  virtual bool ShowBrushEditor(CPenMethodListCore& list) = 0;
};

// Installs the services (null: none); returns the former ones.
ToolItemServices* SetToolItemServices(ToolItemServices* services);
ToolItemServices* GetToolItemServices();

// The pen group (0..7) of an older paint kind 0..8: kinds 4 and 5 share group 4; 255 otherwise.
uint8_t PaintKindPenGroup(uint8_t kind);

class CPenMethodListCore : public CListViewCore {
 public:
  using Callback = CListViewCore::Callback;

  CPenMethodListCore();
  ~CPenMethodListCore() override;

  // ---- overrides ----
  int32_t GetCount() override;
  bool IsValidIndex(int32_t index) override;
  void DrawItemImage(TMemoryGraphic& image, const TRect& rect, uint32_t state, int32_t index) override;
  uint32_t GetItemFlags(int32_t index) override;
  std::string GetItemText(int32_t index) override;
  void SetItemText(int32_t index, const std::string& text) override;
  bool CanDelete(int32_t index) override;
  bool DeleteItem(int32_t index, bool redraw) override;
  bool NewItem(bool redraw) override;
  bool EditItem(int32_t index) override;
  bool InsertCopy(CListViewCore* destination, int32_t index, int32_t sourceIndex, bool redraw) override;
  int32_t GetSelected() override;
  void SetSelected(int32_t position) override;
  bool OpenPopup() override;
  bool ClosePopup() override;
  void PopupClosed() override;
  void PopupSelect() override;
  bool GetModified() override;
  void SetModified(bool flag) override;

  // ---- its own ----
  void BindSet(CPenMethodMngr* set, TStroke* stroke, CPenSettingBlock* block);
  CPenMethodMngr* UnbindSet();
  CPenMethodMngr* BrushSet() const { return set_; }
  TStroke* Stroke() const { return stroke_; }
  CPenSettingBlock* SettingBlock() const { return block_; }
  void SetPaintKind(uint8_t kind);
  void SetKindFilter(uint8_t kindIndex);
  uint8_t KindFilter() const { return kindFilter_; }
  void SetShowAll(bool flag);
  bool ShowAll() const { return showAll_ != 0; }
  uint8_t PenEngine() const { return engine_; }
  uint8_t PenGroup() const { return group_; }
  int32_t RememberedBrush(int32_t kindIndex) const;
  int32_t RememberedSlot(int32_t group) const;
  TPaintParam& GetPaintParam() { return *settings_; }
  // Writes the item settings into the selected item; null without a set.
  TPaintParam* StoreSettings();
  bool SaveSettings();
  void SetRealField(int32_t field, float value);
  void SetSwitchField(int32_t field, uint8_t value);
  void SetIntField(int32_t field, int32_t value);
  void SetItemName(bool keep, const std::string& cp932);
  void SetNib(const CPenShapeObj* nib);
  CPenMethodObj* GetMethod(int32_t position);
  // The slot's record (all zero without a block or for a slot outside 0..4).
  void GetPenSetting(int32_t slot, SPenSetting& record);
  bool AddMethod(std::unique_ptr<CPenMethodObj> brush, bool redraw);
  bool PutMethod(int32_t position, std::unique_ptr<CPenMethodObj> brush, bool redraw);
  uint8_t ItemPaintKind();
  int32_t ListPosOf(int32_t setIndex);
  int32_t SetIndexOf(int32_t position);
  int32_t KindItemCount();
  int32_t CountOfKind(uint8_t kindIndex);

  Callback OnSetBound;
  Callback OnKindChange;

 private:
  // The slot record of the group's slot in the block; null without a block or out of range.
  SPenSetting* SlotRecord(int32_t slot);
  // After a field setter: the older pens' settings reach the stroke at once; then NotifyChange.
  void FieldChanged();
  void DrawThumbnail(const TPaintParam& param, TMemoryGraphic& image, const TRect& rect);
  void ApplyToStroke();

  uint8_t engine_ = 2;
  CPenMethodMngr* set_ = nullptr;
  uint8_t kindFilter_ = 0;
  int32_t rememberedBrush_[9] = {};
  CPenSettingBlock* block_ = nullptr;
  uint8_t group_ = 0;
  int32_t rememberedSlot_[8] = {};
  std::unique_ptr<TPaintParam> settings_;
  TStroke* stroke_ = nullptr;
  uint8_t showAll_ = 0;
  // Scaled pictures by their source's pixels and size.
  std::unordered_map<uint64_t, std::vector<uint32_t>> thumbnails_;
};

}  // namespace tf
