#pragma once

#include <cstdio>

#include "engine/pass_record.h"

namespace sonlet {

// Writes one CSV row per engine pass: the level, the analysis, the medians, the normalised
// formants, the run length and the event. Read alongside a recording it shows why a vowel did
// or did not steer.
class PassTrace : public PassObserver {
 public:
  // out stays the caller's; the header row is written at once.
  explicit PassTrace(std::FILE* out);

  void PassDone(const PassRecord& record) override;

  // Formats an event as the log shows it: "move DX DY", "click", "enter", or "" for none.
  static void FormatEvent(const PassEvent& event, char* text, int size);

 private:
  std::FILE* out_;
};

}  // namespace sonlet
