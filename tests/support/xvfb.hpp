// A private X server for one test: Xvfb on a display number it picks itself
// (-displayfd), so parallel tests never collide. Owns the server process and
// writes DISPLAY only when asked (Export).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct _XDisplay;

namespace xvfb {

class Server {
 public:
  // Starts `Xvfb -displayfd <fd> -screen 0 <w>x<h>x<depth> -nolisten tcp` and
  // waits until it accepts connections. Like a player's bare server, it
  // resets whenever its last client leaves. Throws std::runtime_error when
  // the server cannot be started (a missing Xvfb included): a test fails,
  // never skips.
  Server(int width, int height, int depth = 24);
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

// A connection of a test's own (to watch windows or read pixels back). A
// bare server refuses connections while it resets after its last client
// left, which happens between two runs of the program, so the test tries
// again for a while; null only when the server never answers.
::_XDisplay* Connect(const std::string& display);

// The windows at the top of the server (children of the root window), as
// another client sees them.
std::vector<unsigned long> TopWindows(::_XDisplay* display);

// Another client of the server that connects and leaves again and again, as
// a screenshot tool or a status bar would: the moments when it is gone are
// the moments a bare server resets if the game holds no connection.
class ComingAndGoing {
 public:
  explicit ComingAndGoing(const std::string& display);
  ~ComingAndGoing();
  ComingAndGoing(const ComingAndGoing&) = delete;
  ComingAndGoing& operator=(const ComingAndGoing&) = delete;

 private:
  pid_t pid_ = -1;
};

}  // namespace xvfb
