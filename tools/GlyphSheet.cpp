// Shows the 87 tool glyphs in their three states (none, active, disabled), for looking at them by
// hand or under Xvfb. Built with the tests, never run by them.
#include <QApplication>
#include <QPainter>
#include <QWidget>

#include "raster/ToolGlyphs.h"
#include "ui/MemoryGraphicQt.h"
#include "ui/UiHosts.h"

namespace {

constexpr int kColumns = 12;
constexpr int kCell = 30;

class GlyphSheet final : public QWidget {
 public:
  GlyphSheet() {
    setWindowTitle(QStringLiteral("Tool glyphs: none, active, disabled"));
    const int rows = (tf::kGlyphTypeCount + kColumns - 1) / kColumns;
    setFixedSize(3 * (kColumns * kCell + 12), rows * kCell + 12);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const int rows = (tf::kGlyphTypeCount + kColumns - 1) / kColumns;
    for (int state = 0; state < tf::kGlyphStateCount; ++state) {
      const int left = state * (kColumns * kCell + 12) + 6;
      // Every state over the button face, as the tool buttons show them.
      const uint32_t back = tf::AppearanceColors[tf::acBtnFace];
      painter.fillRect(left - 3, 3, kColumns * kCell + 6, rows * kCell + 6,
                       QColor((back >> 16) & 0xFF, (back >> 8) & 0xFF, back & 0xFF));
      for (int type = 0; type < tf::kGlyphTypeCount; ++type) {
        const int x = left + (type % kColumns) * kCell + 3;
        const int y = 6 + (type / kColumns) * kCell + 3;
        tf::DrawBlend(tf::GlyphManager().GetGlyph(type, state), painter, x, y, 24, 24, 0, 0,
                      tf::SChannelOps{tf::ChannelBlend, tf::ChannelKeep});
      }
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  QApplication app(argc, argv);
  tf::InstallUiHosts();
  GlyphSheet sheet;
  sheet.move(0, 0);
  sheet.show();
  return app.exec();
}
