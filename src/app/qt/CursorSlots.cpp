#include "app/qt/CursorSlots.h"

#include <QBitmap>
#include <QImage>
#include <QPixmap>
#include <array>
#include <memory>

namespace tf {

namespace {

std::unique_ptr<std::array<QCursor, kCursorSlotCount>>& Cursors() {
  static std::unique_ptr<std::array<QCursor, kCursorSlotCount>> cursors;
  return cursors;
}

QCursor MakeCursor(const SCursorArt& art) {
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  for (int y = 0; y < 32; ++y) {
    const char* row = art.rows[y];
    for (int x = 0; x < 32 && row[x] != 0; ++x) {
      if (row[x] == '#') image.setPixel(x, y, 0xFF000000u);
      if (row[x] == 'o') image.setPixel(x, y, 0xFFFFFFFFu);
    }
  }
  return QCursor(QPixmap::fromImage(image), art.hotX, art.hotY);
}

}  // namespace

void LoadToolCursors() {
  if (Cursors()) return;
  auto cursors = std::make_unique<std::array<QCursor, kCursorSlotCount>>();
  for (int32_t i = 0; i < kCursorSlotCount; ++i) (*cursors)[static_cast<size_t>(i)] = MakeCursor(kCursorArt[i]);
  Cursors() = std::move(cursors);
}

QCursor ToolCursor(int32_t slot) {
  if (!Cursors() || slot < kCursorSlotFirst || slot > kCursorSlotLast) return QCursor(Qt::ArrowCursor);
  return (*Cursors())[static_cast<size_t>(slot - kCursorSlotFirst)];
}

}  // namespace tf
