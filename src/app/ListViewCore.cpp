// The owner-drawn list view's logic: geometry, scrolling and painting.
#include "app/ListViewCore.h"

#include <algorithm>
#include <cmath>
#include <typeinfo>
#include <vector>

#include "platform/ResourceText.h"
#include "platform/Text.h"
#include "raster/Appearance.h"

namespace tf {

namespace {

constexpr SChannelOps kCopy{ChannelCopy, ChannelCopy};
constexpr SChannelOps kBlend{ChannelBlend, ChannelKeep};

uint32_t Colour(TAppearanceColor c) { return AppearanceColors[static_cast<size_t>(c)]; }

bool Contains(const TRect& r, int32_t x, int32_t y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// Opaque fills and copies, row by row (the surface's general painters work pixel by pixel).
void Fill(TMemoryGraphic& g, const TRect& rect, uint32_t colour) {
  int32_t x, y, w, h;
  if (!g.ClipRect(rect, x, y, w, h)) return;
  for (int32_t j = 0; j < h; ++j) std::fill_n(g.PixelAddress(x, y + j), w, colour);
}

void Copy(TMemoryGraphic& to, int32_t x, int32_t y, int32_t w, int32_t h, const TMemoryGraphic& from) {
  if (from.IsValid()) to.CopyBits(x, y, w, h, from.Pixels(), 0, 0, from.Width(), from.Height());
}

// Integer division as the design's "div": truncation towards zero.
int32_t Div(int32_t a, int32_t b) { return b != 0 ? a / b : 0; }

}  // namespace

bool FormatItemHint(std::string_view templateText, std::string_view name, std::string& hint) {
  std::string shown = name.empty() ? "(" + std::string(Tx(TextId::ListUndefinedName)) + ")" : std::string(name);
  std::string out;
  for (size_t i = 0; i < templateText.size(); ++i) {
    const char c = templateText[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i + 1 >= templateText.size()) return false;
    const char d = templateText[++i];
    if (d == 's') {
      out += shown;
    } else if (d == '%') {
      out += '%';
    } else {
      return false;
    }
  }
  hint = std::move(out);
  return true;
}

CListViewCore::CListViewCore()
    : viewImage_(TMemoryGraphic::CreateColor(Colour(acGrayText))),
      cellImage_(32, 32, Colour(acBtnFace)),
      stripImage_(TMemoryGraphic::CreateColor(Colour(acBtnFace))) {
  toggleRect_ = content_;
}

CListViewCore::~CListViewCore() = default;

// ---------------------------------------------------------------------------------------------
// Host calls

void CListViewCore::Invalidate(const TRect& rect) {
  if (host_ != nullptr) host_->Invalidate(rect);
}

void CListViewCore::InvalidateContent() { Invalidate(content_); }

bool CListViewCore::PaintText(TMemoryGraphic& graphic, const std::string& cp932, TRect& rect, uint32_t format,
                              uint32_t colour) {
  if (textPainter_ == nullptr) return false;
  return textPainter_->DrawText(graphic, Cp932ToUtf8(cp932), rect, format, colour);
}

void CListViewCore::StopTimer() {
  if (!timerRunning_) return;
  timerRunning_ = false;
  if (host_ != nullptr) host_->StopTimer();
}

TRect CListViewCore::ScrollBarRect() const {
  return {content_.right, content_.top, content_.right + kScrollBarWidth, content_.bottom};
}

SSize CListViewCore::StyleCellSize(int32_t style) const {
  return style >= 0 && style < 7 ? cellSizes_[style] : SSize{0, 0};
}

void CListViewCore::SetStyleCellSize(int32_t style, SSize size) {
  if (style >= 0 && style < 7) cellSizes_[style] = size;
}

// ---------------------------------------------------------------------------------------------
// Bounds, styles, cell size

void CListViewCore::PlaceToggle() {
  const TMemoryGraphic& glyph = AppearanceManager().GetListGlyph(toggle_, hoverToggle_ ? gsActive : gsNone);
  const int32_t gw = glyph.IsValid() ? glyph.Width() : 11;
  const int32_t gh = glyph.IsValid() ? glyph.Height() : 11;
  toggleRect_.left = content_.left + 1;
  toggleRect_.top = content_.top + Div(content_.bottom - content_.top - gh, 2);
  toggleRect_.right = toggleRect_.left + gw;
  toggleRect_.bottom = toggleRect_.top + gh;
}

void CListViewCore::SetBounds(int32_t width, int32_t height) {
  if (hasBounds_ && width == width_ && height == height_) return;
  hasBounds_ = true;
  width_ = width;
  height_ = height;
  const bool single = style_ >= kStyleSingle;
  content_ = {2, 2, width - (single ? 12 : 16), height - 2};
  const int32_t ch = content_.bottom - content_.top;
  const int32_t cw = content_.right - content_.left;
  if (stripImage_.Width() != kPopupStripWidth || stripImage_.Height() != ch) stripImage_.SetSize(kPopupStripWidth, ch);
  if (host_ != nullptr) host_->ScrollBarChanged();
  viewImage_.SetSize(std::max(cw, 1), std::max(ch, 1));
  if (style_ >= kStyleListSmall && style_ <= kStyleText) {
    SetCellWidth(cw);
  } else if (style_ == kStyleSingle || style_ == kStyleSingleToggle || style_ == kStyleStrip) {
    SetCellHeight(ch);
    DrawPopupStrip();
    if (style_ == kStyleSingleToggle) PlaceToggle();
  }
  EnsureCurrentVisible(true);
}

void CListViewCore::SetDisplayStyle(int32_t style) {
  if (style < 0 || style > 15 || (allowedStyles_ & (1u << style)) == 0) return;
  style_ = static_cast<uint8_t>(style);
  const int32_t cw = content_.right - content_.left;
  const int32_t ch = content_.bottom - content_.top;
  SSize size{0, 0};
  if (style <= kStyleIconLarge) {
    size = cellSizes_[style];
  } else if (style <= kStyleText) {
    size = {cw, cellSizes_[style].height};
  } else if (style <= kStyleSingleToggle) {
    size = {cw, ch};
  } else {
    size = {ch, ch};
  }
  const bool single = style >= kStyleSingle;
  scroll_.visible = !single;
  content_ = {2, 2, width_ - (single ? 12 : 16), height_ - 2};
  if (host_ != nullptr) host_->ScrollBarChanged();
  if (single) {
    DrawPopupStrip();
    if (style == kStyleSingleToggle) PlaceToggle();
  }
  viewImage_.SetSize(std::max(content_.right - content_.left, 4), std::max(content_.bottom - content_.top, 4));
  SetCellSize(size);
}

SSize CListViewCore::GetCellSize() {
  if (!cellImage_.IsValid()) return {0, 0};
  return {cellImage_.Width(), cellImage_.Height()};
}

void CListViewCore::SetCellSize(SSize size) {
  const int32_t cw = content_.right - content_.left;
  const int32_t ch = content_.bottom - content_.top;
  if (style_ >= kStyleListSmall && style_ <= kStyleText) {
    size.width = cw;
  } else if (style_ == kStyleSingle || style_ == kStyleSingleToggle) {
    size = {cw, ch};
  } else if (style_ == kStyleStrip) {
    size = {ch + 2, ch};
  }
  const SSize want{std::max(size.width, 4), std::max(size.height, 4)};
  if (cellImage_.IsValid() && (cellImage_.Width() != want.width || cellImage_.Height() != want.height)) {
    cellImage_.SetSize(want.width, want.height);
    EnsureCurrentVisible(true);
  }
}

void CListViewCore::SetOptions(uint16_t options) {
  if (options == options_) return;
  options_ = options;
  margin_ = frame_ = (options & kLvSelection) != 0 ? 1 : 0;
  Repaint();
}

// ---------------------------------------------------------------------------------------------
// Grid geometry

int32_t CListViewCore::ColumnCount() {
  const int32_t cw = GetCellWidth();
  return std::max(cw > 0 ? (content_.right - content_.left) / cw : 1, 1);
}

int32_t CListViewCore::VisibleRowCount() {
  const int32_t ch = GetCellHeight();
  return std::max(ch > 0 ? (content_.bottom - content_.top - 1) / ch + 1 : 1, 1);
}

int32_t CListViewCore::RowOf(int32_t index) {
  const int32_t p = bottomUp_ ? GetCount() - index - 1 : index;
  return p / ColumnCount() + 1;
}

int32_t CListViewCore::ColumnOf(int32_t index) {
  const int32_t p = bottomUp_ ? GetCount() - index - 1 : index;
  return p % ColumnCount() + 1;
}

TRect CListViewCore::GetItemRectGrid(int32_t index) {
  const SSize cell = GetCellSize();
  const int32_t columns = ColumnCount();
  const int32_t p = bottomUp_ ? GetCount() - 1 - index : index;
  TRect r;
  r.left = (p % columns) * cell.width;
  r.top = (p / columns) * cell.height - scroll_.position * cell.height;
  r.right = r.left + cell.width;
  r.bottom = r.top + cell.height;
  return r;
}

int32_t CListViewCore::ItemAtPosGrid(int32_t x, int32_t y) {
  const int32_t count = GetCount();
  if (count <= 0) return -1;
  const SSize cell = GetCellSize();
  if (cell.width < 1 || cell.height < 1) return -1;
  const int32_t columns = ColumnCount();
  const int32_t column = Div(x - content_.left, cell.width);
  // A point right of the last column is no item (not the next row's first).
  if (column < 0 || column >= columns) return -1;
  const int32_t displayRow = scroll_.position + Div(y - content_.top, cell.height);
  const int32_t p = displayRow * columns + column;
  return bottomUp_ ? count - 1 - p : p;
}

int32_t CListViewCore::InsertPosAt(int32_t x, int32_t y) {
  const int32_t count = GetCount();
  if (count <= 0) {
    drop_ = -1;
    return -1;
  }
  const SSize cell = GetCellSize();
  if (cell.width < 1 || cell.height < 1) {
    drop_ = -1;
    return -1;
  }
  int32_t dx = x - content_.left;
  int32_t dy = y - content_.top;
  int32_t index;
  if (style_ >= kStyleSingle) {
    // The strip: before the item under the point, after it in its back half.
    const int32_t item = ItemAtPos(x, y);
    if (item < 0) {
      index = count;
    } else {
      const TRect r = GetItemRect(item);
      index = x >= (r.left + r.right) / 2 ? item + 1 : item;
    }
  } else {
    if (style_ <= kStyleIconLarge) dx += cell.width / 2;
    else dy += cell.height / 2;
    const int32_t columns = ColumnCount();
    const int32_t column = std::clamp(Div(dx, cell.width), 0, columns);
    const int32_t displayRow = scroll_.position + Div(dy, cell.height);
    const int32_t p = displayRow * columns + column;
    index = bottomUp_ ? count - p : p;
  }
  drop_ = index;
  return index;
}

// ---------------------------------------------------------------------------------------------
// Strip geometry

int32_t CListViewCore::GetVisibleCount() {
  const int32_t cw = GetCellWidth();
  if (GetCount() <= 0 || cw < 1) return 0;
  const int32_t w = content_.right - content_.left;
  if (style_ == kStyleSingle || style_ == kStyleSingleToggle || w - cw < 1) return 1;
  return (w - cw) / ((cw + 1) / 2) + 1;
}

int32_t CListViewCore::GetVisibleItemCount() {
  return std::max(std::min(GetVisibleCount(), GetCount() - firstVisible_), 0);
}

int32_t CListViewCore::GetLastVisible() { return std::min(firstVisible_ + GetVisibleCount(), GetCount()) - 1; }

bool CListViewCore::IsVisibleIndex(int32_t index) { return firstVisible_ <= index && index <= GetLastVisible(); }

int32_t CListViewCore::StripHighlight() {
  const int32_t n = GetVisibleItemCount();
  if (n <= 0) return -1;
  int32_t h = (options_ & kLvSelection) != 0 ? GetSelected() : current_;
  const int32_t last = firstVisible_ + n - 1;
  return std::clamp(h, firstVisible_, last);
}

int32_t CListViewCore::StripCellLeft(int32_t index) {
  const int32_t h = GetCellHeight();
  const int32_t w = content_.right - content_.left;
  const int32_t n = GetVisibleItemCount();
  const int32_t span = n * (h + 1) - 1;
  const int32_t k = index - firstVisible_;
  if (span - w + 1 <= 0) return -1 + k * (h + 1);
  const double step = static_cast<double>(h + 1) * (w - h - 1) / static_cast<double>(span - h - 1);
  const int32_t hl = StripHighlight();
  if (index <= hl) return -1 + static_cast<int32_t>(std::ceil(k * step));
  const int32_t fromRight = firstVisible_ + n - 1 - index;
  return w - h - 1 - static_cast<int32_t>(std::ceil(fromRight * step));
}

TRect CListViewCore::GetItemRectStrip(int32_t index) {
  if (style_ == kStyleSingle || style_ == kStyleSingleToggle) return content_;
  if (!IsValidIndex(index) || !IsVisibleIndex(index)) return {0, 0, 0, 0};
  const int32_t cw = GetCellWidth();
  const int32_t hl = StripHighlight();
  const int32_t last = GetLastVisible();
  // The cell less what the cells painted after it cover (PaintStrip's order: the items before
  // the highlighted one left to right, those after it right to left, the highlighted one last).
  int32_t left = StripCellLeft(index);
  int32_t right = left + cw;
  std::vector<int32_t> later;
  if (index < hl) {
    for (int32_t j = index + 1; j < hl; ++j) later.push_back(j);
    for (int32_t j = last; j > hl; --j) later.push_back(j);
    later.push_back(hl);
  } else if (index > hl) {
    for (int32_t j = index - 1; j > hl; --j) later.push_back(j);
    later.push_back(hl);
  }
  // Trim the ends until no later cell covers either of them.
  for (bool changed = true; changed && left < right;) {
    changed = false;
    for (int32_t j : later) {
      const int32_t ol = StripCellLeft(j), orr = ol + cw;
      if (ol <= left && orr > left) {
        left = std::min(orr, right);
        changed = true;
      }
      if (left < right && orr >= right && ol < right) {
        right = std::max(ol, left);
        changed = true;
      }
    }
  }
  const int32_t origin = content_.left;
  if (right <= left) return {0, 0, 0, 0};
  return {origin + left, content_.top, origin + right, content_.bottom};
}

int32_t CListViewCore::ItemAtPosStrip(int32_t x, int32_t y) {
  // The item on top at the point: the cells in the reverse of the painting order.
  const int32_t n = GetVisibleItemCount();
  if (n <= 0 || y < content_.top || y >= content_.bottom) return -1;
  const int32_t hl = StripHighlight();
  const int32_t last = firstVisible_ + n - 1;
  const int32_t cw = GetCellWidth();
  auto hit = [&](int32_t i) {
    const int32_t left = content_.left + StripCellLeft(i);
    return x >= left && x < left + cw;
  };
  if (hit(hl)) return hl;
  for (int32_t i = hl + 1; i <= last; ++i) {
    if (hit(i)) return i;
  }
  for (int32_t i = hl - 1; i >= firstVisible_; --i) {
    if (hit(i)) return i;
  }
  return -1;
}

void CListViewCore::KeepStripItemVisible(int32_t index) {
  if (index <= firstVisible_) {
    firstVisible_ = index - 1;
  } else if (index >= GetLastVisible()) {
    firstVisible_ = index - GetVisibleCount() + 2;
  }
  firstVisible_ = std::max(std::min(firstVisible_, GetCount() - GetVisibleCount()), 0);
  // A strip too narrow for the neighbours still shows the item itself.
  if (index >= 0 && index < GetCount() && GetVisibleCount() > 0)
    firstVisible_ = std::clamp(firstVisible_, index - GetVisibleCount() + 1, index);
}

// ---------------------------------------------------------------------------------------------
// Items

TRect CListViewCore::GetItemRect(int32_t index) {
  return style_ >= kStyleSingle ? GetItemRectStrip(index) : GetItemRectGrid(index);
}

int32_t CListViewCore::ItemAtPos(int32_t x, int32_t y) {
  if (style_ == kStyleSingle || style_ == kStyleSingleToggle) return GetSelected();
  if (style_ == kStyleStrip) return ItemAtPosStrip(x, y);
  return ItemAtPosGrid(x, y);
}

int32_t CListViewCore::HitTestArea(int32_t x, int32_t y) {
  const bool inRows = y >= content_.top && y < content_.bottom;
  if (style_ == kStyleSingle || style_ == kStyleStrip || style_ == kStyleSingleToggle) {
    if (style_ == kStyleSingleToggle && Contains(toggleRect_, x, y)) return kAreaToggle;
    if (inRows && x >= content_.right && x < width_ - content_.left) return kAreaPopupStrip;
  }
  if (Contains(content_, x, y)) return IsValidIndex(ItemAtPos(x, y)) ? kAreaItem : kAreaEmpty;
  return kAreaOutside;
}

SSize CListViewCore::GetThumbSize(int32_t) {
  int32_t side = GetCellHeight() - 7;
  if (!margin_) side += 4;
  if (!frame_) side += 2;
  return {side, side};
}

int32_t CListViewCore::GetCount() { return 0; }
uint32_t CListViewCore::GetItemFlags(int32_t) { return 15; }

uint32_t CListViewCore::GetItemState(int32_t index) {
  uint32_t state = 0;
  if ((options_ & kLvSelection) != 0 && index == GetSelected()) state |= kItemSelected;
  if (index == current_ && (pressed_ || dragging_)) state |= kItemPressed;
  return state;
}

std::string CListViewCore::GetItemText(int32_t) { return {}; }
void CListViewCore::SetItemText(int32_t, const std::string&) {}
bool CListViewCore::IsValidIndex(int32_t index) { return index >= 0 && index < GetCount(); }

TRect CListViewCore::GetTextRect(int32_t index) {
  if (style_ <= kStyleIconLarge || style_ > kStyleText) return {0, 0, 0, 0};
  TRect r = GetItemRect(index);
  if (style_ == kStyleText) {
    r.left += 3;
  } else {
    r.left += (r.bottom - r.top) + 3;
  }
  r.right -= 3;
  TMemoryGraphic& g = cellImage_;
  PaintText(g, GetItemText(index), r, kListTextFormat | kListTextCalcRect, 0);
  return r;
}

// ---------------------------------------------------------------------------------------------
// Rules

bool CListViewCore::CanInsertAt(int32_t index) {
  if (!IsValidIndex(index)) index = GetCount();
  return !IsValidIndex(index) || (GetItemFlags(index) & kItemFixed) == 0;
}

bool CListViewCore::CanDrop(int32_t target, CListViewCore* source, int32_t sourceIndex) {
  if (source == nullptr || (source->GetItemFlags(sourceIndex) & kItemNoDrag) != 0) return false;
  if (source == this) return CanMoveItem(target, sourceIndex);
  if (IsValidIndex(target)) return CanMoveFrom(target, source, sourceIndex);
  return CanInsertFrom(source, sourceIndex);
}

bool CListViewCore::CanMoveItem(int32_t to, int32_t from) {
  if (!IsValidIndex(to)) to = GetCount();
  if (!IsValidIndex(from) || to == from || to == from + 1) return false;
  if ((GetItemFlags(from) & kItemFixed) != 0) return false;
  return !IsValidIndex(to) || (GetItemFlags(to) & kItemFixed) == 0;
}

bool CListViewCore::CanInsertFrom(CListViewCore* source, int32_t sourceIndex) {
  return source != nullptr && source->IsValidIndex(sourceIndex);
}

bool CListViewCore::CanMoveFrom(int32_t to, CListViewCore* source, int32_t from) {
  if (!IsValidIndex(to)) to = GetCount();
  if (source == nullptr || !source->IsValidIndex(from) || to == from || to == from + 1) return false;
  return !IsValidIndex(to) || (GetItemFlags(to) & kItemFixed) == 0;
}

bool CListViewCore::CanDelete(int32_t index) { return IsValidIndex(index) && (GetItemFlags(index) & kItemFixed) == 0; }

bool CListViewCore::CanCopyFrom(int32_t to, CListViewCore* source, int32_t from) {
  if (IsValidIndex(to) && (GetItemFlags(to) & kItemFixed) != 0) return false;
  return source != nullptr && source->IsValidIndex(from);
}

bool CListViewCore::CanEditItem(int32_t index) { return IsValidIndex(index) && (GetItemFlags(index) & kItemNoEdit) == 0; }

bool CListViewCore::CanDropTo(int32_t index, CListViewCore* source, int32_t sourceIndex) {
  return CanDrop(index, source, sourceIndex);
}

bool CListViewCore::SameClass(const CListViewCore* other) const {
  return other != nullptr && typeid(*other) == typeid(*this);
}

// ---------------------------------------------------------------------------------------------
// Item operations

bool CListViewCore::SelectItem(int32_t index, bool redraw) {
  if (!IsValidIndex(index)) return false;
  SetSelected(index);
  if (redraw) EnsureCurrentVisible(true);
  return true;
}

bool CListViewCore::MoveItem(int32_t to, int32_t from, bool redraw) {
  to = std::clamp(to, 0, GetCount());
  if (!CanMoveItem(to, from)) return false;
  if (!CopyItem(to, from, false)) return false;
  if (to > from) {
    --to;
  } else {
    ++from;
  }
  if (!DeleteItem(from, false)) return false;
  return SelectItem(to, redraw);
}

bool CListViewCore::ReplaceItem(int32_t to, int32_t from, bool redraw) {
  if (to == from || !IsValidIndex(to)) return false;
  if (!CopyItem(to, from, false)) return false;
  if (to + 1 < GetCount() && !DeleteItem(to + 1, false)) return false;
  return SelectItem(to, redraw);
}

bool CListViewCore::CopyItem(int32_t to, int32_t from, bool redraw) { return InsertCopy(this, to, from, redraw); }

bool CListViewCore::PutCurrentAt(int32_t index, bool redraw) {
  if (IsValidIndex(index)) return ReplaceItem(index, current_, redraw);
  return CopyItem(index, current_, redraw);
}

bool CListViewCore::DuplicateItem(int32_t index, bool redraw) { return InsertCopy(this, index, current_, redraw); }

bool CListViewCore::CopyCurrentTo(CListViewCore* destination, int32_t index, bool redraw) {
  return destination != nullptr && InsertCopy(destination, index, current_, redraw);
}

int32_t CListViewCore::GetSelected() { return (options_ & kLvSelection) != 0 ? selected_ : -1; }

void CListViewCore::SetSelected(int32_t index) {
  if (!IsValidIndex(index)) return;
  if ((options_ & kLvSelection) != 0) selected_ = index;
  current_ = index;
  NotifyChange();
}

void CListViewCore::NotifyChange() {
  if (OnChange) OnChange(*this);
}

void CListViewCore::SetModified(bool flag) {
  modified_ = flag ? 1 : 0;
  if (popup_ != nullptr && popup_->PopupView() != nullptr && popup_->PopupView() != this) {
    popup_->PopupView()->modified_ = modified_;
  }
  if (OnModified) OnModified(*this);
}

void CListViewCore::SetToggle(bool state) {
  toggle_ = state ? 1 : 0;
  NotifyChange();
}

// ---------------------------------------------------------------------------------------------
// Scrolling

void CListViewCore::UpdateScrollBar() {
  const int32_t count = GetCount();
  if (count <= 0) {
    scroll_.minimum = 0;
    scroll_.maximum = 1;
    scroll_.position = 0;
    scroll_.page = 1;
    scroll_.largeChange = 1;
    scroll_.enabled = false;
    if (host_ != nullptr) host_->ScrollBarChanged();
    Repaint();
    userScrolling_ = 0;
    return;
  }
  int32_t rows = RowOf(bottomUp_ ? 0 : count - 1);
  const SSize grid = GetGridSize();
  const int32_t ch = GetCellHeight();
  const int32_t contentHeight = content_.bottom - content_.top;
  if ((ch > 0 && (contentHeight + 1) % ch != 0) ||
      ((options_ & kLvAppendClick) != 0 && count % grid.width == 0)) {
    ++rows;
  }
  if (rows > grid.height) {
    scroll_.minimum = 0;
    scroll_.maximum = rows - 1;
    scroll_.position = std::min(scroll_.position, rows - grid.height);
    scroll_.enabled = true;
    scroll_.largeChange = scroll_.page = grid.height;
  } else if (scroll_.enabled) {
    scroll_.minimum = 0;
    scroll_.maximum = grid.height;
    scroll_.page = scroll_.largeChange = grid.height;
    // Every row fits: the view shows them from the top (a position left over from a longer
    // list would hide them with the bar disabled).
    scroll_.position = 0;
    scroll_.enabled = false;
  }
  if (host_ != nullptr) host_->ScrollBarChanged();
}

bool CListViewCore::StorePosition(int32_t position) {
  position = std::max(std::min(position, scroll_.maximum - VisibleRowCount() + 1), 0);
  if (position == scroll_.position) return false;
  scroll_.position = position;
  if (host_ != nullptr) host_->ScrollBarChanged();
  return true;
}

void CListViewCore::SetScrollPos(int32_t position) {
  if (!scroll_.enabled) return;
  if (StorePosition(position)) Repaint();
}

void CListViewCore::ScrollToItem(int32_t index) {
  UpdateScrollBar();
  const int32_t r = RowOf(index);
  if (scroll_.enabled) {
    if (scroll_.position >= r - 1) {
      StorePosition(r - 1);
    } else if (r >= scroll_.position + VisibleRowCount()) {
      StorePosition(r - VisibleRowCount() + 1);
    }
  }
  Repaint();
}

void CListViewCore::EnsureCurrentVisible(bool scroll) {
  if (GetCount() <= 0) {
    if (scroll_.visible) UpdateScrollBar();
    else Repaint();
    return;
  }
  if (userScrolling_) return;
  const int32_t item = (options_ & kLvSelection) != 0 ? GetSelected() : current_;
  if (style_ <= kStyleText) {
    if (scroll) {
      ScrollToItem(item);
    } else {
      UpdateScrollBar();
      Repaint();
    }
  } else {
    KeepStripItemVisible(item);
    Repaint();
  }
  if (popup_ != nullptr && popup_->PopupView() != nullptr && popup_->PopupView() != this) {
    popup_->PopupView()->EnsureCurrentVisible(true);
  }
}

void CListViewCore::ScrollBarScroll(int32_t position, bool thumbDown) {
  userScrolling_ = thumbDown ? 1 : 0;
  position = std::min(position, scroll_.maximum - VisibleRowCount() + 1);
  SetScrollPos(position);
  if (scroll_.enabled) UpdateScrollBar();
}

bool CListViewCore::MouseWheel(uint32_t, int32_t delta, TPoint point) {
  if (style_ > kStyleText || !scroll_.enabled) return false;
  if (point.x < 0 || point.y < 0 || point.x >= width_ || point.y >= height_) return false;
  wheelRemainder_ += delta;
  const int32_t rows = wheelRemainder_ / 120;
  wheelRemainder_ -= rows * 120;
  if (rows != 0) SetScrollPos(scroll_.position - rows * scroll_.smallChange);
  return true;
}

void CListViewCore::TimerTick() {
  const int32_t zone = std::max(GetCellHeight(), 24);
  int32_t d = dragPoint_.y - content_.top;
  if (d < zone) {
    SetScrollPos(scroll_.position - scroll_.smallChange);
  } else {
    d = content_.bottom - dragPoint_.y;
    if (d < zone) {
      SetScrollPos(scroll_.position + scroll_.smallChange);
    } else {
      StopTimer();
      return;
    }
  }
  timerInterval_ = std::max(d, 0) * 480 / (zone - 1) + 20;
  if (host_ != nullptr && timerRunning_) host_->SetTimerInterval(timerInterval_);
}

// ---------------------------------------------------------------------------------------------
// Painting

void CListViewCore::Repaint() {
  Fill(viewImage_, {0, 0, viewImage_.Width(), viewImage_.Height()}, Colour(acGrayText));
  if (GetCount() <= 0) {
    InvalidateContent();
    return;
  }
  const TRect whole{0, 0, content_.right - content_.left, content_.bottom - content_.top};
  if (style_ == kStyleSingle || style_ == kStyleSingleToggle) {
    DrawItemAt(GetSelected(), whole, kItemSelected);
    if (style_ == kStyleSingleToggle) {
      const TMemoryGraphic& glyph = AppearanceManager().GetListGlyph(toggle_, hoverToggle_ ? gsActive : gsNone);
      if (glyph.IsValid()) {
        viewImage_.DrawGraphic(toggleRect_.left - content_.left, toggleRect_.top - content_.top, glyph.Width(),
                               glyph.Height(), glyph, 0, 0, kBlend);
      }
    }
  } else if (style_ == kStyleStrip) {
    PaintStrip();
  } else {
    PaintGrid();
  }
  InvalidateContent();
}

void CListViewCore::PaintGrid() {
  const int32_t count = GetCount();
  const int32_t columns = ColumnCount();
  const int32_t firstP = scroll_.position * columns;
  const int32_t lastP = (scroll_.position + VisibleRowCount()) * columns - 1;
  int32_t first = bottomUp_ ? count - 1 - lastP : firstP;
  int32_t last = bottomUp_ ? count - 1 - firstP : lastP;
  first = std::clamp(first, 0, count - 1);
  last = std::clamp(last, 0, count - 1);
  for (int32_t i = first; i <= last; ++i) DrawItem(i, GetItemState(i));
  if (dragging_ && dropShown_) DrawDropMarker(drop_);
}

void CListViewCore::DrawItem(int32_t index, uint32_t state) {
  const SSize cell = GetCellSize();
  const int32_t w = cell.width, h = cell.height;
  // The frame shows only as the separator on the right column and the bottom row.
  Fill(cellImage_, {w - 1, 0, w, h}, Colour(acWindowFrame));
  Fill(cellImage_, {0, h - 1, w, h}, Colour(acWindowFrame));
  const uint32_t fill = (state & kItemSelected) != 0  ? Colour(acHighlight)
                        : (state & kItemPressed) != 0 ? Colour(acWindow)
                                                      : Colour(acBtnFace);
  const TRect inner{0, 0, w - 1, h - 1};
  Fill(cellImage_, inner, fill);
  if (style_ <= kStyleIconLarge) {
    DrawIconCell(inner, index, state);
  } else if (style_ <= kStyleListLarge) {
    DrawListCell(inner, index, state);
  } else {
    DrawTextCell(inner, index, state);
  }
  if ((state & kItemPressed) != 0) cellImage_.FrameRect(inner, 1, Colour(acHighlight), kCopy);
  const TRect r = GetItemRectGrid(index);
  if (checker_) {
    viewImage_.FillChecker(r, checkerSize_.width, checkerSize_.height, checkerColours_[0], checkerColours_[1], kCopy);
    viewImage_.DrawGraphic(r.left, r.top, w, h, cellImage_, 0, 0, kBlend);
  } else {
    Copy(viewImage_, r.left, r.top, w, h, cellImage_);
  }
}

void CListViewCore::DrawIconCell(const TRect& rect, int32_t index, uint32_t state) {
  const SSize thumb = GetThumbSize(index);
  const TRect t{rect.left + (rect.right - rect.left - thumb.width) / 2,
                rect.top + (rect.bottom - rect.top - thumb.height) / 2, 0, 0};
  const TRect r{t.left, t.top, t.left + thumb.width, t.top + thumb.height};
  if (r.right <= r.left || r.bottom <= r.top) return;
  if (frame_) {
    const uint32_t c = (state & kItemSelected) != 0  ? Colour(acHighlightText)
                       : (state & kItemPressed) != 0 ? Colour(acWindowText)
                                                     : Colour(acGrayText);
    cellImage_.FrameRect({r.left - 1, r.top - 1, r.right + 1, r.bottom + 1}, 1, c, kCopy);
  }
  DrawItemImage(cellImage_, r, state, index);
}

void CListViewCore::DrawListCell(const TRect& rect, int32_t index, uint32_t state) {
  const int32_t h = rect.bottom - rect.top;
  DrawIconCell({rect.left, rect.top, rect.left + h, rect.top + h}, index, state);
  DrawTextCell({rect.left + h, rect.top, rect.right, rect.bottom}, index, state);
}

void CListViewCore::DrawTextCell(const TRect& rect, int32_t index, uint32_t state) {
  TRect r{rect.left + 3, rect.top, rect.right - 3, rect.bottom};
  if (r.right <= r.left) return;
  const uint32_t c = (state & kItemSelected) != 0 ? Colour(acHighlightText) : Colour(acWindowText);
  PaintText(cellImage_, GetItemText(index), r, kListTextFormat, c);
}

void CListViewCore::DrawItemImage(TMemoryGraphic&, const TRect&, uint32_t, int32_t) {}

void CListViewCore::DrawItemAt(int32_t index, const TRect& rect, uint32_t state) {
  if (!IsValidIndex(index)) return;
  TRect r = rect;
  if (style_ == kStyleStrip) {
    viewImage_.FrameRect(r, 1, Colour(acWindowFrame), kCopy);
    ++r.left;
    --r.right;
  }
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return;
  Fill(cellImage_, {0, 0, cellImage_.Width(), cellImage_.Height()}, Colour(acBtnFace));
  DrawItemImage(cellImage_, {0, 0, std::min(w, cellImage_.Width()), std::min(h, cellImage_.Height())}, state, index);
  if (checker_) {
    viewImage_.FillChecker(r, checkerSize_.width, checkerSize_.height, checkerColours_[0], checkerColours_[1], kCopy);
    viewImage_.DrawGraphic(r.left, r.top, w, h, cellImage_, 0, 0, kBlend);
  } else {
    Copy(viewImage_, r.left, r.top, w, h, cellImage_);
  }
  if ((state & kItemSelected) == 0) {
    viewImage_.FillRect({r.left + 1, r.top, r.right - 1, r.bottom}, 0xAA555555u, kBlend);
  }
}

void CListViewCore::PaintStrip() {
  const int32_t n = GetVisibleItemCount();
  if (n <= 0) return;
  const int32_t cw = GetCellWidth(), ch = GetCellHeight();
  const int32_t hl = StripHighlight();
  const int32_t last = firstVisible_ + n - 1;
  auto draw = [&](int32_t i) {
    const int32_t left = StripCellLeft(i);
    DrawItemAt(i, {left, 0, left + cw, ch}, GetItemState(i));
  };
  for (int32_t i = firstVisible_; i < hl; ++i) draw(i);
  for (int32_t i = last; i > hl; --i) draw(i);
  draw(hl);
  if (firstVisible_ > 0) {
    const TMemoryGraphic& g = AppearanceManager().GetButtonGlyph(2, hoverFirst_ ? gsActive : gsNone);
    if (g.IsValid()) viewImage_.DrawGraphic(1, (ch - g.Height()) / 2, g.Width(), g.Height(), g, 0, 0, kBlend);
  }
  if (last < GetCount() - 1) {
    const TMemoryGraphic& g = AppearanceManager().GetButtonGlyph(3, hoverLast_ ? gsActive : gsNone);
    if (g.IsValid()) {
      viewImage_.DrawGraphic(viewImage_.Width() - g.Width() - 1, (ch - g.Height()) / 2, g.Width(), g.Height(), g, 0,
                             0, kBlend);
    }
  }
}

void CListViewCore::DrawPopupStrip() {
  const int32_t w = stripImage_.Width(), h = stripImage_.Height();
  if (!stripImage_.IsValid()) return;
  Fill(stripImage_, {0, 0, w, h}, Colour(acBtnFace));
  Fill(stripImage_, {0, 0, 1, h}, Colour(acWindowFrame));
  const int32_t cx = w / 2, cy = h / 2;
  Fill(stripImage_, {cx - 2, cy - 1, cx + 3, cy}, Colour(acWindowFrame));
  Fill(stripImage_, {cx - 1, cy, cx + 2, cy + 1}, Colour(acWindowFrame));
  Fill(stripImage_, {cx, cy + 1, cx + 1, cy + 2}, Colour(acWindowFrame));
  Invalidate({content_.right, content_.top, content_.right + w, content_.top + h});
}

void CListViewCore::DrawDropMarker(int32_t index) {
  const int32_t count = GetCount();
  index = std::clamp(index, 0, count);
  const uint32_t c = Colour(acWindowFrame);
  TMemoryGraphic& g = viewImage_;
  auto fill = [&](int32_t l, int32_t t, int32_t r, int32_t b) { Fill(g, {l, t, r, b}, c); };
  const TRect r = style_ >= kStyleSingle ? [&] {
    TRect s = GetItemRectStrip(index);
    return TRect{s.left - content_.left, s.top - content_.top, s.right - content_.left, s.bottom - content_.top};
  }()
                                         : GetItemRectGrid(index);
  if (style_ >= kStyleListSmall) {
    const int32_t edge = bottomUp_ ? r.bottom : r.top;
    fill(r.left + 2, edge - 2, r.right - 2, edge + 1);
    fill(r.left + 2, edge - 4, r.left + 3, edge + 3);
    fill(r.right - 3, edge - 4, r.right - 2, edge + 3);
    fill(r.left + 3, edge - 3, r.left + 4, edge + 2);
    fill(r.right - 4, edge - 3, r.right - 3, edge + 2);
    return;
  }
  const int32_t h = r.bottom - r.top;
  if (index > 0) {
    // The previous cell's half, against its right edge.
    const TRect p = GetItemRectGrid(bottomUp_ ? index + 1 : index - 1);
    const int32_t e = p.right, t = p.top;
    fill(e - 2, t + 1, e, t + h - 2);
    fill(e - 4, t - 1, e, t);
    fill(e - 4, t + h - 1, e, t + h);
    fill(e - 3, t, e, t + 1);
    fill(e - 3, t + h - 2, e, t + h - 1);
  }
  const int32_t l = r.left, t = r.top;
  fill(l, t + 1, l + 1, t + h - 2);
  fill(l, t - 1, l + 3, t);
  fill(l, t + h - 1, l + 3, t + h);
  fill(l, t, l + 2, t + 1);
  fill(l, t + h - 2, l + 2, t + h - 1);
}

void CListViewCore::PaintControl(TMemoryGraphic& surface) {
  const int32_t w = surface.Width(), h = surface.Height();
  if (!surface.IsValid()) return;
  // Sunken border: outer line shadow left and top, highlight right and bottom; inner frame.
  Fill(surface, {0, 0, w, 1}, Colour(acBtnShadow));
  Fill(surface, {0, 0, 1, h}, Colour(acBtnShadow));
  Fill(surface, {0, h - 1, w, h}, Colour(acBtnHighlight));
  Fill(surface, {w - 1, 0, w, h}, Colour(acBtnHighlight));
  surface.FrameRect({1, 1, w - 1, h - 1}, 1, Colour(acWindowFrame), kCopy);
  // The scroll bar's place (the bar covers it) and the strip's.
  Fill(surface, {content_.right, content_.top, w - 2, h - 2}, Colour(acBtnFace));
  Copy(surface, content_.left, content_.top, content_.right - content_.left, content_.bottom - content_.top,
       viewImage_);
  if (style_ >= kStyleSingle) {
    Copy(surface, content_.right, content_.top, stripImage_.Width(), stripImage_.Height(), stripImage_);
  }
}

}  // namespace tf
