#include <windows.h>
#include <shlwapi.h>

#include "runtime/gadgets/status_bar.h"

static int32_t g_cached_version = 0;
static bool g_visual_styles_active = false;
static HMODULE g_uxtheme = nullptr;  // kept for the life of the process
static int32_t g_version_override = -1;
static int32_t g_themed_override = -1;

typedef HRESULT(CALLBACK* DllGetVersionProc)(DLLVERSIONINFO*);
typedef BOOL(WINAPI* IsAppThemedProc)();

void status_bar_override_probe(int32_t version, int32_t themed) {
  g_version_override = version;
  g_themed_override = themed;
  g_cached_version = 0;
}

bool status_bar_visual_styles_active() { return g_visual_styles_active; }

static void probe_version() {
  if (g_version_override >= 0) {
    g_cached_version = g_version_override;
    return;
  }
  HMODULE comctl = LoadLibraryA("COMCTL32.DLL");
  if (!comctl) return;
  auto get_version = reinterpret_cast<DllGetVersionProc>(
      reinterpret_cast<void*>(GetProcAddress(comctl, "DllGetVersion")));
  if (get_version) {
    DLLVERSIONINFO info = {};
    info.cbSize = 20;
    if (get_version(&info) >= 0)
      g_cached_version = static_cast<int32_t>((info.dwMajorVersion << 16) | (info.dwMinorVersion & 0xFFFF));
  } else {
    // A library without the export predates version 6: no visual styles.
    g_cached_version = 1;
  }
  FreeLibrary(comctl);
}

int32_t common_controls_version() {
  if (g_cached_version != 0) return g_cached_version;
  probe_version();
  int themed = -1;
  if (g_themed_override >= 0) {
    themed = g_themed_override;
  } else {
    if (!g_uxtheme) g_uxtheme = LoadLibraryA("uxtheme.dll");
    if (g_uxtheme) {
      auto is_app_themed = reinterpret_cast<IsAppThemedProc>(
          reinterpret_cast<void*>(GetProcAddress(g_uxtheme, "IsAppThemed")));
      if (is_app_themed) themed = is_app_themed() ? 1 : 0;
    }
  }
  // Without an answer the flag keeps what it had.
  if (themed >= 0) g_visual_styles_active = themed && g_cached_version >= 0x60000;
  return g_cached_version;
}
