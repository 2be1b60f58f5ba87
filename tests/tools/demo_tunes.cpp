// make_demo_tunes: writes the tunes that the demo drops on the converter
// besides the real ones that the set-up fetches: a module for the module
// player, an AdLib capture for AdPlug and a YM register dump for the AY
// engine, each with a title for the MP3's tag. They go into the current
// folder as the converter's users keep music: a folder with a sub-folder.
//   make_demo_tunes      (no arguments; prints the files it wrote)
#include <cstdio>
#include <string>

#include "tests/tools/ay/made_ay_files.h"
#include "tests/tools/made_files.h"

#ifdef _WIN32
#include <direct.h>
static void make_folder(const char* name) { _mkdir(name); }
static const char SEPARATOR[] = "\\";
#else
#include <sys/stat.h>
static void make_folder(const char* name) { mkdir(name, 0755); }
static const char SEPARATOR[] = "/";
#endif

static bool write(const std::string& path, const tools_test::Bytes& bytes) {
  if (!tools_test::write_file(path, bytes)) {
    fprintf(stderr, "make_demo_tunes: cannot write %s\n", path.c_str());
    return false;
  }
  printf("%s\n", path.c_str());
  return true;
}

int main() {
  const std::string folder = "made tunes", chip = folder + SEPARATOR + "chip";
  make_folder(folder.c_str());
  make_folder(chip.c_str());

  tools_test::YmFile ym;
  ym.title = "made scale";
  ym.author = "quarvo";
  ym.comment = "an octave up and down, one note every fifth of a second";
  // 12 seconds at 50 frames a second.
  std::vector<tools_test::RegisterFrame> frames = tools_test::scale_frames(600, 10);

  bool ok = write(folder + SEPARATOR + "made tune.mod", tools_test::make_mod(false, "made tune")) &&
            write(chip + SEPARATOR + "made scale.ym", tools_test::make_ym(ym, frames)) &&
            write(chip + SEPARATOR + "made tone.dro", tools_test::make_dro(4000, 1000, "made tone", "quarvo"));
  return ok ? 0 : 1;
}
