#include <gtest/gtest.h>

#include <string>

#include "runtime/base/program_runner.h"
#include "tests/runtime/base/base_test_support.h"

namespace {

class ProgramRunnerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool initialised = false;
    if (!initialised) program_runner_init();
    initialised = true;
  }

  std::string child() const { return program_folder() + "child_program.exe"; }
  std::string record_parameters() const { return "record \"" + (folder / "record.txt") + "\""; }
  std::string recorded() const { return read_file(folder / "record.txt"); }

  static std::string read_all(HANDLE pipe) {
    std::string text;
    char buffer[256];
    DWORD got;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
    return text;
  }

  TemporaryFolder folder;
};

TEST_F(ProgramRunnerTest, WaitEndReturnsOneAfterTheProgramEnded) {
  INT_PTR result = run_program(child().c_str(), record_parameters().c_str(), nullptr, RUN_WAIT_END | RUN_HIDDEN);
  EXPECT_EQ(result, 1);
  EXPECT_NE(recorded().find("record"), std::string::npos) << "finished before run_program returned";
}

TEST_F(ProgramRunnerTest, CommandLineQuotesTheProgramOnceAndAddsParametersAfterABlank) {
  run_program(child().c_str(), record_parameters().c_str(), nullptr, RUN_WAIT_END | RUN_HIDDEN);
  std::string quoted = "\"" + child() + "\"";
  EXPECT_EQ(recorded().rfind(quoted + " " + record_parameters() + "\n", 0), 0u) << recorded();
  DeleteFileA((folder / "record.txt").c_str());
  run_program(quoted.c_str(), record_parameters().c_str(), nullptr, RUN_WAIT_END | RUN_HIDDEN);
  EXPECT_EQ(recorded().rfind(quoted + " " + record_parameters() + "\n", 0), 0u) << recorded();
}

TEST_F(ProgramRunnerTest, EmptyParametersAddNoBlank) {
  INT_PTR object = run_program(child().c_str(), "", nullptr, RUN_HIDDEN | RUN_KEEP_OBJECT | RUN_PIPE_STDOUT);
  ASSERT_GT(object, 1);
  wait_program_end(object);
  release_program(object);
  // Without parameters the child exits with 2; it starts all the same.
  INT_PTR plain = run_program(child().c_str(), nullptr, nullptr, RUN_WAIT_END | RUN_HIDDEN);
  EXPECT_EQ(plain, 1);
}

TEST_F(ProgramRunnerTest, WorkingDirectoryGivenOrInherited) {
  folder.make_folder("work");
  run_program(child().c_str(), record_parameters().c_str(), (folder / "work").c_str(), RUN_WAIT_END | RUN_HIDDEN);
  EXPECT_NE(recorded().find("\n" + (folder / "work") + "\n"), std::string::npos) << recorded();
  DeleteFileA((folder / "record.txt").c_str());
  CurrentDirectory here(folder.path());
  run_program(child().c_str(), record_parameters().c_str(), "", RUN_WAIT_END | RUN_HIDDEN);
  EXPECT_NE(recorded().find("\n" + folder.path() + "\n"), std::string::npos) << "empty means none: " << recorded();
}

TEST_F(ProgramRunnerTest, KeptObjectHasNoPipesAndItsWaitEndsWithTheProgram) {
  INT_PTR object = run_program(child().c_str(), "sleep 300", nullptr, RUN_HIDDEN | RUN_KEEP_OBJECT);
  ASSERT_GT(object, 1);
  auto* program = reinterpret_cast<ProgramObject*>(object);
  EXPECT_EQ(program->stdin_write, nullptr);
  EXPECT_EQ(program->stdout_read, nullptr);
  EXPECT_EQ(program->stderr_read, nullptr);
  EXPECT_GT(program->process_id, 0);
  EXPECT_EQ(wait_program(object, 0), 0) << "still sleeping";
  EXPECT_EQ(wait_program_end(object), 1);
  EXPECT_EQ(wait_program(object, 0), 1);
  release_program(object);
  EXPECT_EQ(wait_program(0, 1000), 0);
}

TEST_F(ProgramRunnerTest, PipesCarryStdinStdoutAndStderr) {
  INT_PTR object = run_program(child().c_str(), "echo", nullptr,
                               RUN_HIDDEN | RUN_KEEP_OBJECT | RUN_PIPE_STDIN | RUN_PIPE_STDOUT | RUN_PIPE_STDERR);
  ASSERT_GT(object, 1);
  auto* program = reinterpret_cast<ProgramObject*>(object);
  ASSERT_NE(program->stdin_write, nullptr);
  DWORD put;
  WriteFile(program->stdin_write, "\xD2\xE0\xF9\xE8 hello", 10, &put, nullptr);
  CloseHandle(program->stdin_write);
  program->stdin_write = nullptr;
  EXPECT_EQ(read_all(program->stdout_read), "\xD2\xE0\xF9\xE8 hello");
  EXPECT_EQ(read_all(program->stderr_read), "err");
  EXPECT_EQ(wait_program_end(object), 1);
  // Our ends are not inherited by later children.
  DWORD flags = 1;
  GetHandleInformation(program->stdout_read, &flags);
  EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
  release_program(object);
}

TEST_F(ProgramRunnerTest, StdinFromAnotherProgramsOutput) {
  INT_PTR sender = run_program(child().c_str(), "echo", nullptr,
                               RUN_HIDDEN | RUN_KEEP_OBJECT | RUN_PIPE_STDIN | RUN_PIPE_STDOUT);
  ASSERT_GT(sender, 1);
  auto* first = reinterpret_cast<ProgramObject*>(sender);
  INT_PTR receiver = run_program(child().c_str(), "echo", nullptr,
                                 RUN_HIDDEN | RUN_KEEP_OBJECT | RUN_PIPE_STDOUT | RUN_STDIN_FROM_PROGRAM, first);
  ASSERT_GT(receiver, 1);
  DWORD put;
  WriteFile(first->stdin_write, "chained", 7, &put, nullptr);
  CloseHandle(first->stdin_write);
  first->stdin_write = nullptr;
  wait_program_end(sender);
  CloseHandle(first->stdout_read);  // the receiver holds its own copy
  first->stdout_read = nullptr;
  auto* second = reinterpret_cast<ProgramObject*>(receiver);
  EXPECT_EQ(read_all(second->stdout_read), "chained");
  EXPECT_EQ(wait_program_end(receiver), 1);
  release_program(sender);
  release_program(receiver);
}

TEST_F(ProgramRunnerTest, MissingProgramStartsNothing) {
  EXPECT_EQ(run_program((folder / "no_such_program.exe").c_str(), "x", nullptr, RUN_HIDDEN | RUN_WAIT_END), 0);
  EXPECT_EQ(run_program((folder / "no_such_program.exe").c_str(), "x", nullptr,
                        RUN_HIDDEN | RUN_KEEP_OBJECT | RUN_PIPE_STDOUT),
            0);
}

// A document with an extension of its own, opened through the shell by the
// recording child program. (Wine reads associations from the classes root
// only, not from the user's classes.)
class DocumentFallbackTest : public ProgramRunnerTest {
 protected:
  void SetUp() override {
    std::string command = "\"" + child() + "\" record \"" + (folder / "record.txt") + "\" \"%1\"";
    HKEY key;
    RegCreateKeyExA(HKEY_CLASSES_ROOT, ".quarvotest", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("QuarvoTestDocument"), 19);
    RegCloseKey(key);
    RegCreateKeyExA(HKEY_CLASSES_ROOT, "QuarvoTestDocument\\shell\\open\\command", 0, nullptr, 0,
                    KEY_WRITE, nullptr, &key, nullptr);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
    RegCloseKey(key);
    folder.make_folder("docs");
    folder.write_file("docs\\song.quarvotest", "document");
  }
  void TearDown() override {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "QuarvoTestDocument");
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ".quarvotest");
  }
};

TEST_F(DocumentFallbackTest, DocumentOpensThroughTheShellInItsOwnFolder) {
  std::string document = folder / "docs\\song.quarvotest";
  INT_PTR object = run_program(document.c_str(), "", nullptr, RUN_HIDDEN | RUN_KEEP_OBJECT);
  ASSERT_GT(object, 1);
  auto* program = reinterpret_cast<ProgramObject*>(object);
  EXPECT_EQ(program->process_id, -1);
  ASSERT_NE(program->process, nullptr);
  EXPECT_EQ(wait_program(object, 20000), 1);
  std::string record = recorded();
  EXPECT_NE(record.find("song.quarvotest"), std::string::npos) << record;
  EXPECT_NE(record.find("\n" + (folder / "docs") + "\n"), std::string::npos)
      << "the document's folder is the working directory: " << record;
  release_program(object);
}

TEST_F(DocumentFallbackTest, NoFallbackWhenOutputIsRedirected) {
  std::string document = folder / "docs\\song.quarvotest";
  EXPECT_EQ(run_program(document.c_str(), "", nullptr, RUN_HIDDEN | RUN_KEEP_OBJECT | RUN_PIPE_STDOUT), 0);
  Sleep(200);
  EXPECT_FALSE(exists(folder / "record.txt"));
}

}  // namespace
