// The alpha-blending entry of "msimg32.dll", loaded at start-up when the
// system has it. Callers test `alpha_blend_entry` before calling through it.
#pragma once

#include <windows.h>

typedef BOOL(WINAPI* AlphaBlendProc)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

extern HMODULE alpha_blend_module;      // null when the library did not load
extern AlphaBlendProc alpha_blend_entry; // null when it is missing

void alpha_blend_init();
void alpha_blend_release();

// alpha_blend_init from another library name; for systems and tests where
// the usual one is absent.
void alpha_blend_init_from(const char* library_name);
