// The resources the build puts into the programs, read back from the built
// files: version information in all three, a manifest that asks for no
// elevation, names the supported Windows versions and makes UTF-8 the ANSI
// code page, and in the converter
// common controls 6 and an icon of several sizes as resource 1; and the
// window class of the runtime showing that icon rather than a default one.
// The programs' paths come on the command line: converter, renderer and
// encoder, the last two only when the tools are built.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "runtime/window/event_queue.h"
#include "runtime/window/window.h"

namespace {

std::vector<std::wstring> g_programs;

std::wstring widen(const std::string& text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], n);
  return wide;
}

// A Unix path from CMake reaches the files through Wine's drive Z:.
std::wstring wide_path(const char* path) { return widen(path[0] == '/' ? std::string("Z:") + path : path); }

std::wstring file_name(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// A program's resources, loaded as data: none of its code runs.
class ProgramFile {
 public:
  explicit ProgramFile(const std::wstring& path)
      : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~ProgramFile() {
    if (module_) FreeLibrary(module_);
  }
  HMODULE module() const { return module_; }

  std::string resource_text(LPCWSTR type, LPCWSTR name) const {
    HRSRC found = FindResourceW(module_, name, type);
    if (!found) return "";
    HGLOBAL loaded = LoadResource(module_, found);
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(module_, found)) : "";
  }

 private:
  HMODULE module_;
};

std::wstring version_text(const std::vector<BYTE>& block, const wchar_t* name) {
  std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), query.c_str(), &value, &length) || !value) return L"";
  return static_cast<const wchar_t*>(value);
}

TEST(ProgramResources, EveryProgramCarriesItsVersionAndManifest) {
  ASSERT_FALSE(g_programs.empty()) << "no programs named on the command line";
  const std::wstring version = widen(QUARVO_VERSION);
  for (const std::wstring& path : g_programs) {
    SCOPED_TRACE(std::string(path.begin(), path.end()));
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version information";
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    EXPECT_EQ(version_text(block, L"ProductName"), L"quarvo converter");
    EXPECT_EQ(version_text(block, L"ProductVersion"), version);
    EXPECT_EQ(version_text(block, L"FileVersion"), version);
    EXPECT_EQ(version_text(block, L"OriginalFilename"), file_name(path));
    EXPECT_NE(version_text(block, L"FileDescription").find(L"quarvo"), std::wstring::npos);

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixed_length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixed_length));
    wchar_t numbers[64];
    wsprintfW(numbers, L"%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
              HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(std::wstring(numbers), version) << "the numeric version disagrees with the text";

    ProgramFile program(path);
    ASSERT_NE(program.module(), nullptr);
    std::string manifest = program.resource_text(MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));
    ASSERT_FALSE(manifest.empty()) << "no application manifest";
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find("<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">"
                            "UTF-8</activeCodePage>"),
              std::string::npos)
        << "the ANSI code page is not made UTF-8";
    for (const char* os : {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
      EXPECT_NE(manifest.find(os), std::string::npos) << "supportedOS " << os;
    const bool converter = file_name(path) == L"quarvo.exe";
    EXPECT_EQ(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"") != std::string::npos,
              converter)
        << "common controls 6 belong to the converter alone";
  }
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bit_count;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

TEST(ProgramResources, ConverterIconHoldsEverySizeFrom16To256) {
  ASSERT_FALSE(g_programs.empty());
  ProgramFile converter(g_programs[0]);
  ASSERT_NE(converter.module(), nullptr);
  std::string group = converter.resource_text(MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(1));  // RT_GROUP_ICON
  ASSERT_GE(group.size(), 6u) << "no icon group 1";
  const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
  ASSERT_EQ(group.size(), 6 + count * sizeof(GroupIconEntry));
  std::vector<int> sizes;
  for (WORD i = 0; i < count; i++) {
    GroupIconEntry entry;
    memcpy(&entry, group.data() + 6 + i * sizeof entry, sizeof entry);
    const int size = entry.width ? entry.width : 256;
    sizes.push_back(size);
    EXPECT_EQ(entry.width, entry.height);
    EXPECT_EQ(entry.bit_count, 32) << size << " px";
    std::string image = converter.resource_text(MAKEINTRESOURCEW(3), MAKEINTRESOURCEW(entry.id));  // RT_ICON
    EXPECT_EQ(image.size(), entry.bytes) << "image of " << size << " px";
  }
  EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 64, 256}));
  for (int size : {16, 32, 256}) {
    HANDLE icon = LoadImageW(converter.module(), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0);
    EXPECT_NE(icon, nullptr) << size << " px";
    if (icon) DestroyIcon(static_cast<HICON>(icon));
  }
}

// An icon's colour and mask drawn on white and on black at 32 x 32, which
// tells pictures apart whatever their bitmap formats.
std::vector<DWORD> icon_pixels(HICON icon) {
  std::vector<DWORD> pixels;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 32, -32, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP target = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, target);
  for (int background : {WHITE_BRUSH, BLACK_BRUSH}) {
    RECT all = {0, 0, 32, 32};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(background)));
    DrawIconEx(memory, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    GdiFlush();
    const DWORD* p = static_cast<const DWORD*>(bits);
    pixels.insert(pixels.end(), p, p + 32 * 32);
  }
  SelectObject(memory, old);
  DeleteObject(target);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// This program carries the converter's icon too (built from the same
// resources), so the runtime's window class finds it where it finds the
// converter's: resource 1 of the program's module.
TEST(ProgramResources, WindowClassShowsTheConvertersIcon) {
  ASSERT_FALSE(g_programs.empty());
  event_queue_init();
  window_library_init();
  ASSERT_NE(open_window(0, 0, 0, 168, 156, "icon", WS_CAPTION | WS_SYSMENU | WINDOW_INVISIBLE), 0);
  auto class_icon = reinterpret_cast<HICON>(GetClassLongPtrA(window_handle(0), GCLP_HICON));
  ASSERT_NE(class_icon, nullptr) << "the window class has no icon";

  ProgramFile converter(g_programs[0]);
  auto file_icon = static_cast<HICON>(
      LoadImageW(converter.module(), MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                 GetSystemMetrics(SM_CYICON), 0));
  ASSERT_NE(file_icon, nullptr);
  EXPECT_EQ(icon_pixels(class_icon), icon_pixels(file_icon)) << "the class icon is not the converter's";
  EXPECT_NE(icon_pixels(class_icon), icon_pixels(LoadIconW(nullptr, MAKEINTRESOURCEW(32512))))
      << "the class icon is the default application icon";
  DestroyIcon(file_icon);
  close_window(0);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; i++) g_programs.push_back(wide_path(argv[i]));
  return RUN_ALL_TESTS();
}
