// The list view's answers to the mouse: clicks and their shortcuts, drags and drops between
// views, hover, hints, the popup link.
#include <algorithm>
#include <cstdlib>

#include "app/ListViewCore.h"
#include "platform/ResourceText.h"
#include "platform/Text.h"
#include "platform/Warning.h"

namespace tf {

bool CListViewCore::MouseDown(int32_t x, int32_t y, uint32_t shift) {
  pressed_ = 0;
  const int32_t area = HitTestArea(x, y);
  if (area == kAreaOutside) return true;
  // The subclass's own area: no current index, selection, press or drag from here.
  if (area == kAreaSubclass) return false;
  if (area == kAreaToggle) {
    SetToggle(!toggle_);
    Repaint();
    return false;
  }
  if (area == kAreaPopupStrip && OpenPopup()) {
    ShowOpenedPopup();
    return false;
  }
  mouseDown_ = {x, y};
  current_ = ItemAtPos(x, y);
  if (area == kAreaEmpty) {
    if ((options_ & kLvAppendClick) != 0 && !PutCurrentAt(GetCount(), true)) {
      ShowWarning(Tx(TextId::ListOperationFailed));
    }
    return false;
  }
  if (!IsValidIndex(current_)) return false;
  const uint32_t keys = shift & (kKeyShift | kKeyCtrl | kKeyAlt);
  if (keys == (kKeyShift | kKeyCtrl)) {
    if ((options_ & kLvDuplicateClick) != 0) DuplicateItem(current_, true);
  } else if (keys == kKeyCtrl) {
    if ((options_ & kLvDeleteClick) != 0) DeleteItem(current_, true);
  } else if (keys == kKeyShift) {
    if ((options_ & kLvPutClick) != 0) PutCurrentAt(current_, true);
  } else if (keys == 0) {
    pressed_ = 1;
    const int32_t item = current_;
    SelectItem(item, true);
    if ((GetItemFlags(item) & kItemNoRename) == 0) {
      const TRect r = GetTextRect(item);
      if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) BeginRename(item);
    }
  }
  Repaint();
  return false;
}

void CListViewCore::MouseUp() {
  SetDragging(false);
  StopTimer();
  pressed_ = 0;
  dropShown_ = 0;
  Repaint();
}

void CListViewCore::MouseMove(int32_t x, int32_t y, bool leftDown, uint32_t shift) {
  if ((options_ & kLvDragSource) != 0 && leftDown && pressed_ && !dragging_ &&
      (shift & (kKeyShift | kKeyCtrl | kKeyAlt)) == 0 && HitTestArea(x, y) == kAreaItem &&
      (GetItemFlags(current_) & kItemNoDrag) == 0) {
    const TPoint threshold = host_ != nullptr ? host_->DragThreshold() : TPoint{4, 4};
    if (std::abs(x - mouseDown_.x) >= threshold.x || std::abs(y - mouseDown_.y) >= threshold.y) {
      dragPoint_ = {x, y};
      SetDragging(true);
      if (host_ != nullptr) host_->BeginDrag();
    }
  }
  UpdateHint(x, y);
  if (SetHoverFlags(x, y)) Repaint();
}

bool CListViewCore::SetHoverFlags(int32_t x, int32_t y) {
  bool changed = false;
  if (style_ >= kStyleSingle) {
    const int32_t item = ItemAtPos(x, y);
    const uint8_t first = item >= 0 && item == firstVisible_ ? 1 : 0;
    const uint8_t last = item >= 0 && item == GetLastVisible() ? 1 : 0;
    changed = first != hoverFirst_ || last != hoverLast_;
    hoverFirst_ = first;
    hoverLast_ = last;
  }
  if (style_ == kStyleSingleToggle) {
    const uint8_t over = x >= toggleRect_.left && x < toggleRect_.right && y >= toggleRect_.top && y < toggleRect_.bottom;
    changed = changed || over != hoverToggle_;
    hoverToggle_ = over;
  }
  return changed;
}

void CListViewCore::MouseEnter(int32_t x, int32_t y) {
  SetHoverFlags(x, y);
  Repaint();
}

void CListViewCore::MouseLeave() {
  hoverFirst_ = hoverLast_ = hoverToggle_ = 0;
  Repaint();
}

void CListViewCore::DoubleClick(int32_t x, int32_t y, uint32_t shift) {
  if ((options_ & kLvEditDoubleClick) == 0) return;
  const int32_t item = ItemAtPos(x, y);
  if (item != current_ || (shift & (kKeyShift | kKeyCtrl)) != 0 || HitTestArea(x, y) != kAreaItem) return;
  if ((GetItemFlags(item) & kItemNoEdit) != 0) return;
  current_ = item;
  EditItem(item);
}

bool CListViewCore::ClaimsPoint(int32_t x, int32_t y, bool enabled) { return enabled && HitTestArea(x, y) != kAreaOutside; }

void CListViewCore::SetDragging(bool flag) {
  dragging_ = flag ? 1 : 0;
  if (host_ != nullptr) host_->SetShowHint(!flag);
  if (flag) {
    // A running timer keeps its time: moves come every few milliseconds.
    if (!timerRunning_) {
      timerRunning_ = true;
      if (host_ != nullptr) host_->StartTimer(timerInterval_);
    }
  } else {
    StopTimer();
  }
}

bool CListViewCore::DragOver(CListViewCore* source, TPoint point, int32_t state) {
  if (OnDragOver && OnDragOver(source, point, state)) return true;
  if (!SameClass(source)) return false;
  if ((options_ & kLvDropTarget) == 0) {
    dropShown_ = 0;
    return false;
  }
  const int32_t drop = InsertPosAt(point.x, point.y);
  const bool accept = state != kDragLeave && HitTestArea(point.x, point.y) != kAreaOutside &&
                      (source != this || CanDropTo(drop, source, source->CurrentIndex()));
  dropShown_ = accept ? 1 : 0;
  dragPoint_ = point;
  if (source == this && state == kDragEnter) {
    SetDragging(true);
  } else {
    SetDragging(state == kDragMove);
  }
  Repaint();
  if (host_ != nullptr) host_->UpdateNow();
  return accept;
}

void CListViewCore::DragDrop(CListViewCore* source, TPoint point) {
  if (OnDragDrop) OnDragDrop(source, point);
  if (SameClass(source)) {
    const int32_t from = source->CurrentIndex();
    const int32_t drop = InsertPosAt(point.x, point.y);
    if (source == this) {
      if (CanDropTo(drop, this, from) && drop != from) MoveItem(drop, from, true);
    } else {
      source->InsertCopy(this, drop, from, true);
    }
  }
  drop_ = -1;
  // The release goes to the source: the target's drag (and its auto-scroll) ends here.
  dropShown_ = 0;
  if (source != this) SetDragging(false);
  Repaint();
}

void CListViewCore::DragEnded() {
  SetDragging(false);
  dropShown_ = 0;
  drop_ = -1;
  Repaint();
}

void CListViewCore::UpdateHint(int32_t x, int32_t y) {
  const int32_t item = ItemAtPos(x, y);
  if (!IsValidIndex(item)) {
    if (!hint_.empty()) {
      hint_.clear();
      if (host_ != nullptr) host_->SetHint(hint_);
    }
    return;
  }
  if (item == hintIndex_ && !hint_.empty()) return;
  hintIndex_ = item;
  if (host_ != nullptr) host_->CancelHint();
  std::string text;
  if (FormatItemHint(Tx(TextId::ListItemHint), Cp932ToUtf8(GetItemText(item)), text)) {
    hint_ = std::move(text);
    if (host_ != nullptr) host_->SetHint(hint_);
  }
}

// ---------------------------------------------------------------------------------------------
// The popup link

void CListViewCore::ShowOpenedPopup() {
  if (popup_ == nullptr) return;
  TPoint below{0, height_};
  TPoint topLeft{0, 0};
  if (host_ != nullptr) {
    below = host_->ClientToScreen(below);
    topLeft = host_->ClientToScreen(topLeft);
  }
  const TRect avoid{topLeft.x, topLeft.y, topLeft.x + width_, topLeft.y + height_};
  popup_->ShowPopup(below.x, below.y, avoid, [this] { PopupOpened(); }, [this] { PopupClosed(); });
}

void CListViewCore::PopupOpened() {
  if (popup_ == nullptr || popup_->PopupView() == nullptr) return;
  CListViewCore* view = popup_->PopupView();
  view->modified_ = GetModified() ? 1 : 0;
  view->OnChange = [this](CListViewCore&) { PopupSelect(); };
  view->OnModified = [this](CListViewCore&) { PopupModified(); };
}

void CListViewCore::PopupSelect() {
  SetSelected(GetSelected());
  EnsureCurrentVisible(true);
  NotifyChange();
}

void CListViewCore::PopupModified() {
  if (popup_ != nullptr && popup_->PopupView() != nullptr) modified_ = popup_->PopupView()->GetModified() ? 1 : 0;
}

void CListViewCore::PopupClosed() {
  if (popup_ == nullptr) return;
  if (popup_->PopupResult() == 1) {
    NotifyChange();
  } else {
    SetSelected(popup_->OpenIndex());
  }
  EnsureCurrentVisible(true);
  if (popup_ != nullptr && popup_->PopupView() != nullptr) popup_->PopupView()->OnChange = nullptr;
  ClosePopup();
}

}  // namespace tf
