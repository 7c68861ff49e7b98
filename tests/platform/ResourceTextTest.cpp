#include "platform/ResourceText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tf {
namespace {

// A module image holding the given texts, laid out as the build script writes it.
std::vector<std::uint8_t> ModuleImage(const std::vector<std::string>& texts) {
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

std::vector<std::string> BuiltinTexts() {
  std::vector<std::string> texts;
  for (int i = 0; i < kTextCount; ++i) texts.emplace_back(Tx(static_cast<TextId>(i)));
  return texts;
}

struct ResetTexts {
  ~ResetTexts() { ResetTextModule(); }
};

TEST(ResourceText, BuiltinTableAnswersBeforeAnyModule) {
  ResetTextModule();
  EXPECT_STREQ(Tx(TextId::WarningCaption), "警告");
  EXPECT_STREQ(Tx(TextId::ProductName), "Tintaframe");
  EXPECT_STREQ(Tx(static_cast<TextId>(kTextCount)), "");
}

TEST(ResourceText, AModuleReplacesEveryTextAsAWhole) {
  ResetTexts reset;
  std::vector<std::string> texts = BuiltinTexts();
  texts[static_cast<int>(TextId::WarningCaption)] = "Warning";
  std::vector<std::uint8_t> image = ModuleImage(texts);
  std::vector<std::string> parsed;
  ASSERT_TRUE(ParseTextModule(image.data(), image.size(), parsed));
  EXPECT_EQ(parsed, texts);
}

TEST(ResourceText, DamagedModulesAreRefusedAndChangeNothing) {
  const std::vector<std::string> builtin = BuiltinTexts();
  const std::vector<std::uint8_t> good = ModuleImage(builtin);
  struct Case {
    const char* name;
    std::vector<std::uint8_t> image;
  };
  std::vector<Case> cases;
  cases.push_back({"truncated header", std::vector<std::uint8_t>(good.begin(), good.begin() + 10)});
  cases.push_back({"truncated texts", std::vector<std::uint8_t>(good.begin(), good.end() - 1)});
  {
    auto bad = good;
    bad[0] = 'X';
    cases.push_back({"wrong magic", bad});
  }
  {
    auto bad = good;
    bad[4] = 2;
    cases.push_back({"other version", bad});
  }
  {
    auto shorter = builtin;
    shorter.pop_back();
    cases.push_back({"fewer texts", ModuleImage(shorter)});
  }
  {
    auto bad = good;
    bad[12] = 0xFF;
    bad[13] = 0xFF;  // first offset far past the end
    cases.push_back({"offset past the end", bad});
  }
  {
    auto texts = builtin;
    texts[0] = std::string("\xE8\xAD", 2);  // a cut UTF-8 sequence
    cases.push_back({"bad UTF-8", ModuleImage(texts)});
  }
  {
    auto texts = builtin;
    texts[0] = std::string("a\0b", 3);
    cases.push_back({"zero byte", ModuleImage(texts)});
  }
  {
    auto texts = builtin;
    texts[0] += " %s";  // a conversion the program's text does not have
    cases.push_back({"changed conversion", ModuleImage(texts)});
  }
  for (const Case& c : cases) {
    std::vector<std::string> parsed = {"kept"};
    EXPECT_FALSE(ParseTextModule(c.image.data(), c.image.size(), parsed)) << c.name;
    EXPECT_EQ(parsed, std::vector<std::string>{"kept"}) << c.name;
  }
}

TEST(ResourceText, ConversionsAreReadInOrderAndPercentSignsAreNone) {
  std::vector<std::string> conv;
  ASSERT_TRUE(TextConversions("%sの保存に失敗しました! (err=%d) 100%% %2.2d", conv));
  EXPECT_EQ(conv, (std::vector<std::string>{"%s", "%d", "%2.2d"}));
  EXPECT_FALSE(TextConversions("cut %2.", conv));
}

}  // namespace
}  // namespace tf
