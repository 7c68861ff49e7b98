#include "app/qt/MRUMenu.h"

#include <QAction>
#include <QFontMetrics>
#include <QMenu>

namespace tf {

namespace {
// The item's number keeps its mnemonic; an '&' of the entry shows as itself.
QString ShownCaption(const std::string& caption) {
  const size_t space = caption.find(' ');
  if (space == std::string::npos) return QString::fromStdString(caption);
  QString rest = QString::fromStdString(caption.substr(space + 1));
  rest.replace("&", "&&");
  return QString::fromStdString(caption.substr(0, space + 1)) + rest;
}
}  // namespace

TMRUMenu::TMRUMenu(TMRUFileList& list, QMenu* menu, QAction* anchor, QObject* parent)
    : QObject(parent), list_(list), menu_(menu), anchor_(anchor) {
  list_.measure = [this](std::string_view text) {
    const QFont font = menu_ ? menu_->font() : QFont();
    return static_cast<int32_t>(QFontMetrics(font).horizontalAdvance(QString::fromUtf8(text.data(), static_cast<int>(text.size()))));
  };
  list_.onRebuild = [this](const std::vector<SMRUItem>& items) { Rebuild(items); };
  Rebuild(list_.Items());
}

TMRUMenu::~TMRUMenu() {
  list_.onRebuild = nullptr;
  list_.measure = nullptr;
  RemoveOwn();
}

void TMRUMenu::RemoveOwn() {
  items_.clear();
  for (auto it = own_.rbegin(); it != own_.rend(); ++it) {
    if (menu_) menu_->removeAction(*it);
    delete *it;
  }
  own_.clear();
  if (submenu_ != nullptr) {
    delete submenu_;
    submenu_ = nullptr;
  }
}

void TMRUMenu::Rebuild(const std::vector<SMRUItem>& items) {
  RemoveOwn();
  if (!menu_ || items.empty()) {
    if (afterRebuild) afterRebuild();
    return;
  }
  QAction* before = anchor_ && menu_->actions().contains(anchor_) ? anchor_.data() : nullptr;
  auto add = [this, before](QAction* action) {
    menu_->insertAction(before, action);
    own_.push_back(action);
  };
  if (list_.insertSeparator) {
    auto* separator = new QAction(menu_);
    separator->setSeparator(true);
    add(separator);
  }
  QMenu* target = menu_;
  if (list_.useSubmenu) {
    submenu_ = new QMenu(QString::fromStdString(list_.submenuName));
    auto* holder = new QAction(QString::fromStdString(list_.submenuName), menu_);
    holder->setMenu(submenu_);
    add(holder);
    target = submenu_;
  }
  for (const SMRUItem& item : items) {
    auto* action = new QAction(ShownCaption(item.caption), target);
    const int32_t position = item.position;
    connect(action, &QAction::triggered, this, [this, position] { list_.ClickItem(position); });
    if (target == menu_) {
      add(action);
    } else {
      target->addAction(action);
    }
    items_.push_back(action);
  }
  if (afterRebuild) afterRebuild();
}

}  // namespace tf
