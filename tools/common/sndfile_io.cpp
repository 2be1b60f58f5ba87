#include "tools/common/sndfile_io.h"

namespace tools {
namespace {

FILE* as_file(void* user) { return static_cast<FILE*>(user); }

sf_count_t file_length(void* user) {
  FILE* file = as_file(user);
  const int64_t here = tell_file(file);
  if (seek_file(file, 0, SEEK_END) != 0) return -1;
  const int64_t end = tell_file(file);
  seek_file(file, here, SEEK_SET);
  return end;
}

sf_count_t file_seek(sf_count_t offset, int whence, void* user) {
  FILE* file = as_file(user);
  if (seek_file(file, offset, whence) != 0) return -1;
  return tell_file(file);
}

sf_count_t file_read(void* buffer, sf_count_t count, void* user) {
  return static_cast<sf_count_t>(std::fread(buffer, 1, static_cast<size_t>(count), as_file(user)));
}

sf_count_t file_write(const void* buffer, sf_count_t count, void* user) {
  return static_cast<sf_count_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), as_file(user)));
}

sf_count_t file_tell(void* user) { return tell_file(as_file(user)); }

SF_VIRTUAL_IO g_file_io = {file_length, file_seek, file_read, file_write, file_tell};

}  // namespace

SF_VIRTUAL_IO* file_virtual_io() { return &g_file_io; }

int seek_file(FILE* file, int64_t offset, int whence) {
#ifdef _WIN32
  return _fseeki64(file, offset, whence);
#else
  return fseeko(file, static_cast<off_t>(offset), whence);
#endif
}

int64_t tell_file(FILE* file) {
#ifdef _WIN32
  return _ftelli64(file);
#else
  return static_cast<int64_t>(ftello(file));
#endif
}

}  // namespace tools
