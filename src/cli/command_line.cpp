#include "cli/command_line.h"

#include <cstring>

namespace sonlet {

namespace {

// The options that take a value, with what the value must be.
struct ValueOption {
  const char* name;
  const char* needs;
};

constexpr ValueOption kValueOptions[] = {
    {"--input", "a recording file"},
    {"--device", "a device name (sonlet --list-devices shows them)"},
    {"--profile", "a settings file"},
    {"--output", "auto, uinput, x11, log or none"},
    {"--trace", "a file, or - for standard output"},
};

const ValueOption* FindValueOption(const char* name) {
  for (const ValueOption& option : kValueOptions) {
    if (std::strcmp(name, option.name) == 0) return &option;
  }
  return nullptr;
}

// Whether the word is one of the program's options rather than a value.
bool IsOption(const char* word) {
  for (const char* flag : {"-h", "--help", "--headless", "--realtime", "--list-devices"}) {
    if (std::strcmp(word, flag) == 0) return true;
  }
  return FindValueOption(word) != nullptr;
}

}  // namespace

const char* UsageText() {
  return "Usage: sonlet [--device NAME | --input FILE [--realtime]]\n"
         "              [--output auto|uinput|x11|log|none]\n"
         "       sonlet --headless [--device NAME | --input FILE [--realtime]] [--profile FILE]\n"
         "              [--output auto|uinput|x11|log|none] [--trace FILE|-]\n"
         "       sonlet --list-devices\n"
         "       sonlet --help\n"
         "\n"
         "Sonlet moves the mouse pointer with the voice: a held \"a\" moves it right, \"i\"\n"
         "left, \"e\" up, \"o\" or \"u\" down, and a short sound such as the word \"click\"\n"
         "clicks.\n"
         "\n"
         "Without --headless the control panel opens (it needs a display); it reads and\n"
         "saves user.txt in the current directory.\n"
         "\n"
         "Options:\n"
         "  --headless        run without the control panel; listening is on from the start;\n"
         "                    it listens to the microphone until Ctrl-C (or TERM, HUP or\n"
         "                    QUIT), then releases what it holds and prints a summary on\n"
         "                    standard error\n"
         "  --device NAME     the microphone to listen to: a name or description as\n"
         "                    --list-devices prints it, or part of one (default: the system's\n"
         "                    default input). Sonlet records at the device's own rate and\n"
         "                    converts to 8000 Hz mono itself. If it stops (unplugged, sound\n"
         "                    server restarted), Sonlet says so once and opens it again when\n"
         "                    it is back\n"
         "  --list-devices    print the sound input devices, the default marked with *: the\n"
         "                    sound server's (PulseAudio or PipeWire) when one answers,\n"
         "                    otherwise PortAudio's\n"
         "  --input FILE      listen to a recording instead of the microphone (any format\n"
         "                    libsndfile reads; converted to 8000 Hz mono), as fast as the\n"
         "                    computer allows; at the end a summary goes to standard error\n"
         "  --realtime        play the recording at its own pace, as a microphone would\n"
         "  --profile FILE    the settings file (default: user.txt in the current directory):\n"
         "                    six numbers, one per line: threshold (0..90), shortest click and\n"
         "                    longest click in 18.75 ms passes (1..50), height (0..100, cm\n"
         "                    above 90), speed (0..100, 0 fastest), male (1) or female (0)\n"
         "  --output auto     move the real pointer (the default): through uinput when\n"
         "                    /dev/uinput can be opened for writing, else through the X server\n"
         "                    of DISPLAY; standard error says which. With neither, it says how\n"
         "                    to grant access to /dev/uinput and ends with status 2\n"
         "  --output uinput   through the virtual device \"Sonlet\" (/dev/uinput): works on\n"
         "                    X11, on every Wayland desktop and on the console\n"
         "  --output x11      through the X server of DISPLAY (XTEST): X11 windows only\n"
         "  --output log      print each event on standard output instead: the pass number, a\n"
         "                    tab, and \"move DX DY\", \"click\" or \"enter\"\n"
         "  --output none     send the events nowhere\n"
         "  --trace FILE      write one CSV row per pass (level, pitch, formants, medians,\n"
         "                    run length, event) to FILE, or to standard output with \"-\":\n"
         "                    it shows why a vowel did or did not steer\n"
         "  -h, --help        show this help and exit\n"
         "\n"
         "INT, TERM, HUP and QUIT stop Sonlet at any moment, as Ctrl-C does; the panel then\n"
         "closes as its close box does, saving the settings.\n"
         "\n"
         "Exit status: 0 when the recording was processed or listening was stopped; 1 when\n"
         "the settings file cannot be opened; 2 when the arguments, the recording or the trace\n"
         "file are wrong, when the pointer events have nowhere to go, or when standard output\n"
         "(carrying the events or the trace) cannot be written; 3 when, without a sound\n"
         "server, PortAudio stopped answering and would not let go of the microphone (the\n"
         "panel saves its settings first; start Sonlet again); 255 when the microphone cannot be opened (after a line on standard output,\n"
         "\"Error al abrir el dispositivo de audio A/D\" and PortAudio's error number, and a\n"
         "one-second wait) or no sound input device is found.\n";
}

bool ParseCommandLine(int argc, const char* const argv[], CommandLine* line, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
      line->help = true;
      return true;
    }
    if (std::strcmp(arg, "--headless") == 0) {
      line->headless = true;
      continue;
    }
    if (std::strcmp(arg, "--realtime") == 0) {
      line->realtime = true;
      continue;
    }
    if (std::strcmp(arg, "--list-devices") == 0) {
      line->list_devices = true;
      continue;
    }
    const ValueOption* option = FindValueOption(arg);
    if (option == nullptr) {
      *error = std::string("unknown option '") + arg + "'";
      return false;
    }
    // A value left out must not swallow the next option: "--input --output log" lacks a file.
    if (i + 1 >= argc || IsOption(argv[i + 1]) || argv[i + 1][0] == '\0') {
      *error = std::string(arg) + " needs " + option->needs;
      if (i + 1 < argc && argv[i + 1][0] != '\0') {
        *error += std::string(", and '") + argv[i + 1] + "' is an option";
      }
      return false;
    }
    const std::string value = argv[++i];
    if (std::strcmp(arg, "--input") == 0) {
      line->input = value;
    } else if (std::strcmp(arg, "--device") == 0) {
      line->device = value;
    } else if (std::strcmp(arg, "--profile") == 0) {
      line->profile = value;
    } else if (std::strcmp(arg, "--trace") == 0) {
      line->trace = value;
    } else {
      if (value != "auto" && value != "uinput" && value != "x11" && value != "log" &&
          value != "none") {
        *error = "--output takes auto, uinput, x11, log or none, not '" + value + "'";
        return false;
      }
      line->output = value;
    }
  }
  if (line->realtime && line->input.empty()) {
    *error = "--realtime paces a recording; give one with --input FILE";
    return false;
  }
  if (!line->input.empty() && !line->device.empty()) {
    *error = "--input and --device both say what to listen to; give one of them";
    return false;
  }
  if (line->trace == "-" && line->output == "log") {
    *error =
        "--trace - and --output log would both write to standard output; give the trace a "
        "file, or use --output none";
    return false;
  }
  return true;
}

}  // namespace sonlet
