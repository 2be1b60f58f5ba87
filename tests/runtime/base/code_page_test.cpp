// The runtime's texts in the ANSI code page, built into two programs: one
// without a manifest, which runs in the locale's code page (1251 here), as
// the converter does on a Windows that ignores its manifest; one with the
// programs' manifest, whose code page is UTF-8. In both, a name the code
// page cannot hold is passed over, never best-fitted to a look-alike.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "runtime/base/code_page.h"
#include "runtime/base/directory_listing.h"
#include "runtime/base/files.h"
#include "runtime/base/path_buffer.h"
#include "runtime/base/string_workspace.h"
#include "tests/runtime/base/base_test_support.h"

namespace {

std::wstring wide_of(const char* utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], n);
  return wide;
}

bool utf8_code_page() { return GetACP() == CP_UTF8; }

// `utf8` in the program's code page, as the runtime must write it; the
// code page must hold it.
std::string expected_ansi(const char* utf8) {
  std::wstring wide = wide_of(utf8);
  char out[1024];
  int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), out, sizeof out, nullptr,
                              nullptr);
  return std::string(out, n > 0 ? n : 0);
}

std::string converted(const std::wstring& wide, int32_t room = 1024) {
  char out[1024];
  int32_t n = ansi_from_wide(wide.c_str(), static_cast<int32_t>(wide.size()), out, room);
  return n < 0 ? "(passed over)" : std::string(out, n);
}

class CodePageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const UINT code_page = GetACP();
    ASSERT_TRUE(code_page == 1251 || code_page == CP_UTF8)
        << "code page " << code_page << ": built for the Russian locale or for the manifest's UTF-8";
  }
};

TEST_F(CodePageTest, NamesTheCodePageLacksArePassedOverNotBestFitted) {
  // "Ü" best-fits to "U" in code page 1251, and "Uber.mod" is another file.
  EXPECT_EQ(converted(wide_of("C:\\Über.mod")), utf8_code_page() ? "C:\\Über.mod" : "(passed over)");
  EXPECT_EQ(converted(wide_of("C:\\日本 🎵.mod")), utf8_code_page() ? "C:\\日本 🎵.mod" : "(passed over)");
  EXPECT_EQ(converted(wide_of("C:\\Ελληνικά.xm")), utf8_code_page() ? "C:\\Ελληνικά.xm" : "(passed over)");
  // What the code page holds comes through in it, 1251 bytes or UTF-8.
  EXPECT_EQ(converted(wide_of("C:\\Привет — ёлка.mod")), expected_ansi("C:\\Привет — ёлка.mod"));
  // A lone surrogate has no form in any code page; UTF-8 would write U+FFFD.
  EXPECT_EQ(converted(std::wstring(L"C:\\a") + wchar_t(0xD83C) + L".mod"), "(passed over)");
  // Too little room is no licence to cut.
  EXPECT_EQ(converted(wide_of("C:\\Привет.mod"), 5), "(passed over)");
  EXPECT_EQ(ansi_from_wide(L"ab", 2, nullptr, 0), 2) << "a null output measures";
}

TEST_F(CodePageTest, TheProgramsOwnTextsComeOutInTheCodePage) {
  char out[64];
  ansi_from_utf8("Тащи сюда!", out, sizeof out);
  EXPECT_EQ(std::string(out), expected_ansi("Тащи сюда!"));
  // Shown only: where the code page lacks a character it shows as "?".
  ansi_from_utf8("日本", out, sizeof out);
  EXPECT_EQ(std::string(out), utf8_code_page() ? "日本" : "??");
  ansi_from_utf8("Тащи сюда!", out, 5);
  EXPECT_EQ(strlen(out), utf8_code_page() ? 4u : 0u) << "a short buffer keeps its terminator";

  WCHAR wide[16];
  EXPECT_EQ(wide_from_ansi(expected_ansi("Привет").c_str(), wide, 16), 6);
  EXPECT_EQ(std::wstring(wide), wide_of("Привет"));
  EXPECT_EQ(wide_from_ansi(expected_ansi("Привет").c_str(), wide, 6), -1) << "no room for the terminator";
  if (utf8_code_page()) {
    EXPECT_EQ(wide_from_ansi("\xD0 broken", wide, 16), -1) << "no valid UTF-8";
  }
}

// A folder holding names from several scripts, made through the wide
// functions so that every name exists whatever the code page.
class ListingTest : public CodePageTest {
 protected:
  void SetUp() override {
    workspace_init();
    for (const char* name : {"plain.mod", "Über.mod", "Uber.mod", "Привет.xm", "日本の曲.ym", "🎵.s3m"}) {
      std::wstring path = wide_of(folder.path().c_str()) + L"\\" + wide_of(name);
      HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
      DWORD written = 0;
      WriteFile(file, "x", 1, &written, nullptr);
      CloseHandle(file);
    }
  }

  std::set<std::string> listed() {
    std::set<std::string> names;
    EXPECT_NE(open_directory_listing(0, folder.path().c_str(), "*.*"), 0);
    while (next_directory_entry(0)) {
      int32_t p = workspace_position();
      std::string name = directory_entry_name(0, p);
      workspace_truncate(p);
      if (name != "." && name != "..") names.insert(name);
    }
    close_directory_listing(0);
    return names;
  }

  TemporaryFolder folder;
};

TEST_F(ListingTest, EntriesTheCodePageCannotHoldArePassedOverAndTheRestOpen) {
  std::set<std::string> names = listed();
  std::set<std::string> expected = {"plain.mod", "Uber.mod", expected_ansi("Привет.xm")};
  if (utf8_code_page()) expected.insert({"Über.mod", "日本の曲.ym", "🎵.s3m"});
  EXPECT_EQ(names, expected) << "\"Uber.mod\" once, for its own file";
  // Each name listed is one the file functions find, at its own size.
  for (const std::string& name : names) EXPECT_EQ(file_size((folder / name).c_str()), 1) << name;
}

TEST_F(ListingTest, PathsCountAgainstTheLimitInCharactersNotBytes) {
  // 200 Cyrillic letters in two folders: 200 characters for the platform,
  // 400 bytes in UTF-8; in code page 1251 one byte each. (A Unix file
  // system takes 255 bytes a name, so no one name holds them all.)
  std::string half;
  for (int i = 0; i < 50; i++) half += "Ёж";
  const std::wstring outer = wide_of(folder.path().c_str()) + L"\\" + wide_of(half.c_str());
  const std::wstring wide = outer + L"\\" + wide_of(half.c_str());
  ASSERT_LT(wide.size(), static_cast<size_t>(MAX_PATH));
  ASSERT_TRUE(CreateDirectoryW(outer.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));
  const std::string path = folder / expected_ansi((half + "\\" + half).c_str());
  EXPECT_EQ(file_size(path.c_str()), FILE_IS_FOLDER) << path.size() << " bytes";
  EXPECT_NE(open_directory_listing(1, path.c_str(), "*.*"), 0);
  close_directory_listing(1);
  RemoveDirectoryW(wide.c_str());
  RemoveDirectoryW(outer.c_str());

  // The limit itself: 259 characters pass, 260 do not, however many bytes.
  char buffer[PATH_BUFFER_BYTES];
  std::string at_limit = "C:\\";
  while (ansi_units(at_limit.c_str(), static_cast<int32_t>(at_limit.size())) < static_cast<int32_t>(PATH_LIMIT))
    at_limit += expected_ansi("ё");
  EXPECT_TRUE(copy_path(buffer, at_limit.c_str())) << at_limit.size() << " bytes";
  EXPECT_FALSE(copy_path(buffer, (at_limit + "x").c_str()));
}

TEST_F(ListingTest, TheCurrentFolderReadsWholeOrNotAtAll) {
  const std::wstring wide = wide_of(folder.path().c_str()) + L"\\" + wide_of("日本の曲");
  ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));
  WCHAR previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(wide.c_str()));
  int32_t p = workspace_position();
  const std::string current = current_directory(p);
  workspace_truncate(p);
  SetCurrentDirectoryW(previous);
  RemoveDirectoryW(wide.c_str());
  // Best-fitted it would read "...\????\", a folder that is not this one.
  EXPECT_EQ(current, utf8_code_page() ? folder / "日本の曲\\" : "");
}

}  // namespace
