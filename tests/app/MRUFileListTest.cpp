#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/AppProfile.h"
#include "app/MRUFileList.h"
#include "platform/Registry.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

const char* kRoot = "Software\\Quillmarsh\\Tintaframe4 Plus";
const char* kKey = "Software\\Quillmarsh\\Tintaframe4 Plus\\fileMRU";

// One pixel a character.
int32_t CharWidth(std::string_view text) { return static_cast<int32_t>(text.size()); }

// The recent files' settings of the main window over a store.
void StoredIn(TMRUFileList& list, CRegistry& store) {
  list.SetMaximum(9);
  list.autoSaveName = kRoot;
  list.autoSaveKey = "fileMRU";
  list.registry = &store;
}

class MRUFileListTest : public ::testing::Test {
 protected:
  MRUFileListTest() : folder_("mru"), store_(folder_.Path()) {
    list_.SetMaximum(9);
    list_.removeOnClick = false;
    list_.useSubmenu = true;
    list_.insertSeparator = false;
    list_.autoSaveName = kRoot;
    list_.autoSaveKey = "fileMRU";
    list_.registry = &store_;
    list_.measure = CharWidth;
    list_.onRebuild = [this](const std::vector<SMRUItem>& items) {
      shown_ = items;
      ++rebuilds_;
    };
  }

  void Fill(int n) {
    for (int i = n; i >= 1; --i) list_.AddItem(0, "/f/" + std::to_string(i));
  }

  test::ScopedTempFolder folder_;
  CRegistry store_;
  TMRUFileList list_;
  std::vector<SMRUItem> shown_;
  int rebuilds_ = 0;
};

TEST_F(MRUFileListTest, AddingKeepsTheNewestFirstAndAtMostMaximum) {
  Fill(9);
  ASSERT_EQ(list_.Entries().size(), 9u);
  EXPECT_EQ(list_.Entries().front(), "/f/1");
  // A tenth file drops the oldest.
  list_.AddItem(0, "/f/new");
  ASSERT_EQ(list_.Entries().size(), 9u);
  EXPECT_EQ(list_.Entries().front(), "/f/new");
  EXPECT_EQ(list_.Entries().back(), "/f/8");
  // A file already third moves to the top, not duplicated.
  list_.AddItem(0, "/f/2");
  ASSERT_EQ(list_.Entries().size(), 9u);
  EXPECT_EQ(list_.Entries()[0], "/f/2");
  EXPECT_EQ(list_.Entries()[1], "/f/new");
  EXPECT_EQ(list_.Entries()[2], "/f/1");
  // Appending an existing entry also moves it to the top; a new one goes last.
  list_.AppendItem("/f/1");
  EXPECT_EQ(list_.Entries()[0], "/f/1");
  list_.SetMaximum(3);
  list_.AppendItem("/f/last");
  EXPECT_EQ(list_.Entries(), (std::vector<std::string>{"/f/1", "/f/2", "/f/new"}));
  list_.RemoveItem("/f/2");
  EXPECT_EQ(list_.Entries(), (std::vector<std::string>{"/f/1", "/f/new"}));
  list_.AppendItem("/f/last");
  EXPECT_EQ(list_.Entries().back(), "/f/last");
  // The shown items follow every change.
  ASSERT_EQ(shown_.size(), 3u);
  EXPECT_EQ(shown_[2].fullCaption, "&3 /f/last");
  EXPECT_EQ(shown_[2].position, 3);
}

TEST_F(MRUFileListTest, EntriesCompareExactly) {
  list_.AddItem(0, "/home/a/Picture.tfi");
  list_.AddItem(0, "/home/a/picture.tfi");
  EXPECT_EQ(list_.Entries().size(), 2u);
  list_.RemoveItem("/HOME/a/picture.tfi");
  EXPECT_EQ(list_.Entries().size(), 2u);
  EXPECT_EQ(list_.IndexOf("/home/a/Picture.tfi"), 1);
}

TEST_F(MRUFileListTest, AnEmptyListShowsNoItems) {
  list_.Rebuild();
  EXPECT_TRUE(shown_.empty());
  EXPECT_EQ(rebuilds_, 1);
  list_.BeginUpdate();
  list_.AddItem(0, "/a");
  list_.AddItem(0, "/b");
  EXPECT_EQ(rebuilds_, 1);
  list_.EndUpdate();
  EXPECT_EQ(rebuilds_, 2);
  EXPECT_EQ(shown_.size(), 2u);
}

TEST_F(MRUFileListTest, ALongPathIsShortenedButTheClickReportsItWhole) {
  list_.maxCaptionWidth = 30;
  const std::string path = "/home/someone/pictures/2026/december/sketch.tfi";
  list_.AddItem(0, path);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].fullCaption, "&1 " + path);
  EXPECT_EQ(shown_[0].caption, "&1 /.../2026/december/sketch.tfi");
  std::string clicked;
  list_.onItemClick = [&clicked](const SMRUItem&, const std::string& entry) { clicked = entry; };
  list_.ClickItem(1);
  EXPECT_EQ(clicked, path);
  EXPECT_EQ(list_.Entries().size(), 1u);
  // With RemoveOnClick the entry goes.
  list_.removeOnClick = true;
  list_.ClickItem(1);
  EXPECT_TRUE(list_.Entries().empty());
  // Positions outside the list do nothing.
  clicked.clear();
  list_.ClickItem(1);
  EXPECT_TRUE(clicked.empty());
}

TEST(ShortenPathTest, EveryPassShortensUntilItFitsOrOnlyTheNameIsLeft) {
  struct Case {
    const char* path;
    int32_t width;
    const char* shown;
  };
  const Case cases[] = {
      {"/a/b/c/name.png", 15, "/a/b/c/name.png"},
      // The first pass may be longer: "/a/" becomes "/.../".
      {"/a/b/c/name.png", 14, "/.../name.png"},
      {"/a/b/c/name.png", 12, ".../name.png"},
      {"/a/b/c/name.png", 11, "name.png"},
      {"/a/b/c/name.png", 5, "name.png"},
      {"/a/b/c/name.png", 0, "name.png"},
      {"relative/dir/name.png", 16, ".../dir/name.png"},
      {"name.png", 1, "name.png"},
      {"C:/x/name.png", 12, ".../name.png"},
      {"/only/", 1, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShortenPath(c.path, c.width, CharWidth), c.shown) << c.path << " " << c.width;
  }
}

TEST_F(MRUFileListTest, SaveWritesThePathValuesInListOrderAndLoadReadsThemBack) {
  Fill(4);
  ASSERT_TRUE(list_.Save());
  ASSERT_TRUE(store_.Save());
  CRegistry fresh(folder_.Path());
  ASSERT_TRUE(fresh.Load());
  EXPECT_EQ(fresh.ValueNames(kKey), (std::vector<std::string>{"path0", "path1", "path2", "path3"}));
  TMRUFileList loaded;
  StoredIn(loaded, fresh);
  ASSERT_TRUE(loaded.Load());
  EXPECT_EQ(loaded.Entries(), list_.Entries());
  // A shorter list replaces the key as a whole.
  list_.RemoveItem("/f/4");
  ASSERT_TRUE(list_.Save());
  EXPECT_EQ(store_.ValueNames(kKey).size(), 3u);
  // No key names: refused.
  loaded.autoSaveKey.clear();
  EXPECT_FALSE(loaded.Load());
  EXPECT_FALSE(loaded.Save());
}

TEST_F(MRUFileListTest, LoadTakesTheRegistrysOrderAtMostMaximumNoRepeatsNoEmptyOnes) {
  ASSERT_TRUE(store_.CreateKey(kKey));
  // Written by hand, in another order, with an empty value, a repeat, a dword and too many.
  store_.WriteString(kKey, "path3", "/d");
  store_.WriteString(kKey, "path0", "/a");
  store_.WriteString(kKey, "path9", "");
  store_.WriteString(kKey, "other", "/a");
  store_.WriteDword(kKey, "path5", 5);
  store_.WriteString(kKey, "path1", "/b");
  store_.WriteString(kKey, "path2", "/c");
  store_.WriteString(kKey, "path4", "/e");
  list_.SetMaximum(4);
  ASSERT_TRUE(list_.Load());
  EXPECT_EQ(list_.Entries(), (std::vector<std::string>{"/d", "/a", "/b", "/c"}));
  // A missing subkey loads an empty list and makes the program's key.
  CRegistry empty(folder_.Path() + "/other");
  list_.registry = &empty;
  ASSERT_TRUE(list_.Load());
  EXPECT_TRUE(list_.Entries().empty());
  EXPECT_TRUE(empty.KeyExists(kRoot));
}

TEST_F(MRUFileListTest, SavedFromTheSettingsSaverItSurvivesARestart) {
  CAppProfile profile(&store_);
  Fill(2);
  profile.storeMainWindowState = [this](CAppProfile&) { list_.Save(); };
  ASSERT_TRUE(profile.SaveAll());
  CRegistry fresh(folder_.Path());
  ASSERT_TRUE(fresh.Load());
  TMRUFileList loaded;
  StoredIn(loaded, fresh);
  ASSERT_TRUE(loaded.Load());
  EXPECT_EQ(loaded.Entries(), (std::vector<std::string>{"/f/1", "/f/2"}));
}

}  // namespace
}  // namespace tf
