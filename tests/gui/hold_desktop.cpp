// pv_gui_desktop: keeps a GUI lane's Wine desktop open (scripts/gui-lanes.sh). Wine ends the
// desktop's process a moment after the last program on it; the next program would start it again
// and hand it its own output files, which it would then hold open after that program ended.
#include <windows.h>

int main() {
  GetDesktopWindow();
  Sleep(INFINITE);
}
