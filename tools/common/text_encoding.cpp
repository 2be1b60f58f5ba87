#include "tools/common/text_encoding.h"

#include <cstdint>

namespace tools {
namespace {

// Decodes one UTF-8 sequence at `text[*at]`; returns the code point or -1
// and advances past what was consumed (one byte on error).
long decode_utf8(std::string_view text, size_t* at) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(*at);
  if (lead < 0x80) {
    ++*at;
    return lead;
  }
  int length = 0;
  long code = 0;
  long minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, minimum = 0x10000;
  } else {
    ++*at;
    return -1;
  }
  if (*at + length > text.size()) {
    ++*at;
    return -1;
  }
  for (int i = 1; i < length; ++i) {
    const uint8_t next = byte(*at + i);
    if ((next & 0xC0) != 0x80) {
      ++*at;
      return -1;
    }
    code = (code << 6) | (next & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    ++*at;
    return -1;
  }
  *at += length;
  return code;
}

void append_utf8(std::string* out, long code) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// The Cyrillic letter that `byte` stands for in code page 1251, or 0.
long cp1251_letter(uint8_t byte) {
  if (byte >= 0xC0) return 0x410 + (byte - 0xC0);
  if (byte == 0xA8) return 0x401;
  if (byte == 0xB8) return 0x451;
  return 0;
}

// The same for code page 866, the DOS one that old tunes from Russia use.
long cp866_letter(uint8_t byte) {
  if (byte >= 0x80 && byte <= 0xAF) return 0x410 + (byte - 0x80);
  if (byte >= 0xE0 && byte <= 0xEF) return 0x440 + (byte - 0xE0);
  if (byte == 0xF0) return 0x401;
  if (byte == 0xF1) return 0x451;
  return 0;
}

bool is_ascii_letter(uint8_t byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

// A Latin-1 text with accents mixes ASCII letters and high bytes inside one
// word ("Caf\xE9"); a Cyrillic one has words made of high bytes alone. Only
// the latter, with at least two letters, is read as Cyrillic.
bool looks_cyrillic(std::string_view raw, long (*letter)(uint8_t)) {
  int high_letters = 0;
  bool word_has_ascii = false;
  bool word_has_high = false;
  for (size_t i = 0; i <= raw.size(); ++i) {
    const uint8_t byte = i < raw.size() ? static_cast<uint8_t>(raw[i]) : ' ';
    if (byte >= 0x80) {
      if (letter(byte) == 0) return false;
      ++high_letters;
      word_has_high = true;
    } else if (is_ascii_letter(byte)) {
      word_has_ascii = true;
    } else {
      if (word_has_ascii && word_has_high) return false;
      word_has_ascii = word_has_high = false;
    }
  }
  return high_letters >= 2;
}

std::string tidy(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte < 0x20 && c != '\t' && c != '\n') c = ' ';
    if (byte == 0x7F) c = ' ';
  }
  const size_t first = text.find_first_not_of(" \t\n");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t\n");
  return text.substr(first, last - first + 1);
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
  size_t at = 0;
  while (at < text.size()) {
    if (decode_utf8(text, &at) < 0) return false;
  }
  return true;
}

std::string text_to_utf8(std::string_view raw) {
  // Tag fields are often padded with NULs to their fixed width.
  const size_t nul = raw.find('\0');
  if (nul != std::string_view::npos) raw = raw.substr(0, nul);
  if (is_valid_utf8(raw)) return tidy(std::string(raw));
  long (*letter)(uint8_t) = nullptr;
  if (looks_cyrillic(raw, cp1251_letter)) {
    letter = cp1251_letter;
  } else if (looks_cyrillic(raw, cp866_letter)) {
    letter = cp866_letter;
  }
  std::string out;
  out.reserve(raw.size() * 2);
  for (char c : raw) {
    const auto byte = static_cast<uint8_t>(c);
    append_utf8(&out, byte >= 0x80 && letter ? letter(byte) : byte);
  }
  return tidy(std::move(out));
}

std::u16string utf8_to_utf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t at = 0;
  while (at < utf8.size()) {
    long code = decode_utf8(utf8, &at);
    if (code < 0) code = 0xFFFD;
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
  }
  return out;
}

std::string utf8_to_latin1(std::string_view utf8) {
  std::string out;
  size_t at = 0;
  while (at < utf8.size()) {
    const long code = decode_utf8(utf8, &at);
    out.push_back(code >= 0 && code < 0x100 ? static_cast<char>(code) : '?');
  }
  return out;
}

std::string utf8_prefix(std::string_view utf8, size_t max_bytes) {
  if (utf8.size() <= max_bytes) return std::string(utf8);
  size_t end = max_bytes;
  while (end > 0 && (static_cast<uint8_t>(utf8[end]) & 0xC0) == 0x80) --end;
  return std::string(utf8.substr(0, end));
}

}  // namespace tools
