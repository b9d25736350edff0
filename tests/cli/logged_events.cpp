// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/logged_events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/run_program.h"

namespace sonlet {

std::vector<std::string> HeadlessOnRecording(const std::string& recording,
                                             const std::string& output) {
  const std::string data = SONLET_DATA_DIR;
  std::vector<std::string> args = {"--headless", "--input", data + "/" + recording, "--profile",
                                   data + "/user.txt"};
  if (!output.empty()) args.insert(args.end(), {"--output", output});
  return args;
}

LoggedEvents EventsLoggedFor(const std::string& recording) {
  return EventsLogged(HeadlessOnRecording(recording, ""));
}

LoggedEvents EventsLogged(std::vector<std::string> args) {
  args.insert(args.end(), {"--output", "log"});
  const ProgramRun run = RunProgram(SONLET_BINARY, args);
  EXPECT_EQ(run.status, 0) << run.err;
  LoggedEvents logged;
  int held = 0;
  const auto button = [&](const std::string& change, const std::string& which) {
    logged.buttons.push_back(change + " " + which);
    held += change == "press" ? 1 : -1;
  };
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line.substr(line.find('\t') + 1));
    std::string kind;
    fields >> kind;
    int dx = 0;
    int dy = 0;
    std::string which;
    if (kind == "move" && fields >> dx >> dy) {
      logged.dx += dx;
      logged.dy += dy;
      logged.held_dx += held > 0 ? dx : 0;
      logged.held_dy += held > 0 ? dy : 0;
    } else if (kind == "scroll" && fields >> dx >> dy) {
      logged.scroll_dx += dx;
      logged.scroll_dy += dy;
    } else if (kind == "press" || kind == "release") {
      fields >> which;
      button(kind, which);
    } else if (kind == "click" || kind == "double") {
      // The engine's own click and the double click name no button: theirs is the left.
      if (!(fields >> which)) which = "left";
      logged.clicks += kind == "click" && which == "left" ? 1 : 0;
      for (int i = 0; i < (kind == "double" ? 2 : 1); ++i) {
        button("press", which);
        button("release", which);
      }
    }
  }
  return logged;
}

namespace {

void PutLe32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i) & 0xff);
}

uint32_t Le32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

}  // namespace

void WriteRepeatedVowel(const std::string& path, int times) {
  WriteJoinedRecordings(path, std::vector<std::string>(times, "vowel_a_male.wav"));
}

void WriteJoinedRecordings(const std::string& path, const std::vector<std::string>& pieces) {
  std::string header;
  std::string sounds;
  for (const std::string& piece : pieces) {
    std::ifstream in(std::string(SONLET_DATA_DIR) + "/" + piece, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Everything up to the sound stays as it is; the sound is the last chunk.
    size_t at = 12;
    while (at + 8 <= bytes.size() && bytes.compare(at, 4, "data") != 0) {
      at += 8 + Le32(bytes, at + 4) + (Le32(bytes, at + 4) & 1);
    }
    ASSERT_LT(at + 8, bytes.size()) << "no sound in the bundled recording " << piece;
    if (header.empty()) header = bytes.substr(0, at + 8);
    sounds += bytes.substr(at + 8, Le32(bytes, at + 4));
  }
  const uint32_t sound_bytes = static_cast<uint32_t>(sounds.size());
  PutLe32(header, header.size() - 4, sound_bytes);
  PutLe32(header, 4, static_cast<uint32_t>(header.size()) - 8 + sound_bytes);
  std::ofstream out(path, std::ios::binary);
  out << header << sounds;
  ASSERT_TRUE(out.good()) << path;
}

std::vector<ActionRun> ActionRuns() {
  const std::string room = "room_noise.wav";
  const std::string click = "click.wav";
  return {
      {"right", {room, room, click, room}, {"press right", "release right"}},
      {"double",
       {room, room, click, room},
       {"press left", "release left", "press left", "release left"}},
      {"drag",
       {room, room, click, room, "vowel_a_male.wav", room, click, room},
       {"press left", "release left"},
       200},
      {"scroll", {room, room, "vowel_e_male.wav", room}, {}, 0, 5},
  };
}

LoggedEvents LoggedAction(const ActionRun& run, const std::string& folder,
                          std::vector<std::string>* args) {
  const std::string recording = folder + "/" + run.action + ".wav";
  WriteJoinedRecordings(recording, run.sounds);
  *args = HeadlessOnRecording("click.wav", "");
  (*args)[2] = recording;
  args->insert(args->end(), {"--action", run.action});
  const LoggedEvents logged = EventsLogged(*args);
  EXPECT_EQ(logged.buttons, run.buttons) << run.action;
  EXPECT_GE(logged.held_dx, run.least_held_dx) << run.action;
  EXPECT_GE(std::abs(logged.scroll_dx) + std::abs(logged.scroll_dy), run.least_notches)
      << run.action;
  return logged;
}

long EventsNotDelivered(const std::string& err) {
  const size_t end = err.find(" events never reached it");
  if (end == std::string::npos) return 0;
  const size_t start = err.rfind(' ', end - 1);
  return std::stol(err.substr(start + 1, end - start - 1));
}

void ExpectEndedAsLostOutput(int status, const std::string& err, const std::string& trace_path) {
  EXPECT_EQ(status, 4) << err;
  EXPECT_NE(err.find("the pointer output was lost"), std::string::npos) << err;
  const size_t summary = err.find(" passes; moves right ");
  ASSERT_NE(summary, std::string::npos) << err;
  const size_t line = err.rfind('\n', summary);
  const long passes = std::stol(err.substr((line == std::string::npos ? 0 : line + 1) + 8));
  if (trace_path.empty()) return;
  std::ifstream in(trace_path);
  const std::string trace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.back(), '\n') << "the trace ends in the middle of a row";
  std::istringstream rows(trace);
  std::string header;
  std::getline(rows, header);
  const auto fields = [](const std::string& row) {
    return std::count(row.begin(), row.end(), ',');
  };
  long counted = 0;
  long moves = 0;
  for (std::string row; std::getline(rows, row); ++counted) {
    EXPECT_EQ(fields(row), fields(header)) << "row " << counted << ": " << row;
    moves += row.find(",move ") != std::string::npos ? 1 : 0;
  }
  EXPECT_EQ(counted, passes) << "the summary and the trace disagree";
  // The held vowel only steers right. The summary's moves are those the desktop's queue took
  // (the motion that found the output gone may be refused before it, and is then only in the
  // trace); the line after counts those the desktop never took, among them that last one.
  const long summary_moves = std::stol(err.substr(summary + 21));
  EXPECT_LE(summary_moves, moves) << err;
  EXPECT_GE(EventsNotDelivered(err), 1) << err;
  EXPECT_LE(summary_moves - EventsNotDelivered(err), moves - 1) << err;
}

}  // namespace sonlet
