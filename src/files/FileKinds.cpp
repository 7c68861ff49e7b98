#include "files/FileKinds.h"

#include <cstdio>

#include "files/ImageFiles.h"
#include "platform/ResourceText.h"

namespace tf {

namespace {

std::string Format(const char* format, std::initializer_list<const char*> args) {
  // Every filter format takes only %s; fill them in order.
  std::string out;
  auto next = args.begin();
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      if (next != args.end()) out += *next++;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

std::string Product() { return Tx(TextId::ProductName); }

std::string FDocument() { return Format("%s (*%s)|*%s", {Product().c_str(), ".tfi", ".tfi"}); }
std::string FSet(TextId name, const char* ext) {
  return Format("%s %s (*%s)|*%s", {Product().c_str(), Tx(name), ext, ext});
}
std::string FAllImages() {
  return Format(Tx(TextId::FilterAllImages), {"*.tfi;*.wpb;*.bmp;*.jpg;*.jpeg;*.jpe;*.jif;*.jfif;*.jfi;*.png;*.psd"});
}
std::string FEvents(const char* version, const char* e, const char* a) {
  const std::string f = std::string("%s") + version + " %s (*%s/*%s)|*%s;*%s";
  return Format(f.c_str(), {Product().c_str(), Tx(TextId::FilterEventWord), e, a, e, a});
}
std::string FAco() { return Format("%s (*%s)|*%s", {Tx(TextId::FilterAco), ".aco", ".aco"}); }
std::string FPcs() {
  return Format("%s (*%s/*%s)|*%s;*%s", {Tx(TextId::FilterPcs), ".pcs", ".txt", ".pcs", ".txt"});
}
std::string FAllPalettes() { return Format(Tx(TextId::FilterAllPalettes), {"*.tpl;*.aco;*.pcs;*.txt"}); }

std::string Join(std::initializer_list<std::string> parts) {
  std::string out;
  for (const std::string& p : parts) {
    if (!out.empty()) out += '|';
    out += p;
  }
  return out;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

std::string FilterForKind(int32_t kind) {
  const std::string bmp = Tx(TextId::FilterBmp), jpeg = Tx(TextId::FilterJpeg), png = Tx(TextId::FilterPng),
                    psd = Tx(TextId::FilterPsd);
  switch (kind) {
    case 0:
      return Join({FDocument(), Tx(TextId::FilterOldDocument), bmp, jpeg, png, psd, FAllImages(),
                   Tx(TextId::FilterAllFiles)});
    case 1:
    case 9: return Join({bmp, jpeg, png});
    case 2:
      return Join({FEvents("4", ".te4", ".ta4"), FEvents("3", ".te3", ".ta3"),
                   Format("%s2.2 %s (*%s)|*%s", {Product().c_str(), Tx(TextId::FilterEventWord), ".tes", ".tes"}),
                   Format(Tx(TextId::FilterEvents1), {Tx(TextId::FilterEventWord)}),
                   Format(Tx(TextId::FilterAllEvents), {"*.wpe;*.tes;*.te3;*.ta3;*.te4;*.ta4"})});
    case 3:
    case 11: return FSet(TextId::FilterBrushSet, ".pmt");
    case 4:
    case 12: return FSet(TextId::FilterNibSet, ".psh");
    case 5: return Join({FSet(TextId::FilterPalette, ".tpl"), FAco(), FPcs(), FAllPalettes()});
    case 6:
    case 14: return FSet(TextId::FilterGradientSet, ".tgs");
    case 7:
    case 15: return FSet(TextId::FilterToneSet, ".tts");
    case 8: return Join({FDocument(), bmp, jpeg, png, psd});
    case 10:
      return Format("%s4 %s (*%s)|*%s", {Product().c_str(), Tx(TextId::FilterEventWord), ".te4", ".te4"});
    case 13: return Join({FSet(TextId::FilterPalette, ".tpl"), FAco(), FPcs()});
    case 16: return FSet(TextId::FilterPalette, ".tpl");
    case 17: return Join({bmp, png});
    case 18: return Tx(TextId::FilterCursor);
    default: return {};
  }
}

std::string DefaultExtForKind(int32_t kind) {
  static const char* const exts[] = {"tfi", "bmp", "te4", "pmt", "psh", "tpl", "tgs", "tts", "tfi", "bmp",
                                     "te4", "pmt", "psh", "tpl", "tgs", "tts", "tpl", "bmp", "cur"};
  if (kind < 0 || kind > kLastFileDialogKind) return {};
  return exts[kind];
}

bool IsExtensionOfKind(const std::string& extension, int32_t kind) {
  std::string e = Lower(extension);
  if (!e.empty() && e[0] == '.') e.erase(0, 1);
  auto any = [&](std::initializer_list<const char*> list) {
    for (const char* x : list)
      if (e == x) return true;
    return false;
  };
  switch (kind) {
    case 0:
    case 8: return any({"tfi", "wpb", "bmp", "jpg", "jpeg", "jpe", "jif", "jfif", "jfi", "png", "psd"});
    case 1:
    case 9: return any({"bmp", "jpg", "jpeg", "jpe", "jif", "jfif", "jfi", "png", "psd"});
    case 2: return any({"wpe", "tes", "te3", "ta3", "te4", "ta4"});
    case 3:
    case 11: return e == "pmt";
    case 4:
    case 12: return e == "psh";
    case 5:
    case 13: return any({"tpl", "aco", "pcs", "txt"});
    case 6:
    case 14: return e == "tgs";
    case 7:
    case 15: return e == "tts";
    case 10: return e == "te4";
    case 16: return e == "tpl";
    case 17: return any({"bmp", "png"});
    case 18: return any({"cur", "ani"});
    default: return false;
  }
}

PathKind GetFileKind(const std::string& path) {
  const std::string e = LowerExtension(path);
  if (e == "wpb") return kPathOldDocument;
  if (e == "wpe") return kPathOldEvents;
  if (e == "tfi") return kPathDocument;
  if (e == "tes") return kPathEvents2;
  if (e == "te3" || e == "ta3") return kPathEvents3;
  if (e == "te4" || e == "ta4") return kPathEvents4;
  if (e == "bmp") return kPathBmp;
  if (e == "jpg" || e == "jpeg" || e == "jpe" || e == "jif" || e == "jfif" || e == "jfi") return kPathJpeg;
  if (e == "png") return kPathPng;
  if (e == "psd") return kPathPsd;
  return kPathOther;
}

std::string SaveExtensionForFilter(int32_t kind, int32_t index) {
  auto pick = [&](std::initializer_list<const char*> list) -> std::string {
    if (index < 1 || index > static_cast<int32_t>(list.size())) return {};
    return *(list.begin() + (index - 1));
  };
  switch (kind) {
    case 8: return pick({".tfi", ".bmp", ".jpg", ".png", ".psd"});
    case 9: return pick({".bmp", ".jpg", ".png"});
    case 10: return ".te4";
    case 11: return ".pmt";
    case 12: return ".psh";
    case 13: return pick({".tpl", ".aco", ".pcs"});
    case 14: return ".tgs";
    case 15: return ".tts";
    case 17: return pick({".bmp", ".png"});
    default: return {};
  }
}

bool IsSaveKind(int32_t kind) { return (kind >= 8 && kind <= 15) || kind == 17; }

FileDialogClass DialogClassForKind(int32_t kind) {
  if (kind >= 0 && kind <= 2) return FileDialogClass::kPreviewOpen;
  if ((kind >= 8 && kind <= 10) || kind == 17) return FileDialogClass::kPreviewSave;
  if (kind >= 11 && kind <= 15) return FileDialogClass::kSave;
  if ((kind >= 3 && kind <= 7) || kind == 16 || kind == 18) return FileDialogClass::kOpen;
  return FileDialogClass::kNone;
}

std::string ReplaceExtension(const std::string& name, const std::string& ext) {
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  const std::string stem =
      (dot == std::string::npos || (slash != std::string::npos && dot < slash)) ? name : name.substr(0, dot);
  return stem + ext;
}

std::vector<std::string> QtNameFilters(const std::string& list) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= list.size()) {
    size_t bar = list.find('|', at);
    if (bar == std::string::npos) bar = list.size();
    parts.push_back(list.substr(at, bar - at));
    at = bar + 1;
  }
  std::vector<std::string> out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::string patterns;
    size_t p = 0;
    const std::string& source = parts[i + 1];
    while (p <= source.size()) {
      size_t semi = source.find(';', p);
      if (semi == std::string::npos) semi = source.size();
      const std::string pattern = source.substr(p, semi - p);
      p = semi + 1;
      if (pattern.empty()) continue;
      auto add = [&](const std::string& x) {
        if ((" " + patterns + " ").find(" " + x + " ") != std::string::npos) return;
        if (!patterns.empty()) patterns += ' ';
        patterns += x;
      };
      if (pattern == "*.*" || pattern == "*") {
        add("*");
        continue;
      }
      add(Lower(pattern));
      std::string upper = pattern;
      for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      add(upper);
    }
    out.push_back(parts[i] + " (" + patterns + ")");
  }
  return out;
}

}  // namespace tf
