// The owner-drawn list view's logic (CListViewCore): display styles, cell geometry, scrolling,
// hit testing, off-screen painting, selection, click shortcuts, drag and drop between views,
// wheel and auto-scroll, hints and the popup link.
#pragma once
// The view draws a collection it does not own: every question about the items (how many, their
// names, pictures and restrictions, what a copy, delete or edit does) is a virtual operation a
// subclass answers. The widget half (palettes/ListView.h, TtFListView) feeds the core its size,
// mouse, wheel, timer and drag events, and mirrors what the core asks of it through
// ListViewHost: invalidations, the scroll bar's model, the auto-scroll timer, the hint, screen
// coordinates, the drag. Text is drawn through ListTextPainter (the widget draws it with the
// control's font; tests record the calls).
//
// Coordinates: "control" points are in the control (0, 0 at its top-left corner); the view image
// covers the content rectangle, so "content" coordinates are control minus the content origin.
// Rectangles are left/top inclusive, right/bottom exclusive. Item texts are code page 932 bytes
// (as presets and layers keep their names); they are turned into UTF-8 where they are drawn.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "raster/Geometry.h"
#include "raster/MemoryGraphic.h"

namespace tf {

class CListViewCore;

// List view options.
enum : uint16_t {
  kLvSelection = 0x0001,     // a selected index apart from the current one; margin and frame
  kLvAppendClick = 0x0004,   // a click in the empty area appends; one more scroll row
  kLvDuplicateClick = 0x0008,  // Ctrl+Shift+click duplicates
  kLvPutClick = 0x0010,      // Shift+click puts the current item there
  kLvDeleteClick = 0x0040,   // Ctrl+click deletes
  kLvDragSource = 0x0080,    // items can be dragged
  kLvDropTarget = 0x0100,    // drops are accepted
  kLvEditDoubleClick = 0x0200,  // a double click edits the current item
};

// Item flags: bits that forbid.
enum : uint32_t {
  kItemNoDrag = 1,
  kItemFixed = 2,
  kItemNoRename = 4,
  kItemNoEdit = 8,
};

// Item states.
enum : uint32_t {
  kItemSelected = 2,
  kItemPressed = 4,
};

// Hit areas.
enum : int32_t {
  kAreaItem = 0,
  kAreaToggle = 1,
  kAreaPopupStrip = 2,
  kAreaEmpty = 3,
  kAreaOutside = 4,  // border, scroll bar
  kAreaSubclass = 5,  // an area of the subclass's own (the base leaves it alone)
};

// Display styles.
enum : uint8_t {
  kStyleIconSmall = 0,
  kStyleIconNormal = 1,
  kStyleIconLarge = 2,
  kStyleListSmall = 3,
  kStyleListNormal = 4,
  kStyleListLarge = 5,
  kStyleText = 6,
  kStyleSingle = 7,
  kStyleSingleToggle = 8,
  kStyleStrip = 9,
};

// Modifier keys of a mouse event.
enum : uint32_t {
  kKeyShift = 1,
  kKeyCtrl = 2,
  kKeyAlt = 4,
};

// Drag states of DragOver.
enum : int32_t {
  kDragEnter = 0,
  kDragLeave = 1,
  kDragMove = 2,
};

// Text formats the list draws with (the window system's text flags).
inline constexpr uint32_t kListTextVCenter = 0x4;
inline constexpr uint32_t kListTextSingleLine = 0x20;
inline constexpr uint32_t kListTextCalcRect = 0x400;
inline constexpr uint32_t kListTextEndEllipsis = 0x8000;
// End ellipsis, single line, vertical centre.
inline constexpr uint32_t kListTextFormat = 0x8024;

inline constexpr int32_t kScrollBarWidth = 14;
inline constexpr int32_t kPopupStripWidth = 10;

// The scroll bar as the core keeps it: a position from minimum up to maximum - page + 1.
struct SListScrollModel {
  int32_t minimum = 0;
  int32_t maximum = 1;
  int32_t page = 1;
  int32_t position = 0;
  int32_t smallChange = 1;
  int32_t largeChange = 1;
  bool enabled = false;
  bool visible = true;
};

// Draws text into a surface (UTF-8), or with kListTextCalcRect measures it into rect.
class ListTextPainter {
 public:
  virtual ~ListTextPainter() = default;
  virtual bool DrawText(TMemoryGraphic& graphic, std::string_view text, TRect& rect, uint32_t format,
                        uint32_t colour) = 0;
};

// What the core asks of its window. Every call may come at any time; a core without a host
// (headless) simply keeps its state.
class ListViewHost {
 public:
  virtual ~ListViewHost() = default;
  // Part of the control (control coordinates) changed: show it again, without erasing.
  virtual void Invalidate(const TRect& rect) = 0;
  // The parent shows the change at once (the drop marker follows the mouse).
  virtual void UpdateNow() {}
  // The scroll model, its visibility or its place (ScrollBarRect) changed.
  virtual void ScrollBarChanged() = 0;
  // The auto-scroll timer: start (or leave running), a new interval, stop.
  virtual void StartTimer(int32_t milliseconds) = 0;
  virtual void SetTimerInterval(int32_t milliseconds) = 0;
  virtual void StopTimer() = 0;
  // The hint ("tip|long text"), a shown hint cancelled, hints on or off.
  virtual void SetHint(std::string_view utf8) = 0;
  virtual void CancelHint() {}
  virtual void SetShowHint(bool show) = 0;
  // Control point to screen.
  virtual TPoint ClientToScreen(TPoint point) = 0;
  // Pixels the pointer moves before a drag starts (horizontally, vertically).
  virtual TPoint DragThreshold() { return {4, 4}; }
  // Starts the toolkit's drag with this view as the source.
  virtual void BeginDrag() = 0;
};

// The drop-down of a view (the preset popups): its own view of the same class over the same
// collection, the result it closed with and the index selected when it opened.
class ListPopup {
 public:
  virtual ~ListPopup() = default;
  virtual CListViewCore* PopupView() = 0;
  // 1: closed with its close button (accepted).
  virtual int32_t PopupResult() const = 0;
  virtual int32_t OpenIndex() const = 0;
  // Shows it with its top-left at (x, y) (screen), beside avoid; opened and closed are called as
  // it opens and closes.
  virtual void ShowPopup(int32_t x, int32_t y, const TRect& avoid, std::function<void()> opened,
                         std::function<void()> closed) = 0;
};

class CListViewCore {
 public:
  using Callback = std::function<void(CListViewCore&)>;
  using DragOverHook = std::function<bool(CListViewCore* source, TPoint point, int32_t state)>;
  using DragDropHook = std::function<void(CListViewCore* source, TPoint point)>;

  CListViewCore();
  virtual ~CListViewCore();
  CListViewCore(const CListViewCore&) = delete;
  CListViewCore& operator=(const CListViewCore&) = delete;

  void SetHost(ListViewHost* host) { host_ = host; }
  ListViewHost* Host() const { return host_; }
  void SetTextPainter(ListTextPainter* painter) { textPainter_ = painter; }

  // ---- geometry of the control ----
  // The control's size changed (nothing happens when it is the same).
  void SetBounds(int32_t width, int32_t height);
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  const TRect& ContentRect() const { return content_; }
  const TRect& ToggleRect() const { return toggleRect_; }
  // The scroll bar's place, relative to the control's left-top (the widget adds its position).
  TRect ScrollBarRect() const;

  // ---- fields ----
  uint16_t AllowedStyles() const { return allowedStyles_; }
  void SetAllowedStyles(uint16_t styles) { allowedStyles_ = styles; }
  uint8_t DisplayStyle() const { return style_; }
  bool BottomUp() const { return bottomUp_ != 0; }
  void SetBottomUp(bool flag) { bottomUp_ = flag ? 1 : 0; }
  // Cell size of styles 0..6 (a subclass may replace them).
  SSize StyleCellSize(int32_t style) const;
  void SetStyleCellSize(int32_t style, SSize size);
  uint16_t Options() const { return options_; }
  bool MarginFlag() const { return margin_ != 0; }
  bool FrameFlag() const { return frame_ != 0; }
  bool ToggleState() const { return toggle_ != 0; }
  bool Pressed() const { return pressed_ != 0; }
  bool Dragging() const { return dragging_ != 0; }
  bool UserScrolling() const { return userScrolling_ != 0; }
  int32_t SelectedIndex() const { return selected_; }
  int32_t CurrentIndex() const { return current_; }
  void SetCurrentIndex(int32_t index) { current_ = index; }
  int32_t DropIndex() const { return drop_; }
  bool DropShown() const { return dropShown_ != 0; }
  int32_t HintIndex() const { return hintIndex_; }
  const std::string& Hint() const { return hint_; }
  int32_t FirstVisible() const { return firstVisible_; }
  void SetFirstVisible(int32_t first) { firstVisible_ = first; }
  bool HoverFirstArrow() const { return hoverFirst_ != 0; }
  bool HoverLastArrow() const { return hoverLast_ != 0; }
  bool HoverToggle() const { return hoverToggle_ != 0; }
  TPoint MouseDownPoint() const { return mouseDown_; }
  bool CheckerBackground() const { return checker_ != 0; }
  void SetCheckerBackground(bool on) { checker_ = on ? 1 : 0; }
  void SetCheckerColours(uint32_t first, uint32_t second) { checkerColours_[0] = first, checkerColours_[1] = second; }
  ListPopup* Popup() const { return popup_; }
  const SListScrollModel& ScrollModel() const { return scroll_; }
  bool TimerRunning() const { return timerRunning_; }
  int32_t TimerInterval() const { return timerInterval_; }
  const TMemoryGraphic& ViewImage() const { return viewImage_; }
  const TMemoryGraphic& CellImage() const { return cellImage_; }
  const TMemoryGraphic& StripImage() const { return stripImage_; }

  Callback OnChange;
  Callback OnModified;
  // The control's own drag events, run before the list's handling.
  DragOverHook OnDragOver;
  DragDropHook OnDragDrop;

  // ---- virtual operations ----
  virtual bool CanInsertAt(int32_t index);
  virtual bool CanDrop(int32_t target, CListViewCore* source, int32_t sourceIndex);
  virtual bool CanMoveItem(int32_t to, int32_t from);
  virtual bool CanInsertFrom(CListViewCore* source, int32_t sourceIndex);
  virtual bool CanMoveFrom(int32_t to, CListViewCore* source, int32_t from);
  virtual bool CanDelete(int32_t index);
  virtual bool CanCopyFrom(int32_t to, CListViewCore* source, int32_t from);
  virtual bool CanEditItem(int32_t index);
  virtual bool CanDropTo(int32_t index, CListViewCore* source, int32_t sourceIndex);
  virtual void Repaint();
  virtual void PaintGrid();
  virtual void PaintStrip();
  virtual void DrawItem(int32_t index, uint32_t state);
  virtual void DrawItemAt(int32_t index, const TRect& rect, uint32_t state);
  virtual void DrawItemImage(TMemoryGraphic& image, const TRect& rect, uint32_t state, int32_t index);
  virtual void DrawDropMarker(int32_t index);
  virtual void DrawIconCell(const TRect& rect, int32_t index, uint32_t state);
  virtual void DrawListCell(const TRect& rect, int32_t index, uint32_t state);
  virtual void DrawTextCell(const TRect& rect, int32_t index, uint32_t state);
  virtual void ScrollToItem(int32_t index);
  virtual void UpdateScrollBar();
  virtual int32_t GetCount();
  virtual void ItemsChanged() {}
  virtual int32_t HitTestArea(int32_t x, int32_t y);
  virtual int32_t ItemAtPos(int32_t x, int32_t y);
  virtual int32_t ItemAtPosGrid(int32_t x, int32_t y);
  virtual int32_t ItemAtPosStrip(int32_t x, int32_t y);
  virtual int32_t InsertPosAt(int32_t x, int32_t y);
  virtual uint32_t GetItemFlags(int32_t index);
  virtual uint32_t GetItemState(int32_t index);
  // Code page 932 bytes.
  virtual std::string GetItemText(int32_t index);
  virtual void SetItemText(int32_t index, const std::string& text);
  virtual TRect GetItemRect(int32_t index);
  virtual TRect GetItemRectGrid(int32_t index);
  virtual TRect GetItemRectStrip(int32_t index);
  virtual SSize GetThumbSize(int32_t index);
  virtual bool IsValidIndex(int32_t index);
  virtual bool IsVisibleIndex(int32_t index);
  virtual SSize GetCellSize();
  virtual void SetCellSize(SSize size);
  virtual int32_t GetCellWidth() { return GetCellSize().width; }
  virtual int32_t GetCellHeight() { return GetCellSize().height; }
  virtual void SetCellWidth(int32_t width) { SetCellSize({width, GetCellHeight()}); }
  virtual void SetCellHeight(int32_t height) { SetCellSize({GetCellWidth(), height}); }
  virtual TRect GetTextRect(int32_t index);
  virtual bool SelectItem(int32_t index, bool redraw);
  virtual bool NewItem(bool redraw) = 0;
  virtual bool DeleteItem(int32_t index, bool redraw) = 0;
  virtual bool ReplaceItem(int32_t to, int32_t from, bool redraw);
  virtual bool MoveItem(int32_t to, int32_t from, bool redraw);
  virtual bool CopyItem(int32_t to, int32_t from, bool redraw);
  // Called on the view that holds the source item: puts a copy of it into the destination.
  virtual bool InsertCopy(CListViewCore* destination, int32_t index, int32_t sourceIndex, bool redraw) = 0;
  virtual bool PutCurrentAt(int32_t index, bool redraw);
  virtual bool DuplicateItem(int32_t index, bool redraw);
  virtual bool CopyCurrentTo(CListViewCore* destination, int32_t index, bool redraw);
  virtual void BeginRename(int32_t) {}
  virtual bool EditItem(int32_t) { return false; }
  virtual int32_t GetVisibleCount();
  virtual int32_t GetVisibleItemCount();
  virtual int32_t GetLastVisible();
  virtual int32_t GetSelected();
  virtual void SetSelected(int32_t index);
  virtual void SetDisplayStyle(int32_t style);
  virtual void SetOptions(uint16_t options);
  virtual void NotifyChange();
  virtual bool OpenPopup() { return false; }
  virtual bool ClosePopup() { return true; }
  virtual void PopupOpened();
  virtual void PopupClosed();
  virtual void PopupSelect();
  virtual void PopupModified();
  virtual bool GetModified() { return modified_ != 0; }
  virtual void SetModified(bool flag);

  // ---- non-virtual operations ----
  void EnsureCurrentVisible(bool scroll);
  void DrawPopupStrip();
  void SetToggle(bool state);
  int32_t ColumnCount();
  int32_t VisibleRowCount();
  // 1-based row and column of an item.
  int32_t RowOf(int32_t index);
  int32_t ColumnOf(int32_t index);
  SSize GetGridSize() { return {ColumnCount(), VisibleRowCount()}; }
  int32_t GetScrollPos() const { return scroll_.position; }
  void SetScrollPos(int32_t position);
  // The strip's highlighted item (selected with option bit 0, else current; at most the last
  // visible, at least the first visible); -1 without visible items.
  int32_t StripHighlight();
  // Left edge of a strip cell in content coordinates; cells are GetCellWidth wide.
  int32_t StripCellLeft(int32_t index);
  void KeepStripItemVisible(int32_t index);
  // The control's picture: border, view image, popup strip.
  void PaintControl(TMemoryGraphic& surface);

  // ---- interaction ----
  // Left button down at a control point; true when the press is passed on to the parent.
  virtual bool MouseDown(int32_t x, int32_t y, uint32_t shift);
  virtual void MouseUp();
  // Mouse move with the left button state; starts a drag through the host when the rules say so.
  virtual void MouseMove(int32_t x, int32_t y, bool leftDown, uint32_t shift);
  void MouseEnter(int32_t x, int32_t y);
  void MouseLeave();
  virtual void DoubleClick(int32_t x, int32_t y, uint32_t shift);
  // Whether the control takes the point (else it goes to the parent).
  bool ClaimsPoint(int32_t x, int32_t y, bool enabled);
  void SetDragging(bool flag);
  // The toolkit's drag events; point in control coordinates.
  bool DragOver(CListViewCore* source, TPoint point, int32_t state);
  void DragDrop(CListViewCore* source, TPoint point);
  // The drag that this view started ended (dropped or cancelled).
  void DragEnded();
  // Wheel with a delta in 1/120 notches at a control point: whole notches accumulate, each
  // moves one row. True when the wheel is the view's (styles 0..6, point inside, bar enabled).
  bool MouseWheel(uint32_t shift, int32_t delta, TPoint point);
  // The auto-scroll timer fired.
  void TimerTick();
  // The scroll bar's user events: the thumb pressed or released, a position chosen.
  void ScrollBarScroll(int32_t position, bool thumbDown);
  void UpdateHint(int32_t x, int32_t y);
  // The class of a view for drag and drop: views of different classes never exchange items.
  bool SameClass(const CListViewCore* other) const;

 protected:
  void Invalidate(const TRect& rect);
  void InvalidateContent();
  // Draws text through the painter (UTF-8); false without a painter.
  bool PaintText(TMemoryGraphic& graphic, const std::string& cp932, TRect& rect, uint32_t format, uint32_t colour);
  // Applies a new position without the enabled test (clamped); true when it changed.
  bool StorePosition(int32_t position);
  // The hover flags of the strip arrows and the toggle for a point; true when one changed.
  bool SetHoverFlags(int32_t x, int32_t y);
  // The toggle rectangle from the glyph's size.
  void PlaceToggle();
  // Shows the popup of OpenPopup below the view.
  void ShowOpenedPopup();
  void StopTimer();

  TRect content_{2, 2, 2, 2};
  TRect toggleRect_{2, 2, 2, 2};
  TMemoryGraphic viewImage_;
  TMemoryGraphic cellImage_;
  TMemoryGraphic stripImage_;
  SListScrollModel scroll_;
  int32_t timerInterval_ = 500;
  bool timerRunning_ = false;
  uint16_t allowedStyles_ = 0;
  uint8_t style_ = 0;
  uint8_t bottomUp_ = 0;
  SSize cellSizes_[7] = {{24, 24}, {32, 32}, {48, 48}, {24, 24}, {32, 32}, {48, 48}, {20, 20}};
  uint8_t margin_ = 0;
  uint8_t frame_ = 0;
  uint16_t options_ = 0;
  uint8_t modified_ = 0;
  uint8_t toggle_ = 0;
  uint8_t pressed_ = 0;
  uint8_t dragging_ = 0;
  uint8_t userScrolling_ = 0;
  int32_t selected_ = -1;
  int32_t current_ = -1;
  int32_t drop_ = -1;
  int32_t hintIndex_ = -1;
  int32_t firstVisible_ = 0;
  uint8_t hoverFirst_ = 0;
  uint8_t hoverLast_ = 0;
  uint8_t hoverToggle_ = 0;
  TPoint mouseDown_{65536, 65536};
  uint8_t dropShown_ = 0;
  uint8_t checker_ = 0;
  uint32_t checkerColours_[2] = {0xFFFFFFFFu, 0xFFCCCCCCu};
  SSize checkerSize_{4, 4};
  ListPopup* popup_ = nullptr;

  int32_t width_ = 0;
  int32_t height_ = 0;
  bool hasBounds_ = false;
  std::string hint_;
  TPoint dragPoint_{0, 0};
  int32_t wheelRemainder_ = 0;
  ListViewHost* host_ = nullptr;
  ListTextPainter* textPainter_ = nullptr;
};

// The item hint: the template's two "%s" (before "|" the tooltip, after it the hint line) by the
// name, "(未定義)" for a nameless item; false when the template holds another "%" directive.
bool FormatItemHint(std::string_view templateText, std::string_view name, std::string& hint);

}  // namespace tf
