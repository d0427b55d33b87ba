/* Sends real input to the X server through the XTEST extension, for the shape demo's drag check:
 *   xfakeinput move X Y | press BUTTON | release BUTTON | sleep MS   (any number of steps in a row)
 * The prototypes of the two XTEST calls are declared here: only the run-time library is installed. */
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

extern int XTestFakeMotionEvent(Display* display, int screen, int x, int y, unsigned long delay);
extern int XTestFakeButtonEvent(Display* display, unsigned int button, Bool is_press, unsigned long delay);

int main(int argc, char** argv) {
  Display* d = XOpenDisplay(NULL);
  if (d == NULL) {
    fprintf(stderr, "xfakeinput: no display\n");
    return 1;
  }
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "move") == 0 && i + 2 < argc) {
      XTestFakeMotionEvent(d, -1, atoi(argv[i + 1]), atoi(argv[i + 2]), 0);
      i += 2;
    } else if ((strcmp(argv[i], "press") == 0 || strcmp(argv[i], "release") == 0) && i + 1 < argc) {
      XTestFakeButtonEvent(d, (unsigned)atoi(argv[i + 1]), strcmp(argv[i], "press") == 0, 0);
      i += 1;
    } else if (strcmp(argv[i], "sleep") == 0 && i + 1 < argc) {
      XFlush(d);
      usleep((useconds_t)atoi(argv[i + 1]) * 1000u);
      i += 1;
    } else {
      fprintf(stderr, "xfakeinput: bad step %s\n", argv[i]);
      return 2;
    }
    XFlush(d);
  }
  XSync(d, False);
  XCloseDisplay(d);
  return 0;
}
