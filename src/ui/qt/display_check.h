// Whether a display Qt would use answers here, found out without starting Qt. Qt waits for ever on
// a display that takes the connection and never answers, so the displays the environment names
// are tried first, the way Qt's platforms would connect to them, with a time limit. What Qt can
// report itself (a plugin missing or broken) it does, and the start-up guard takes it from there.
#pragma once

#include <chrono>
#include <memory>

namespace ventrel {

class DisplayCheck {
 public:
  DisplayCheck() = default;
  DisplayCheck(const DisplayCheck&) = delete;
  DisplayCheck& operator=(const DisplayCheck&) = delete;
  // Closes the connection the tries made. Kept until then: an X server whose last client leaves
  // resets itself, and a connection Qt made meanwhile could fail.
  ~DisplayCheck();

  // True when one of the platforms Qt would try, in Qt's own order, has a display that answers:
  // the X server completes its connection handshake, the Wayland compositor answers a round trip.
  // Platforms with nothing cheaper to try than Qt itself (offscreen, vnc...) count. A display that
  // has not answered within `timeout` counts as none. Neither xcb nor a socket read can be told to
  // give up, so the tries run on a thread of their own, which is then left to its fate.
  bool Answered(std::chrono::milliseconds timeout);

 private:
  struct Tries;
  std::shared_ptr<Tries> tries_;
};

}  // namespace ventrel
