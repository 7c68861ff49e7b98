#include "ui/UiAppearance.h"

#include <QCursor>
#include <QFontDatabase>
#include <QPainter>
#include <QWidget>

#include "raster/Appearance.h"

namespace tf {

bool IsFontInstalled(const QString& name, int32_t charset) {
  const QFontDatabase::WritingSystem system =
      charset == kShiftJisCharset ? QFontDatabase::Japanese : QFontDatabase::Any;
  for (const QString& family : QFontDatabase::families(system)) {
    if (family.compare(name, Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

bool SetDefaultUIFont(QFont& font, int32_t charset) {
  struct Candidate {
    const char* name;
    int pixels;
  };
  static const Candidate candidates[] = {
      {"Tahoma", 11}, {"Microsoft Sans Serif", 11}, {"MS UI Gothic", 12}, {"ＭＳ Ｐゴシック", 12}, {"Arial", 11},
  };
  for (const Candidate& c : candidates) {
    const QString name = QString::fromUtf8(c.name);
    if (IsFontInstalled(name, charset)) {
      font.setFamily(name);
      font.setPixelSize(c.pixels);
      return true;
    }
  }
  return false;
}

void InstallFontSubstitutions() {
  const QString japanese = QStringLiteral("IPAPGothic");
  const QString latin = QStringLiteral("DejaVu Sans");
  for (const char* name : {"MS UI Gothic", "ＭＳ Ｐゴシック", "ＭＳ ゴシック"}) {
    QFont::insertSubstitutions(QString::fromUtf8(name), {japanese, QStringLiteral("IPAGothic"), latin});
  }
  for (const char* name : {"Tahoma", "Microsoft Sans Serif", "Arial"}) {
    QFont::insertSubstitutions(QString::fromUtf8(name), {latin, japanese});
  }
}

QFont DefaultFormFont() {
  QFont font(QStringLiteral("MS UI Gothic"));
  font.setPixelSize(12);
  SetDefaultUIFont(font, kShiftJisCharset);
  return font;
}

void GetCursorPosIn(const QWidget* control, QPoint& point) {
  point = QCursor::pos();
  if (control != nullptr && control->parentWidget() != nullptr) {
    point = control->parentWidget()->mapFromGlobal(point) - control->pos();
  }
}

bool GetWindowFrameSize(QSize& size, const QWidget* form) {
  if (form == nullptr || !form->isWindow()) return false;
  const QRect outer = form->frameGeometry();
  size = QSize(outer.width() - form->width(), outer.height() - form->height());
  return true;
}

void DrawFrame3D(QPainter& canvas, const QRect& rect, const QColor& topLeft, const QColor& bottomRight,
                 std::optional<QColor> fill) {
  // Pixel edges: r is rect with its right and bottom moved in by one.
  const int l = rect.left(), t = rect.top(), r = rect.left() + rect.width() - 1,
            b = rect.top() + rect.height() - 1;
  canvas.save();
  canvas.setRenderHint(QPainter::Antialiasing, false);
  canvas.setPen(topLeft);
  canvas.drawLine(l, b, l, t);
  canvas.drawLine(l, t, r, t);
  canvas.setPen(bottomRight);
  canvas.drawLine(r, t, r, b);
  canvas.drawLine(r, b, l, b);
  if (fill) canvas.fillRect(QRect(QPoint(l + 1, t + 1), QPoint(r - 1, b - 1)), *fill);
  canvas.restore();
}

void DrawDoubleFrame3D(QPainter& canvas, const QRect& rect, const QColor& outerTopLeft,
                       const QColor& outerBottomRight, const QColor& innerTopLeft, const QColor& innerBottomRight,
                       std::optional<QColor> fill) {
  DrawFrame3D(canvas, rect, outerTopLeft, outerBottomRight, std::nullopt);
  DrawFrame3D(canvas, rect.adjusted(1, 1, -1, -1), innerTopLeft, innerBottomRight, fill);
}

QColor AppearanceColor(int32_t index) {
  const uint32_t p = index >= 0 && index < kAppearanceColorCount ? AppearanceColors[index] : 0;
  return QColor::fromRgba(p);  // both are 0xAARRGGBB
}

void DrawSunkenFrame(QPainter& canvas, const QRect& rect, std::optional<QColor> fill) {
  DrawDoubleFrame3D(canvas, rect, AppearanceColor(acBtnShadow), AppearanceColor(acBtnHighlight),
                    AppearanceColor(acWindowFrame), AppearanceColor(acWindowFrame), fill);
}

void DrawRaisedFrame(QPainter& canvas, const QRect& rect, std::optional<QColor> fill) {
  DrawFrame3D(canvas, rect, AppearanceColor(acBtnHighlight), AppearanceColor(acBtnShadow), fill);
}

}  // namespace tf
