// The window system's side of the appearance: the user-interface font, window and cursor
// measures, raised and sunken frames on a canvas.
#pragma once
// The colour table and glyphs are in raster/Appearance.h.
#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

class QPainter;
class QWidget;

namespace tf {

// Character sets a font is asked for.
inline constexpr int32_t kAnsiCharset = 0;
inline constexpr int32_t kDefaultCharset = 1;
inline constexpr int32_t kShiftJisCharset = 128;

// The first installed of "Tahoma" -11, "Microsoft Sans Serif" -11, "MS UI Gothic" -12,
// "ＭＳ Ｐゴシック" -12, "Arial" -11 (pixel heights) becomes the font's family and size; false
// (font unchanged) when none is installed, as usual on Linux, where Qt's substitutions
// (InstallFontSubstitutions) map the names to installed families when text is drawn.
bool SetDefaultUIFont(QFont& font, int32_t charset);
// Whether a family of that name (case ignored) is installed for the charset.
bool IsFontInstalled(const QString& name, int32_t charset);
// Maps the Windows user-interface names to the installed fonts (IPA Gothic for Japanese names,
// DejaVu Sans for the others). Idempotent.
void InstallFontSubstitutions();
// The font every form starts with: "MS UI Gothic", 12 pixels, then SetDefaultUIFont.
QFont DefaultFormFont();

// The cursor position in the control's parent's coordinates less the control's origin, or in
// screen coordinates for a null control or one without a parent.
void GetCursorPosIn(const QWidget* control, QPoint& point);
// Frame size of a top-level window: outer minus client size; false when it cannot be read.
bool GetWindowFrameSize(QSize& size, const QWidget* form);

// A two-colour frame just inside rect (right and bottom exclusive), filled inside when fill is
// given.
void DrawFrame3D(QPainter& canvas, const QRect& rect, const QColor& topLeft, const QColor& bottomRight,
                 std::optional<QColor> fill);
void DrawDoubleFrame3D(QPainter& canvas, const QRect& rect, const QColor& outerTopLeft,
                       const QColor& outerBottomRight, const QColor& innerTopLeft, const QColor& innerBottomRight,
                       std::optional<QColor> fill);
void DrawSunkenFrame(QPainter& canvas, const QRect& rect, std::optional<QColor> fill);
void DrawRaisedFrame(QPainter& canvas, const QRect& rect, std::optional<QColor> fill);

// A colour of the appearance table as a QColor (alpha kept).
QColor AppearanceColor(int32_t index);

}  // namespace tf
