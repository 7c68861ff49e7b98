#include "platform/ResourceText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/TextModuleImage.h"

namespace tf {
namespace {

using test::TextModuleImage;

std::vector<std::string> BuiltinTexts() { return test::BuiltinTextList(); }

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
  std::vector<std::uint8_t> image = TextModuleImage(texts);
  std::vector<std::string> parsed;
  ASSERT_TRUE(ParseTextModule(image.data(), image.size(), parsed));
  EXPECT_EQ(parsed, texts);
}

TEST(ResourceText, DamagedModulesAreRefusedAndChangeNothing) {
  const std::vector<std::string> builtin = BuiltinTexts();
  const std::vector<std::uint8_t> good = TextModuleImage(builtin);
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
    cases.push_back({"fewer texts", TextModuleImage(shorter)});
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
    cases.push_back({"bad UTF-8", TextModuleImage(texts)});
  }
  {
    auto texts = builtin;
    texts[0] = std::string("a\0b", 3);
    cases.push_back({"zero byte", TextModuleImage(texts)});
  }
  {
    auto texts = builtin;
    texts[0] += " %s";  // a conversion the program's text does not have
    cases.push_back({"changed conversion", TextModuleImage(texts)});
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
