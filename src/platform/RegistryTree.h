// The settings registry's tree of keys and values in memory.
#pragma once
// The settings registry's tree of keys and values in memory, with the rules for names and the
// stored forms of dwords and doubles. Shared by the store (platform/Registry.cpp) and its text
// form (platform/RegistryFormat.cpp); nothing else uses it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/ByteOrder.h"
#include "platform/Registry.h"
#include "platform/Text.h"

namespace tf::registry {

// The parts of the program's key below HKEY_CURRENT_USER.
inline constexpr std::string_view kRootParts[] = {"Software", "Quillmarsh", "Tintaframe4 Plus"};

// Case folding of registry names: ASCII letters only, and never the trail byte of a code page
// 932 double-byte character (those bytes overlap the ASCII letters).
inline std::string FoldName(std::string_view name) {
  std::string folded(name);
  for (size_t i = 0; i < folded.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(folded[i]);
    if (IsCp932LeadByte(c)) {
      ++i;
      continue;
    }
    if (c >= 'A' && c <= 'Z') folded[i] = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

inline bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && FoldName(a) == FoldName(b);
}

inline bool UsableKeyName(std::string_view name) {
  return !name.empty() && name.size() <= kRegMaxKeyName && name.find('\0') == std::string_view::npos &&
         name.find('\\') == std::string_view::npos;
}

inline bool UsableValueName(std::string_view name) {
  return name.size() <= kRegMaxValueName && name.find('\0') == std::string_view::npos;
}

struct RegValue {
  std::string name;
  RegValueKind kind = RegValueKind::kNone;
  std::string data;  // dword: 4 bytes little-endian; string: its bytes; binary: its bytes
};

inline bool SameValue(const RegValue& a, const RegValue& b) {
  return a.name == b.name && a.kind == b.kind && a.data == b.data;
}

struct RegKeyNode {
  std::string name;
  std::vector<RegValue> values;
  std::vector<std::unique_ptr<RegKeyNode>> children;
  bool recreated = false;  // deleted and made again since the last read or save
  // Positions by folded name, so that a large file does not make every lookup a scan.
  std::unordered_map<std::string, size_t> valueAt;
  std::unordered_map<std::string, size_t> childAt;

  const RegValue* FindValue(std::string_view n) const {
    auto it = valueAt.find(FoldName(n));
    return it == valueAt.end() ? nullptr : &values[it->second];
  }
  RegValue* FindValue(std::string_view n) {
    return const_cast<RegValue*>(static_cast<const RegKeyNode*>(this)->FindValue(n));
  }
  const RegKeyNode* FindChild(std::string_view n) const {
    auto it = childAt.find(FoldName(n));
    return it == childAt.end() ? nullptr : children[it->second].get();
  }
  RegKeyNode* FindChild(std::string_view n) {
    return const_cast<RegKeyNode*>(static_cast<const RegKeyNode*>(this)->FindChild(n));
  }
  RegKeyNode& FindOrAddChild(std::string_view n) {
    if (RegKeyNode* c = FindChild(n)) return *c;
    auto node = std::make_unique<RegKeyNode>();
    node->name = std::string(n);
    childAt.emplace(FoldName(n), children.size());
    children.push_back(std::move(node));
    return *children.back();
  }
  // True when the data changed or the value is new.
  bool SetValue(const RegValue& value) {
    if (RegValue* v = FindValue(value.name)) {
      if (v->kind == value.kind && v->data == value.data) return false;
      v->kind = value.kind;
      v->data = value.data;
      return true;
    }
    valueAt.emplace(FoldName(value.name), values.size());
    values.push_back(value);
    return true;
  }
  bool RemoveValue(std::string_view n) {
    auto it = valueAt.find(FoldName(n));
    if (it == valueAt.end()) return false;
    values.erase(values.begin() + static_cast<std::ptrdiff_t>(it->second));
    valueAt.clear();
    for (size_t i = 0; i < values.size(); ++i) valueAt.emplace(FoldName(values[i].name), i);
    return true;
  }
  bool RemoveChild(std::string_view n) {
    auto it = childAt.find(FoldName(n));
    if (it == childAt.end()) return false;
    children.erase(children.begin() + static_cast<std::ptrdiff_t>(it->second));
    childAt.clear();
    for (size_t i = 0; i < children.size(); ++i) childAt.emplace(FoldName(children[i]->name), i);
    return true;
  }
  std::unique_ptr<RegKeyNode> Clone() const {
    auto copy = std::make_unique<RegKeyNode>();
    copy->name = name;
    copy->values = values;
    copy->valueAt = valueAt;
    for (const auto& c : children) copy->children.push_back(c->Clone());
    copy->childAt = childAt;
    return copy;
  }
};

inline std::unique_ptr<RegKeyNode> NewRoot() {
  auto root = std::make_unique<RegKeyNode>();
  root->name = std::string(kRootParts[2]);
  return root;
}

inline const uint8_t* BytesOf(const std::string& data) { return reinterpret_cast<const uint8_t*>(data.data()); }

// The value of a dword's 4 stored bytes (little-endian).
inline int32_t DwordOf(const std::string& data) { return LoadI32(BytesOf(data)); }

inline std::string DwordData(int32_t value) {
  uint8_t bytes[4];
  StoreI32(bytes, value);
  return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// The double of an 8-byte binary value (little-endian).
inline double DoubleOf(const std::string& data) { return LoadF64(BytesOf(data)); }

}  // namespace tf::registry
