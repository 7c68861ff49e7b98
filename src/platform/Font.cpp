// Outline fonts through fontconfig and FreeType.
#include "platform/Font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "platform/ByteOrder.h"
#include "platform/Debug.h"
#include "platform/Text.h"

namespace tf {

namespace {

constexpr int32_t kMaxPixelHeight = 8192;

bool g_libraryAlive = false;

// An FT_Face shared by the faces opened at the same file, size and slant.
struct SFaceHandle {
  FT_Face face = nullptr;
  ~SFaceHandle() {
    if (face != nullptr && g_libraryAlive) FT_Done_Face(face);
  }
};

// What fontconfig chose for a request.
struct SMatched {
  bool found = false;
  std::string family;
  std::string file;
  int index = 0;
  int slant = 0;
};

// The FreeType library and our own fontconfig configuration, made on first use and released at
// exit, with the fonts chosen and the faces opened lately (opening a face runs its font program,
// so a text is not made to pay for it again).
class FontLibrary {
 public:
  static FontLibrary& Get() {
    static FontLibrary library;
    return library;
  }
  FT_Library ft() const { return ft_; }
  FcConfig* fc() const { return fc_; }
  std::mutex& lock() { return lock_; }
  std::map<std::string, SMatched>& matches() { return matches_; }
  std::map<std::string, std::string, std::less<>>& resolved() { return resolved_; }

  // The face of the file at the size (sheared when oblique), opened once and kept among the
  // last few used; null when FreeType cannot open it.
  std::shared_ptr<SFaceHandle> Face(const std::string& file, int index, int32_t pixels, bool oblique) {
    const std::string key =
        file + '\n' + std::to_string(index) + '\n' + std::to_string(pixels) + (oblique ? "o" : "");
    for (size_t i = 0; i < faces_.size(); ++i) {
      if (faces_[i].first == key) {
        auto hit = faces_[i];
        faces_.erase(faces_.begin() + static_cast<std::ptrdiff_t>(i));
        faces_.insert(faces_.begin(), hit);
        return hit.second;
      }
    }
    auto handle = std::make_shared<SFaceHandle>();
    if (ft_ == nullptr || FT_New_Face(ft_, file.c_str(), index, &handle->face) != 0) {
      handle->face = nullptr;
      return nullptr;
    }
    FT_Face face = handle->face;
    if (FT_IS_SCALABLE(face) && FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels)) == 0) {
      if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL);
      if (oblique) {
        FT_Matrix shear{0x10000, 0x366A, 0, 0x10000};  // about 12 degrees
        FT_Set_Transform(face, &shear, nullptr);
      }
    }
    faces_.insert(faces_.begin(), {key, handle});
    if (faces_.size() > kKeptFaces) faces_.pop_back();
    return handle;
  }

 private:
  static constexpr size_t kKeptFaces = 8;
  FontLibrary() {
    if (FT_Init_FreeType(&ft_) != 0) {
      ft_ = nullptr;
      DebugOut("FontLibrary: FreeType could not be initialised\n");
    }
    fc_ = FcInitLoadConfigAndFonts();
    if (fc_ == nullptr) DebugOut("FontLibrary: fontconfig could not be initialised\n");
    g_libraryAlive = ft_ != nullptr;
  }
  ~FontLibrary() {
    faces_.clear();
    g_libraryAlive = false;
    if (fc_ != nullptr) FcConfigDestroy(fc_);
    if (ft_ != nullptr) FT_Done_FreeType(ft_);
  }
  FT_Library ft_ = nullptr;
  FcConfig* fc_ = nullptr;
  std::mutex lock_;
  std::map<std::string, SMatched> matches_;
  std::map<std::string, std::string, std::less<>> resolved_;
  std::vector<std::pair<std::string, std::shared_ptr<SFaceHandle>>> faces_;
};

// Windows face names and the installed family that stands for them.
struct SFaceAlias {
  const char* name;
  const char* family;
};
constexpr SFaceAlias kFaceAliases[] = {
    {"ＭＳ ゴシック", "IPAGothic"},
    {"MS Gothic", "IPAGothic"},
    {"ＭＳ Ｐゴシック", "IPAPGothic"},
    {"MS PGothic", "IPAPGothic"},
    {"MS UI Gothic", "IPAPGothic"},
    {"ＭＳ 明朝", "IPAGothic"},
    {"MS Mincho", "IPAGothic"},
    {"ＭＳ Ｐ明朝", "IPAPGothic"},
    {"MS PMincho", "IPAPGothic"},
    {"メイリオ", "IPAPGothic"},
    {"Meiryo", "IPAPGothic"},
    {"Arial", "DejaVu Sans"},
    {"Tahoma", "DejaVu Sans"},
    {"Verdana", "DejaVu Sans"},
    {"MS Sans Serif", "DejaVu Sans"},
    {"Segoe UI", "DejaVu Sans"},
    {"Times New Roman", "DejaVu Serif"},
    {"Courier New", "DejaVu Sans Mono"},
};

// fontconfig languages and the charset codes they give.
struct SLangCharset {
  const char* lang;
  uint8_t charset;
};
constexpr SLangCharset kLangCharsets[] = {
    {"en", 0},   {"ja", 128}, {"ko", 129}, {"zh-cn", 134}, {"zh-tw", 136}, {"el", 161}, {"tr", 162},
    {"vi", 163}, {"he", 177}, {"ar", 178}, {"lt", 186},    {"ru", 204},    {"th", 222}, {"pl", 238},
};

const char* LangOfCharset(uint8_t charset) {
  for (const SLangCharset& e : kLangCharsets)
    if (e.charset == charset) return e.lang;
  return nullptr;
}

bool CoversCjk(FcLangSet* langs) {
  if (langs == nullptr) return false;
  for (const char* lang : {"ja", "ko", "zh-cn", "zh-tw"})
    if (FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>(lang)) == FcLangEqual) return true;
  return false;
}

// Every outline font of the family (any family when empty), with family, file, index and
// languages.
FcFontSet* ListOutlineFonts(FcConfig* config, std::string_view family) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return nullptr;
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  if (!family.empty())
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(std::string(family).c_str()));
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_FILE, FC_INDEX, FC_LANG, FC_OUTLINE, nullptr);
  FcFontSet* set = objects != nullptr ? FcFontList(config, pattern, objects) : nullptr;
  if (objects != nullptr) FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  return set;
}

std::string FirstFamily(FcPattern* font) {
  FcChar8* name = nullptr;
  if (FcPatternGetString(font, FC_FAMILY, 0, &name) != FcResultMatch || name == nullptr) return {};
  return reinterpret_cast<const char*>(name);
}

bool FamilyInstalled(FcConfig* config, std::string_view family) {
  FcFontSet* set = ListOutlineFonts(config, family);
  const bool found = set != nullptr && set->nfont > 0;
  if (set != nullptr) FcFontSetDestroy(set);
  return found;
}

// Whether the font file carries vertical metrics (opened only when asked).
bool FileHasVerticalMetrics(FT_Library ft, const char* file, int index) {
  FT_Face face = nullptr;
  if (ft == nullptr || FT_New_Face(ft, file, index, &face) != 0) return false;
  const bool vertical = FT_HAS_VERTICAL(face);
  FT_Done_Face(face);
  return vertical;
}

bool FamilyHasVerticalForm(FontLibrary& lib, std::string_view family) {
  FcFontSet* set = ListOutlineFonts(lib.fc(), family);
  if (set == nullptr) return false;
  bool vertical = false;
  for (int i = 0; i < set->nfont && !vertical; ++i) {
    FcLangSet* langs = nullptr;
    FcPatternGetLangSet(set->fonts[i], FC_LANG, 0, &langs);
    if (CoversCjk(langs)) {
      vertical = true;
      break;
    }
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
      FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
      vertical = FileHasVerticalMetrics(lib.ft(), reinterpret_cast<const char*>(file), index);
    }
  }
  FcFontSetDestroy(set);
  return vertical;
}

// Rounds a 26.6 value to whole pixels.
int32_t Round26(FT_Pos v) { return static_cast<int32_t>((v + 32) >> 6); }

// Decodes the first UTF-8 character; 0xFFFD for anything malformed.
uint32_t FirstCodePoint(const std::string& s) {
  if (s.empty()) return 0xFFFD;
  const auto* b = reinterpret_cast<const unsigned char*>(s.data());
  if (b[0] < 0x80) return b[0];
  int n = b[0] >= 0xF0 ? 3 : b[0] >= 0xE0 ? 2 : b[0] >= 0xC0 ? 1 : -1;
  if (n < 0 || s.size() < static_cast<size_t>(n) + 1) return 0xFFFD;
  uint32_t cp = b[0] & (0x3F >> n);
  for (int i = 1; i <= n; ++i) cp = (cp << 6) | (b[i] & 0x3F);
  return cp;
}

// The Unicode code point of a code page 932 character code (0xFFFD for none), converted once
// and kept: a text asks for the same few hundred codes over and over.
uint32_t Cp932CodePoint(uint32_t code) {
  static std::mutex lock;
  static std::vector<uint32_t> known;  // code point + 1 by code; 0: not converted yet
  std::lock_guard<std::mutex> guard(lock);
  if (known.empty()) known.assign(0x10000, 0);
  uint32_t& slot = known[code & 0xFFFF];
  if (slot == 0) {
    std::string bytes;
    if (code > 0xFF) bytes.push_back(static_cast<char>(code >> 8));
    bytes.push_back(static_cast<char>(code & 0xFF));
    slot = FirstCodePoint(Cp932ToUtf8(bytes)) + 1;
  }
  return slot - 1;
}

// Vertical presentation forms of the punctuation that turns in vertical writing.
struct SVerticalForm {
  uint32_t from;
  uint32_t to;
};
constexpr SVerticalForm kVerticalForms[] = {
    {0x3001, 0xFE11}, {0x3002, 0xFE12}, {0xFF0C, 0xFE10}, {0xFF1A, 0xFE13}, {0xFF1B, 0xFE14}, {0xFF01, 0xFE15},
    {0xFF1F, 0xFE16}, {0x2026, 0xFE19}, {0x2025, 0xFE30}, {0x2014, 0xFE31}, {0xFF3F, 0xFE33}, {0xFF08, 0xFE35},
    {0xFF09, 0xFE36}, {0xFF5B, 0xFE37}, {0xFF5D, 0xFE38}, {0x3014, 0xFE39}, {0x3015, 0xFE3A}, {0x3010, 0xFE3B},
    {0x3011, 0xFE3C}, {0x300A, 0xFE3D}, {0x300B, 0xFE3E}, {0x3008, 0xFE3F}, {0x3009, 0xFE40}, {0x300C, 0xFE41},
    {0x300D, 0xFE42}, {0x300E, 0xFE43}, {0x300F, 0xFE44},
};

}  // namespace

// ---------------------------------------------------------------------------------------------

void SLogFont::ToBytes(uint8_t out[kLogFontSize]) const {
  StoreLE<int32_t>(out + 0, height);
  StoreLE<int32_t>(out + 4, width);
  StoreLE<int32_t>(out + 8, escapement);
  StoreLE<int32_t>(out + 12, orientation);
  StoreLE<int32_t>(out + 16, weight);
  out[20] = italic;
  out[21] = underline;
  out[22] = strikeOut;
  out[23] = charSet;
  out[24] = outPrecision;
  out[25] = clipPrecision;
  out[26] = quality;
  out[27] = pitchAndFamily;
  std::memcpy(out + 28, faceName, sizeof faceName);
  out[kLogFontSize - 1] = 0;
}

int32_t FontPixelHeight(int32_t pointSize, int32_t pixelsPerInch) {
  if (pointSize < 1 || pixelsPerInch < 1) return 0;
  const int64_t v = (int64_t{pointSize} * pixelsPerInch + 36) / 72;
  return v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

SLogFont LogFontOf(const SFontRequest& request) {
  SLogFont lf;
  lf.height = -FontPixelHeight(request.pointSize, request.pixelsPerInch);
  lf.weight = request.bold ? 700 : 400;
  lf.italic = request.italic ? 1 : 0;
  lf.charSet = request.charset;
  const std::string name = Utf8ToCp932(request.face);
  const size_t n = Cp932FitLength(name, sizeof lf.faceName - 1);
  std::memcpy(lf.faceName, name.data(), n);
  return lf;
}

std::string ResolveFontFamily(std::string_view face) {
  FontLibrary& lib = FontLibrary::Get();
  std::lock_guard<std::mutex> guard(lib.lock());
  if (lib.fc() == nullptr || face.empty()) return std::string(face);
  auto known = lib.resolved().find(face);
  if (known != lib.resolved().end()) return known->second;
  std::string family(face);
  if (!FamilyInstalled(lib.fc(), face)) {
    for (const SFaceAlias& alias : kFaceAliases) {
      if (face == alias.name && FamilyInstalled(lib.fc(), alias.family)) {
        family = alias.family;
        break;
      }
    }
  }
  lib.resolved().emplace(std::string(face), family);
  return family;
}

std::vector<std::string> ListFontFaces(bool vertical) {
  std::set<std::string> families;
  FontLibrary& lib = FontLibrary::Get();
  {
    std::lock_guard<std::mutex> guard(lib.lock());
    FcFontSet* set = lib.fc() != nullptr ? ListOutlineFonts(lib.fc(), {}) : nullptr;
    if (set != nullptr) {
      for (int i = 0; i < set->nfont; ++i) {
        std::string family = FirstFamily(set->fonts[i]);
        if (!family.empty() && family[0] != '@') families.insert(std::move(family));
      }
      FcFontSetDestroy(set);
    }
  }
  std::vector<std::string> out;
  for (const std::string& family : families)
    if (!vertical || HasVerticalFace(family)) out.push_back(family);
  return out;
}

std::vector<uint8_t> ListFontCharsets(std::string_view family) {
  std::set<uint8_t> charsets;
  FontLibrary& lib = FontLibrary::Get();
  std::lock_guard<std::mutex> guard(lib.lock());
  FcFontSet* set = lib.fc() != nullptr && !family.empty() ? ListOutlineFonts(lib.fc(), family) : nullptr;
  if (set == nullptr) return {};
  for (int i = 0; i < set->nfont; ++i) {
    FcLangSet* langs = nullptr;
    FcPatternGetLangSet(set->fonts[i], FC_LANG, 0, &langs);
    bool any = false;
    if (langs != nullptr) {
      for (const SLangCharset& e : kLangCharsets) {
        if (FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>(e.lang)) == FcLangEqual) {
          charsets.insert(e.charset);
          any = true;
        }
      }
    }
    // A font that covers no language is a symbol font.
    if (!any) charsets.insert(kCharsetSymbol);
  }
  FcFontSetDestroy(set);
  return {charsets.begin(), charsets.end()};
}

bool HasVerticalFace(std::string_view family) {
  if (family.empty()) return false;
  FontLibrary& lib = FontLibrary::Get();
  std::lock_guard<std::mutex> guard(lib.lock());
  if (lib.fc() == nullptr) return false;
  return FamilyHasVerticalForm(lib, family);
}

// ---------------------------------------------------------------------------------------------

struct CFontFace::Impl {
  std::shared_ptr<SFaceHandle> handle;
  FT_Face face = nullptr;
  bool symbol = false;   // looked up through the symbol charmap (0xF000 + byte)
  bool oblique = false;  // italic asked for and the file is upright: sheared
  bool hasVertical = false;
  int32_t pixelHeight = 0;
};

namespace {

// What fontconfig gives for the family with the request's weight, slant and language.
SMatched MatchFont(FontLibrary& lib, const std::string& family, const SFontRequest& request, bool vertical) {
  SMatched m;
  if (vertical && !FamilyHasVerticalForm(lib, family)) {
    DebugOut("CFontFace::Open: the family has no vertical form\n");
    return m;
  }
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return m;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  if (const char* lang = LangOfCharset(request.charset))
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(lang));
  FcConfigSubstitute(lib.fc(), pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(lib.fc(), pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) {
    DebugOut("CFontFace::Open: no font matches\n");
    return m;
  }
  FcChar8* file = nullptr;
  FcBool outline = FcFalse;
  m.slant = FC_SLANT_ROMAN;
  FcPatternGetString(match, FC_FILE, 0, &file);
  FcPatternGetInteger(match, FC_INDEX, 0, &m.index);
  FcPatternGetBool(match, FC_OUTLINE, 0, &outline);
  FcPatternGetInteger(match, FC_SLANT, 0, &m.slant);
  m.family = FirstFamily(match);
  m.file = file != nullptr ? reinterpret_cast<const char*>(file) : "";
  FcPatternDestroy(match);
  if (m.file.empty() || outline != FcTrue) {
    DebugOut("CFontFace::Open: the font matched is not an outline font\n");
    return m;
  }
  m.found = true;
  return m;
}

}  // namespace

CFontFace::~CFontFace() = default;

std::unique_ptr<CFontFace> CFontFace::Open(const SFontRequest& request) {
  const int32_t pixels = FontPixelHeight(request.pointSize, request.pixelsPerInch);
  if (pixels < 1 || pixels > kMaxPixelHeight) {
    DebugOutF("CFontFace::Open: font height of %d pixels refused\n", pixels);
    return nullptr;
  }
  std::string_view name = request.face;
  const bool vertical = !name.empty() && name[0] == '@';
  if (vertical) name.remove_prefix(1);
  if (name.empty()) {
    DebugOut("CFontFace::Open: no face name\n");
    return nullptr;
  }
  const std::string family = ResolveFontFamily(name);
  FontLibrary& lib = FontLibrary::Get();
  std::lock_guard<std::mutex> guard(lib.lock());
  if (lib.fc() == nullptr || lib.ft() == nullptr) return nullptr;
  const std::string key = family + '\n' + (vertical ? "v" : "h") + (request.bold ? "b" : "r") +
                          (request.italic ? "i" : "u") + std::to_string(request.charset);
  auto known = lib.matches().find(key);
  if (known == lib.matches().end())
    known = lib.matches().emplace(key, MatchFont(lib, family, request, vertical)).first;
  const SMatched& matched = known->second;
  if (!matched.found) return nullptr;

  std::unique_ptr<CFontFace> font(new CFontFace());
  font->impl_ = std::make_unique<Impl>();
  font->family_ = matched.family;
  font->file_ = matched.file;
  Impl& impl = *font->impl_;
  impl.oblique = request.italic && matched.slant == FC_SLANT_ROMAN;
  impl.handle = lib.Face(matched.file, matched.index, pixels, impl.oblique);
  if (impl.handle == nullptr) {
    DebugOut("CFontFace::Open: FreeType cannot open the font file\n");
    return nullptr;
  }
  FT_Face face = impl.face = impl.handle->face;
  if (!FT_IS_SCALABLE(face)) {
    DebugOut("CFontFace::Open: the font has no outlines\n");
    return nullptr;
  }
  if (face->charmap == nullptr) {
    DebugOut("CFontFace::Open: the font has no usable character map\n");
    return nullptr;
  }
  impl.symbol = face->charmap->encoding == FT_ENCODING_MS_SYMBOL;
  if (face->size == nullptr || face->size->metrics.y_ppem == 0) {
    DebugOut("CFontFace::Open: the font cannot be set to the size\n");
    return nullptr;
  }
  impl.pixelHeight = pixels;
  impl.hasVertical = FT_HAS_VERTICAL(face);
  font->vertical_ = vertical;

  // Metrics: ascent and descent from the Windows metrics of the OS/2 table when there is one.
  STextMetrics& m = font->metrics_;
  const FT_Fixed yScale = face->size->metrics.y_scale;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
  if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    m.ascent = Round26(FT_MulFix(os2->usWinAscent, yScale));
    m.descent = Round26(FT_MulFix(os2->usWinDescent, yScale));
    if (hhea != nullptr) {
      const int32_t gap =
          hhea->Line_Gap + hhea->Ascender - hhea->Descender - os2->usWinAscent - os2->usWinDescent;
      m.externalLeading = gap > 0 ? Round26(FT_MulFix(gap, yScale)) : 0;
    }
  } else {
    m.ascent = Round26(face->size->metrics.ascender);
    m.descent = Round26(-face->size->metrics.descender);
  }
  m.height = m.ascent + m.descent;
  m.emHeight = pixels;
  m.internalLeading = std::max(0, m.height - pixels);
  return font;
}

GlyphResult CFontFace::GetGlyph(uint32_t code, SGlyphMetrics& metrics, std::vector<uint8_t>& bitmap) {
  metrics = SGlyphMetrics{};
  bitmap.clear();
  // Control codes are not characters.
  if (code < 0x20 || code == 0x7F || code > 0xFFFF) return GlyphResult::kMissing;
  FT_Face face = impl_->face;
  uint32_t cp;
  if (impl_->symbol) {
    if (code > 0xFF) return GlyphResult::kMissing;
    cp = 0xF000 + code;
  } else if (code < 0x80) {
    cp = code;
  } else {
    cp = Cp932CodePoint(code);
    if (cp == 0xFFFD) return GlyphResult::kMissing;
  }
  // In the vertical form double-byte characters stand upright; single-byte ones lie on their
  // side as in a horizontal line.
  const bool upright = vertical_ && code > 0xFF;
  FT_UInt index = 0;
  if (upright) {
    for (const SVerticalForm& f : kVerticalForms) {
      if (f.from == cp) {
        index = FT_Get_Char_Index(face, f.to);
        break;
      }
    }
  }
  if (index == 0) index = FT_Get_Char_Index(face, cp);
  if (index == 0) return GlyphResult::kMissing;
  FT_Int32 flags = FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL;
  if (upright) flags |= FT_LOAD_VERTICAL_LAYOUT;
  if (FT_Load_Glyph(face, index, flags) != 0) return GlyphResult::kMissing;
  FT_GlyphSlot slot = face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return GlyphResult::kMissing;
  const FT_Glyph_Metrics gm = slot->metrics;
  const bool inked = slot->outline.n_points > 0 && gm.width > 0 && gm.height > 0;
  if (inked && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return GlyphResult::kMissing;
  const FT_Bitmap& b = slot->bitmap;
  const int32_t w = inked ? static_cast<int32_t>(b.width) : 0;
  const int32_t h = inked ? static_cast<int32_t>(b.rows) : 0;

  if (!upright) {
    metrics.cellIncX = Round26(slot->advance.x);
    metrics.originX = slot->bitmap_left;
    metrics.originY = slot->bitmap_top;
    if (vertical_) {
      // Lying on its side: the middle of the em box on the pen's line.
      const int32_t middle = (Round26(face->size->metrics.ascender) + Round26(face->size->metrics.descender)) / 2;
      metrics.originY -= middle;
    }
  } else {
    // Upright glyph placed against the vertical pen (the middle of the column, the top of the
    // cell): left edge and top edge.
    const int32_t left = Round26(gm.vertBearingX - gm.horiBearingX) + slot->bitmap_left;
    const int32_t top = Round26(gm.vertBearingY + gm.horiBearingY) - slot->bitmap_top;
    // In the turned frame the text runs along x: the glyph starts top pixels down the column
    // and reaches left + width pixels right of the pen's line.
    metrics.originX = top;
    metrics.originY = left + w;
    metrics.cellIncX = impl_->hasVertical ? Round26(gm.vertAdvance) : impl_->pixelHeight;
  }
  metrics.cellIncY = 0;
  if (w <= 0 || h <= 0) {
    metrics.blackBoxX = 1;
    metrics.blackBoxY = 1;
    return GlyphResult::kBlank;
  }
  static constexpr auto kLevels = [] {
    std::array<uint8_t, 256> t{};
    for (unsigned v = 0; v < 256; ++v) t[v] = static_cast<uint8_t>((v * 64 + 127) / 255);
    return t;
  }();
  auto grey = [](unsigned v) { return kLevels[v]; };
  auto source = [&](int32_t x, int32_t y) -> unsigned {
    const unsigned char* row = b.buffer + static_cast<ptrdiff_t>(b.pitch) * y;
    return row[x];
  };
  if (!upright) {
    const int32_t stride = (w + 3) & ~3;
    bitmap.resize(static_cast<size_t>(stride) * static_cast<size_t>(h));
    for (int32_t y = 0; y < h; ++y) {
      const unsigned char* src = b.buffer + static_cast<ptrdiff_t>(b.pitch) * y;
      uint8_t* dst = bitmap.data() + static_cast<size_t>(y) * static_cast<size_t>(stride);
      for (int32_t x = 0; x < w; ++x) dst[x] = grey(src[x]);
      for (int32_t x = w; x < stride; ++x) dst[x] = 0;
    }
    metrics.blackBoxX = w;
    metrics.blackBoxY = h;
  } else {
    // Turned a quarter turn counter-clockwise: h wide, w rows; turned pixel (a, r) is upright
    // pixel (w - 1 - r, a).
    const int32_t stride = (h + 3) & ~3;
    bitmap.assign(static_cast<size_t>(stride) * static_cast<size_t>(w), 0);
    for (int32_t r = 0; r < w; ++r)
      for (int32_t a = 0; a < h; ++a) bitmap[static_cast<size_t>(r) * stride + a] = grey(source(w - 1 - r, a));
    metrics.blackBoxX = h;
    metrics.blackBoxY = w;
  }
  return GlyphResult::kBitmap;
}

}  // namespace tf
