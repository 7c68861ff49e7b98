// TPenMethodListView: the tool-item list's widget.
#include "palettes/PenMethodListView.h"

namespace tf {

TPenMethodListView::TPenMethodListView(QWidget* parent)
    : TtFListView(std::make_unique<CPenMethodListCore>(), parent) {}

}  // namespace tf
