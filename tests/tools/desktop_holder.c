/* Keeps Wine's default desktop open while the tests run. Without a user of the desktop, Wine ends
 * its desktop process between two tests and starts a new one for the next window; two test
 * processes starting it at once can wait ten seconds and then get no window at all.
 * ./run starts it after booting the prefix; stopping the prefix's server ends it. */
#include <windows.h>

int wmain(void) {
  GetDesktopWindow();
  for (;;) Sleep(INFINITE);
}
