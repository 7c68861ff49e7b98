// A list of recently used entries: numbered menu items, clicks, and its registry form.
#pragma once
// The main window keeps two: the recent documents (stored under the program's key in the subkey
// "fileMRU", one string value "path<n>" per entry, path0 the newest) and the open document windows
// of the Window menu (not stored). The list builds the items; the menu that shows them is the
// window system's (app/qt/MRUMenu.h), told through the rebuild handler.
//
// Entries compare exactly (paths on Linux are case-sensitive).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tf {

class CRegistry;

// One menu item of the list.
struct SMRUItem {
  std::string fullCaption;   // "&<n> <entry>"
  std::string caption;       // as shown: the entry shortened when the list shortens captions
  int32_t position = 0;      // 1-based position in the list
};

// Width of a text in the menu font, in pixels.
using TextWidthFunction = std::function<int32_t(std::string_view text)>;

// The path shortened to the width: with the file name kept, folders from the front become "...",
// a pass at a time, until it fits or only the file name is left.
std::string ShortenPath(std::string_view path, int32_t width, const TextWidthFunction& measure);

class TMRUFileList {
 public:
  TMRUFileList();

  // ---- properties ----
  int32_t Maximum() const { return maximum_; }
  // Lowering drops the surplus from the end first.
  void SetMaximum(int32_t maximum);
  bool removeOnClick = true;
  bool useSubmenu = false;
  bool insertSeparator = true;
  std::string submenuName = "Reopen";
  int32_t maxCaptionWidth = 200;  // 0: no shortening
  bool autoSave = true;
  std::string autoSaveName = "\\Software\\My Application";
  std::string autoSaveKey = "MRU Items";
  // Registry store (null: CRegistry::Instance()).
  CRegistry* registry = nullptr;
  // Measures captions for shortening; without one a character counts 7 pixels.
  TextWidthFunction measure;

  // Called after every change of the list with the items to show (empty: no items, no submenu).
  std::function<void(const std::vector<SMRUItem>& items)> onRebuild;
  // A click on an item, with its entry.
  std::function<void(const SMRUItem& item, const std::string& entry)> onItemClick;

  // ---- entries ----
  const std::vector<std::string>& Entries() const { return entries_; }
  int32_t IndexOf(std::string_view entry) const;
  // A new entry goes in at the position (clamped into the list), the list cut to Maximum; an entry
  // already there moves to the top.
  void AddItem(int32_t position, std::string_view entry);
  // As AddItem, but a new entry goes at the end.
  void AppendItem(std::string_view entry);
  void RemoveItem(std::string_view entry);
  void Clear();
  // Holds the rebuild while updates nest.
  void BeginUpdate() { ++updating_; }
  void EndUpdate();

  // Reads the entries from the registry in its value order: at most Maximum, no empty ones and no
  // repeats. False when the key name or subkey name is empty.
  bool Load();
  // Replaces the subkey by the entries (in memory; the settings saver writes the file). Same
  // condition.
  bool Save();

  // The items of the entries now.
  std::vector<SMRUItem> Items() const;
  void Rebuild();
  // A click on the item at the 1-based position.
  void ClickItem(int32_t position);

 private:
  void Trim();
  std::string FullKey() const;

  std::vector<std::string> entries_;
  int32_t maximum_ = 5;
  int32_t updating_ = 0;
};

}  // namespace tf
