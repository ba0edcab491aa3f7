// Whether Qt can open a display here, found out without starting Qt. Qt ends the whole process when
// no display platform starts, and has no way to ask first, so the displays the environment names
// are tried the way Qt's platforms would connect to them.
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

  // True when one of the platforms Qt would try, in Qt's own order, has its plugin installed and a
  // display that answers: the X server completes its connection handshake, the Wayland compositor
  // answers a round trip. Platforms with nothing cheaper to try than Qt itself (offscreen, vnc...)
  // count when their plugin is there. A display that has not answered within `timeout` counts as
  // none; the tries run on a thread of their own, which is then left to its fate.
  bool Answered(std::chrono::milliseconds timeout);

 private:
  struct Tries;
  std::shared_ptr<Tries> tries_;
};

}  // namespace ventrel
