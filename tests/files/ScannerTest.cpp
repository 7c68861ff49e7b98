// The scanner: frames of every kind into pictures (synthetic data), and whole acquisitions on
// the scanner library's test device, checked against the library's own command-line front end.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "files/Scanner.h"
#include "platform/Warning.h"
#include "raster/DibImage.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

// ---- frames

std::unique_ptr<TTC> Assemble(const std::vector<std::pair<SScanFrame, std::vector<uint8_t>>>& frames,
                              std::string* refusal = nullptr) {
  CScanAssembler a;
  for (const auto& [frame, data] : frames) {
    if (!a.BeginFrame(frame)) break;
    // In uneven pieces, as a device hands them over.
    size_t at = 0;
    bool ok = true;
    for (size_t piece = 1; at < data.size() && ok; piece = piece * 2 + 1) {
      const size_t n = std::min(piece, data.size() - at);
      ok = a.Append(data.data() + at, n);
      at += n;
    }
    if (!ok || !a.EndFrame()) break;
  }
  std::unique_ptr<TTC> picture = a.TakePicture();
  if (refusal != nullptr) *refusal = a.Refusal();
  return picture;
}

std::vector<uint32_t> PixelsOf(const TTC& p) {
  std::vector<uint32_t> v;
  for (int32_t y = 0; y < p.Height(); ++y)
    for (int32_t x = 0; x < p.Width(); ++x) v.push_back(p.GetPixel(x, y));
  return v;
}

TEST(ScanFrames, EveryKindOfFrameBecomesAnOpaquePicture) {
  using F = ScanFrameFormat;
  const uint16_t hi = 0xAB12, lo = 0x0433;  // 16-bit samples in host order: the high byte counts
  std::vector<uint8_t> sixteen(4);
  std::memcpy(sixteen.data(), &hi, 2);
  std::memcpy(sixteen.data() + 2, &lo, 2);
  std::vector<uint8_t> rgb16(12, 0);
  for (int i = 0; i < 6; ++i) {
    const uint16_t v = static_cast<uint16_t>((i * 40 + 1) << 8 | 0x7F);
    std::memcpy(rgb16.data() + i * 2, &v, 2);
  }
  struct Case {
    const char* name;
    std::vector<std::pair<SScanFrame, std::vector<uint8_t>>> frames;
    int32_t width, height;
    std::vector<uint32_t> pixels;
  } cases[] = {
      // 1 bit: 1 is black, most significant bit first; lines padded to two bytes.
      {"grey 1 bit", {{{F::kGray, 1, 10, 2, 2}, {0b10100000, 0b01000000, 0x00, 0xFF}}}, 10, 2,
       {0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
        0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
        0xFF000000, 0xFF000000}},
      {"grey 8 padded", {{{F::kGray, 8, 2, 4, 2}, {0x10, 0x20, 0xEE, 0xEE, 0x30, 0x40, 0xEE, 0xEE}}}, 2, 2,
       {0xFF101010, 0xFF202020, 0xFF303030, 0xFF404040}},
      {"grey 16", {{{F::kGray, 16, 2, 4, 1}, sixteen}}, 2, 1, {0xFFABABAB, 0xFF040404}},
      {"rgb 8", {{{F::kRgb, 8, 2, 6, 1}, {1, 2, 3, 4, 5, 6}}}, 2, 1, {0xFF010203, 0xFF040506}},
      {"rgb 16", {{{F::kRgb, 16, 2, 12, 1}, rgb16}}, 2, 1, {0xFF012951, 0xFF79A1C9}},
      {"three pass",
       {{{F::kRed, 8, 2, 2, 1}, {0x11, 0x22}}, {{F::kGreen, 8, 2, 2, 1}, {0x33, 0x44}}, {{F::kBlue, 8, 2, 2, 1}, {0x55, 0x66}}},
       2, 1, {0xFF113355, 0xFF224466}},
      {"three pass, other order",
       {{{F::kBlue, 8, 1, 1, 1}, {0x03}}, {{F::kRed, 8, 1, 1, 1}, {0x01}}, {{F::kGreen, 8, 1, 1, 1}, {0x02}}}, 1, 1,
       {0xFF010203}},
      // A hand scanner knows no height: the data counts it (a part line is dropped).
      {"hand scanner", {{{F::kGray, 8, 2, 2, -1}, {1, 2, 3, 4, 5, 6, 7}}}, 2, 3, {0xFF010101, 0xFF020202, 0xFF030303,
                                                                                  0xFF040404, 0xFF050505, 0xFF060606}},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TTC> p = Assemble(c.frames);
    ASSERT_TRUE(p) << c.name;
    EXPECT_EQ(p->Width(), c.width) << c.name;
    EXPECT_EQ(p->Height(), c.height) << c.name;
    EXPECT_EQ(PixelsOf(*p), c.pixels) << c.name;
  }
}

TEST(ScanFrames, FramesThatCannotMakeAPictureAreRefusedBeforeTheyCostMemory) {
  using F = ScanFrameFormat;
  struct Case {
    const char* name;
    std::vector<std::pair<SScanFrame, std::vector<uint8_t>>> frames;
  } cases[] = {
      {"wider than a canvas", {{{F::kGray, 8, 10001, 10001, 1}, {}}}},
      {"higher than a canvas", {{{F::kGray, 8, 1, 1, 10001}, {}}}},
      {"a hand scan longer than a canvas", {{{F::kGray, 8, 1, 1, -1}, std::vector<uint8_t>(10001, 7)}}},
      {"line shorter than its pixels", {{{F::kRgb, 8, 4, 11, 1}, std::vector<uint8_t>(11)}}},
      {"data shorter than its lines", {{{F::kGray, 8, 2, 2, 3}, {1, 2, 3}}}},
      {"depth 4", {{{F::kGray, 4, 2, 1, 1}, {0}}}},
      {"format 9", {{{static_cast<F>(9), 8, 1, 1, 1}, {0}}}},
      {"no lines", {{{F::kGray, 8, 1, 1, 0}, {}}}},
      {"bands of other widths", {{{F::kRed, 8, 2, 2, 1}, {1, 2}}, {{F::kGreen, 8, 3, 3, 1}, {1, 2, 3}}}},
      {"bands of other heights", {{{F::kRed, 8, 1, 1, 1}, {1}}, {{F::kGreen, 8, 1, 1, 2}, {1, 2}}}},
      {"a band missing", {{{F::kRed, 8, 1, 1, 1}, {1}}, {{F::kGreen, 8, 1, 1, 1}, {1}}}},
  };
  for (const Case& c : cases) {
    std::string refusal;
    EXPECT_FALSE(Assemble(c.frames, &refusal)) << c.name;
    EXPECT_FALSE(refusal.empty()) << c.name;
  }
}

// ---- acquisitions on the test device

// The test device's settings folder, as the library reads it (SANE_CONFIG_DIR).
class ScannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.Path().empty());
    std::ofstream(folder_.File("dll.conf")) << "test\n";
    // A small area at 50 dpi: pictures of 157 x 196.
    std::ofstream(folder_.File("test.conf"))
        << "number_of_devices 2\nmode Gray\ndepth 8\nresolution 50.0\ntest-picture \"Solid black\"\n"
           "geometry_min 0.0\ngeometry_max 200.0\ngeometry_quant 1.0\ntl_x 0.0\ntl_y 0.0\nbr_x 80.0\nbr_y 100.0\n";
    const char* old = std::getenv("SANE_CONFIG_DIR");
    hadConfig_ = old != nullptr;
    if (hadConfig_) oldConfig_ = old;
    setenv("SANE_CONFIG_DIR", folder_.Path().c_str(), 1);
    before_ = SetWarningHost(&warnings_);
    // The library is there (deps.sh installs it); without it these tests cannot run.
    if (!LibraryPresent()) GTEST_SKIP() << "the scanner library is not installed";
  }
  void TearDown() override {
    SetWarningHost(before_);
    if (hadConfig_) setenv("SANE_CONFIG_DIR", oldConfig_.c_str(), 1);
    else unsetenv("SANE_CONFIG_DIR");
  }
  static bool LibraryPresent() {
    void* h = dlopen("libsane.so.1", RTLD_NOW | RTLD_LOCAL);
    if (h != nullptr) dlclose(h);
    return h != nullptr;
  }
  test::ScopedTempFolder folder_{"scanner"};
  RecordingWarningHost warnings_;
  WarningHost* before_ = nullptr;
  bool hadConfig_ = false;
  std::string oldConfig_;
};

// Runs the body in a child process (forked, as death tests are) and expects it to end with no
// failure; the child leaves by _exit, so the scanner library's own leaks are never counted.
template <typename Body>
void InChild(Body body) {
  EXPECT_EXIT(
      {
        body();
        std::fflush(stdout);
        std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}

// Chooses a device, sets options, presses Scan (or Cancel), waits or cancels.
struct ScriptedScanner : ScannerUiHost {
  int32_t choose = 0;
  std::vector<std::pair<std::string, std::string>> texts;
  std::vector<std::pair<std::string, double>> numbers;
  bool scan = true;
  bool cancelWhileReading = false;
  std::vector<std::string> devices;
  std::vector<SScanOption> options;
  std::vector<std::string> failedOptions;

  int32_t ChooseDevice(const std::vector<SScannerDevice>& list, int32_t) override {
    for (const SScannerDevice& d : list) devices.push_back(d.name);
    return choose;
  }
  bool RunScanDialog(CScanSession& session) override {
    // Options that are inactive until another is set (a three-pass order needs three-pass on)
    // get a second try.
    std::vector<std::string> failed;
    for (int pass = 0; pass < 2; ++pass) {
      failed.clear();
      for (const auto& [name, value] : texts)
        if (!session.SetText(name, value)) failed.push_back(name);
      for (const auto& [name, value] : numbers)
        if (!session.SetNumber(name, value)) failed.push_back(name);
    }
    failedOptions = failed;
    options = session.Options();
    return scan;
  }
  void WaitForTransfer(CScanSession& session, const std::function<bool()>& finished) override {
    if (cancelWhileReading) session.CancelTransfer();
    while (!finished()) std::this_thread::yield();
  }
};

// What the library's own front end scans with the same options: a PNM file read back.
struct Pnm {
  int32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

bool RunScanImage(const std::string& args, const std::string& out, Pnm& pnm) {
  const std::string command = "scanimage --format=pnm " + args + " > '" + out + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return false;
  std::ifstream in(out, std::ios::binary);
  std::string magic;
  in >> magic;
  int32_t maxValue = 1;
  auto skip = [&in] {
    in >> std::ws;
    while (in.peek() == '#') {
      std::string line;
      std::getline(in, line);
      in >> std::ws;
    }
  };
  skip();
  in >> pnm.width;
  skip();
  in >> pnm.height;
  if (magic != "P4") {
    skip();
    in >> maxValue;
  }
  in.get();
  const bool colour = magic == "P6";
  const int32_t bytes = maxValue > 255 ? 2 : 1;
  for (int32_t y = 0; y < pnm.height; ++y) {
    if (magic == "P4") {
      std::vector<uint8_t> line(static_cast<size_t>((pnm.width + 7) / 8));
      in.read(reinterpret_cast<char*>(line.data()), static_cast<std::streamsize>(line.size()));
      for (int32_t x = 0; x < pnm.width; ++x)
        pnm.pixels.push_back((line[static_cast<size_t>(x / 8)] >> (7 - x % 8)) & 1 ? 0xFF000000u : 0xFFFFFFFFu);
      continue;
    }
    for (int32_t x = 0; x < pnm.width; ++x) {
      uint32_t c[3];
      for (int32_t k = 0; k < (colour ? 3 : 1); ++k) {
        unsigned char b[2] = {0, 0};
        in.read(reinterpret_cast<char*>(b), bytes);
        c[k] = b[0];  // the high byte (PNM is big-endian)
      }
      if (!colour) c[1] = c[2] = c[0];
      pnm.pixels.push_back(0xFF000000u | c[0] << 16 | c[1] << 8 | c[2]);
    }
  }
  return static_cast<bool>(in);
}

TEST_F(ScannerTest, PicturesOfEveryModeMatchTheLibrarysOwnFrontEnd) {
  // The scanner library and its test device keep buffers they never free: each acquisition
  // runs in a child process that ends without the leak check.
  InChild([&] {
    struct Case {
      const char* name;
      std::vector<std::pair<std::string, std::string>> texts;
      std::vector<std::pair<std::string, double>> numbers;
      const char* args;
      // The front end does not honour padded lines: the model is the unpadded scan, cut to width.
      bool cutToWidth = false;
    } cases[] = {
        {"colour 8", {{"mode", "Color"}, {"test-picture", "Color pattern"}}, {{"depth", 8}},
         "--mode Color --test-picture 'Color pattern' --depth 8"},
        {"grey 8 grid", {{"mode", "Gray"}, {"test-picture", "Grid"}}, {{"depth", 8}},
         "--mode Gray --test-picture Grid --depth 8"},
        {"grey 1", {{"mode", "Gray"}, {"test-picture", "Grid"}}, {{"depth", 1}},
         "--mode Gray --test-picture Grid --depth 1"},
        {"colour 16", {{"mode", "Color"}, {"test-picture", "Color pattern"}}, {{"depth", 16}},
         "--mode Color --test-picture 'Color pattern' --depth 16"},
        {"three pass", {{"mode", "Color"}, {"test-picture", "Color pattern"}, {"three-pass-order", "GBR"}},
         {{"depth", 8}, {"three-pass", 1}}, "--mode Color --test-picture 'Color pattern' --depth 8 --three-pass=yes --three-pass-order GBR"},
        {"hand scanner", {{"mode", "Gray"}, {"test-picture", "Grid"}}, {{"hand-scanner", 1}},
         "--mode Gray --test-picture Grid --hand-scanner=yes"},
        {"padded lines", {{"mode", "Color"}, {"test-picture", "Color pattern"}}, {{"ppl-loss", 7}},
         "--mode Color --test-picture 'Color pattern'", true},
    };
    for (const Case& c : cases) {
      ScriptedScanner host;
      host.texts = c.texts;
      host.numbers = c.numbers;
      CScanSession session;
      std::unique_ptr<TTC> picture = session.AcquireImage(host);
      ASSERT_TRUE(picture) << c.name << ": " << ::testing::PrintToString(warnings_.Texts());
      EXPECT_TRUE(host.failedOptions.empty()) << c.name << ::testing::PrintToString(host.failedOptions);
      EXPECT_EQ(session.State(), 1) << "wound down";
      Pnm expected;
      ASSERT_TRUE(RunScanImage(std::string("-d test:0 ") + c.args, folder_.File("out.pnm"), expected)) << c.name;
      if (c.cutToWidth && picture->Width() < expected.width) {
        std::vector<uint32_t> cut;
        for (int32_t y = 0; y < expected.height; ++y)
          for (int32_t x = 0; x < picture->Width(); ++x)
            cut.push_back(expected.pixels[static_cast<size_t>(y) * static_cast<size_t>(expected.width) + static_cast<size_t>(x)]);
        expected.pixels = cut;
        expected.width = picture->Width();
        EXPECT_EQ(picture->Width(), 150) << "seven pixels of each line are padding";
      }
      ASSERT_EQ(picture->Width(), expected.width) << c.name;
      ASSERT_EQ(picture->Height(), expected.height) << c.name;
      EXPECT_EQ(PixelsOf(*picture), expected.pixels) << c.name;
    }
    EXPECT_TRUE(warnings_.Texts().empty());
  });
}

TEST_F(ScannerTest, AFeederGivesItsTenPagesAndTheFirstIsKept) {
  // The scanner library and its test device keep buffers they never free: each acquisition
  // runs in a child process that ends without the leak check.
  InChild([&] {
    ScriptedScanner host;
    host.texts = {{"source", "Automatic Document Feeder"}, {"test-picture", "Solid white"}};
    CScanSession session;
    std::unique_ptr<TTC> picture = session.AcquireImage(host);
    ASSERT_TRUE(picture);
    EXPECT_EQ(session.PageCount(), 10);
    EXPECT_EQ(picture->GetPixel(3, 3), 0xFFFFFFFFu);
    EXPECT_EQ(host.devices, (std::vector<std::string>{"test:0", "test:1"}));
    EXPECT_EQ(session.ChosenDevice(), "test:0");
    EXPECT_TRUE(warnings_.Texts().empty());
  });
}

TEST_F(ScannerTest, CancelsEndSilentlyAndFailuresSayOnceAndEnd) {
  // The scanner library and its test device keep buffers they never free: each acquisition
  // runs in a child process that ends without the leak check.
  InChild([&] {
    {
      ScriptedScanner host;
      host.choose = -1;  // the device choice cancelled
      CScanSession session;
      EXPECT_FALSE(session.AcquireImage(host));
      host.choose = 1;
      host.scan = false;  // the options dialog cancelled
      EXPECT_FALSE(session.AcquireImage(host));
      EXPECT_EQ(session.ChosenDevice(), "test:1");
      host.scan = true;
      host.cancelWhileReading = true;  // cancelled while reading
      // Slow reads, so that the cancel comes while the page is read.
      host.numbers = {{"resolution", 600}, {"read-delay", 1}, {"read-delay-duration", 100000}};
      EXPECT_FALSE(session.AcquireImage(host));
      EXPECT_EQ(session.State(), 1);
      EXPECT_TRUE(warnings_.Texts().empty()) << ::testing::PrintToString(warnings_.Texts());
    }
    // A device whose reads fail: one message, no picture, no retry for ever.
    for (const char* status : {"SANE_STATUS_IO_ERROR", "SANE_STATUS_JAMMED", "SANE_STATUS_NO_MEM"}) {
      warnings_.Clear();
      ScriptedScanner host;
      host.texts = {{"read-return-value", status}};
      CScanSession session;
      EXPECT_FALSE(session.AcquireImage(host)) << status;
      EXPECT_EQ(warnings_.Texts(), (std::vector<std::string>{"TWAIN_ReportLastError: an error occurred"})) << status;
      EXPECT_EQ(warnings_.Captions(), (std::vector<std::string>{"TWAIN Error"}));
      EXPECT_EQ(session.State(), 1);
    }
  });
}

TEST_F(ScannerTest, WithoutTheLibraryTheLoadMessageAndNothingElse) {
  // The scanner library and its test device keep buffers they never free: each acquisition
  // runs in a child process that ends without the leak check.
  InChild([&] {
    const std::string old = CScanSession::SetLibraryName("libsane-that-is-not-there.so.1");
    ScriptedScanner host;
    CScanSession session;
    EXPECT_FALSE(session.AcquireImage(host));
    CScanSession::SetLibraryName(old);
    EXPECT_EQ(warnings_.Texts(), (std::vector<std::string>{"Unable to load Source Manager (libsane.so.1)"}));
    EXPECT_TRUE(host.devices.empty());
    // The command: nothing scanned, no document asked for.
    int documents = 0;
    NewDocumentFromScanFn before = SetNewDocumentFromScan([&](std::unique_ptr<TTC>) { return ++documents > 0; });
    host.choose = -1;
    EXPECT_FALSE(NewFromScanner(host));
    SetNewDocumentFromScan(before);
    EXPECT_EQ(documents, 0);
  });
}

TEST_F(ScannerTest, TheCommandOpensTheFirstPageAsANewDocument) {
  // The scanner library and its test device keep buffers they never free: each acquisition
  // runs in a child process that ends without the leak check.
  InChild([&] {
    ScriptedScanner host;
    host.texts = {{"test-picture", "Solid white"}};
    std::vector<std::pair<int32_t, int32_t>> made;
    NewDocumentFromScanFn before = SetNewDocumentFromScan([&](std::unique_ptr<TTC> p) {
      made.emplace_back(p->Width(), p->Height());
      return true;
    });
    EXPECT_TRUE(NewFromScanner(host));
    SetNewDocumentFromScan(before);
    ASSERT_EQ(made.size(), 1u);
    EXPECT_GT(made[0].first, 0);
    // Without the document half the command says so on the developer output and makes nothing.
    NewDocumentFromScanFn none = SetNewDocumentFromScan({});
    EXPECT_FALSE(NewFromScanner(host));
    SetNewDocumentFromScan(none);
  });
}

}  // namespace
}  // namespace tf
