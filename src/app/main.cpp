// sonlet: a hands-free pointer driven by the voice.

#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "app/device_listing.h"
#include "app/headless_run.h"

int main(int argc, char** argv) {
  CommandLine line;
  std::string error;
  if (!parse_command_line(argc, argv, &line, &error)) {
    std::fprintf(stderr, "sonlet: %s\n\n%s", error.c_str(), usage_text());
    return 2;
  }
  if (line.help) {
    std::fputs(usage_text(), stdout);
    return 0;
  }
  if (line.list_devices) return list_input_devices();
  if (!line.headless) {
    std::fprintf(stderr,
                 "sonlet: the control panel is not part of this version yet; run\n"
                 "  sonlet --headless\n");
    return 2;
  }
  return run_headless(line);
}
