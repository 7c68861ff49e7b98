// The settings registry's text file: reading and writing its TF4REG text.
#pragma once
// The settings registry's text file: a "TF4REG 1" line, then for each key a line
// [Software\Quillmarsh\Tintaframe4 Plus\...] naming it (in a key name, bytes outside printable
// ASCII and the characters % [ ] \ are written %HH), followed by its values, one a line:
//   "name"=dword:-12           a signed 32-bit decimal
//   "name"=string:"text"       with the escapes \\ \" and \xHH; code page 932 bytes as they come
//   "name"=binary:00ff17       hexadecimal bytes
// Blank lines, and from ';' to the end of a line, are comments. A UTF-8 byte order mark in front
// of the file and CR LF line ends are accepted.
#include <string>
#include <string_view>

#include "platform/RegistryTree.h"

namespace tf::registry {

// The text of the tree (the program's key and everything below it).
std::string FormatRegistryText(const RegKeyNode& root);

// Reads the text into root (adding to what it holds); false when the text is not a
// well-formed settings file. An empty text is an empty tree.
bool ParseRegistryText(std::string_view text, RegKeyNode& root);

}  // namespace tf::registry
