#pragma once

#include <windows.h>

#include <string>

// A fresh folder under the temporary folder, removed with all it holds.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }
  void make_folder(const std::string& relative) const;
  void write_file(const std::string& relative, const std::string& content) const;

 private:
  std::string path_;
};

std::string read_file(const std::string& path);
bool exists(const std::string& path);

// The folder of the running test program, ending in "\".
std::string program_folder();

// Sets the current directory for the lifetime of the object.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& path);
  ~CurrentDirectory();

 private:
  std::string previous_;
};
