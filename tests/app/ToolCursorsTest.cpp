#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/ToolCursors.h"
#include "platform/Debug.h"

namespace tf {
namespace {

struct ToolCursorsTest : ::testing::Test {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / ("tfcur" + std::to_string(::getpid()));
  std::string file;
  int32_t loads = 0;
  ToolCursorsTest() {
    std::filesystem::create_directories(dir);
    file = (dir / "pen.cur").string();
    std::ofstream(file) << "x";
  }
  ~ToolCursorsTest() override { std::filesystem::remove_all(dir); }
  CursorFileLoader Loader(bool ok) {
    return [this, ok](const std::string&) {
      ++loads;
      return ok;
    };
  }
};

TEST_F(ToolCursorsTest, PaintCursorsBySettings) {
  const auto standard = MakeToolCursorTables(0, 0, "", Loader(true));
  EXPECT_EQ(standard.paint[0], 12);
  EXPECT_EQ(standard.paint[5], 16);
  EXPECT_EQ(standard.paint[17], 20);
  EXPECT_EQ(MakeToolCursorTables(0, 0, (dir / "none.cur").string(), Loader(true)).paint, standard.paint);
  EXPECT_EQ(loads, 0);
  const auto fromFile = MakeToolCursorTables(0, 0, file, Loader(true));
  EXPECT_EQ(loads, 1);
  for (int16_t c : fromFile.paint) EXPECT_EQ(c, kCursorFromFile);
  const auto detail = MakeToolCursorTables(1, 0, file, Loader(true));  // the file is not loaded
  EXPECT_EQ(loads, 1);
  for (int16_t c : detail.paint) EXPECT_EQ(c, kCursorDetail);
}

TEST_F(ToolCursorsTest, AFileThatDoesNotLoadKeepsTheStandardCursors) {
  std::vector<std::string> out;
  DebugSink old = SetDebugSink([&out](std::string_view t) { out.emplace_back(t); });
  const auto t = MakeToolCursorTables(0, 0, file, Loader(false));
  SetDebugSink(old);
  EXPECT_EQ(t.paint, MakeToolCursorTables(0, 0, "", Loader(true)).paint);
  EXPECT_EQ(out.size(), 1u);
}

TEST_F(ToolCursorsTest, ModeCursors) {
  const auto s = MakeToolCursorTables(0, 0, "", nullptr).mode;
  const auto d = MakeToolCursorTables(0, 1, "", nullptr).mode;
  const std::vector<std::pair<int, std::pair<int, int>>> rows = {
      {0, {5, 34}},   {5, {5, 34}},   {6, {5, 5}},    {12, {21, 34}}, {13, {13, 34}}, {20, {22, 34}},
      {21, {26, 26}}, {24, {26, 26}}, {25, {27, 27}}, {27, {5, 34}},  {28, {28, 34}}, {29, {31, 31}},
      {31, {32, 32}}, {32, {33, 33}}};
  for (const auto& [mode, want] : rows) {
    EXPECT_EQ(s[mode], want.first) << mode;
    EXPECT_EQ(d[mode], want.second) << mode;
  }
}

}  // namespace
}  // namespace tf
