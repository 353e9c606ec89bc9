// A private X server for one test: Xvfb on a display number it picks itself
// (-displayfd), so parallel tests never collide. Owns the server process and
// writes DISPLAY only when asked (Export).
#pragma once

#include <sys/types.h>

#include <string>

namespace xvfb {

class Server {
 public:
  // Starts `Xvfb -displayfd <fd> -screen 0 <w>x<h>x24 -nolisten tcp -noreset`
  // and waits until it accepts connections. Throws std::runtime_error when the server
  // cannot be started (a missing Xvfb included): a test fails, never skips.
  Server(int width, int height);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // The display name, ":<n>", for XOpenDisplay or a child's environment.
  const std::string& Display() const { return display_; }
  // Makes this the default display of the calling process (setenv DISPLAY).
  void Export() const;
  // Ends the server at once (SIGKILL), as a crashed or vanished X server.
  void Kill();
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  pid_t owner_ = -1;  // a forked child (death test) must not end its parent's server
  std::string display_;
};

}  // namespace xvfb
