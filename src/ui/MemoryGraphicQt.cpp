#include "ui/MemoryGraphicQt.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "raster/Appearance.h"
#include "ui/UiAppearance.h"

namespace tf {

QImage SurfaceImage(TMemoryGraphic& graphic, QImage::Format format) {
  if (!graphic.IsValid()) return QImage();
  return QImage(reinterpret_cast<uchar*>(graphic.Pixels()), graphic.Width(), graphic.Height(),
                static_cast<qsizetype>(graphic.Stride()), format);
}

namespace {

// The clipped block of the surface as an image of its own (alpha forced when opaque).
QImage BlockCopy(const TMemoryGraphic& graphic, int32_t left, int32_t top, int32_t width, int32_t height,
                 bool opaque) {
  int32_t x = left, y = top, w = width, h = height;
  if (!graphic.ClipBounds(x, y, w, h)) return QImage();
  QImage block(w, h, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
  if (block.isNull()) return block;
  for (int32_t j = 0; j < h; ++j) {
    const uint32_t* src = graphic.ScanLine(y + j) + x;
    auto* dst = reinterpret_cast<uint32_t*>(block.scanLine(j));
    for (int32_t i = 0; i < w; ++i) dst[i] = opaque ? src[i] | 0xFF000000u : src[i];
  }
  return block;
}

}  // namespace

bool Draw(const TMemoryGraphic& graphic, QPainter& painter, int32_t x, int32_t y, int32_t width, int32_t height) {
  const QImage block = BlockCopy(graphic, 0, 0, width, height, true);
  if (block.isNull()) return false;
  painter.save();
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(x, y, block);
  painter.restore();
  return true;
}

bool DrawBlend(const TMemoryGraphic& graphic, QPainter& painter, int32_t x, int32_t y, int32_t width,
               int32_t height, int32_t sourceLeft, int32_t sourceTop, SChannelOps ops) {
  if (!graphic.IsValid()) return false;
  // An image target without transformation: the exact blit on its own bytes.
  auto* image = painter.device() && painter.device()->devType() == QInternal::Image
                    ? static_cast<QImage*>(painter.device())
                    : nullptr;
  if (image && painter.transform().isIdentity() && !painter.hasClipping() &&
      (image->format() == QImage::Format_ARGB32 || image->format() == QImage::Format_RGB32)) {
    painter.beginNativePainting();
    const bool drawn = TMemoryGraphic::BlendBits(reinterpret_cast<uint32_t*>(image->bits()), x, y, width, height,
                                                 image->width(), image->height(), graphic.Pixels(), sourceLeft,
                                                 sourceTop, graphic.Width(), graphic.Height(), ops);
    if (drawn && image->format() == QImage::Format_RGB32) {
      // RGB32 keeps 0xFF in the byte Qt ignores.
      for (int32_t j = std::max(0, y); j < std::min(image->height(), y + height); ++j) {
        auto* row = reinterpret_cast<uint32_t*>(image->scanLine(j));
        for (int32_t i = std::max(0, x); i < std::min(image->width(), x + width); ++i) row[i] |= 0xFF000000u;
      }
    }
    painter.endNativePainting();
    return drawn;
  }
  // A window: what it shows is opaque, so only the colour operation shows.
  if (ops.color == ChannelKeep) return true;
  const QImage block = BlockCopy(graphic, sourceLeft, sourceTop, width, height, ops.color == ChannelCopy);
  if (block.isNull()) return false;
  const int32_t dx = x + std::max(0, -sourceLeft), dy = y + std::max(0, -sourceTop);
  painter.save();
  painter.setCompositionMode(ops.color == ChannelMultiply ? QPainter::CompositionMode_Multiply
                             : ops.color == ChannelCopy   ? QPainter::CompositionMode_Source
                                                          : QPainter::CompositionMode_SourceOver);
  painter.drawImage(dx, dy, block);
  painter.restore();
  return true;
}

int QtTextFlags(uint32_t format) {
  int flags = 0;
  if (format & kDtCenter) {
    flags |= Qt::AlignHCenter;
  } else if (format & kDtRight) {
    flags |= Qt::AlignRight;
  } else {
    flags |= Qt::AlignLeft;
  }
  if (format & kDtSingleLine) {
    flags |= Qt::TextSingleLine;
    flags |= (format & kDtVCenter) ? Qt::AlignVCenter : (format & kDtBottom) ? Qt::AlignBottom : Qt::AlignTop;
  } else {
    flags |= Qt::AlignTop;
  }
  if (format & kDtWordBreak) flags |= Qt::TextWordWrap;
  if (format & kDtNoClip) flags |= Qt::TextDontClip;
  flags |= (format & kDtNoPrefix) ? 0 : Qt::TextShowMnemonic;
  return flags;
}

bool DrawText(TMemoryGraphic& graphic, std::string_view text, TRect& rect, uint32_t format, uint32_t colour,
              const QFont& font) {
  if (!graphic.IsValid()) return false;
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const int flags = QtTextFlags(format);
  if (format & kDtCalcRect) {
    const QFontMetrics metrics(font);
    const int width = (format & kDtWordBreak) ? std::max(1, rect.right - rect.left) : 1 << 20;
    const QRect bounds = metrics.boundingRect(QRect(rect.left, rect.top, width, 1 << 20), flags, s);
    rect.right = rect.left + bounds.width();
    rect.bottom = rect.top + (s.isEmpty() ? metrics.height() : bounds.height());
    return true;
  }
  TRect box = rect;
  {
    // RGB32: antialiased edges mix colour bytes only; the alpha byte is set below.
    QImage view = SurfaceImage(graphic, QImage::Format_RGB32);
    QPainter painter(&view);
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(colour & 0xFFFFFF));
    const QRect target(box.left, box.top, box.right - box.left, box.bottom - box.top);
    if (!(format & kDtNoClip)) painter.setClipRect(target);
    painter.drawText(target, flags, s);
  }
  graphic.FillRect(box, BGRAWhite, {ChannelKeep, ChannelCopy});
  return true;
}

bool DrawCaption(TMemoryGraphic& graphic, std::string_view text, TRect& rect, bool active, uint32_t format) {
  QFont font = DefaultFormFont();
  if (format & kDtCalcRect) {
    rect = {0, 0, 1, 1};
    if (!DrawText(graphic, text, rect, format, BGRABlack, font)) return false;
    rect.bottom = 18;
    rect.right += 21;
    return true;
  }
  TRect r;
  if (!graphic.ClipRectOut(rect, r)) return false;
  r.bottom = r.top + 18;
  rect = r;
  const int32_t R = r.right;
  const SChannelOps copy{ChannelCopy, ChannelCopy};
  const uint32_t* colours = AppearanceColors.data();
  if (!graphic.FillRect({9, 0, R - 1, 1}, colours[acWindowFrame], copy)) return false;
  if (!graphic.FillRect({9, 1, R - 1, 2}, colours[active ? acBtnHighlight : acBtnFace], copy)) return false;
  if (!graphic.FillRect({9, 2, R - 1, 18}, colours[acBtnFace], copy)) return false;
  TRect textRect{11, 2, R - 1, 18};
  if (!DrawText(graphic, text, textRect, format, colours[acWindowText], font)) return false;
  const TMemoryGraphic& cap = AppearanceManager().GetCaptionGlyph(active ? 1 : 0);
  if (!graphic.DrawGraphic(0, 0, 9, 18, cap, 0, 0, copy)) return false;
  if (!graphic.DrawGraphic(R - 9, 0, 9, 18, cap, 9, 0, copy)) return false;
  if (!active) {
    if (!graphic.FillRect({9, 17, R - 1, 18}, colours[acBtnHighlight], copy)) return false;
    if (!graphic.FillRect({9, 16, R - 1, 17}, colours[acWindowFrame], copy)) return false;
  }
  return true;
}

}  // namespace tf
