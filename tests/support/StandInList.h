// Stand-in list views for tests: a list over a std::vector of named items with flags, each
// drawing a plain colour as its picture, and a second class of the same kind (views of different
// classes never exchange items).
#pragma once
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/ListViewCore.h"

namespace tf::test {

struct StandInItem {
  std::string name;
  uint32_t flags = 0;
  uint32_t colour = 0xFF808080u;
  bool operator==(const StandInItem&) const = default;
};

// Shared between a view and its popup's view.
struct StandInCollection {
  std::vector<StandInItem> items;
  int32_t selected = -1;
};

class StandInList : public CListViewCore {
 public:
  explicit StandInList(std::shared_ptr<StandInCollection> items = std::make_shared<StandInCollection>())
      : items_(std::move(items)) {
    allowedStyles_ = 0x3FF;
  }
  std::vector<StandInItem>& Items() { return items_->items; }
  std::shared_ptr<StandInCollection> Collection() const { return items_; }

  int32_t GetCount() override { return static_cast<int32_t>(items_->items.size()); }
  uint32_t GetItemFlags(int32_t index) override { return IsValidIndex(index) ? items_->items[index].flags : 15; }
  std::string GetItemText(int32_t index) override { return IsValidIndex(index) ? items_->items[index].name : ""; }
  void DrawItemImage(TMemoryGraphic& image, const TRect& rect, uint32_t, int32_t index) override {
    if (IsValidIndex(index)) image.FillRect(rect, items_->items[index].colour, {ChannelCopy, ChannelCopy});
  }
  bool NewItem(bool) override {
    items_->items.push_back({"new"});
    return true;
  }
  bool DeleteItem(int32_t index, bool redraw) override {
    if (!CanDelete(index)) return false;
    items_->items.erase(items_->items.begin() + index);
    if (redraw) Repaint();
    return true;
  }
  // A copy of the source item into the destination: refused onto a fixed item, appended for an
  // index that is not valid (negative or past the end).
  bool InsertCopy(CListViewCore* destination, int32_t index, int32_t sourceIndex, bool redraw) override {
    auto* target = dynamic_cast<StandInList*>(destination);
    if (target == nullptr || !IsValidIndex(sourceIndex) || !target->CanCopyFrom(index, this, sourceIndex)) return false;
    StandInItem copy = items_->items[sourceIndex];
    auto& list = target->items_->items;
    if (index < 0 || index > static_cast<int32_t>(list.size())) index = static_cast<int32_t>(list.size());
    list.insert(list.begin() + index, copy);
    ++copies;
    target->SelectItem(index, redraw);
    return true;
  }
  bool EditItem(int32_t index) override {
    edited.push_back(index);
    return true;
  }
  std::vector<int32_t> edited;
  int32_t copies = 0;

 private:
  std::shared_ptr<StandInCollection> items_;
};

// A list whose selection lives in the shared collection (as a preset list's current item lives in
// its set), so that a popup's list and its owner's agree.
class SharedSelectionList : public StandInList {
 public:
  using StandInList::StandInList;
  int32_t GetSelected() override { return Collection()->selected; }
  void SetSelected(int32_t index) override {
    if (IsValidIndex(index)) Collection()->selected = index;
    StandInList::SetSelected(index);
  }
};

// The same behaviour under another class.
class OtherStandInList : public StandInList {
 public:
  using StandInList::StandInList;
};

inline std::vector<StandInItem> NamedItems(int32_t count, const char* prefix = "item") {
  std::vector<StandInItem> items;
  for (int32_t i = 0; i < count; ++i) {
    items.push_back({std::string(prefix) + std::to_string(i), 0, 0xFF000000u | static_cast<uint32_t>(i * 0x010203)});
  }
  return items;
}

}  // namespace tf::test
