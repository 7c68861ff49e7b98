// TPenMethodListView: the tool-item list (brushes of the current paint kind, or the older pens'
// slots) as a widget over CPenMethodListCore (app/PenMethodListCore.h).
#pragma once
#include <memory>

#include "app/PenMethodListCore.h"
#include "palettes/ListView.h"

namespace tf {

class TPenMethodListView : public TtFListView {
  Q_OBJECT
 public:
  explicit TPenMethodListView(QWidget* parent = nullptr);

  CPenMethodListCore& Items() { return static_cast<CPenMethodListCore&>(Core()); }
};

}  // namespace tf
