// Starts a program and prints the microseconds from its start until the X server maps its first
// top-level window, then kills it. Both programs dialog_start.py compares are timed by this one
// harness, on a server with no window manager, so the map is the program's own request.
//   ventrel_map_timer PROGRAM ARGS...   (DISPLAY names the server)
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PROGRAM ARGS...\n", argv[0]);
    return 2;
  }
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection) != 0) {
    std::fprintf(stderr, "map_timer: no X server\n");
    return 2;
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_request_check(
      connection, xcb_change_window_attributes_checked(connection, root, XCB_CW_EVENT_MASK, &mask));

  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  if (posix_spawn(&child, argv[1], nullptr, nullptr, argv + 1, environ) != 0) {
    std::fprintf(stderr, "map_timer: cannot start %s\n", argv[1]);
    return 2;
  }
  long long micros = -1;
  while (micros < 0) {
    std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(xcb_wait_for_event(connection),
                                                                     &std::free);
    if (!event) {
      break;
    }
    if ((event->response_type & 0x7F) != XCB_MAP_NOTIFY) {
      continue;
    }
    const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event.get());
    if (map->event == root && map->override_redirect == 0) {
      micros = std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now() - start)
                   .count();
    }
  }
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  xcb_disconnect(connection);
  if (micros < 0) {
    std::fprintf(stderr, "map_timer: %s mapped no window\n", argv[1]);
    return 1;
  }
  std::printf("%lld\n", micros);
  return 0;
}
