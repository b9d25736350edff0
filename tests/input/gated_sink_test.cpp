// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/gated_sink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sonlet {

namespace {

struct Recorder : InputSink {
  std::vector<std::string> events;
  void BeginPass(int64_t pass) override { events.push_back("pass " + std::to_string(pass)); }
  int Move(int dx, int dy) override {
    return Note("move " + std::to_string(dx) + " " + std::to_string(dy));
  }
  int LeftDown() override { return Note("left down"); }
  int LeftUp() override { return Note("left up"); }
  int EnterDown() override { return Note("enter down"); }
  int EnterUp() override { return Note("enter up"); }
  int Note(std::string event) {
    events.push_back(std::move(event));
    return 5;  // a refusal, so that what went through is told apart from what was dropped (0)
  }
};

// Steps of a session: "open", "close", or an event for the gate.
int Apply(GatedSink& gate, const std::string& step) {
  if (step == "open") gate.SetOpen(true);
  if (step == "close") gate.SetOpen(false);
  if (step == "pass") gate.BeginPass(7);
  if (step == "move") return gate.Move(3, -2);
  if (step == "left down") return gate.LeftDown();
  if (step == "left up") return gate.LeftUp();
  if (step == "enter down") return gate.EnterDown();
  if (step == "enter up") return gate.EnterUp();
  return 0;
}

TEST(GatedSink, PassesEventsOnlyWhileOpenAndNeverLeavesAnythingHeld) {
  struct Row {
    const char* what;
    std::vector<std::string> steps;
    std::vector<std::string> reached;
  };
  const std::vector<Row> table = {
      {"open at first",
       {"pass", "move", "left down", "left up", "enter down", "enter up"},
       {"pass 7", "move 3 -2", "left down", "left up", "enter down", "enter up"}},
      {"closed: only the pass numbers",
       {"close", "pass", "move", "left down", "left up", "enter down", "enter up"},
       {"pass 7"}},
      {"closed between a press and its release",
       {"left down", "close", "left up", "move", "enter down", "open", "enter up"},
       {"left down", "left up", "enter up"}},
      {"a release goes once, then the gate holds again",
       {"enter down", "close", "enter up", "enter up", "left up"},
       {"enter down", "enter up"}},
      {"opened again", {"close", "move", "open", "move"}, {"move 3 -2"}},
  };
  for (const Row& row : table) {
    Recorder inner;
    GatedSink gate(inner);
    for (const std::string& step : row.steps) {
      const size_t before = inner.events.size();
      const int result = Apply(gate, step);
      // What reached the desktop says how it went; what was dropped went nowhere and failed
      // in nothing.
      if (step != "pass" && step != "open" && step != "close") {
        EXPECT_EQ(result, inner.events.size() > before ? 5 : 0) << row.what << ": " << step;
      }
    }
    EXPECT_EQ(inner.events, row.reached) << row.what;
  }
}

}  // namespace

}  // namespace sonlet
