#pragma once
// A language module image holding the given texts, laid out as scripts/make_texts.py writes it:
// "TFTX", version 1, count, count x (offset, length), then the texts.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ResourceText.h"

namespace tf::test {

inline std::vector<std::uint8_t> TextModuleImage(const std::vector<std::string>& texts) {
  std::vector<std::uint8_t> out = {'T', 'F', 'T', 'X'};
  auto put32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  put32(1);
  put32(static_cast<std::uint32_t>(texts.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(12 + 8 * texts.size());
  for (const std::string& t : texts) {
    put32(offset);
    put32(static_cast<std::uint32_t>(t.size()));
    offset += static_cast<std::uint32_t>(t.size());
  }
  for (const std::string& t : texts) out.insert(out.end(), t.begin(), t.end());
  return out;
}

// The built-in texts, in id order.
inline std::vector<std::string> BuiltinTextList() {
  std::vector<std::string> texts;
  for (int i = 0; i < kTextCount; ++i) texts.emplace_back(BuiltinText(static_cast<TextId>(i)));
  return texts;
}

}  // namespace tf::test
