#include "app/convert_file.h"

#include "app/converter_state.h"
#include "runtime/base/files.h"
#include "runtime/base/path_parts.h"
#include "runtime/base/program_runner.h"
#include "runtime/base/string_functions.h"
#include "runtime/base/string_workspace.h"

static const char RENDERER[] = "amiga.exe";
static const char ENCODER[] = "suxx.exe";
static const char RENDERER_LEFTOVER[] = "Ay_Emul.ayl";

// Runs a program hidden and waits for its end; the kept object is released
// afterwards so that a long batch does not pile up process handles.
static void run_hidden_and_wait(const char* program, int32_t parameters_at) {
  INT_PTR object = run_program(program, workspace_pointer(parameters_at), nullptr, RUN_HIDDEN | RUN_KEEP_OBJECT);
  wait_program_end(object);
  release_program(object);
}

int32_t convert_file(const char* path) {
  RuntimeString source = nullptr, extension = nullptr, base = nullptr, wav = nullptr;
  string_init(&source, path);
  int32_t s = workspace_position();
  if (file_size(source) == FILE_MISSING) goto done;

  path_extension(source, s);
  string_assign(&extension, s);
  // Without a dot in the last component the whole source is the base.
  if (text_length(extension) == 0 && !(text_length(source) && source[text_length(source) - 1] == '.')) {
    string_set(&base, source);
  } else {
    left_chars(source, text_length(source) - text_length(extension) - 1, s);
    string_assign(&base, s);
  }

  current_directory(s);
  {
    int32_t name_at = workspace_position();
    workspace_append(base);
    workspace_append(".wav");
    int32_t built_end = workspace_position();
    workspace_reserve(1, built_end);  // keep the built text's terminator
    path_file_part(workspace_pointer(name_at), name_at);
  }
  string_assign(&wav, s);

  // A WAV source in the current directory is its own WAV path: rendering
  // over it and deleting it afterwards would destroy the user's file.
  if (lstrcmpiA(wav, source) == 0) goto done;
  // A WAV of the same name left by an earlier run would otherwise be
  // encoded as this file's music when the renderer fails; one that cannot
  // be removed makes the file fail instead.
  remove_file(wav);
  if (file_size(wav) != FILE_MISSING) goto done;

  workspace_append("/adp \"");
  workspace_append(source);
  workspace_append("\"");
  workspace_reserve(1, workspace_position());
  run_hidden_and_wait(RENDERER, s);
  workspace_truncate(s);

  if (file_size(wav) == FILE_MISSING) goto done;

  workspace_append("-b ");
  int_to_text(converter_state.bitrate_kbit.load(std::memory_order_relaxed), workspace_position());
  workspace_append(" -m m \"");
  workspace_append(wav);
  workspace_append("\" \"");
  workspace_append(base);
  workspace_append(".mp3\"");
  workspace_reserve(1, workspace_position());
  run_hidden_and_wait(ENCODER, s);
  workspace_truncate(s);

  remove_file(wav);
  remove_file(RENDERER_LEFTOVER);

done:
  workspace_truncate(s);
  string_free(source);
  string_free(extension);
  string_free(base);
  string_free(wav);
  return 0;
}
