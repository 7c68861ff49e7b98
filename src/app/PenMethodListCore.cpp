// The tool-item list's logic: brushes by kind, older pens' slots, item settings.
#include "app/PenMethodListCore.h"

#include <algorithm>
#include <cstring>

#include "paint/PaintParam.h"
#include "paint/PenMethod.h"
#include "paint/PenSetting.h"
#include "paint/Stroke.h"
#include "platform/Debug.h"
#include "platform/ResourceText.h"
#include "raster/FlatImage.h"

namespace tf {

namespace {

ToolItemServices* g_services = nullptr;

constexpr int32_t kKindCount = 9;
constexpr uint8_t kGroupKind[kOldPenCount] = {0, 1, 2, 3, 4, 6, 7, 8};

}  // namespace

ToolItemServices* SetToolItemServices(ToolItemServices* services) {
  ToolItemServices* former = g_services;
  g_services = services;
  return former;
}

ToolItemServices* GetToolItemServices() { return g_services; }

uint8_t PaintKindPenGroup(uint8_t kind) {
  if (kind <= 4) return kind;
  if (kind <= 8) return static_cast<uint8_t>(kind - 1);
  return 255;
}

CPenMethodListCore::CPenMethodListCore() : settings_(std::make_unique<TPaintParam>(kFirstCurrentKind)) {
  allowedStyles_ = 767;  // styles 0..7 and 9
  SetDisplayStyle(kStyleIconNormal);
  hint_ = Tx(TextId::ListToolItemHint);
}

CPenMethodListCore::~CPenMethodListCore() {
  if (popup_ != nullptr && g_services != nullptr) g_services->CloseBrushPopup(*this, popup_);
  popup_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Positions

int32_t CPenMethodListCore::CountOfKind(uint8_t kindIndex) {
  if (set_ == nullptr) return 0;
  int32_t n = 0;
  for (int32_t i = 0; i < set_->Count(); ++i) {
    if (PenMethodKindIndex(set_->GetItem(i)) == kindIndex) ++n;
  }
  return n;
}

int32_t CPenMethodListCore::KindItemCount() { return CountOfKind(kindFilter_); }

int32_t CPenMethodListCore::ListPosOf(int32_t setIndex) {
  if (set_ == nullptr || !set_->IsValidIndex(setIndex)) return -1;
  int32_t n = 0;
  for (int32_t i = 0; i <= setIndex; ++i) {
    if (PenMethodKindIndex(set_->GetItem(i)) == kindFilter_) ++n;
  }
  return n - 1;
}

int32_t CPenMethodListCore::SetIndexOf(int32_t position) {
  if (set_ == nullptr || position < 0 || position >= set_->Count()) return -1;
  int32_t n = 0;
  for (int32_t i = 0; i < set_->Count(); ++i) {
    if (PenMethodKindIndex(set_->GetItem(i)) == kindFilter_) {
      if (n == position) return i;
      ++n;
    }
  }
  return set_->Count() - 1;
}

int32_t CPenMethodListCore::RememberedBrush(int32_t kindIndex) const {
  return kindIndex >= 0 && kindIndex < kKindCount ? rememberedBrush_[kindIndex] : -1;
}

int32_t CPenMethodListCore::RememberedSlot(int32_t group) const {
  return group >= 0 && group < kOldPenCount ? rememberedSlot_[group] : -1;
}

CPenMethodObj* CPenMethodListCore::GetMethod(int32_t position) {
  if (set_ == nullptr) return nullptr;
  return set_->GetItem(showAll_ ? position : SetIndexOf(position));
}

SPenSetting* CPenMethodListCore::SlotRecord(int32_t slot) {
  return block_ != nullptr ? block_->Slot(group_, slot) : nullptr;
}

void CPenMethodListCore::GetPenSetting(int32_t slot, SPenSetting& record) {
  const SPenSetting* r = SlotRecord(slot);
  record = r != nullptr ? *r : SPenSetting{};
}

uint8_t CPenMethodListCore::ItemPaintKind() {
  if (engine_ == 2) return kindFilter_ < kKindCount ? static_cast<uint8_t>(kFirstCurrentKind + kindFilter_) : kNotFoundKind;
  return group_ < kOldPenCount ? kGroupKind[group_] : kNotFoundKind;
}

// ---------------------------------------------------------------------------------------------
// Overrides

int32_t CPenMethodListCore::GetCount() {
  if (engine_ != 2) return kPenSlotCount;
  if (showAll_) return set_ != nullptr ? set_->Count() : 0;
  return KindItemCount();
}

bool CPenMethodListCore::IsValidIndex(int32_t index) {
  if (showAll_ && engine_ == 2) return set_ != nullptr && set_->IsValidIndex(index);
  return CListViewCore::IsValidIndex(index);
}

void CPenMethodListCore::DrawItemImage(TMemoryGraphic& image, const TRect& rect, uint32_t, int32_t index) {
  if (!IsValidIndex(index) || rect.right <= rect.left || rect.bottom <= rect.top) return;
  bool made = false;
  std::unique_ptr<TPaintParam> param;
  if (engine_ == 2) {
    const CPenMethodObj* brush = GetMethod(index);
    param = TPaintParam::CreateFromPenMethod(brush, made);
    if (!made && brush != nullptr && brush->HasIcon()) {
      // A brush of no known kind still shows its own icon.
      param = std::make_unique<TPaintParam>(kFirstCurrentKind);
      param->SetIcon(brush->Icon());
      made = true;
    }
  } else {
    SPenSetting record;
    GetPenSetting(index, record);
    param = TPaintParam::CreateFromPenSetting(ItemPaintKind(), record, made);
  }
  if (made && param != nullptr) DrawThumbnail(*param, image, rect);
}

// The settings' picture at the rectangle, as TPaintParam::DrawIcon draws it. Its result depends
// only on the picture's pixels and the size, so the scaled picture is kept by those and reused
// by later repaints.
void CPenMethodListCore::DrawThumbnail(const TPaintParam& param, TMemoryGraphic& image, const TRect& rect) {
  const TMTC* picture = param.GetIcon();
  const int32_t w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (picture == nullptr || !picture->IsValid() || w < 1 || h < 1 || !image.IsValid()) return;
  uint64_t key = 1469598103934665603ull;
  auto mix = [&key](uint64_t v) { key = (key ^ v) * 1099511628211ull; };
  mix(uint64_t(uint32_t(picture->Width())) << 32 | uint32_t(picture->Height()));
  mix(uint64_t(uint32_t(w)) << 32 | uint32_t(h));
  const uint8_t* bytes = picture->Bits();
  const size_t size = static_cast<size_t>(picture->GetImageSize());
  for (size_t i = 0; i + 8 <= size; i += 8) {
    uint64_t v;
    std::memcpy(&v, bytes + i, 8);
    mix(v);
  }
  auto it = thumbnails_.find(key);
  if (it == thumbnails_.end()) {
    if (thumbnails_.size() >= 512) thumbnails_.clear();
    TMemoryGraphic scratch(w, h, 0);
    if (!param.DrawIcon(scratch, {0, 0, w, h})) return;
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y) std::memcpy(&pixels[static_cast<size_t>(y) * w], scratch.ScanLine(y), size_t(w) * 4);
    it = thumbnails_.emplace(key, std::move(pixels)).first;
  }
  const uint32_t alpha = image.Background() & 0xFF000000u;
  for (int32_t y = 0; y < h; ++y) {
    const int32_t gy = rect.top + y;
    if (gy < 0 || gy >= image.Height()) continue;
    uint32_t* row = image.ScanLine(gy);
    const uint32_t* from = &it->second[static_cast<size_t>(y) * w];
    for (int32_t x = 0; x < w; ++x) {
      const int32_t gx = rect.left + x;
      if (gx >= 0 && gx < image.Width()) row[gx] = (from[x] & 0x00FFFFFFu) | alpha;
    }
  }
}

uint32_t CPenMethodListCore::GetItemFlags(int32_t) { return engine_ == 2 ? 0 : kItemFixed | kItemNoRename; }

std::string CPenMethodListCore::GetItemText(int32_t index) {
  if (engine_ != 2) return {};
  const CPenMethodObj* brush = GetMethod(index);
  return brush != nullptr ? brush->Name() : std::string();
}

void CPenMethodListCore::SetItemText(int32_t index, const std::string& text) {
  if (engine_ != 2) return;
  CPenMethodObj* brush = GetMethod(index);
  if (brush == nullptr || brush->Name() == text) return;
  brush->SetName(text);
  SetModified(true);
  NotifyChange();
}

bool CPenMethodListCore::CanDelete(int32_t index) {
  if (!IsValidIndex(index) || engine_ != 2) return false;
  const CPenMethodObj* brush = GetMethod(index);
  return brush != nullptr && CountOfKind(PenMethodKindIndex(brush)) > 1;
}

bool CPenMethodListCore::DeleteItem(int32_t index, bool redraw) {
  if (!CanDelete(index)) return false;
  const int32_t selected = GetSelected();
  const int32_t setIndex = showAll_ ? index : SetIndexOf(index);
  if (!set_->Delete(setIndex)) return false;
  SetModified(true);
  if (index < selected) {
    SelectItem(selected - 1, redraw);
  } else {
    SelectItem(std::min(selected, GetCount() - 1), redraw);
  }
  if (redraw) EnsureCurrentVisible(true);
  return true;
}

bool CPenMethodListCore::NewItem(bool redraw) {
  if (g_services == nullptr) {
    DebugOut("new brush: the brush editor is not built yet; nothing changed");
    return false;
  }
  const CPenMethodObj* selected = GetMethod(GetSelected());
  if (selected == nullptr) return false;
  std::unique_ptr<CPenMethodObj> copy = CPenMethodObj::CreateCopy(*selected);
  if (copy == nullptr) return false;
  const int32_t setIndex = set_->Add(std::move(copy));
  if (setIndex < 0) return false;
  g_services->EditNewPenMethod(*this, setIndex);
  SelectItem(GetSelected(), redraw);
  return true;
}

bool CPenMethodListCore::EditItem(int32_t) {
  if (g_services == nullptr) {
    DebugOut("edit brush: the brush editor is not built yet; nothing changed");
    return false;
  }
  const bool shown = g_services->ShowBrushEditor(*this);
  SelectItem(GetSelected(), true);
  return shown;
}

bool CPenMethodListCore::InsertCopy(CListViewCore* destination, int32_t index, int32_t sourceIndex, bool redraw) {
  auto* target = dynamic_cast<CPenMethodListCore*>(destination);
  if (target == nullptr || !IsValidIndex(sourceIndex) || !target->CanCopyFrom(index, this, sourceIndex)) return false;
  const CPenMethodObj* brush = GetMethod(sourceIndex);
  if (brush == nullptr) return false;
  std::unique_ptr<CPenMethodObj> copy = CPenMethodObj::CreateCopy(*brush);
  if (copy == nullptr) return false;
  return target->PutMethod(index, std::move(copy), redraw);
}

int32_t CPenMethodListCore::GetSelected() {
  if ((options_ & kLvSelection) == 0) return -1;
  if (engine_ != 2) return RememberedSlot(group_);
  if (set_ == nullptr) return -1;
  if (showAll_) return set_->GetCurrentIndex();
  if (kindFilter_ >= kKindCount) return -1;
  if (PenMethodKindIndex(set_->GetCurrent()) == kindFilter_) return ListPosOf(set_->GetCurrentIndex());
  const int32_t remembered = rememberedBrush_[kindFilter_];
  return remembered < KindItemCount() ? remembered : 0;
}

void CPenMethodListCore::SetSelected(int32_t position) {
  if (!IsValidIndex(position)) return;
  if ((options_ & kLvSelection) != 0) {
    if (engine_ == 2) {
      if (set_ != nullptr) {
        if (showAll_) {
          set_->SetCurrent(position);
          const uint8_t kind = PenMethodKindIndex(set_->GetCurrent());
          // A brush of no known kind is listed and chosen; the filter and the remembered
          // positions stay as they are.
          if (kind < kKindCount) {
            SetKindFilter(kind);
            rememberedBrush_[kind] = ListPosOf(position);
          }
        } else {
          if (kindFilter_ < kKindCount) rememberedBrush_[kindFilter_] = position;
          set_->SetCurrent(SetIndexOf(position));
        }
        settings_->LoadFromPenMethod(set_->GetCurrent());
      }
    } else if (group_ < kOldPenCount) {
      rememberedSlot_[group_] = position;
      SPenSetting record;
      GetPenSetting(position, record);
      settings_->LoadFromPenSetting(record);
      ApplyToStroke();
    }
  }
  current_ = position;
  NotifyChange();
}

bool CPenMethodListCore::OpenPopup() {
  if (engine_ != 2 || popup_ != nullptr || set_ == nullptr || set_->Count() == 0) return false;
  if (g_services == nullptr) {
    DebugOut("brush popup: the brush popup is not built yet");
    return false;
  }
  popup_ = g_services->OpenBrushPopup(*this);
  return popup_ != nullptr;
}

bool CPenMethodListCore::ClosePopup() {
  ListPopup* popup = popup_;
  popup_ = nullptr;
  if (popup == nullptr) return true;
  return g_services != nullptr ? g_services->CloseBrushPopup(*this, popup) : true;
}

void CPenMethodListCore::PopupClosed() {
  if (popup_ == nullptr) return;
  if (popup_->PopupResult() == 1) {
    NotifyChange();
  } else {
    SetSelected(showAll_ ? popup_->OpenIndex() : ListPosOf(popup_->OpenIndex()));
  }
  EnsureCurrentVisible(true);
  if (popup_ != nullptr && popup_->PopupView() != nullptr) popup_->PopupView()->OnChange = nullptr;
  ClosePopup();
}

void CPenMethodListCore::PopupSelect() {
  if (popup_ != nullptr) {
    if (auto* view = dynamic_cast<CPenMethodListCore*>(popup_->PopupView())) SetKindFilter(view->KindFilter());
  }
  CListViewCore::PopupSelect();
}

bool CPenMethodListCore::GetModified() { return set_ != nullptr ? set_->IsModified() : CListViewCore::GetModified(); }

void CPenMethodListCore::SetModified(bool flag) {
  if (set_ != nullptr) set_->SetModified(flag);
  CListViewCore::SetModified(flag);
}

// ---------------------------------------------------------------------------------------------
// Binding and kinds

void CPenMethodListCore::BindSet(CPenMethodMngr* set, TStroke* stroke, CPenSettingBlock* block) {
  set_ = set;
  stroke_ = stroke;
  block_ = block;
  current_ = (options_ & kLvSelection) != 0 ? GetSelected() : 0;
  if (!IsValidIndex(current_)) current_ = IsValidIndex(0) ? 0 : -1;
  DrawPopupStrip();
  EnsureCurrentVisible(true);
  if (OnSetBound) OnSetBound(*this);
}

CPenMethodMngr* CPenMethodListCore::UnbindSet() {
  CPenMethodMngr* former = set_;
  set_ = nullptr;
  stroke_ = nullptr;
  block_ = nullptr;
  current_ = -1;
  EnsureCurrentVisible(true);
  DrawPopupStrip();
  return former;
}

void CPenMethodListCore::SetKindFilter(uint8_t kindIndex) {
  if (kindIndex == kindFilter_) return;
  kindFilter_ = kindIndex;
  if (OnKindChange) OnKindChange(*this);
}

void CPenMethodListCore::SetShowAll(bool flag) {
  if (engine_ != 2 || (showAll_ != 0) == flag) return;
  showAll_ = flag ? 1 : 0;
  EnsureCurrentVisible(true);
}

void CPenMethodListCore::SetPaintKind(uint8_t kind) {
  engine_ = PaintKindEngine(kind);
  int32_t position;
  if (engine_ == 2) {
    SetKindFilter(kind >= kFirstCurrentKind ? static_cast<uint8_t>(kind - kFirstCurrentKind) : kNotFoundKind);
    position = GetSelected();
    if (const CPenMethodObj* brush = GetMethod(position)) settings_->LoadFromPenMethod(brush);
  } else {
    group_ = PaintKindPenGroup(kind);
    settings_->SetKind(kind);
    position = GetSelected();
    SPenSetting record;
    GetPenSetting(position, record);
    settings_->LoadFromPenSetting(record);
  }
  SetSelected(position);
  EnsureCurrentVisible(true);
  NotifyChange();
}

// ---------------------------------------------------------------------------------------------
// Item settings

TPaintParam* CPenMethodListCore::StoreSettings() {
  if (set_ == nullptr) return nullptr;
  if (engine_ == 2) {
    settings_->SaveToPenMethod(GetMethod(GetSelected()));
    SetModified(true);
    NotifyChange();
  } else if (SPenSetting* record = SlotRecord(GetSelected())) {
    settings_->SaveToPenSetting(*record);
  }
  return settings_.get();
}

bool CPenMethodListCore::SaveSettings() {
  StoreSettings();
  return true;
}

void CPenMethodListCore::ApplyToStroke() {
  if (engine_ != 2 && stroke_ != nullptr) settings_->ApplyToStroke(*stroke_);
}

void CPenMethodListCore::FieldChanged() {
  ApplyToStroke();
  NotifyChange();
}

void CPenMethodListCore::SetRealField(int32_t field, float value) {
  TPaintParam& p = *settings_;
  switch (field) {
    case 2: p.SetOpaque(value); break;
    case 3: p.SetPenSpacing(value); break;
    case 4: p.SetEffect(value); break;
    case 5: p.SetEnv(value); break;
    case 6: p.SetSpeed(value); break;
    case 7: p.SetGamma(value); break;
    case 12: p.SetWidth(value); break;
    case 13: p.SetMin(value); break;
    case 14: p.SetNibRatio(value); break;
    case 15: p.SetNibAngle(value); break;
    case 17: p.SetAirMapParam1(value); break;
    case 18: p.SetAirMapParam2(value); break;
    case 19: p.SetNibScale(value); break;
    default: break;
  }
  FieldChanged();
}

void CPenMethodListCore::SetSwitchField(int32_t field, uint8_t value) {
  TPaintParam& p = *settings_;
  switch (field) {
    case 8: p.SetIfTransparency(value); break;
    case 9: p.SetIfSize(value); break;
    case 10: p.SetUseGradation(value); break;
    case 11: p.SetUseTone(value); break;
    case 20: p.SetIfEdge(value); break;
    case 21: p.SetNibFlag(value); break;
    default: break;
  }
  FieldChanged();
}

void CPenMethodListCore::SetIntField(int32_t field, int32_t value) {
  if (field == 16) settings_->SetAirMap(static_cast<uint8_t>(value));
  FieldChanged();
}

void CPenMethodListCore::SetItemName(bool keep, const std::string& cp932) {
  if (!keep) settings_->SetName(cp932);
  ApplyToStroke();
  NotifyChange();
}

void CPenMethodListCore::SetNib(const CPenShapeObj* nib) {
  settings_->LoadFromPenShape(nib);
  NotifyChange();
}

bool CPenMethodListCore::AddMethod(std::unique_ptr<CPenMethodObj> brush, bool redraw) {
  if (set_ == nullptr || brush == nullptr) return false;
  const int32_t before = GetCount();
  if (set_->Add(std::move(brush)) < 0) return false;
  if (engine_ == 2) SetModified(true);
  SelectItem(before, redraw);
  return true;
}

bool CPenMethodListCore::PutMethod(int32_t position, std::unique_ptr<CPenMethodObj> brush, bool redraw) {
  if (set_ == nullptr || brush == nullptr) return false;
  if (!IsValidIndex(position)) return AddMethod(std::move(brush), redraw);
  if ((GetItemFlags(position) & kItemFixed) != 0) return false;
  // The position is taken as a set index (the lists that filter by kind take no drops).
  if (set_->Insert(std::clamp(position, 0, set_->Count()), std::move(brush)) != position) return false;
  if (engine_ == 2) SetModified(true);
  SelectItem(position, redraw);
  return true;
}

}  // namespace tf
