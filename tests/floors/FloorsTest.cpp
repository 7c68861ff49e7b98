#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "floors/FloorCheck.h"

namespace tf::floors {
namespace {

const std::filesystem::path kDataDir = TF_TEST_DATA_DIR;

std::string DescribeAll(const std::vector<Violation>& violations) {
  std::string text;
  for (const Violation& v : violations) text += Describe(v) + "\n";
  return text;
}

std::vector<std::string> Targets(const std::vector<Violation>& violations) {
  std::vector<std::string> targets;
  for (const Violation& v : violations) targets.push_back(v.path + " -> " + v.target);
  return targets;
}

// ---------------------------------------------------------------------------------------------
// The source tree

// Exceptions the tree still needs, each removed with the bend it names.
const std::vector<Allowance> kAllowances = {};

TEST(FloorsTest, SourceTreeKeepsToItsFloors) {
  const std::filesystem::path root = (kDataDir / ".." / ".." / "src").lexically_normal();
  std::vector<SourceFile> files = ReadSourceTree(root);
  // A wrong root would pass vacuously: the tree must hold the stores and the blend modes.
  auto has = [&](const char* path) {
    for (const SourceFile& f : files) {
      if (f.path == path) return true;
    }
    return false;
  };
  ASSERT_TRUE(has("raster/BlockVMTC.h") && has("document/BlendMode.h")) << root;

  std::vector<Violation> violations = CheckFloors(files, kAllowances);
  EXPECT_TRUE(violations.empty()) << DescribeAll(violations);
}

TEST(FloorsTest, CoreFoldersOfTheBuildAreListedByFloor) {
  std::ifstream in(kDataDir / ".." / ".." / "CMakeLists.txt");
  ASSERT_TRUE(in) << "CMakeLists.txt not found";
  std::stringstream text;
  text << in.rdbuf();
  std::smatch match;
  std::string all = text.str();
  ASSERT_TRUE(std::regex_search(all, match, std::regex(R"(set\(TF_CORE_DIRS ([a-z ]+)\))")));
  EXPECT_EQ(match[1].str(), "platform raster document paint events paper filters playback files app");
}

// ---------------------------------------------------------------------------------------------
// The checker on a fixture tree

TEST(FloorCheckTest, FixtureTreeGivesExactlyItsUpwardIncludeAndMisplacedQtInclude) {
  std::vector<SourceFile> files = ReadSourceTree(kDataDir / "floors_fixture");
  ASSERT_EQ(files.size(), 8u);
  std::vector<Violation> violations = CheckFloors(files);
  ASSERT_EQ(violations.size(), 2u) << DescribeAll(violations);
  EXPECT_EQ(violations[0].path, "paint/Brush.cpp");
  EXPECT_EQ(violations[0].line, 2);
  EXPECT_EQ(violations[0].target, "QPainter");
  EXPECT_EQ(violations[1].path, "raster/Image.cpp");
  EXPECT_EQ(violations[1].line, 8);
  EXPECT_EQ(violations[1].target, "document/Layer.h");
}

// ---------------------------------------------------------------------------------------------
// The checker's rules, on small trees in memory

struct RuleCase {
  const char* name;
  std::vector<SourceFile> files;
  std::vector<std::string> expected;  // "path -> target" of every violation, in order
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.name; }

class FloorRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(FloorRuleTest, ReportsExactlyTheBends) {
  const RuleCase& c = GetParam();
  std::vector<Violation> violations = CheckFloors(c.files);
  EXPECT_EQ(Targets(violations), c.expected) << DescribeAll(violations);
}

const SourceFile kLayerHeader{"document/Layer.h", "#pragma once\nclass Layer {\n};\n"};
const SourceFile kImageHeader{"raster/Image.h", "#pragma once\nstruct Image final : Base<int> {\n};\n"};

INSTANTIATE_TEST_SUITE_P(
    Rules, FloorRuleTest,
    ::testing::Values(
        RuleCase{"ForwardDeclarationOfAHigherClass",
                 {kLayerHeader, {"raster/Store.h", "#pragma once\nclass Layer;\n"}},
                 {"raster/Store.h -> Layer"}},
        RuleCase{"ForwardDeclarationOfALowerOrUnknownClass",
                 {kImageHeader, {"document/Layer.cpp", "struct Image;\nclass TNotYetWritten;\n"}},
                 {}},
        RuleCase{"ClassDefinedOnlyInASourceFileIsNotAFloor",
                 {{"document/Layer.cpp", "class Hidden {\n};\n"}, {"raster/Store.h", "class Hidden;\n"}},
                 {}},
        RuleCase{"IncludesOfTheSameAndLowerFloors",
                 {{"app/Main.cpp", "#include \"files/Doc.h\"\n#include \"platform/Clock.h\"\n"},
                  {"files/Doc.h", "#include \"playback/Player.h\"\n"},
                  {"playback/Player.h", "#include \"filters/Blur.h\"\n#include \"paper/Paper.h\"\n"},
                  {"paper/Paper.h", "#include \"events/Stream.h\"\n#include \"paint/Pen.h\"\n"}},
                 {}},
        RuleCase{"EveryUpwardStep",
                 {{"platform/A.h", "#include \"raster/B.h\"\n"},
                  {"paint/P.h", "#include \"events/E.h\"\n"},
                  {"events/E.h", "#include \"paper/Paper.h\"\n"},
                  {"filters/F.h", "#include \"playback/Player.h\"\n"},
                  {"files/Doc.h", "#include \"app/Main.h\"\n"}},
                 {"events/E.h -> paper/Paper.h", "files/Doc.h -> app/Main.h", "filters/F.h -> playback/Player.h",
                  "paint/P.h -> events/E.h", "platform/A.h -> raster/B.h"}},
        RuleCase{"QtOnlyInUiPalettesAndQtFolders",
                 {{"ui/Button.cpp", "#include <QPushButton>\n"},
                  {"palettes/Pane.h", "#include <QWidget>\n"},
                  {"files/qt/Dialog.cpp", "#  include <QFileDialog>\n"},
                  {"app/Main.cpp", "#include <QApplication>\n"},
                  {"platform/Clock.cpp", "#include <QtCore/QTimer>\n#include <cstdint>\n"}},
                 {"app/Main.cpp -> QApplication", "platform/Clock.cpp -> QtCore/QTimer"}},
        RuleCase{"CoreFilesDoNotIncludeQtSideHeaders",
                 {{"ui/Button.h", "#pragma once\n"},
                  {"raster/qt/View.h", "#pragma once\n"},
                  {"app/Main.cpp", "#include \"ui/Button.h\"\n"},
                  {"raster/Image.cpp", "#include \"raster/qt/View.h\"\n"},
                  {"palettes/Pane.cpp", "#include \"ui/Button.h\"\n#include \"raster/qt/View.h\"\n"}},
                 {"app/Main.cpp -> ui/Button.h", "raster/Image.cpp -> raster/qt/View.h"}},
        RuleCase{"QtSubfoldersSitOnTheTopFloor",
                 {{"ui/Form.h", "#pragma once\nclass TForm {\n};\n"},
                  {"filters/qt/Dialog.h", "#include \"ui/Form.h\"\nclass TDialog : public TForm {\n};\n"},
                  {"filters/qt/Dialog.cpp", "#include \"filters/qt/Dialog.h\"\n#include \"app/Main.h\"\n"},
                  {"app/Main.h", "#pragma once\n"},
                  {"platform/qt/Screen.cpp", "#include \"raster/Image.h\"\n"},
                  {"filters/Blur.h", "class TDialog;\n"}},
                 {"filters/Blur.h -> TDialog", "platform/qt/Screen.cpp -> raster/Image.h"}},
        RuleCase{"IncludeBesideTheFileIsResolvedThere",
                 {{"raster/qt/View.h", "#pragma once\n"},
                  {"raster/qt/View.cpp", "#include \"View.h\"\n"},
                  {"raster/Image.cpp", "#include \"qt/View.h\"\n"}},
                 {"raster/Image.cpp -> qt/View.h"}},
        RuleCase{"CommentsAreNotCode",
                 {kLayerHeader,
                  {"raster/Store.h",
                   "// #include \"app/Main.h\"\n/*\n#include <QWidget>\nclass Layer;\n*/\n"
                   "int x; /* class Layer; */ // #include \"files/Doc.h\"\n"}},
                 {}},
        RuleCase{"StringsDoNotOpenComments",
                 {{"raster/Store.cpp",
                   "const char* a = \"/*\"; char b = '\"';\n#include \"paint/Pen.h\"\n"
                   "const char* c = R\"x(\")x\";\n#include \"events/E.h\"\n"}},
                 {"raster/Store.cpp -> paint/Pen.h", "raster/Store.cpp -> events/E.h"}},
        RuleCase{"FolderWithoutAFloor",
                 {{"gadgets/Thing.cpp", "#include \"platform/Clock.h\"\n"}},
                 {"gadgets/Thing.cpp -> gadgets"}}),
    [](const ::testing::TestParamInfo<RuleCase>& info) { return std::string(info.param.name); });

TEST(FloorCheckTest, AllowanceLeavesOutExactlyItsPathAndTarget) {
  std::vector<SourceFile> files = {kLayerHeader,
                                   {"raster/Store.h", "class Layer;\n#include \"document/Layer.h\"\n"},
                                   {"raster/Other.h", "class Layer;\n"}};
  std::vector<Violation> violations = CheckFloors(files, {{"raster/Store.h", "Layer"}});
  EXPECT_EQ(Targets(violations),
            (std::vector<std::string>{"raster/Other.h -> Layer", "raster/Store.h -> document/Layer.h"}));
}

}  // namespace
}  // namespace tf::floors
