// A recent-file list shown in a menu: the list's items become actions of the menu that holds the
// anchor, ahead of it (or at the end of the menu without one).
#pragma once
#include <QObject>
#include <QPointer>
#include <vector>

#include "app/MRUFileList.h"

class QAction;
class QMenu;

namespace tf {

class TMRUMenu final : public QObject {
  Q_OBJECT
 public:
  // The list's rebuild handler and measure become this menu's; the list must outlive it.
  TMRUMenu(TMRUFileList& list, QMenu* menu, QAction* anchor, QObject* parent = nullptr);
  ~TMRUMenu() override;

  // The actions made for the items now, in order (tests, the Window list's check mark).
  const std::vector<QAction*>& ItemActions() const { return items_; }
  // The submenu made for the items, or null.
  QMenu* Submenu() const { return submenu_; }
  // Called after every rebuild (the menus' owner-drawn handlers are set again there).
  std::function<void()> afterRebuild;

 private:
  void Rebuild(const std::vector<SMRUItem>& items);
  void RemoveOwn();

  TMRUFileList& list_;
  QPointer<QMenu> menu_;
  QPointer<QAction> anchor_;
  std::vector<QAction*> own_;    // every action made here, in the host menu
  std::vector<QAction*> items_;  // the item actions (in the host menu or the submenu)
  QMenu* submenu_ = nullptr;
};

}  // namespace tf
