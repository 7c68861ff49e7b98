#include "ui/SmallControls.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <algorithm>

#include "platform/Debug.h"
#include "raster/DockGeometry.h"
#include "ui/MemoryGraphicQt.h"
#include "ui/UiAppearance.h"

namespace tf {

namespace {

constexpr SChannelOps kCopy{ChannelCopy, ChannelCopy};
constexpr SChannelOps kOver{ChannelBlend, ChannelKeep};

}  // namespace

// ---------------------------------------------------------------------------------------------
// TGraphicTabControl

TGraphicTabControl::TGraphicTabControl(QWidget* parent) : GraphicControl(parent) {
  Graphic().SetBackground(AppearanceColors[acBtnFace]);
  hitMap_.SetBackground(BGRAClear);
}

int32_t TGraphicTabControl::AddTab(const std::string& caption) {
  // The hit map keeps the index in one byte: a further tab would be hit as another.
  if (TabCount() >= kMaxTabs) {
    DebugOut("TGraphicTabControl::AddTab: at most 256 tabs\n");
    return -1;
  }
  auto tab = std::make_unique<TGraphicTabObject>();
  for (int32_t i = 0; i < 2; ++i) {
    TMemoryGraphic& image = tab->images[i];
    image = TMemoryGraphic(1, 1, BGRAClear);
    TRect r{0, 0, 1, 1};
    if (!DrawCaption(image, caption, r, false, kDtCalcRect)) return -1;
    image.SetSize(r.right - r.left, r.bottom - r.top);
    DrawCaption(image, caption, r, i == 1, kDtSingleLine | kDtVCenter | kDtNoPrefix);
  }
  tabs_.push_back(std::move(tab));
  Rerender();
  return TabCount() - 1;
}

void TGraphicTabControl::SetActiveIndex(int32_t index) {
  if (index == activeIndex_) return;
  activeIndex_ = index;
  Rerender();
  if (OnChange) OnChange(this);
}

void DrawTabWithHit(TMemoryGraphic& view, TMemoryGraphic& hitMap, const TMemoryGraphic& image, int32_t x, int32_t y,
                    int32_t index) {
  view.DrawGraphic(x, y, image.Width(), image.Height(), image, 0, 0, kOver);
  const uint32_t mark = 0xFF000000u | static_cast<uint32_t>(index & 0xFF) * 0x010101u;
  for (int32_t row = 0; row < image.Height(); ++row) {
    uint32_t* hits = hitMap.ScanLine(y + row);
    const uint32_t* source = image.ScanLine(row);
    if (hits == nullptr || source == nullptr) continue;
    const int32_t from = std::max(0, -x), to = std::min(image.Width(), hitMap.Width() - x);
    for (int32_t col = from; col < to; ++col) {
      if ((source[col] >> 24) != 0) hits[x + col] = mark;
    }
  }
}

void StartTabRender(TMemoryGraphic& view, TMemoryGraphic& hitMap, int32_t width, int32_t height) {
  const int32_t w = std::max(width, 1), h = std::max(height, 1);
  if (view.Width() != w || view.Height() != h) view.SetSize(w, h);
  if (hitMap.Width() != w || hitMap.Height() != h) hitMap.SetSize(w, h);
  view.SetBackground(AppearanceColors[acBtnFace]);
  view.Clear();
  hitMap.SetBackground(BGRAClear);
  hitMap.Clear();
}

void DrawTabFrame(TMemoryGraphic& view, const TRect& rect, SChannelOps bevelOps) {
  view.DrawBevel(rect, 1, AppearanceColors[acBtnShadow], AppearanceColors[acBtnHighlight], bevelOps);
  view.FrameRect({rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1}, 1, AppearanceColors[acWindowFrame],
                 kCopy);
}

int32_t HitMapIndexAt(const TMemoryGraphic& hitMap, QPoint point) {
  if (!hitMap.IsValid()) return -1;
  const uint32_t pixel = hitMap.GetPixel(point.x(), point.y());
  if ((pixel >> 24) == 0) return -1;
  return static_cast<int32_t>((pixel >> 16) & 0xFF);
}

void TGraphicTabControl::DrawTab(int32_t index, int32_t y, int32_t image) {
  const TGraphicTabObject& tab = *tabs_[index];
  DrawTabWithHit(Graphic(), hitMap_, tab.images[image], tab.x, y, index);
}

void TGraphicTabControl::RenderGraphic() {
  StartTabRender(Graphic(), hitMap_, width(), height());
  const int32_t w = Graphic().Width();
  TRect frame{0, 0, w, Graphic().Height()};
  if (!tabs_.empty()) frame.bottom = frame.top + tabs_[0]->images[0].Height() + 1;
  DrawTabFrame(Graphic(), frame, kCopy);
  if (activeIndex_ < 0 || activeIndex_ >= TabCount()) return;
  std::vector<int32_t> widths, lefts;
  for (const auto& tab : tabs_) {
    widths.push_back(tab->images[0].Width());
    lefts.push_back(tab->x);
  }
  LayoutOverlappingTabs(widths.data(), nullptr, TabCount(), w, kTabStripReserve, lefts.data());
  for (int32_t i = 0; i < TabCount(); ++i) tabs_[i]->x = lefts[i];
  const int32_t y = frame.top + 1;
  for (int32_t i = 0; i < activeIndex_; ++i) DrawTab(i, y, 0);
  for (int32_t i = TabCount() - 1; i > activeIndex_; --i) DrawTab(i, y, 0);
  DrawTab(activeIndex_, y, 1);
}

int32_t TGraphicTabControl::TabAt(QPoint point) const { return HitMapIndexAt(hitMap_, point); }

void TGraphicTabControl::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !CanHotTrack(this)) return;
  const int32_t index = TabAt(event->position().toPoint());
  if (index >= 0 && index < TabCount()) SetActiveIndex(index);
}

// ---------------------------------------------------------------------------------------------
// TPathLabel

QString ElidePath(const QString& path, const QFontMetrics& metrics, int32_t width) {
  if (metrics.horizontalAdvance(path) <= width) return path;
  const QStringList parts = path.split(QLatin1Char('/'));
  // parts: the leading folders, then the file name. Drop folders from the middle outwards.
  const int32_t folders = static_cast<int32_t>(parts.size()) - 1;
  for (int32_t kept = folders - 1; kept >= 1; --kept) {
    const int32_t head = (kept + 1) / 2;
    const int32_t tail = kept - head;
    QStringList shown;
    for (int32_t i = 0; i < head; ++i) shown << parts[i];
    shown << QStringLiteral("...");
    for (int32_t i = folders - tail; i < folders; ++i) shown << parts[i];
    shown << parts.back();
    const QString candidate = shown.join(QLatin1Char('/'));
    if (metrics.horizontalAdvance(candidate) <= width) return candidate;
  }
  return metrics.elidedText(path, Qt::ElideMiddle, width);
}

TPathLabel::TPathLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
}

void TPathLabel::SetPath(const QString& path) {
  path_ = path;
  setText(modified_ ? path_ + QLatin1Char('*') : path_);
  update();
}

void TPathLabel::SetModified(bool modified) {
  if (modified == modified_) return;
  modified_ = modified;
  SetPath(path_);
}

QString TPathLabel::ShownText() const {
  const QFontMetrics metrics(font());
  const QString mark = modified_ ? QStringLiteral("*") : QString();
  const int32_t room = contentsRect().width() - metrics.horizontalAdvance(mark);
  return ElidePath(path_, metrics, std::max(room, 0)) + mark;
}

void TPathLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, ShownText());
}

// ---------------------------------------------------------------------------------------------
// TDropDownMenu

TDropDownMenu::TDropDownMenu(QWidget* parent) : GraphicControl(parent) {
  setFixedSize(11, 11);
  setMouseTracking(true);
}

void TDropDownMenu::RenderGraphic() {
  TMemoryGraphic& g = Graphic();
  g.SetBackground(AppearanceColors[acBtnFace]);
  g.Clear();
  const TMemoryGraphic& glyph = AppearanceManager().GetButtonGlyph(1, glyphState_);
  g.DrawGraphic(0, 0, glyph.Width(), glyph.Height(), glyph, 0, 0, kOver);
}

void TDropDownMenu::SetGlyphState(TGlyphState state) {
  if (state == glyphState_) return;
  glyphState_ = state;
  Rerender();
}

void TDropDownMenu::changeEvent(QEvent* event) {
  GraphicControl::changeEvent(event);
  if (event->type() != QEvent::EnabledChange) return;
  if (!isEnabled()) SetGlyphState(gsDisabled);
  else SetGlyphState(rect().contains(mapFromGlobal(QCursor::pos())) ? gsActive : gsNone);
}

void TDropDownMenu::enterEvent(QEnterEvent* event) {
  GraphicControl::enterEvent(event);
  if (HotTrackEnter(this)) SetGlyphState(gsActive);
}

void TDropDownMenu::leaveEvent(QEvent* event) {
  GraphicControl::leaveEvent(event);
  if (HotTrackLeave(this)) SetGlyphState(gsNone);
}

void TDropDownMenu::HotTrackMouseLeave() {
  if (HotTrackLeave(this)) SetGlyphState(gsNone);
}

void TDropDownMenu::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !CanHotTrack(this) || menu_.isNull()) return;
  down_ = true;
  QPointer<TDropDownMenu> self(this);
  menu_->exec(mapToGlobal(QPoint(0, height())));
  if (self.isNull()) return;
  down_ = false;
  glyphState_ = gsNone;
  Rerender();
}

}  // namespace tf
