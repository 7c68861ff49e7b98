#include "app/MRUFileList.h"

#include <algorithm>

#include "platform/Registry.h"

namespace tf {

namespace {

int32_t DefaultWidth(std::string_view text) { return static_cast<int32_t>(text.size()) * 7; }

// The folder part without the first folder after a leading "/" and a leading "...".
// ".../a/b/" -> ".../b/"; "/a/b/" -> "/.../b/"; ".../" -> "" (nothing left to shorten).
std::string DropFirstFolder(const std::string& folder) {
  size_t start = 0;
  std::string lead;
  if (!folder.empty() && folder[0] == '/') {
    start = 1;
    lead = "/";
  }
  if (folder.compare(start, 4, ".../") == 0) start += 4;
  const size_t slash = folder.find('/', start);
  if (start >= folder.size() || slash == std::string::npos) return {};
  return lead + ".../" + folder.substr(slash + 1);
}

}  // namespace

std::string ShortenPath(std::string_view path, int32_t width, const TextWidthFunction& measure) {
  const TextWidthFunction& fits = measure ? measure : TextWidthFunction(DefaultWidth);
  std::string drive;
  std::string rest(path);
  if (rest.size() >= 2 && rest[1] == ':') {
    drive = rest.substr(0, 2);
    rest.erase(0, 2);
  }
  const size_t lastSlash = rest.rfind('/');
  std::string folder = lastSlash == std::string::npos ? std::string() : rest.substr(0, lastSlash + 1);
  const std::string name = lastSlash == std::string::npos ? rest : rest.substr(lastSlash + 1);
  std::string result = drive + folder + name;
  // Every pass takes something away, so the loop ends.
  while (fits(result) > width && (!folder.empty() || !drive.empty())) {
    if (folder == "/.../") {
      folder = ".../";
      drive.clear();
    } else if (folder.empty()) {
      drive.clear();
    } else {
      folder = DropFirstFolder(folder);
    }
    result = drive + folder + name;
  }
  return result;
}

TMRUFileList::TMRUFileList() = default;

void TMRUFileList::SetMaximum(int32_t maximum) {
  maximum = std::max<int32_t>(0, std::min<int32_t>(maximum, 255));
  if (maximum == maximum_) return;
  maximum_ = maximum;
  Trim();
  Rebuild();
}

void TMRUFileList::Trim() {
  if (static_cast<int32_t>(entries_.size()) > maximum_) entries_.resize(static_cast<size_t>(maximum_));
}

int32_t TMRUFileList::IndexOf(std::string_view entry) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i] == entry) return static_cast<int32_t>(i);
  }
  return -1;
}

void TMRUFileList::AddItem(int32_t position, std::string_view entry) {
  const int32_t at = IndexOf(entry);
  if (at >= 0) {
    std::rotate(entries_.begin(), entries_.begin() + at, entries_.begin() + at + 1);
  } else {
    position = std::clamp<int32_t>(position, 0, static_cast<int32_t>(entries_.size()));
    entries_.insert(entries_.begin() + position, std::string(entry));
    Trim();
  }
  Rebuild();
}

void TMRUFileList::AppendItem(std::string_view entry) { AddItem(static_cast<int32_t>(entries_.size()), entry); }

void TMRUFileList::RemoveItem(std::string_view entry) {
  const int32_t at = IndexOf(entry);
  if (at < 0) return;
  entries_.erase(entries_.begin() + at);
  Rebuild();
}

void TMRUFileList::Clear() {
  entries_.clear();
  Rebuild();
}

void TMRUFileList::EndUpdate() {
  if (updating_ > 0 && --updating_ == 0) Rebuild();
}

std::string TMRUFileList::FullKey() const {
  std::string key = autoSaveName;
  if (!key.empty() && key.back() != '\\') key += '\\';
  return key + autoSaveKey;
}

bool TMRUFileList::Load() {
  if (autoSaveName.empty() || autoSaveKey.empty()) return false;
  CRegistryKey key(registry);
  if (!key.OpenKey(autoSaveName, true)) return false;
  entries_.clear();
  CRegistryKey sub(registry);
  if (sub.OpenKey(FullKey(), false)) {
    for (const std::string& name : sub.GetValueNames()) {
      if (static_cast<int32_t>(entries_.size()) >= maximum_) break;
      std::string value;
      if (!sub.ReadString(name, value) || value.empty() || IndexOf(value) >= 0) continue;
      entries_.push_back(value);
    }
  }
  Rebuild();
  return true;
}

bool TMRUFileList::Save() {
  if (autoSaveName.empty() || autoSaveKey.empty()) return false;
  CRegistryKey key(registry);
  if (!key.OpenKey(autoSaveName, true)) return false;
  key.DeleteKey(autoSaveKey);
  if (!key.OpenKey(autoSaveKey, true)) return false;
  bool ok = true;
  for (size_t i = 0; i < entries_.size(); ++i) {
    ok = key.WriteString("path" + std::to_string(i), entries_[i]) && ok;
  }
  return ok;
}

std::vector<SMRUItem> TMRUFileList::Items() const {
  std::vector<SMRUItem> items;
  items.reserve(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i) {
    SMRUItem item;
    const std::string number = "&" + std::to_string(i + 1) + " ";
    item.fullCaption = number + entries_[i];
    item.caption = maxCaptionWidth != 0 ? number + ShortenPath(entries_[i], maxCaptionWidth, measure)
                                        : item.fullCaption;
    item.position = static_cast<int32_t>(i + 1);
    items.push_back(std::move(item));
  }
  return items;
}

void TMRUFileList::Rebuild() {
  if (updating_ != 0 || !onRebuild) return;
  onRebuild(Items());
}

void TMRUFileList::ClickItem(int32_t position) {
  if (position < 1 || position > static_cast<int32_t>(entries_.size())) return;
  const std::string entry = entries_[static_cast<size_t>(position - 1)];
  SMRUItem item = Items()[static_cast<size_t>(position - 1)];
  if (removeOnClick) RemoveItem(entry);
  if (onItemClick) onItemClick(item, entry);
}

}  // namespace tf
