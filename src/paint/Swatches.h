// The swatch set (TSwatchMngr) and its load and save through the palette files.
#pragma once
// The colour swatches of the swatch pane: a list without a current entry or a limit, the layout
// values palette files carry, a modified flag, a file name and a change callback. Loaded at
// start-up from "default.tpl" in the palette folder; 256 built-in colours when none loads.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tf {

struct TSwatchItem {
  uint32_t colour = 0;  // 0x00RRGGBB, the top byte the .aco colour space
  std::string name = "Undefined";
};

// Codes of the palette load and save beyond the shared ones.
inline constexpr uint8_t kPaletteNotAPalette = 15;
inline constexpr uint8_t kPaletteEmpty = 37;
inline constexpr uint8_t kPaletteAddFailed = 48;
inline constexpr uint8_t kPaletteWriteFailed = 64;

class TSwatchMngr {
 public:
  using ChangeEvent = std::function<void(TSwatchMngr&)>;

  TSwatchMngr() = default;
  ~TSwatchMngr() { changed_ = nullptr; }
  TSwatchMngr(const TSwatchMngr&) = delete;
  TSwatchMngr& operator=(const TSwatchMngr&) = delete;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  bool IsValidIndex(int32_t i) const { return i >= 0 && i < Count(); }
  // i must be valid.
  const TSwatchItem& GetItem(int32_t i) const { return items_[static_cast<size_t>(i)]; }
  // Inserts a copy at a valid index, else appends; true when the count grew. Marks modified.
  bool InsertItem(int32_t i, const TSwatchItem& item);
  bool InsertColor(int32_t i, uint32_t colour);
  bool Delete(int32_t i);
  // Removes every swatch (no notification).
  void Clear() { items_.clear(); }
  // Appends the 256 colours of the 3-3-2 cube, blue outermost, red fastest.
  bool AddDefaultColours();

  void SetModified(bool modified);
  bool IsModified() const { return modified_; }
  void SetFileName(const std::string& path);
  // Stores the name without notifying.
  void StoreFileName(const std::string& path) { fileName_ = path; }
  const std::string& FileName() const { return fileName_; }
  void SetChangeEvent(ChangeEvent event) { changed_ = std::move(event); }
  void Notify();

  bool LoadFromFile(const std::string& path, bool append);
  bool SaveToFile(const std::string& path);
  bool LoadWithDialog(bool append);
  bool SaveWithDialog();
  // palFile, else "default.tpl" in palPath, else in the program's "preset" folder; the built-in
  // colours when none loads and useBuiltins (the file setting and name then cleared).
  bool LoadDefault(bool useBuiltins);

  int32_t cellWidth = 0, cellHeight = 0, columns = 0, rows = 0;

 private:
  std::vector<TSwatchItem> items_;
  bool modified_ = false;
  std::string fileName_;
  ChangeEvent changed_;
};

// Codes: 0; 1, 3, 4, 15, 37, 48 (load); 1, 3, 15, 37, 64 (save).
uint8_t LoadPalette(const std::string& path, TSwatchMngr& manager, bool append);
uint8_t SavePalette(const std::string& path, TSwatchMngr& manager);

}  // namespace tf
