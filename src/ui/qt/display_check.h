// Whether Qt can open a display here, found out without starting Qt. Qt ends the whole process when
// no display platform starts, and has no way to ask first, so the displays the environment names
// are tried the way Qt's platforms would connect to them.
#pragma once

#include <chrono>

namespace ventrel {

// True when one of the platforms Qt would try, in Qt's own order, has its plugin installed and a
// display that answers: the X server completes its connection handshake, the Wayland compositor
// answers a round trip. Platforms with nothing cheaper to try than Qt itself (offscreen, vnc...)
// count when their plugin is there. The tries run in a child process: a display that has not
// answered within `timeout` counts as none, and a crash in them costs nothing but the answer.
bool DisplayAnswers(std::chrono::milliseconds timeout);

}  // namespace ventrel
