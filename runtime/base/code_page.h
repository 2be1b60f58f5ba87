// Which code page the runtime's texts are in, and the conversions where the
// platform hands over UTF-16 or the programs' own texts are written.
//
// Every runtime string is text in the process's ANSI code page, and the
// runtime reaches the platform through its ANSI ("A") functions, which read
// and write that code page: paths, folder listings, command lines, window
// and status texts alike. The programs' manifests make that code page UTF-8
// (activeCodePage), which Windows 10 1903 and later and Wine honour: there
// every name and every text is carried whole, whatever the user's language.
// An older Windows keeps the language's code page (1252, 1251, 932...):
// a name with a character outside it cannot be a runtime string at all and
// is passed over like a file that is not there, never converted to a
// look-alike ("Über" best-fitted to "Uber", or "?" where nothing looks
// alike), which could name another file. The converter's own texts are
// UTF-8 in its sources and go through ansi_from_utf8 once at start.
#pragma once

#include <windows.h>

#include <cstdint>

// Writes `length` UTF-16 units of `wide` in the ANSI code page at `out`
// (at most `room` bytes, no terminator; a null `out` only measures).
// Returns the bytes, or -1 when the code page cannot hold the text exactly
// (a character outside it, or a lone surrogate where it is UTF-8) or
// `room` is too small. Nothing is ever best-fitted.
int32_t ansi_from_wide(const WCHAR* wide, int32_t length, char* out, int32_t room);

// Writes the terminated text `ansi` as UTF-16 at `out` (room for `room`
// units, the terminator included); the units written without the
// terminator, or -1 when the text is no valid text of the code page or
// does not fit.
int32_t wide_from_ansi(const char* ansi, WCHAR* out, int32_t room);

// The UTF-16 units of `length` bytes of `ansi`: what the platform counts
// against its path limit.
int32_t ansi_units(const char* ansi, int32_t length);

// Writes the terminated UTF-8 text `utf8` in the ANSI code page at `out`
// (`room` bytes, the terminator included), for texts that are only shown:
// where the code page lacks a character it shows as "?". The same bytes
// where the code page is UTF-8.
void ansi_from_utf8(const char* utf8, char* out, int32_t room);
