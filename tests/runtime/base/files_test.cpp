#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "runtime/base/directory_listing.h"
#include "runtime/base/files.h"
#include "runtime/base/path_parts.h"
#include "runtime/window/registry.h"
#include "runtime/base/string_workspace.h"
#include "tests/runtime/base/base_test_support.h"

namespace {

// Cyrillic in code page 1251: "Музыка" and "трек".
const std::string kMusic = "\xCC\xF3\xE7\xFB\xEA\xE0";
const std::string kTrack = "\xF2\xF0\xE5\xEA";

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    workspace_init();
    tree.make_folder("with space");
    tree.make_folder("dotted.folder");
    tree.make_folder(kMusic);
    tree.make_folder("with space\\inner");
    tree.write_file("empty.mod", "");
    tree.write_file("five.xm", "12345");
    tree.write_file("with space\\tune one.pt3", "abc");
    tree.write_file("with space\\inner\\deep.stc", "d");
    tree.write_file("dotted.folder\\noextension", "x");
    tree.write_file(kMusic + "\\" + kTrack + ".ay", "ay");
  }

  static std::string text(char* (*operation)(const char*, int32_t), const char* path) {
    int32_t p = workspace_position();
    std::string result = operation(path, p);
    workspace_truncate(p);
    return result;
  }

  // Names of a listing's entries, "." and ".." left out, sorted.
  static std::vector<std::string> entries(int32_t number, const std::string& folder, const char* pattern) {
    std::vector<std::string> names;
    if (!open_directory_listing(number, folder.c_str(), pattern)) return {"<failed>"};
    while (next_directory_entry(number)) {
      int32_t p = workspace_position();
      std::string name = directory_entry_name(number, p);
      workspace_truncate(p);
      if (name == "." || name == "..") continue;
      names.push_back(name + (directory_entry_type(number) == ENTRY_DIRECTORY ? "\\" : ""));
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TemporaryFolder tree;
};

TEST_F(FilesTest, SizesOfFilesFoldersAndMissingPaths) {
  EXPECT_EQ(file_size((tree / "empty.mod").c_str()), 0);
  EXPECT_EQ(file_size((tree / "five.xm").c_str()), 5);
  EXPECT_EQ(file_size((tree / "with space\\tune one.pt3").c_str()), 3);
  EXPECT_EQ(file_size((tree / (kMusic + "\\" + kTrack + ".ay")).c_str()), 2);
  EXPECT_EQ(file_size(tree.path().c_str()), FILE_IS_FOLDER);
  EXPECT_EQ(file_size((tree.path() + "\\").c_str()), FILE_IS_FOLDER);
  EXPECT_EQ(file_size((tree.path() + "\\\\\\").c_str()), FILE_IS_FOLDER);
  EXPECT_EQ(file_size((tree / "dotted.folder").c_str()), FILE_IS_FOLDER);
  EXPECT_EQ(file_size((tree / kMusic).c_str()), FILE_IS_FOLDER);
  EXPECT_EQ(file_size((tree / "missing.mod").c_str()), FILE_MISSING);
  EXPECT_EQ(file_size(""), FILE_MISSING);
  EXPECT_EQ(file_size(nullptr), FILE_MISSING);
  EXPECT_EQ(file_size("\\"), FILE_MISSING);
}

TEST_F(FilesTest, DriveRootsWithAndWithoutBackslash) {
  EXPECT_EQ(file_size("C:"), FILE_IS_FOLDER);
  EXPECT_EQ(file_size("C:\\"), FILE_IS_FOLDER);
  EXPECT_EQ(file_size("Z:\\"), FILE_IS_FOLDER);  // Wine maps / there
  char letter = 0;
  DWORD drives = GetLogicalDrives();
  for (char c = 'Q'; c <= 'Y'; c++)
    if (!(drives & (1u << (c - 'A')))) letter = c;
  ASSERT_NE(letter, 0) << "every letter from Q to Y has a drive";
  std::string root = std::string(1, letter) + ":";
  EXPECT_EQ(file_size(root.c_str()), FILE_MISSING);
  EXPECT_EQ(file_size((root + "\\").c_str()), FILE_MISSING);
}

TEST_F(FilesTest, NetworkShareRootIsAFolder) {
  // Wine offers no shares of its own; Windows has the administrative one.
  if (GetFileAttributesA("\\\\localhost\\C$") == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "no share \\\\localhost\\C$ on this system (Wine serves none)";
  EXPECT_EQ(file_size("\\\\localhost\\C$"), FILE_IS_FOLDER);
}

TEST_F(FilesTest, PathsBeyondTheLimitAreRefusedNotCut) {
  // Cut at 260 characters this path would name five.xm itself.
  std::string too_long = tree / "five.xm";
  too_long += std::string(300 - too_long.size(), 'x');
  ASSERT_GT(too_long.size(), 260u);
  EXPECT_EQ(file_size(too_long.c_str()), FILE_MISSING);
  EXPECT_EQ(remove_file(too_long.c_str()), 0);
  EXPECT_TRUE(exists(tree / "five.xm"));
  std::string deep_folder = tree.path() + "\\" + std::string(255, 'd');
  EXPECT_EQ(open_directory_listing(0, deep_folder.c_str(), "*.*"), 0);
}

TEST_F(FilesTest, RemoveFileDeletesOnlyFiles) {
  EXPECT_NE(remove_file((tree / "five.xm").c_str()), 0);
  EXPECT_FALSE(exists(tree / "five.xm"));
  EXPECT_EQ(remove_file((tree / "five.xm").c_str()), 0);
  EXPECT_EQ(remove_file(nullptr), 0);
  EXPECT_EQ(remove_file(tree.path().c_str()), 0);
}

TEST_F(FilesTest, ListingsGiveFilesAndFoldersWithOrWithoutTrailingBackslash) {
  std::vector<std::string> expected = {"dotted.folder\\", "empty.mod", "five.xm", "with space\\", kMusic + "\\"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(entries(0, tree.path(), "*.*"), expected);
  EXPECT_EQ(entries(0, tree.path() + "\\", nullptr), expected);
  EXPECT_EQ(entries(1, tree / "with space", ""), (std::vector<std::string>{"inner\\", "tune one.pt3"}));
  EXPECT_EQ(entries(2, tree / kMusic, "*.*"), (std::vector<std::string>{kTrack + ".ay"}));
}

TEST_F(FilesTest, PatternMatchingNothingIsAnEmptyListingAndMissingFolderFails) {
  EXPECT_NE(open_directory_listing(0, tree.path().c_str(), "*.nothing"), 0);
  EXPECT_EQ(next_directory_entry(0), 0);
  EXPECT_EQ(open_directory_listing(0, (tree / "missing").c_str(), "*.*"), 0);
  EXPECT_EQ(next_directory_entry(0), 0);
  EXPECT_EQ(directory_entry_type(0), 0);
  int32_t p = workspace_position();
  EXPECT_STREQ(directory_entry_name(0, p), "");
}

TEST_F(FilesTest, ReopeningANumberReleasesTheOldListingOthersStayIndependent) {
  ASSERT_NE(open_directory_listing(0, tree.path().c_str(), "*.*"), 0);
  ASSERT_NE(open_directory_listing(1, (tree / "with space").c_str(), "*.pt3"), 0);
  ASSERT_TRUE(next_directory_entry(1));
  // Number 0 reopened on another folder: number 1 is untouched.
  ASSERT_NE(open_directory_listing(0, (tree / kMusic).c_str(), "*.ay"), 0);
  ASSERT_TRUE(next_directory_entry(0));
  int32_t p = workspace_position();
  EXPECT_EQ(std::string(directory_entry_name(0, p)), kTrack + ".ay");
  EXPECT_EQ(std::string(directory_entry_name(1, p)), "tune one.pt3");
  EXPECT_FALSE(next_directory_entry(1));
  workspace_truncate(p);
  close_directory_listing(0);
  EXPECT_EQ(directory_entry_type(0), 0);
  INT_PTR any = open_directory_listing(OBJECT_ANY, tree.path().c_str(), "five.*");
  ASSERT_NE(any, 0);
  EXPECT_TRUE(next_directory_entry(any));
  EXPECT_EQ(directory_entry_type(any), ENTRY_FILE);
  close_directory_listing(any);
}

TEST_F(FilesTest, ExtensionIsTheTextAfterTheLastDotOfTheLastComponent) {
  EXPECT_EQ(text(path_extension, "C:\\music\\a.tar.gz"), "gz");
  EXPECT_EQ(text(path_extension, "C:\\music\\tune.pt3"), "pt3");
  EXPECT_EQ(text(path_extension, "C:\\music\\noextension"), "");
  EXPECT_EQ(text(path_extension, "C:\\dotted.folder\\noextension"), "");
  EXPECT_EQ(text(path_extension, "C:/dotted.folder/noextension"), "");
  EXPECT_EQ(text(path_extension, "C:\\music\\.hidden"), "hidden");
  EXPECT_EQ(text(path_extension, "\"C:\\music\\quoted.mod\""), "mod");
  EXPECT_EQ(text(path_extension, "tune."), "");
  EXPECT_EQ(text(path_extension, nullptr), "");
}

TEST_F(FilesTest, FilePartIsTheTextAfterTheLastSeparatorWithoutQuotes) {
  EXPECT_EQ(text(path_file_part, "C:\\music\\tune.pt3"), "tune.pt3");
  EXPECT_EQ(text(path_file_part, "C:/music/tune.pt3"), "tune.pt3");
  EXPECT_EQ(text(path_file_part, "C:\\music\\"), "");
  EXPECT_EQ(text(path_file_part, "\"C:\\music\\tune one.pt3\""), "tune one.pt3");
  EXPECT_EQ(text(path_file_part, "\"plain\""), "plain");
  EXPECT_EQ(text(path_file_part, "plain"), "plain");
  EXPECT_EQ(text(path_file_part, nullptr), "");
}

TEST_F(FilesTest, PathPartsOfATextInTheWorkspaceMayOverwriteIt) {
  int32_t s = workspace_position();
  workspace_append("D:\\music\\tune.wav");
  path_file_part(workspace_pointer(s), s);
  EXPECT_STREQ(workspace_pointer(s), "tune.wav");
  path_extension(workspace_pointer(s), s);
  EXPECT_STREQ(workspace_pointer(s), "wav");
  workspace_truncate(s);
}

TEST_F(FilesTest, CurrentDirectoryEndsInExactlyOneBackslash) {
  {
    CurrentDirectory here(tree.path());
    int32_t p = workspace_position();
    std::string folder = current_directory(p);
    EXPECT_EQ(workspace_position(), p + static_cast<int32_t>(folder.size()));
    workspace_truncate(p);
    EXPECT_EQ(folder, tree.path() + "\\");
  }
  {
    CurrentDirectory root("C:\\");
    int32_t p = workspace_position();
    EXPECT_STREQ(current_directory(p), "C:\\");
    workspace_truncate(p);
  }
}

}  // namespace
