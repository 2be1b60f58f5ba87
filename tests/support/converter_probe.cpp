// converter_probe: looks at the running converter from outside, for the
// demo, the end-to-end tests and the benchmarks. Commands run in the order
// given; the first that fails ends the probe with exit code 1.
//
//   converter_probe [--timeout SECONDS] [--title TITLE] [-v] COMMAND...
//     wait-window     wait until the converter's window is there
//     fields          print the three status fields, one a line
//     rect            print the screen rectangles of the window, its
//                     client area and its status bar (left top right bottom)
//     pid             print the converter's process id
//     memory          print its working set and peak working set, in KiB
//     wait-busy       wait until field 1 leaves the idle text
//     wait-done N     wait until field 2 reads N/N and field 1 the idle text;
//                     with -v every new text of field 2 is printed meanwhile;
//                     N "any" takes any count of one or more
//     wait-text F T   wait until field F reads the text T (UTF-8)
//     windows         print the caption of each visible top-level window
//                     of the converter's process, one a line
//     watch SECONDS   sample the busy indicator for SECONDS and print how
//                     often its position changed per second
//     close           post WM_CLOSE and wait for the process to end; prints
//                     its exit code, how long it took and when the window
//                     went
//
// Texts are read from the windows as UTF-16 and printed in UTF-8; the
// probe's manifest makes its own code page UTF-8, so that its arguments
// are UTF-8 too.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/converter_window.h"

namespace {

struct Options {
  double timeout_s = 60;
  const char* title = CONVERTER_TITLE;
  bool verbose = false;
};

LARGE_INTEGER g_start, g_frequency;

double seconds_now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return double(now.QuadPart - g_start.QuadPart) / double(g_frequency.QuadPart);
}

void say(const std::string& line) {
  std::string out = line + "\n";
  fwrite(out.data(), 1, out.size(), stdout);
  fflush(stdout);
}

void fail(const std::string& why) {
  std::string out = "converter_probe: " + why + "\n";
  fwrite(out.data(), 1, out.size(), stderr);
}

std::string format(const char* pattern, ...) {
  char buffer[512];
  va_list args;
  va_start(args, pattern);
  vsnprintf(buffer, sizeof buffer, pattern, args);
  va_end(args);
  return buffer;
}

std::string rect_text(const RECT& r) { return format("%ld %ld %ld %ld", r.left, r.top, r.right, r.bottom); }

bool timed_out(double since, const Options& options) { return seconds_now() - since > options.timeout_s; }

bool show_fields(ConverterWindow& converter) {
  for (int i = 0; i < 3; ++i) {
    std::string text;
    if (!converter.field_text(i, &text)) return false;
    say(format("field %d: ", i) + text);
  }
  return true;
}

bool show_rects(ConverterWindow& converter) {
  RECT window, client, bar;
  if (!converter.window_rect(&window) || !converter.client_rect(&client) || !converter.status_bar_rect(&bar))
    return false;
  say("window " + rect_text(window));
  say("client " + rect_text(client));
  say("statusbar " + rect_text(bar));
  return true;
}

bool wait_busy(ConverterWindow& converter, const Options& options) {
  double since = seconds_now();
  for (;;) {
    std::string text;
    if (!converter.field_text(1, &text)) return false;
    if (text != CONVERTER_IDLE_TEXT) {
      say(format("busy at %.3f s", seconds_now()));
      return true;
    }
    if (timed_out(since, options)) {
      fail("the converter did not get busy");
      return false;
    }
    Sleep(10);
  }
}

// "k/k" with k >= 1.
bool batch_counted_out(const std::string& counter) {
  size_t slash = counter.find('/');
  if (slash == std::string::npos || slash == 0) return false;
  std::string done = counter.substr(0, slash);
  return done == counter.substr(slash + 1) && done.find_first_not_of("0123456789") == std::string::npos &&
         atoi(done.c_str()) >= 1;
}

// A total below 0 takes any finished count.
bool wait_done(ConverterWindow& converter, int total, const Options& options) {
  const std::string finished = format("%d/%d", total, total);
  std::string last_counter;
  double since = seconds_now();
  for (;;) {
    std::string counter, indicator;
    if (!converter.field_text(2, &counter) || !converter.field_text(1, &indicator)) {
      fail("the converter's window went away");
      return false;
    }
    if (options.verbose && counter != last_counter) say("field 2: " + counter);
    last_counter = counter;
    if ((total < 0 ? batch_counted_out(counter) : counter == finished) && indicator == CONVERTER_IDLE_TEXT) {
      say(format("done %s at %.3f s", counter.c_str(), seconds_now()));
      return true;
    }
    if (timed_out(since, options)) {
      fail("still not done: field 2 reads " + counter + ", field 1 " + indicator);
      return false;
    }
    Sleep(10);
  }
}

bool wait_text(ConverterWindow& converter, int field, const std::string& wanted, const Options& options) {
  double since = seconds_now();
  for (;;) {
    std::string text;
    if (!converter.field_text(field, &text)) {
      fail("the converter's window went away");
      return false;
    }
    if (text == wanted) {
      say(format("field %d read ", field) + wanted + format(" at %.3f s", seconds_now()));
      return true;
    }
    if (timed_out(since, options)) {
      fail(format("field %d still reads ", field) + text);
      return false;
    }
    Sleep(2);
  }
}

// The indicator moves every 50 ms or so; sampling every few milliseconds
// sees each move. With a progress control its position is read; where the
// status bar draws the indicator itself (no visual styles, as under Wine)
// the filled part of the field is read from the screen instead, and the
// rate follows from how fast the fill grows: a sweep is 101 values.
bool watch(ConverterWindow& converter, double seconds) {
  int last = -2, changes = 0, samples = 0, shown = 0;
  int drawn = 0, sweeps = 0, last_filled = -1;
  double first_change = -1, last_change = -1;
  double first_time = -1, first_value = 0, last_time = -1, last_value = 0, offset = 0;
  double since = seconds_now();
  while (seconds_now() - since < seconds) {
    int position;
    if (!converter.busy_position(&position)) return false;
    ++samples;
    if (position >= 0) {
      ++shown;
      if (last >= 0 && position != last) {
        ++changes;
        last_change = seconds_now();
        if (first_change < 0) first_change = last_change;
      }
    } else {
      std::string text;
      int filled = 0, width = 0;
      if (converter.field_text(1, &text) && text.empty() && converter.drawn_progress(&filled, &width)) {
        ++drawn;
        if (last_filled >= 0 && filled < last_filled - width / 2) {
          ++sweeps;
          offset += 101;
        }
        last_filled = filled;
        double value = offset + filled * 100.0 / width;
        last_time = seconds_now();
        last_value = value;
        if (first_time < 0) {
          first_time = last_time;
          first_value = value;
        }
      } else {
        last_filled = -1;
      }
    }
    last = position;
    Sleep(position >= 0 ? 1 : 4);
  }
  double span = seconds_now() - since;
  say(format("busy indicator: %d changes in %.3f s, %.2f per second (%d of %d samples showed it)", changes,
             span, changes / span, shown, samples));
  if (changes > 1)
    say(format("busy indicator between its first and last change: %.2f per second",
               (changes - 1) / (last_change - first_change)));
  if (drawn > 1 && last_time > first_time)
    say(format("busy indicator drawn by the status bar: about %.2f updates per second over %.3f s "
               "(%d sweeps, %d of %d samples)",
               (last_value - first_value) / (last_time - first_time), last_time - first_time, sweeps, drawn,
               samples));
  return true;
}

struct ProcessWindows {
  DWORD process_id;
  int count;
};

BOOL CALLBACK show_window_caption(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<ProcessWindows*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->process_id && IsWindowVisible(window)) {
    say("window: " + window_caption(window));
    ++search->count;
  }
  return TRUE;
}

bool show_windows(ConverterWindow& converter) {
  ProcessWindows search = {converter.process_id(), 0};
  EnumWindows(show_window_caption, reinterpret_cast<LPARAM>(&search));
  return search.count > 0;
}

bool close_and_wait(ConverterWindow& converter, const Options& options) {
  double since = seconds_now(), window_gone = -1;
  if (!converter.close()) return false;
  DWORD code = 0;
  for (;;) {
    if (window_gone < 0 && !converter.alive()) window_gone = seconds_now() - since;
    if (converter.wait_exit(5, &code)) break;
    if (timed_out(since, options)) {
      fail("the converter did not end");
      return false;
    }
  }
  double ended = seconds_now() - since;
  if (window_gone < 0) window_gone = ended;
  say(format("exit code %lu after %.3f s (window gone after %.3f s)", code, ended, window_gone));
  return true;
}

int usage() {
  fail("usage: converter_probe [--timeout SECONDS] [--title TITLE] [-v] "
       "wait-window|fields|rect|pid|memory|wait-busy|wait-done N|wait-text F T|windows|watch SECONDS|close ...");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  QueryPerformanceFrequency(&g_frequency);
  QueryPerformanceCounter(&g_start);

  Options options;
  int at = 1;
  for (; at < argc && argv[at][0] == '-'; ++at) {
    if (!strcmp(argv[at], "--timeout") && at + 1 < argc) {
      options.timeout_s = atof(argv[++at]);
    } else if (!strcmp(argv[at], "--title") && at + 1 < argc) {
      options.title = argv[++at];
    } else if (!strcmp(argv[at], "-v")) {
      options.verbose = true;
    } else {
      return usage();
    }
  }
  if (at >= argc) return usage();

  ConverterWindow converter;
  bool found = false;
  for (; at < argc; ++at) {
    std::string command = argv[at];
    if (!found) {
      DWORD wait_ms = command == "wait-window" ? DWORD(options.timeout_s * 1000) : 0;
      found = converter.wait_for(wait_ms, options.title);
      if (!found) {
        fail(std::string("no window titled \"") + options.title + "\"");
        return 1;
      }
    }
    bool ok = true;
    if (command == "wait-window") {
      say(format("found at %.3f s", seconds_now()));
    } else if (command == "fields") {
      ok = show_fields(converter);
    } else if (command == "rect") {
      ok = show_rects(converter);
    } else if (command == "pid") {
      say(format("pid %lu", converter.process_id()));
    } else if (command == "memory") {
      SIZE_T now = 0, peak = 0, private_bytes = 0;
      ok = converter.memory(&now, &peak, &private_bytes);
      if (ok)
        say(format("memory working set %llu KiB, peak %llu KiB", (unsigned long long)(now / 1024),
                   (unsigned long long)(peak / 1024)));
    } else if (command == "wait-busy") {
      ok = wait_busy(converter, options);
    } else if (command == "wait-done" && at + 1 < argc) {
      ++at;
      ok = wait_done(converter, strcmp(argv[at], "any") ? atoi(argv[at]) : -1, options);
    } else if (command == "wait-text" && at + 2 < argc) {
      int field = atoi(argv[at + 1]);
      ok = wait_text(converter, field, argv[at + 2], options);
      at += 2;
    } else if (command == "windows") {
      ok = show_windows(converter);
    } else if (command == "watch" && at + 1 < argc) {
      ok = watch(converter, atof(argv[++at]));
    } else if (command == "close") {
      ok = close_and_wait(converter, options);
    } else {
      return usage();
    }
    if (!ok) {
      fail("'" + command + "' failed");
      return 1;
    }
  }
  return 0;
}
