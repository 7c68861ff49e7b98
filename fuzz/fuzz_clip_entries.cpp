// libFuzzer target: what other programs may leave on the clipboard: the layer attributes, the
// clip box and the picture formats, read through the exchange from a memory clipboard.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <map>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzQuiet.h"
#include "files/ClipboardExchange.h"
#include "platform/ClipboardFormats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  using namespace tf;
  FuzzedDataProvider provider(data, size);
  static const char* const formats[] = {kClipLayerAttrFormat, kClipBoxFormat, "image/bmp", "image/x-bmp",
                                        "image/png", "image/jpeg"};
  std::map<std::string, std::vector<uint8_t>> entries;
  const int count = provider.ConsumeIntegralInRange<int>(1, 3);
  for (int i = 0; i < count; ++i) {
    const char* format = formats[provider.ConsumeIntegralInRange<size_t>(0, 5)];
    entries[format] = provider.ConsumeBytes<uint8_t>(i + 1 == count ? provider.remaining_bytes()
                                                                     : provider.ConsumeIntegralInRange<size_t>(0, 512));
  }
  MemoryClipboard clipboard;
  ClipboardService* old = SetClipboardService(&clipboard);
  clipboard.PutFromOtherProgram(std::move(entries));
  const WindowHandle window{};
  SClipLayerAttr record;
  std::string name;
  (void)ReadClipLayerAttr(window, record, name);
  SRectWH box;
  (void)GetClipBox(window, box);
  int32_t w = 0, h = 0, bits = 0;
  if (GetClipboardImageSize(window, w, h, bits) && int64_t{w} * h <= 4'000'000) {
    std::unique_ptr<TMTC> image = ReadClipboardImage(window);
    (void)image;
  }
  SetClipboardService(old);
  return 0;
}
