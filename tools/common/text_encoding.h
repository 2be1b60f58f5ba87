// Text conversions for tags: the libraries hand over raw bytes in whatever
// code page the tune's author used; WAV INFO and ID3 want Unicode.
#pragma once

#include <string>
#include <string_view>

namespace tools {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool is_valid_utf8(std::string_view text);

// Returns raw tag bytes as UTF-8: valid UTF-8 unchanged; text whose every
// non-ASCII byte is a Cyrillic letter in whole words of code page 1251, or
// else of code page 866, decoded from that page; anything else read as
// Latin-1, which keeps every byte recoverable. Control characters other than
// tab and line feed become blanks; leading and trailing blanks go.
std::string text_to_utf8(std::string_view raw);

// UTF-8 to UTF-16 code units; an ill-formed sequence becomes U+FFFD.
std::u16string utf8_to_utf16(std::string_view utf8);

// UTF-8 to Latin-1 for fields that hold nothing else (ID3v1); a character
// outside Latin-1 becomes '?'.
std::string utf8_to_latin1(std::string_view utf8);

// The longest prefix of `utf8` of at most `max_bytes` bytes that does not
// split a character.
std::string utf8_prefix(std::string_view utf8, size_t max_bytes);

}  // namespace tools
