#include "tests/runtime/base/base_test_support.h"

#include <shellapi.h>

#include <fstream>
#include <sstream>

TemporaryFolder::TemporaryFolder() {
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  static int counter = 0;
  path_ = std::string(base) + "quarvo_test_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
  CreateDirectoryA(path_.c_str(), nullptr);
}

TemporaryFolder::~TemporaryFolder() {
  std::string from = path_ + '\0';
  SHFILEOPSTRUCTA operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NO_UI;
  SHFileOperationA(&operation);
}

void TemporaryFolder::make_folder(const std::string& relative) const {
  CreateDirectoryA((*this / relative).c_str(), nullptr);
}

void TemporaryFolder::write_file(const std::string& relative, const std::string& content) const {
  std::ofstream out(*this / relative, std::ios::binary);
  out << content;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string program_folder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

CurrentDirectory::CurrentDirectory(const std::string& path) {
  char previous[MAX_PATH];
  GetCurrentDirectoryA(sizeof previous, previous);
  previous_ = previous;
  SetCurrentDirectoryA(path.c_str());
}

CurrentDirectory::~CurrentDirectory() { SetCurrentDirectoryA(previous_.c_str()); }
