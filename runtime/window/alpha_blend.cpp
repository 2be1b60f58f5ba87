#include "runtime/window/alpha_blend.h"

HMODULE alpha_blend_module = nullptr;
AlphaBlendProc alpha_blend_entry = nullptr;

void alpha_blend_init_from(const char* library_name) {
  alpha_blend_module = LoadLibraryA(library_name);
  alpha_blend_entry = nullptr;
  if (alpha_blend_module)
    alpha_blend_entry = reinterpret_cast<AlphaBlendProc>(
        reinterpret_cast<void*>(GetProcAddress(alpha_blend_module, "AlphaBlend")));
}

void alpha_blend_init() { alpha_blend_init_from("msimg32.dll"); }

void alpha_blend_release() {
  if (alpha_blend_module) FreeLibrary(alpha_blend_module);
  alpha_blend_module = nullptr;
  alpha_blend_entry = nullptr;
}
