#include "paint/Swatches.h"

#include <algorithm>
#include <new>

#include "paint/PaletteFiles.h"
#include "paint/PresetSettings.h"
#include "platform/Confirm.h"
#include "platform/FileDialog.h"
#include "platform/Stream.h"
#include "platform/Warning.h"

namespace tf {

namespace {
constexpr const char* kSwatchWord = "色見本";
constexpr const char* kPaletteFileWord = "パレットファイル";
constexpr const char* kPaletteWord = "パレット";
}  // namespace

bool TSwatchMngr::InsertItem(int32_t i, const TSwatchItem& item) {
  const size_t before = items_.size();
  try {
    if (IsValidIndex(i))
      items_.insert(items_.begin() + i, item);
    else
      items_.push_back(item);
  } catch (const std::bad_alloc&) {
  }
  SetModified(true);
  return items_.size() > before;
}

bool TSwatchMngr::InsertColor(int32_t i, uint32_t colour) {
  return InsertItem(i, TSwatchItem{colour, "Undefined"});
}

bool TSwatchMngr::Delete(int32_t i) {
  if (!IsValidIndex(i)) return false;
  items_.erase(items_.begin() + i);
  SetModified(true);
  return true;
}

bool TSwatchMngr::AddDefaultColours() {
  for (uint32_t b = 0; b < 4; ++b)
    for (uint32_t g = 0; g < 8; ++g)
      for (uint32_t r = 0; r < 8; ++r) {
        auto expand3 = [](uint32_t v) { return (v << 5 | v << 2 | v >> 1) & 0xFF; };
        const uint32_t colour = expand3(r) << 16 | expand3(g) << 8 | (b * 0x55);
        if (!InsertColor(-1, colour)) return false;
      }
  return true;
}

void TSwatchMngr::Notify() {
  if (changed_) changed_(*this);
}

void TSwatchMngr::SetModified(bool modified) {
  modified_ = modified;
  Notify();
}

void TSwatchMngr::SetFileName(const std::string& path) {
  if (path == fileName_) return;
  fileName_ = path;
  Notify();
}

bool TSwatchMngr::LoadFromFile(const std::string& path, bool append) {
  const uint8_t code = LoadPalette(path, *this, append);
  if (code != 0) ShowPresetLoadFailure(kSwatchWord, code);
  return code == 0;
}

bool TSwatchMngr::SaveToFile(const std::string& path) {
  const uint8_t code = SavePalette(path, *this);
  if (code != 0) ShowPresetSaveFailure(kPaletteFileWord, code);
  return code == 0;
}

bool TSwatchMngr::LoadWithDialog(bool append) {
  std::string path;
  if (!RunPresetFileDialog(kFileDialogPaletteOpen, fileName_, path)) return false;
  return LoadFromFile(path, append);
}

bool TSwatchMngr::SaveWithDialog() {
  std::string path;
  if (!RunPresetFileDialog(kFileDialogPaletteSave, fileName_, path)) return false;
  return SaveToFile(path);
}

bool TSwatchMngr::LoadDefault(bool useBuiltins) {
  const std::string path = FindDefaultPresetFile(PresetSet::kSwatches, "default.tpl");
  if (!path.empty() && LoadFromFile(path, false)) return true;
  const bool result = useBuiltins && AddDefaultColours();
  ForgetDefaultPresetFile(PresetSet::kSwatches);
  SetFileName("");
  return result;
}

uint8_t LoadPalette(const std::string& path, TSwatchMngr& manager, bool append) {
  try {
    if (!PresetFileExists(path)) return 4;
    const PaletteKind kind = PaletteKindOf(path);
    if (kind == kPaletteNone) return kPaletteNotAPalette;
    MemoryStream file;
    int32_t read = -1;
    SPaletteData data;
    if (file.LoadFromFile(path)) {
      const std::vector<uint8_t>& bytes = file.Bytes();
      if (kind == kPaletteTpl)
        read = ReadPaletteTpl(bytes, data);
      else if (kind == kPaletteAco)
        read = ReadPaletteAco(bytes, data);
      else
        read = ReadPaletteText(bytes, data);
    }
    if (read < 0) {
      ShowWarning("パレットファイルのロードに失敗しました！");
    } else if (read == 0) {
      ShowWarning("扱えないパレットデータ形式でした！");
    } else if (read < data.announced) {
      ShowPresetMissingCount(data.announced - read, kPaletteWord);
    }
    if (kind == kPaletteAco && read > 0) {
      const auto cmyk = std::count_if(data.colours.begin(), data.colours.end(),
                                      [](uint32_t c) { return (c >> 24) == kSwatchFromCmyk; });
      if (cmyk > 0) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "CMYKパレットは正常に色を変換できません！\rCMYKパレットは破棄してよいですか？ (%d色中%d色)",
                      static_cast<int>(read), static_cast<int>(cmyk));
        if (AskConfirm(text, kButtonsYesNoCancel) == kResultYes)
          data.colours.erase(std::remove_if(data.colours.begin(), data.colours.end(),
                                            [](uint32_t c) { return (c >> 24) == kSwatchFromCmyk; }),
                             data.colours.end());
      }
    }
    if (data.colours.empty()) return kPaletteEmpty;
    if (!append) manager.Clear();
    for (uint32_t c : data.colours)
      if (!manager.InsertColor(-1, c)) return kPaletteAddFailed;
    if (data.hasLayout) {
      manager.cellWidth = data.cellWidth;
      manager.cellHeight = data.cellHeight;
      manager.columns = data.columns;
      manager.rows = data.rows;
    }
    manager.StoreFileName(path);
    manager.SetModified(append);
    return 0;
  } catch (const std::bad_alloc&) {
    return 1;
  } catch (...) {
    return 3;
  }
}

uint8_t SavePalette(const std::string& path, TSwatchMngr& manager) {
  try {
    const PaletteKind kind = PaletteKindOf(path);
    if (kind == kPaletteNone) return kPaletteNotAPalette;
    if (manager.Count() == 0) return kPaletteEmpty;
    std::vector<uint32_t> colours;
    colours.reserve(static_cast<size_t>(manager.Count()));
    for (int32_t i = 0; i < manager.Count(); ++i) colours.push_back(manager.GetItem(i).colour);
    const uint8_t code = SavePresetFile(path, [&](Stream& stream) -> uint8_t {
      bool ok = false;
      switch (kind) {
        case kPaletteTpl:
          ok = WritePaletteTpl(stream, colours, manager.cellWidth, manager.cellHeight, manager.columns,
                               manager.rows);
          break;
        case kPalettePcs:
        case kPaletteTxt:
          ok = WritePaletteText(stream, colours, manager.cellWidth, manager.cellHeight, manager.columns,
                                manager.rows, kind == kPaletteTxt);
          break;
        default: ok = WritePaletteAco(stream, colours); break;
      }
      return ok ? 0 : kPaletteWriteFailed;
    });
    if (code == 1 || code == 3) return code;
    if (code != 0) return kPaletteWriteFailed;
    manager.StoreFileName(path);
    manager.SetModified(false);
    return 0;
  } catch (const std::bad_alloc&) {
    return 1;
  } catch (...) {
    return 3;
  }
}

}  // namespace tf
