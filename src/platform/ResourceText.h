// The program's texts: the built-in table and the language module that replaces it.
#pragma once
// Every text a person sees comes from here (UTF-8). The ids and the built-in table are made from
// resources/texts/*.txt at build time (scripts/make_texts.py); the same script writes the language
// module tintaframe4.enu beside the program. Until a module is loaded (tests, fuzz targets, the
// start of the program) Tx answers the built-in table.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ResourceTextIds.h"

namespace tf {

// The built-in texts, in id order (what Tx answers before a module is loaded).
inline constexpr const char* kBuiltinTexts[] = {
#include "ResourceTextBuiltin.inc"
};
static_assert(sizeof(kBuiltinTexts) / sizeof(kBuiltinTexts[0]) == static_cast<std::size_t>(kTextCount),
              "the built-in table holds one text per id");

// The built-in text of id, usable in constant tables ("" outside the table).
constexpr const char* BuiltinText(TextId id) {
  const auto index = static_cast<std::size_t>(id);
  return index < static_cast<std::size_t>(kTextCount) ? kBuiltinTexts[index] : "";
}

// The text of id (never null; an id outside the table answers "").
const char* Tx(TextId id);

// The text of id as a printf format, filled with the arguments (a module's texts keep the built-in
// conversions, so the arguments always fit).
std::string TxFormat(TextId id, ...);

// Checks a language module image: magic "TFTX", version 1, as many texts as the program has, every
// text inside the image, valid UTF-8 without zero bytes, and each text's printf conversions the same
// as the built-in text's (a module may reword a text, never change what it formats). Fills texts on
// success; changes nothing on failure.
bool ParseTextModule(const std::uint8_t* data, std::size_t size, std::vector<std::string>& texts);

// Loads a language module file as a whole: true when it was read and every text accepted; on failure
// the texts in use stay as they were.
bool LoadTextModule(const std::string& path);

// Back to the built-in table (tests).
void ResetTextModule();

// The printf conversions of a text in order ("%d", "%2.2d", "%s"; "%%" is no conversion). False when a
// conversion is cut off at the end.
bool TextConversions(std::string_view text, std::vector<std::string>& conversions);

}  // namespace tf
