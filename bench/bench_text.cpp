// Text layout: RenderText of 1000 Japanese characters at 24 pt (IPAGothic, 96 pixels per inch,
// 40 to a line) against FreeType loading and rendering the same glyphs alone, face opened once.
// Ours includes finding and opening the font, the code page 932 decoding, the grey levels and
// the blits into the channel.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "paint/Text.h"
#include "platform/Font.h"
#include "platform/Text.h"

namespace tf {
namespace {

constexpr int kCount = 1000;
constexpr int kPerLine = 40;
constexpr const char* kFace = "IPAGothic";

const char* const kSample =
    "吾輩は猫である名前はまだ無いどこで生れたかとんと見当がつかぬ何でも薄暗いじめじめした所でニャーニャー泣いて"
    "いた事だけは記憶している";

// The sample's characters as code points and as code page 932 text with a CR LF every 40.
struct Sample {
  std::vector<uint32_t> codePoints;
  std::string cp932;
};

Sample MakeSample() {
  Sample s;
  std::vector<std::string> chars;
  const std::string utf8 = kSample;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    chars.push_back(utf8.substr(i, n));
    i += n;
  }
  for (int i = 0; i < kCount; ++i) {
    const std::string& ch = chars[static_cast<size_t>(i) % chars.size()];
    uint32_t cp = static_cast<unsigned char>(ch[0]) & 0x0F;
    for (size_t k = 1; k < ch.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(ch[k]) & 0x3F);
    s.codePoints.push_back(cp);
    s.cp932 += Utf8ToCp932(ch);
    if ((i + 1) % kPerLine == 0) s.cp932 += "\r\n";
  }
  return s;
}

SFontRequest Font() {
  SFontRequest f;
  f.face = kFace;
  f.pointSize = 24;
  f.pixelsPerInch = 96;
  return f;
}

void BM_RenderText(benchmark::State& state) {
  const Sample sample = MakeSample();
  TChannel channel(kPerLine * 34, (kCount / kPerLine + 1) * 40);
  STextJob job;
  job.font = Font();
  job.text = sample.cp932;
  job.target = &channel;
  job.x = 4;
  job.y = 30;
  int32_t drawn = 0;
  for (auto _ : state) {
    drawn = RenderText(job);
    benchmark::DoNotOptimize(drawn);
  }
  if (drawn != kCount) state.SkipWithError("not every glyph was drawn");
  SetPixelRate(state, kCount, 0);
}

void BM_FreeTypeAlone(benchmark::State& state) {
  const Sample sample = MakeSample();
  auto font = CFontFace::Open(Font());
  if (font == nullptr) {
    state.SkipWithError("no font");
    return;
  }
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  FT_Init_FreeType(&lib);
  if (FT_New_Face(lib, font->File().c_str(), 0, &face) != 0) {
    state.SkipWithError("FreeType cannot open the font");
    FT_Done_FreeType(lib);
    return;
  }
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(FontPixelHeight(24, 96)));
  for (auto _ : state) {
    for (uint32_t cp : sample.codePoints) {
      FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_NO_BITMAP);
      benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
    }
  }
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  SetPixelRate(state, kCount, 0);
}

BENCHMARK(BM_RenderText)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FreeTypeAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

class TextReporter : public RateReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto a = rates_.find("BM_RenderText/real_time");
    auto b = rates_.find("BM_FreeTypeAlone/real_time");
    if (a == rates_.end() || b == rates_.end() || b->second <= 0) return;
    std::printf("\nRenderText of %d Japanese characters at 24 pt against FreeType alone: %.3fx (aim >= 0.7x)\n",
                kCount, a->second / b->second);
  }
};

}  // namespace
}  // namespace tf

int main(int argc, char** argv) {
  tf::TextReporter reporter;
  return tf::RunBenchmarks(argc, argv, reporter);
}
