// Stands in for a browser in the installer tests: shows a top-level window
// of class "IEFrame", says "shown" and waits until it is ended.
#include <cstdio>
#include <unistd.h>

#include "platform/ui/topwindows.h"

int main() {
  if (!ui::ShowTopWindow("IEFrame", "Zolmet - Windows Internet Explorer")) return 1;
  std::printf("shown\n");
  std::fflush(stdout);
  for (;;) pause();
}
