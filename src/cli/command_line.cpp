// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_line.h"

#include <cstring>

#include "actions/pointer_action.h"

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
    {"--output", "auto, uinput, x11, wayland, log or none"},
    {"--trace", "a file, or - for standard output"},
    {"--calibration", "a calibration file (made with --make-calibration or --calibrate)"},
    {"--make-calibration", "the calibration file to write"},
    {"--from", "a vowel and its recording, as a=FILE"},
    {"--calibrate", "the calibration file to write"},
    {"--action", "left, right, middle, double, drag or scroll"},
};

const ValueOption* FindValueOption(const char* name) {
  for (const ValueOption& option : kValueOptions) {
    if (std::strcmp(name, option.name) == 0) return &option;
  }
  return nullptr;
}

// The requests to the Sonlet already running in this session.
bool IsControlOption(const char* word) {
  for (const char* flag : {"--status", "--start", "--stop", "--toggle", "--quit"}) {
    if (std::strcmp(word, flag) == 0) return true;
  }
  return false;
}

// Whether the word is one of the program's options rather than a value.
bool IsOption(const char* word) {
  if (IsControlOption(word)) return true;
  for (const char* flag :
       {"-h", "--help", "--version", "--headless", "--realtime", "--list-devices",
        "--pause-gesture", "--speech-guard", "--agile", "--suggest-threshold"}) {
    if (std::strcmp(word, flag) == 0) return true;
  }
  return FindValueOption(word) != nullptr;
}

// Whether the calibration options go together with the rest; if not, why in *error.
bool CalibrationOptionsFit(const CommandLine& line, std::string* error) {
  bool any_take = false;
  for (const std::string& take : line.takes) any_take = any_take || !take.empty();
  if (!line.make_calibration.empty()) {
    for (char letter : {'a', 'e', 'i', 'o'}) {
      if (line.takes[VowelIndex(letter)].empty()) {
        *error =
            std::string("--make-calibration needs a take of each of a, e, i and o: add --from ") +
            letter + "=FILE";
        return false;
      }
    }
    if (line.headless || !line.input.empty() || !line.device.empty() || !line.trace.empty() ||
        !line.calibration.empty() || !line.calibrate.empty() || line.realtime) {
      *error =
          "--make-calibration reads only its --from takes and --profile; give the other options "
          "to a separate run";
      return false;
    }
    return true;
  }
  if (any_take) {
    *error = "--from gives a take to --make-calibration, which is missing";
    return false;
  }
  if (!line.calibrate.empty()) {
    if (!line.headless) {
      *error =
          "--calibrate guides a calibration on the terminal: add --headless (the panel has "
          "\"Calibración…\" in its menu)";
      return false;
    }
    if (!line.calibration.empty() || !line.trace.empty()) {
      *error = "--calibrate makes a calibration; it takes neither --calibration nor --trace";
      return false;
    }
  }
  return true;
}

}  // namespace

const char* UsageText() {
  return "Usage: sonlet [--device NAME | --input FILE [--realtime]]\n"
         "              [--output auto|uinput|x11|wayland|log|none]\n"
         "              [--calibration FILE]\n"
         "       sonlet --headless [--device NAME | --input FILE [--realtime]] [--profile FILE]\n"
         "              [--output auto|uinput|x11|wayland|log|none]\n"
         "              [--trace FILE|-]\n"
         "              [--calibration FILE] [--pause-gesture] [--speech-guard]\n"
         "              [--agile] [--action NAME]\n"
         "       sonlet --make-calibration OUT --from a=FILE --from e=FILE --from i=FILE\n"
         "              --from o=FILE [--from u=FILE] [--profile FILE]\n"
         "       sonlet --headless --calibrate OUT [--device NAME | --input FILE]\n"
         "              [--profile FILE]\n"
         "       sonlet --headless --suggest-threshold [--device NAME | --input FILE]\n"
         "              [--profile FILE]\n"
         "       sonlet --status | --start | --stop | --toggle | --quit\n"
         "       sonlet --action left|right|middle|double|drag|scroll\n"
         "       sonlet --list-devices\n"
         "       sonlet --help\n"
         "       sonlet --version\n"
         "\n"
         "Sonlet moves the mouse pointer with the voice: a held \"a\" moves it right, \"i\"\n"
         "left, \"e\" up, \"o\" or \"u\" down, and a short sound such as the word \"click\"\n"
         "clicks.\n"
         "\n"
         "Without --headless the control panel opens (it needs a display); it reads and\n"
         "saves user.txt in the current directory. One Sonlet runs per session: a second\n"
         "panel brings the first to the front, and a second --headless that would move the\n"
         "pointer is refused.\n"
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
         "  --output auto     move the real pointer (the default): in a Wayland session through\n"
         "                    the compositor when it offers a way of its own, then through\n"
         "                    uinput when /dev/uinput can be opened for writing, then (Wayland)\n"
         "                    through the desktop portal, else through the X server of DISPLAY;\n"
         "                    standard error says which and why. With none, it says how to\n"
         "                    grant access to /dev/uinput and ends with status 2\n"
         "  --output uinput   through the virtual device \"Sonlet\" (/dev/uinput): works on\n"
         "                    X11, on every Wayland desktop and on the console\n"
         "  --output x11      through the X server of DISPLAY (XTEST): X11 windows only\n"
         "  --output wayland  through the Wayland desktop, with no group input: the wlroots\n"
         "                    virtual pointer and keyboard (sway, labwc, Hyprland, river,\n"
         "                    Wayfire), else GNOME's remote-desktop service, else KWin's fake\n"
         "                    input (KDE Plasma, with Sonlet's desktop file), else the desktop\n"
         "                    portal, whose dialog asks consent at every start\n"
         "  --output log      print each event on standard output instead, one a line: the\n"
         "                    pass number, a tab, and \"move DX DY\" (right and down\n"
         "                    positive), \"click\" (a left click), \"enter\" (ENTER),\n"
         "                    \"press BUTTON\" and \"release BUTTON\" (left, right or middle\n"
         "                    held and let go), \"click right\" or \"click middle\", \"double\"\n"
         "                    (a left double click) or \"scroll DX DY\" (wheel notches, down\n"
         "                    and right positive)\n"
         "  --output none     send the events nowhere\n"
         "  --trace FILE      write one CSV row per pass (level, pitch, formants, medians,\n"
         "                    run length, event) to FILE, or to standard output with \"-\":\n"
         "                    it shows why a vowel did or did not steer\n"
         "  --calibration FILE\n"
         "                    steer with this voice's own vowels, as a calibration file holds\n"
         "                    them, instead of the fixed vowel regions: each steering pass\n"
         "                    takes the nearest calibrated vowel once it has held for ten\n"
         "                    passes, and a sound far from all of them moves nothing; \"e\"\n"
         "                    then needs no louder voice. The trace gains a last column,\n"
         "                    vowel: on every loud, voiced pass the calibrated vowel it is\n"
         "                    nearest (a, e, i, o, u), or empty\n"
         "  --pause-gesture   with --headless: a hiss (\"sss\" or \"shh\") of about a second,\n"
         "                    loud and unvoiced, then silence, stops listening, so that you\n"
         "                    can talk to someone; another starts it again. While stopped,\n"
         "                    Sonlet listens only for the hiss. With --output log the lines\n"
         "                    \"pause\" and \"resume\" show it; otherwise standard error says it\n"
         "  --speech-guard    with --headless: talk near the microphone (your own sentences,\n"
         "                    another person, a radio) neither clicks nor steers. A click\n"
         "                    needs a short sound standing alone, with quiet before it, and\n"
         "                    comes about a quarter of a second after it ends; a vowel\n"
         "                    steers once it is held steady. The trace gains a last column,\n"
         "                    guard: on the passes where the guard decides, click, wait,\n"
         "                    speech, held or tail\n"
         "  --agile           with --headless: quicker, finer steering. A held vowel moves\n"
         "                    the pointer from the moment it can no longer be a click, a\n"
         "                    pixel a pass at first and faster the longer it is held, up to\n"
         "                    a screen in a second or two; a louder voice adds speed but\n"
         "                    never turns the pointer back. With --calibration a sound\n"
         "                    between two vowels (\"a\" and \"e\") moves between their\n"
         "                    directions\n"
         "  --action NAME     with --headless: what a click does in this run, from its start:\n"
         "                    left (the click as the settings give it: the left button or\n"
         "                    ENTER), right or middle (that button's click), double (a left\n"
         "                    double click), drag (a click presses the left button, steering\n"
         "                    drags, the next click lets go) or scroll (steering scrolls: \"e\"\n"
         "                    up, \"o\" or \"u\" down, \"a\" right, \"i\" left, louder faster; a\n"
         "                    click stops scrolling, steering then moves the pointer, and the\n"
         "                    next click clicks and scrolls again). It stays in force until\n"
         "                    sonlet --action chooses another\n"
         "  --make-calibration OUT\n"
         "                    make a calibration file OUT from one recorded take of each\n"
         "                    vowel, given with --from VOWEL=FILE (a, e, i and o; u if you\n"
         "                    like, it steers down with o), each a vowel held for one or two\n"
         "                    seconds by the user's own voice. The settings file gives the\n"
         "                    threshold (without one, a voice above 30 dB counts). Prints how\n"
         "                    many passes each take gave and how far apart the vowels lie;\n"
         "                    refuses, writing nothing, a take with less than about 0.5 s of\n"
         "                    loud voiced sound or vowels too close together to steer\n"
         "                    reliably\n"
         "  --calibrate OUT   with --headless: make the calibration file OUT by voice, one\n"
         "                    vowel at a time, with prompts (in Spanish) and a level meter on\n"
         "                    the terminal; a take that is too short is asked for again\n"
         "  --suggest-threshold\n"
         "                    with --headless: choose the threshold for this microphone and\n"
         "                    room, and write it into the settings file (the other five\n"
         "                    settings stay as they are; it is written, not only printed, so\n"
         "                    that nobody has to type it in). It listens to the room for\n"
         "                    about three seconds (say nothing), then asks (in Spanish) for a\n"
         "                    short \"aaa\" at your normal voice, and sets the threshold 16 dB\n"
         "                    under that voice, so that \"e\" gets the 10 dB it needs to move\n"
         "                    up, or, in a loud room, 6 dB over the room's loud moments. It\n"
         "                    refuses, changing nothing, when the voice is less than 6 dB\n"
         "                    over that. With --input FILE it reads both from one recording:\n"
         "                    at least 3.5 s of the room, then the voice\n"
         "  --status          say whether the Sonlet running in this session (the panel or\n"
         "                    --headless) listens: prints \"listening\" or \"stopped\"\n"
         "  --start, --stop   start or stop its listening, as the panel's \"Iniciar\" and\n"
         "                    \"Detener\" do, and print the status then\n"
         "  --toggle          start it when stopped, stop it when listening; prints the status\n"
         "  --quit            end it as its close box does (headless: as Ctrl-C does), saving\n"
         "                    the settings; returns once it has ended\n"
         "  --action NAME     without --headless: choose what the next click of the Sonlet\n"
         "                    running in this session does (names as above); after that one\n"
         "                    click it is left again. The same name twice in a row keeps it\n"
         "                    until another is chosen, as the panel's action palette does.\n"
         "                    Prints the action in force\n"
         "  -h, --help        show this help and exit\n"
         "  --version         print the program's name and version and exit\n"
         "\n"
         "INT, TERM, HUP and QUIT stop Sonlet at any moment, as Ctrl-C does; the panel then\n"
         "closes as its close box does, saving the settings.\n"
         "\n"
         "Exit status: 0 when the recording was processed, listening was stopped or the\n"
         "calibration or threshold written; 1 when the settings file cannot be opened (or,\n"
         "for --suggest-threshold, written); 2 when the arguments, a recording, the trace or\n"
         "calibration file are wrong, when a calibration or a threshold is refused or not\n"
         "finished, when the pointer events have nowhere to go, or when\n"
         "standard output (carrying the events or the trace) cannot be written; 3 when,\n"
         "without a sound server, PortAudio stopped answering and would not let go of the\n"
         "microphone (the panel saves its settings first; start Sonlet again); 4 when the\n"
         "pointer output was lost during the run: the X server, the Wayland compositor or the\n"
         "desktop's remote-desktop session went away (the summary and the trace are written\n"
         "whole, the panel saves its settings first; start Sonlet again once the desktop is\n"
         "back); 255 when the microphone cannot be opened (after a line on standard output,\n"
         "\"Error al abrir el dispositivo de audio A/D\" and PortAudio's error number, and a\n"
         "one-second wait) or no sound input device is found. --status, --start, --stop,\n"
         "--toggle, --quit and --action reach the running Sonlet over the session bus\n"
         "(D-Bus): 0 when done, 1 when none runs in this session, 2 when there is no session\n"
         "bus or it did not answer.\n";
}

const char* VersionText() { return "sonlet " SONLET_VERSION "\n"; }

bool ParseCommandLine(int argc, const char* const argv[], CommandLine* line, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
      line->help = true;
      return true;
    }
    if (std::strcmp(arg, "--version") == 0) {
      line->version = true;
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
    if (std::strcmp(arg, "--pause-gesture") == 0) {
      line->pause_gesture = true;
      continue;
    }
    if (std::strcmp(arg, "--suggest-threshold") == 0) {
      line->suggest_threshold = true;
      continue;
    }
    if (std::strcmp(arg, "--speech-guard") == 0) {
      line->speech_guard = true;
      continue;
    }
    if (std::strcmp(arg, "--agile") == 0) {
      line->agile = true;
      continue;
    }
    if (IsControlOption(arg)) {
      if (!line->control.empty()) {
        *error = "--" + line->control + " and " + arg + " ask for two things; give one of them";
        return false;
      }
      line->control = arg + 2;
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
      line->profile_given = true;
    } else if (std::strcmp(arg, "--trace") == 0) {
      line->trace = value;
    } else if (std::strcmp(arg, "--calibration") == 0) {
      line->calibration = value;
    } else if (std::strcmp(arg, "--make-calibration") == 0) {
      line->make_calibration = value;
    } else if (std::strcmp(arg, "--calibrate") == 0) {
      line->calibrate = value;
    } else if (std::strcmp(arg, "--action") == 0) {
      if (!ActionNamed(value)) {
        *error = "--action takes left, right, middle, double, drag or scroll, not '" + value + "'";
        return false;
      }
      line->action = value;
    } else if (std::strcmp(arg, "--from") == 0) {
      const int vowel = value.size() > 2 && value[1] == '=' ? VowelIndex(value[0]) : -1;
      if (vowel < 0) {
        *error = "--from takes a vowel, '=' and a recording, as a=take-a.wav, not '" + value + "'";
        return false;
      }
      if (!line->takes[vowel].empty()) {
        *error = std::string("--from gives the vowel ") + value[0] + " twice";
        return false;
      }
      line->takes[vowel] = value.substr(2);
    } else {
      if (value != "auto" && value != "uinput" && value != "x11" && value != "wayland" &&
          value != "log" && value != "none") {
        *error = "--output takes auto, uinput, x11, wayland, log or none, not '" + value + "'";
        return false;
      }
      line->output = value;
    }
  }
  if (!line->action.empty() && !line->headless) {
    if (!line->control.empty()) {
      *error = "--" + line->control + " and --action ask for two things; give one of them";
      return false;
    }
    if (argc > 3) {
      *error =
          "--action without --headless chooses for the Sonlet running in this session; it takes "
          "no other option (with --headless it chooses for this run's start)";
      return false;
    }
    line->control = "action";
  } else if (!line->control.empty() && argc > 2) {
    *error = "--" + line->control + " asks the Sonlet running in this session; it takes no other " +
             "option";
    return false;
  }
  if (!CalibrationOptionsFit(*line, error)) return false;
  if (line->suggest_threshold && !line->headless) {
    *error =
        "--suggest-threshold chooses the threshold on the terminal: add --headless (the panel has "
        "it in its menu, Opciones › Ajustar umbral)";
    return false;
  }
  if (line->suggest_threshold &&
      (!line->calibrate.empty() || !line->calibration.empty() || !line->trace.empty() ||
       line->pause_gesture || line->speech_guard || line->agile || line->output != "auto")) {
    *error =
        "--suggest-threshold only listens, to the room and then to your voice; it takes --input, "
        "--device and --profile, not --calibrate, --calibration, --trace, --pause-gesture, "
        "--speech-guard, --agile or --output";
    return false;
  }
  if (line->pause_gesture && (!line->make_calibration.empty() || !line->calibrate.empty())) {
    *error = "--pause-gesture stops steering for a while; a calibration listens to every vowel";
    return false;
  }
  if (line->pause_gesture && !line->headless) {
    *error =
        "--pause-gesture is for --headless; the panel has it in its menu, "
        "Opciones › Pausa con «sss»";
    return false;
  }
  if (line->speech_guard && (!line->make_calibration.empty() || !line->calibrate.empty())) {
    *error = "--speech-guard judges clicks and steering; a calibration only listens to vowels";
    return false;
  }
  if (line->speech_guard && !line->headless) {
    *error =
        "--speech-guard is for --headless; the panel has it in its menu, "
        "Opciones › Ignorar el habla";
    return false;
  }
  if (line->agile && (!line->make_calibration.empty() || !line->calibrate.empty())) {
    *error = "--agile is a way of steering; a calibration does not steer";
    return false;
  }
  if (line->agile && !line->headless) {
    *error = "--agile is for --headless; the panel has it in its menu, Opciones › Movimiento ágil";
    return false;
  }
  if (!line->action.empty() &&
      (line->suggest_threshold || !line->calibrate.empty() || !line->make_calibration.empty())) {
    *error =
        "--action chooses what a click does; a calibration or --suggest-threshold clicks nothing";
    return false;
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
