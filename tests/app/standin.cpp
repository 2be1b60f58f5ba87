// Stand-ins for the renderer and the encoder, built as amiga.exe and
// suxx.exe. Each appends its command line and current folder to calls.log
// in its current folder and writes what the real program would. The
// environment variable QUARVO_STANDIN steers failures:
//   no-wav          the renderer writes no WAV
//   encoder-fails   the encoder writes nothing and exits 1
//   slow            the renderer takes 700 ms, as a real one takes a while
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static std::string mode() {
  const char* value = getenv("QUARVO_STANDIN");
  return value ? value : "";
}

static void log_call() {
  FILE* log = fopen("calls.log", "ab");
  if (!log) return;
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof folder, folder);
  fprintf(log, "%s|%s\n", GetCommandLineA(), folder);
  fclose(log);
}

static std::string read_all(const char* path) {
  std::string text;
  FILE* in = fopen(path, "rb");
  if (!in) return text;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, got);
  fclose(in);
  return text;
}

static int render(const char* source) {
  if (mode() == "no-wav") return 1;
  if (mode() == "slow") Sleep(700);
  std::string name = source;
  name = name.substr(name.find_last_of("\\/") + 1);
  size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.erase(dot);
  FILE* wav = fopen((name + ".wav").c_str(), "wb");
  if (!wav) return 1;
  fprintf(wav, "WAV of %s", source);
  fclose(wav);
  FILE* leftover = fopen("Ay_Emul.ayl", "wb");
  if (leftover) fclose(leftover);
  return 0;
}

static int encode(const char* bitrate, const char* wav, const char* mp3) {
  if (mode() == "encoder-fails") return 1;
  FILE* out = fopen(mp3, "wb");
  if (!out) return 1;
  fprintf(out, "MP3 at %s from %s", bitrate, read_all(wav).c_str());
  fclose(out);
  return 0;
}

int main(int argc, char** argv) {
  log_call();
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  bool renderer = strstr(self, "amiga") != nullptr;
  if (renderer) return argc == 3 && strcmp(argv[1], "/adp") == 0 ? render(argv[2]) : 2;
  if (argc == 7 && strcmp(argv[1], "-b") == 0 && strcmp(argv[3], "-m") == 0) return encode(argv[2], argv[5], argv[6]);
  return 2;
}
