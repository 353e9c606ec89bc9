// Program start of the window device, run as a separate program (x11probe) so
// that its exit status and every byte it writes can be checked: the libraries
// that cannot be loaded, the display that cannot be opened, the chosen size.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/xvfb.hpp"

extern char** environ;

namespace {

struct Outcome {
  int status = -1;  // exit status, or -1 when killed by a signal
  std::string out, err;
};

// Starts the probe with the environment changed as given ("NAME=value" sets,
// "NAME" alone removes) and collects both output streams until it exits.
Outcome RunProbe(const std::vector<std::string>& changes) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
  for (const std::string& change : changes) {
    const std::string name = change.substr(0, change.find('='));
    std::erase_if(env, [&](const std::string& v) { return v.starts_with(name + "="); });
    if (change.find('=') != std::string::npos) env.push_back(change);
  }
  std::vector<char*> envp;
  for (std::string& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);

  int out[2], err[2];
  EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
  EXPECT_EQ(pipe2(err, O_CLOEXEC), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  std::string path = std::string(ZALPOMET_TEST_PROGRAMS) + "/x11probe";
  char* argv[] = {path.data(), nullptr};
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  Outcome run;
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << path;
    close(out[0]);
    close(err[0]);
    return run;
  }
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  int open = 2;
  while (open > 0 && poll(fds, 2, 60000) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// A directory holding a file of the given library name that is no library.
std::string FakeLibraryDir(const std::string& name) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("zalpomet-fake-" + std::to_string(getpid()) + "-" + name);
  std::filesystem::create_directories(dir);
  FILE* f = std::fopen((dir / name).c_str(), "w");
  std::fputs("not a shared object\n", f);
  std::fclose(f);
  return dir.string();
}

// ---- Failures before the terminal is touched: one line, status 1, no stdout --
TEST(X11Startup, MissingOrUnreachableDisplayIsNamed) {
  const std::pair<const char*, const char*> cases[] = {
      {"DISPLAY", "zalpomet: cannot open an X display: DISPLAY is unset\n"},
      {"DISPLAY=", "zalpomet: cannot open an X display: DISPLAY is unset\n"},  // empty: unset
      // A display number far above anything a test server picks.
      {"DISPLAY=:9321", "zalpomet: cannot open X display \":9321\"\n"},
  };
  for (const auto& [change, err] : cases) {
    const Outcome run = RunProbe({change});
    EXPECT_EQ(run.status, 1) << change;
    EXPECT_EQ(run.out, "") << change;
    EXPECT_EQ(run.err, err);
  }
}

// The libraries are loaded before the display is even looked for.
TEST(X11Startup, UnloadableLibrariesStopTheProgram) {
  const std::pair<std::string, std::string> cases[] = {
      {"libGL.so.1", "Could not load OpenGL from libGL.so.1: "},
      {"libGLU.so.1", "Could not load GLu from libGLU.so.1: "},
  };
  for (const auto& [library, start] : cases) {
    const std::string dir = FakeLibraryDir(library);
    const Outcome run = RunProbe({"LD_LIBRARY_PATH=" + dir, "DISPLAY"});
    std::filesystem::remove_all(dir);
    EXPECT_EQ(run.status, 1) << library;
    EXPECT_EQ(run.out, "") << library;
    EXPECT_TRUE(run.err.starts_with(start)) << run.err;
    EXPECT_NE(run.err.find(dir + "/" + library), std::string::npos) << "cause is kept: " << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
  }
}

// ---- The size chosen from the screen, boundaries first -----------------------
TEST(X11Startup, WindowSizeFollowsTheScreen) {
  struct Case {
    int width, height;
    const char* expected;
  };
  const Case cases[] = {
      {640, 480, "no mode (-2)\n"},   // no mode is narrower than the screen
      {641, 401, "640x400\n"},     // just above 640 x 400
      {641, 400, "640x350\n"},     // not taller than 400: the 16-colour class
      {1024, 768, "800x600\n"},    // equal in both: 1024 x 768 does not fit
      {1025, 769, "1024x768\n"},   //
      {1280, 1024, "1024x768\n"},  //
      {1366, 768, "800x600\n"},    // wide but only 768 high
      {1920, 1080, "1280x1024\n"},
  };
  for (const Case& c : cases) {
    xvfb::Server server(c.width, c.height);
    const Outcome run = RunProbe({"DISPLAY=" + server.Display()});
    EXPECT_EQ(run.status, 0) << c.width << "x" << c.height << ": " << run.err;
    EXPECT_EQ(run.out, c.expected) << c.width << "x" << c.height;
  }
}

}  // namespace
