// libFuzzer target: the language module reader (ParseTextModule).
//
// Each input is tried twice: as a module image as it stands, and as patches to a module image made
// from the built-in texts (so that inputs keep reaching the text checks when the program's texts
// change in number): byte pairs of (position / 2 within the image, new byte), the first byte
// choosing how much to cut off the end. Whatever the reader accepts must hold exactly the
// program's number of texts, each valid UTF-8 with the built-in text's conversions; what it
// refuses must leave the output untouched.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzQuiet.h"
#include "platform/ResourceText.h"

namespace {

[[noreturn]] void FailAt(int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", __FILE__, line);
  __builtin_trap();
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

const std::vector<uint8_t>& BuiltinImage() {
  static const std::vector<uint8_t> image = [] {
    std::vector<uint8_t> out = {'T', 'F', 'T', 'X'};
    Put32(out, 1);
    Put32(out, static_cast<uint32_t>(tf::kTextCount));
    uint32_t offset = static_cast<uint32_t>(12 + 8 * tf::kTextCount);
    std::string all;
    for (int i = 0; i < tf::kTextCount; ++i) {
      const std::string text = tf::BuiltinText(static_cast<tf::TextId>(i));
      Put32(out, offset);
      Put32(out, static_cast<uint32_t>(text.size()));
      offset += static_cast<uint32_t>(text.size());
      all += text;
    }
    out.insert(out.end(), all.begin(), all.end());
    return out;
  }();
  return image;
}

void Check(const uint8_t* data, size_t size) {
  std::vector<std::string> texts = {"untouched"};
  if (!tf::ParseTextModule(data, size, texts)) {
    if (texts.size() != 1 || texts[0] != "untouched") FailAt(__LINE__);
    return;
  }
  if (texts.size() != static_cast<size_t>(tf::kTextCount)) FailAt(__LINE__);
  std::vector<std::string> want, have;
  for (int i = 0; i < tf::kTextCount; ++i) {
    if (!tf::TextConversions(tf::BuiltinText(static_cast<tf::TextId>(i)), want)) FailAt(__LINE__);
    if (!tf::TextConversions(texts[static_cast<size_t>(i)], have) || want != have) FailAt(__LINE__);
    if (texts[static_cast<size_t>(i)].find('\0') != std::string::npos) FailAt(__LINE__);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  Check(data, size);
  std::vector<uint8_t> image = BuiltinImage();
  if (size > 0) {
    const size_t cut = std::min<size_t>(data[0], image.size());
    image.resize(image.size() - cut);
    for (size_t i = 1; i + 1 < size && !image.empty(); i += 2) {
      image[(static_cast<size_t>(data[i]) * 2 + i) % image.size()] = data[i + 1];
    }
  }
  Check(image.data(), image.size());
  return 0;
}
