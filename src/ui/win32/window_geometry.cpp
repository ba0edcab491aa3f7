#include "ui/win32/window_geometry.h"

namespace ventrel::win32 {
namespace {

// One axis: centred, then pushed back inside [low, high).
LONG CentreOnAxis(LONG low, LONG high, int size) {
  LONG position = (low + high) / 2 - size / 2;
  if (position + size > high) {
    position = high - size;
  }
  if (position < low) {
    position = low;
  }
  return position;
}

}  // namespace

POINT CentredPosition(const RECT& work_area, int width, int height) {
  return {CentreOnAxis(work_area.left, work_area.right, width),
          CentreOnAxis(work_area.top, work_area.bottom, height)};
}

POINT MinimisedIconPosition(const RECT& client, int icon_width, int icon_height) {
  // Half the room left over, rounded up. Where the icon is the larger, the room is negative and the
  // division truncates toward zero (-7 / 2 is -3), so the icon keeps that position too.
  return {(client.right - client.left - icon_width + 1) / 2,
          (client.bottom - client.top - icon_height + 1) / 2};
}

}  // namespace ventrel::win32
