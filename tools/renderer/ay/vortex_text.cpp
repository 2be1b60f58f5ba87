#include "tools/renderer/ay/vortex_text.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

namespace tools::ay::vortex {
namespace {

using std::string_view;

// The file's lines, with or without a carriage return before each line feed.
class Lines {
 public:
  Lines(const uint8_t* data, size_t size) : text_(reinterpret_cast<const char*>(data), size) {
    // The tracker writes no byte-order mark, but an editor may add one.
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") at_ = 3;
  }

  bool next(string_view* line) {
    if (at_ >= text_.size()) return false;
    size_t end = text_.find('\n', at_);
    if (end == string_view::npos) end = text_.size();
    *line = text_.substr(at_, end - at_);
    at_ = end + 1;
    while (!line->empty() && (line->back() == '\r' || line->back() == ' ' || line->back() == '\t')) {
      line->remove_suffix(1);
    }
    ++number_;
    return true;
  }
  int number() const { return number_; }

 private:
  string_view text_;
  size_t at_ = 0;
  int number_ = 0;
};

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Hex digits where the tracker shows leading zeros (or the whole empty
// column) as dots; -1 when a character is neither.
int dotted_hex(string_view digits) {
  int value = 0;
  for (char c : digits) {
    const int digit = c == '.' ? 0 : hex_digit(c);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

bool decimal(string_view text, long min, long max, long* value) {
  if (text.empty() || text.size() > 12) return false;
  size_t at = 0;
  bool negative = false;
  if (text[0] == '-' || text[0] == '+') {
    negative = text[0] == '-';
    at = 1;
  }
  if (at == text.size()) return false;
  long result = 0;
  for (; at < text.size(); ++at) {
    if (text[at] < '0' || text[at] > '9') return false;
    result = result * 10 + (text[at] - '0');
  }
  if (negative) result = -result;
  if (result < min || result > max) return false;
  *value = result;
  return true;
}

// "C-1".."B-8" as 0..95, "---" as no note, "R--" as the rest.
bool parse_note(string_view text, int* note) {
  if (text == "---") {
    *note = kNoNote;
    return true;
  }
  if (text == "R--") {
    *note = kRest;
    return true;
  }
  static constexpr string_view kNames = "C D EF G A B";
  const size_t name = kNames.find(text[0]);
  if (name == string_view::npos || text[0] == ' ') return false;
  int semitone = static_cast<int>(name);
  if (text[1] == '#') {
    if (text[0] == 'E' || text[0] == 'B') return false;
    ++semitone;
  } else if (text[1] != '-') {
    return false;
  }
  if (text[2] < '1' || text[2] > '8') return false;
  *note = semitone + 12 * (text[2] - '1');
  return true;
}

// Samples are numbered 1..9 and on with letters, A = 10 up to V = 31.
int sample_number(char c) {
  if (c >= '1' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'V') return c - 'A' + 10;
  return -1;
}

// "NNN SEOV CDPP": note, sample, envelope shape, ornament, volume, then the
// command with its delay and parameter.
bool parse_cell(string_view text, Cell* cell) {
  if (text.size() != 13 || text[3] != ' ' || text[8] != ' ') return false;
  if (!parse_note(text.substr(0, 3), &cell->note)) return false;
  if (text[4] != '.' && (cell->sample = sample_number(text[4])) < 0) return false;
  if (text[5] != '.' && (cell->envelope = hex_digit(text[5])) < 1) return false;
  if (text[6] != '.' && (cell->ornament = hex_digit(text[6])) < 0) return false;
  if (text[7] != '.' && (cell->volume = hex_digit(text[7])) < 1) return false;
  cell->command = dotted_hex(text.substr(9, 1));
  cell->delay = dotted_hex(text.substr(10, 1));
  cell->parameter = dotted_hex(text.substr(11, 2));
  return cell->command >= 0 && cell->delay >= 0 && cell->parameter >= 0;
}

// "EEEE|NN|cell|cell|cell": the envelope period and the noise, then the
// three channels.
bool parse_row(string_view line, Row* row) {
  string_view fields[5];
  for (int i = 0; i < 5; ++i) {
    const size_t bar = line.find('|');
    if ((bar == string_view::npos) != (i == 4)) return false;
    fields[i] = line.substr(0, bar);
    line = bar == string_view::npos ? string_view() : line.substr(bar + 1);
  }
  if (fields[0].size() != 4 || fields[1].size() != 2) return false;
  row->envelope_period = dotted_hex(fields[0]);
  row->noise = dotted_hex(fields[1]);
  if (row->envelope_period < 0 || row->noise < 0 || row->noise > 31) return false;
  for (int c = 0; c < 3; ++c) {
    if (!parse_cell(fields[2 + c], &row->cells[c])) return false;
  }
  return true;
}

// A signed hex shift with its accumulation mark: "+000_", "-01^"; the
// noise column may carry its sum in brackets, "+01(03)_".
bool parse_shift(string_view text, size_t digits, int limit, int* value, bool* accumulate) {
  if (text.size() < digits + 2 || (text[0] != '+' && text[0] != '-')) return false;
  const char mark = text.back();
  if (mark != '_' && mark != '^') return false;
  *accumulate = mark == '^';
  const int magnitude = dotted_hex(text.substr(1, digits));
  if (magnitude < 0 || magnitude > limit) return false;
  const string_view rest = text.substr(1 + digits, text.size() - digits - 2);
  if (!rest.empty() && (rest.size() != 4 || rest[0] != '(' || rest[3] != ')' || dotted_hex(rest.substr(1, 2)) < 0)) {
    return false;
  }
  *value = text[0] == '-' ? -magnitude : magnitude;
  return true;
}

// "TNE +000_ +00_ F_ L": tone, noise and envelope on (capital) or off
// (small letter or dot), the tone and noise shifts, the amplitude and its
// slide, and L on the line the sample loops back to.
bool parse_sample_line(string_view line, SampleLine* out, bool* loop) {
  string_view tokens[6];
  int count = 0;
  while (!line.empty() && count < 6) {
    const size_t start = line.find_first_not_of(' ');
    if (start == string_view::npos) break;
    line.remove_prefix(start);
    const size_t end = line.find(' ');
    tokens[count++] = line.substr(0, end);
    line = end == string_view::npos ? string_view() : line.substr(end);
  }
  if (count < 4 || count > 5) return false;
  *loop = count == 5;
  if (*loop && tokens[4] != "L") return false;
  const string_view flags = tokens[0];
  if (flags.size() != 3) return false;
  const auto flag = [](char c, char on, bool* value) {
    *value = c == on;
    return c == on || c == on + ('a' - 'A') || c == '.';
  };
  if (!flag(flags[0], 'T', &out->tone) || !flag(flags[1], 'N', &out->noise) || !flag(flags[2], 'E', &out->envelope)) {
    return false;
  }
  if (!parse_shift(tokens[1], 3, 0xFFF, &out->tone_shift, &out->accumulate_tone)) return false;
  if (!parse_shift(tokens[2], 2, 0x1F, &out->noise_shift, &out->accumulate_noise)) return false;
  const string_view amplitude = tokens[3];
  if (amplitude.size() != 2 || (out->amplitude = hex_digit(amplitude[0])) < 0) return false;
  switch (amplitude[1]) {
    case '_': out->amplitude_slide = 0; break;
    case '+': out->amplitude_slide = 1; break;
    case '-': out->amplitude_slide = -1; break;
    default: return false;
  }
  return true;
}

// A comma-separated list of numbers in [low, high] with at most one item
// marked "L" as the loop start, as ornaments and the play order write it.
// `*loop` stays as it was when no item is marked.
bool parse_looped_list(string_view line, long low, long high, size_t max_items, std::vector<int>* items,
                       int* loop, bool* looped) {
  *looped = false;
  while (true) {
    const size_t comma = line.find(',');
    string_view item = line.substr(0, comma);
    if (!item.empty() && (item[0] == 'L' || item[0] == 'l')) {
      if (*looped) return false;
      *looped = true;
      *loop = static_cast<int>(items->size());
      item.remove_prefix(1);
    }
    long value;
    if (!decimal(item, low, high, &value) || items->size() >= max_items) return false;
    items->push_back(static_cast<int>(value));
    if (comma == string_view::npos) return true;
    line.remove_prefix(comma + 1);
  }
}

// "0,12,L7,..." in semitones; an ornament must mark its loop.
bool parse_ornament(string_view line, Ornament* ornament) {
  bool looped = false;
  return parse_looped_list(line, -128, 127, kMaxLines, &ornament->shifts, &ornament->loop, &looped) && looped;
}

bool parse_positions(string_view line, Module* module) {
  bool looped = false;
  return parse_looped_list(line, 0, kPatterns - 1, kMaxPositions, &module->positions, &module->loop_position,
                           &looped);
}

// The [Module] keys this player needs; the editor's own (ShowInfo, Colors,
// Noise display) and any it does not know are left alone.
bool parse_key(string_view key, string_view value, Module* module, bool* has_positions) {
  long number;
  if (key == "Title") {
    module->title = std::string(value);
  } else if (key == "Author") {
    module->author = std::string(value);
  } else if (key == "Version") {
    if (value.size() != 3 || value[0] != '3' || value[1] != '.' || value[2] < '0' || value[2] > '9') return false;
    module->version = value[2] - '0';
  } else if (key == "NoteTable") {
    if (!decimal(value, 0, 3, &number)) return false;
    module->note_table = static_cast<int>(number);
  } else if (key == "Speed") {
    if (!decimal(value, 1, 255, &number)) return false;
    module->speed = static_cast<int>(number);
  } else if (key == "ChipFreq") {
    if (!decimal(value, 1, 100000000, &number)) return false;
    module->chip_hz = static_cast<double>(number);
  } else if (key == "IntFreq") {
    if (!decimal(value, 1, 100000000, &number)) return false;
    module->frame_hz = static_cast<double>(number) / 1000;
  } else if (key == "PlayOrder") {
    if (*has_positions || !parse_positions(value, module)) return false;
    *has_positions = true;
  }
  return true;
}

// "[Name12]" as "Name" and 12; -1 when the name carries no number.
bool section_name(string_view line, string_view* name, long* number) {
  if (line.size() < 3 || line.front() != '[' || line.back() != ']') return false;
  line = line.substr(1, line.size() - 2);
  size_t digits = line.size();
  while (digits > 0 && line[digits - 1] >= '0' && line[digits - 1] <= '9') --digits;
  *name = line.substr(0, digits);
  *number = -1;
  if (digits < line.size() && !decimal(line.substr(digits), 0, 9999, number)) return false;
  return true;
}

class Reader {
 public:
  Reader(const uint8_t* data, size_t size, std::vector<Module>* modules, std::string* error)
      : lines_(data, size), modules_(*modules), error_(*error) {}

  bool read() {
    string_view line;
    while (lines_.next(&line)) {
      if (line.empty()) continue;
      string_view name;
      long number;
      if (!section_name(line, &name, &number)) return fail("a line outside any section");
      if (name == "Module" && number < 0) {
        if (!read_module()) return false;
      } else if (modules_.empty()) {
        return fail("a section before [Module]");
      } else if (!read_section(name, number)) {
        return false;
      }
    }
    if (modules_.empty()) return fail("no [Module] section");
    for (const Module& module : modules_) {
      if (!whole(module)) return false;
    }
    return true;
  }

 private:
  // The tracker saves every sample and ornament, then the patterns: a
  // module that lacks one its order or patterns name was cut or damaged.
  bool whole(const Module& module) {
    for (size_t i = 0; i < module.positions.size(); ++i) {
      if (!module.patterns[module.positions[i]].defined) {
        error_ = "position " + std::to_string(i) + " names pattern " + std::to_string(module.positions[i]) +
                 ", which the module lacks";
        return false;
      }
    }
    for (int number = 0; number < kPatterns; ++number) {
      for (const Row& row : module.patterns[number].rows) {
        for (const Cell& cell : row.cells) {
          if (cell.sample != 0 && !module.samples[cell.sample].defined) {
            error_ = "pattern " + std::to_string(number) + " plays sample " + std::to_string(cell.sample) +
                     ", which the module lacks";
            return false;
          }
          if (cell.ornament > 0 && !module.ornaments[cell.ornament].defined) {
            error_ = "pattern " + std::to_string(number) + " plays ornament " + std::to_string(cell.ornament) +
                     ", which the module lacks";
            return false;
          }
        }
      }
    }
    return true;
  }

  bool fail(const std::string& reason) {
    error_ = "line " + std::to_string(lines_.number()) + ": " + reason;
    return false;
  }

  // The next line of a section, false at its closing empty line; a file
  // that ends first was cut.
  bool content(string_view* line, bool* cut) {
    if (!lines_.next(line)) {
      *cut = true;
      return false;
    }
    return !line->empty();
  }

  bool read_module() {
    if (modules_.size() == kMaxChips) return fail("more than " + std::to_string(kMaxChips) + " modules");
    modules_.emplace_back();
    Module& module = modules_.back();
    bool has_positions = false, cut = false;
    string_view line;
    while (content(&line, &cut)) {
      const size_t equals = line.find('=');
      if (equals == string_view::npos) return fail("a [Module] line without '='");
      if (!parse_key(line.substr(0, equals), line.substr(equals + 1), &module, &has_positions)) {
        return fail("a bad value of " + std::string(line.substr(0, equals)));
      }
    }
    if (cut) return fail("the text ends inside [Module]");
    if (!has_positions) return fail("[Module] has no PlayOrder");
    return true;
  }

  bool read_section(string_view name, long number) {
    Module& module = modules_.back();
    bool cut = false;
    string_view line;
    if (name == "Pattern" || name == "Sample" || name == "Ornament") {
      const long count = name == "Pattern" ? kPatterns : name == "Sample" ? kSamples : 32;
      if (number < 0 || number >= count) return fail("[" + std::string(name) + "] numbered out of range");
    }
    if (name == "Pattern") {
      Pattern& pattern = module.patterns[number];
      if (pattern.defined) return fail("a second [Pattern" + std::to_string(number) + "]");
      pattern.defined = true;
      while (content(&line, &cut)) {
        if (pattern.rows.size() == kMaxRows) return fail("a pattern longer than 256 rows");
        pattern.rows.emplace_back();
        if (!parse_row(line, &pattern.rows.back())) return fail("a malformed pattern row");
      }
      if (!cut && pattern.rows.empty()) return fail("an empty pattern");
    } else if (name == "Sample") {
      Sample& sample = module.samples[number];
      if (sample.defined) return fail("a second [Sample" + std::to_string(number) + "]");
      sample.defined = true;
      bool looped = false;
      while (content(&line, &cut)) {
        if (sample.lines.size() == kMaxLines) return fail("a sample longer than 255 lines");
        bool loop = false;
        sample.lines.emplace_back();
        if (!parse_sample_line(line, &sample.lines.back(), &loop)) return fail("a malformed sample line");
        if (loop) {
          if (looped) return fail("a sample with two loop marks");
          looped = true;
          sample.loop = static_cast<int>(sample.lines.size()) - 1;
        }
      }
      if (!cut && !looped) return fail("a sample without its loop mark");
    } else if (name == "Ornament") {
      // Later trackers keep 32 ornaments; a pattern's one digit reaches 16.
      Ornament spare;
      Ornament& ornament = number < kOrnaments ? module.ornaments[number] : spare;
      if (ornament.defined) return fail("a second [Ornament" + std::to_string(number) + "]");
      ornament.defined = true;
      int count = 0;
      while (content(&line, &cut)) {
        if (++count > 1 || !parse_ornament(line, &ornament)) return fail("a malformed ornament");
      }
      if (!cut && count == 0) return fail("an empty ornament");
    } else if (name == "Info") {
      // The author's notes, in RTF, up to their own closing line.
      while (lines_.next(&line)) {
        if (line == "[/Info]") return true;
      }
      cut = true;
    } else {
      while (content(&line, &cut)) {
      }
    }
    if (cut) return fail("the text ends inside [" + std::string(name) + "]");
    return true;
  }

  Lines lines_;
  std::vector<Module>& modules_;
  std::string& error_;
};

}  // namespace

bool looks_like_text_module(const uint8_t* data, size_t size) {
  Lines lines(data, size);
  string_view line;
  do {
    if (!lines.next(&line)) return false;
  } while (line.empty());
  if (line != "[Module]") return false;
  // The keys up to the section's end; a text module always has its order.
  while (lines.next(&line) && !line.empty() && line.front() != '[') {
    if (line.substr(0, 10) == "PlayOrder=") return true;
  }
  return false;
}

bool read_text_modules(const uint8_t* data, size_t size, std::vector<Module>* modules, std::string* error) {
  modules->clear();
  return Reader(data, size, modules, error).read();
}

}  // namespace tools::ay::vortex
