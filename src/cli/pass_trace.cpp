// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/pass_trace.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>

namespace sonlet {

namespace {

// Appends printf's text for one value to the row.
template <class... Values>
void Append(std::string* row, const char* format, Values... values) {
  char text[64];
  std::snprintf(text, sizeof text, format, values...);
  row->append(text);
}

// "%.9g" gives every float back exactly; a NaN is written "nan" whatever its sign bit (x86 makes
// 0/0 a negative NaN, which the C library would print as "-nan").
void AppendFloat(std::string* row, float value) {
  if (std::isnan(value)) {
    row->append(",nan");
  } else {
    Append(row, ",%.9g", static_cast<double>(value));
  }
}

// The event as the log shows it: "move DX DY", "click", "enter", or "" for none.
void FormatEvent(const PassEvent& event, char* text, int size) {
  switch (event.kind) {
    case PassEvent::Kind::kMove:
      std::snprintf(text, static_cast<size_t>(size), "move %d %d", event.dx, event.dy);
      return;
    case PassEvent::Kind::kClick:
      std::snprintf(text, static_cast<size_t>(size), "click");
      return;
    case PassEvent::Kind::kEnter:
      std::snprintf(text, static_cast<size_t>(size), "enter");
      return;
    case PassEvent::Kind::kNone:
      break;
  }
  if (size > 0) text[0] = '\0';
}

}  // namespace

PassTrace::PassTrace(OutputChannel& out, bool with_vowels, bool with_guard)
    : out_(out), with_vowels_(with_vowels), with_guard_(with_guard) {
  out_.Print(
      "pass,level,loud,lag,f0,ratio,f1_cand,f2_cand,pitch_med,f1_med,f2_med,f1_norm,f2_norm,run,"
      "event%s%s\n",
      with_vowels_ ? ",vowel" : "", with_guard_ ? ",guard" : "");
}

// The row is made whole first and written in one piece.
void PassTrace::PassDone(const PassRecord& r) {
  std::string row;
  Append(&row, "%" PRId64, r.pass);
  AppendFloat(&row, r.level);
  Append(&row, ",%d", r.loud ? 1 : 0);
  if (!r.listening) {
    // The analysis runs only while listening; the tracker's columns stay empty with it.
    row.append(",,,,,,,,,,,,");
    if (with_vowels_) row.push_back(',');
    if (with_guard_) row.push_back(',');
    row.push_back('\n');
  } else {
    Append(&row, ",%d", r.lag);
    for (float v : {r.f0, r.ratio, r.f1_candidate, r.f2_candidate, r.pitch_median, r.f1_median,
                    r.f2_median, r.f1_normalised, r.f2_normalised}) {
      AppendFloat(&row, v);
    }
    char event[64];
    FormatEvent(r.event, event, sizeof event);
    Append(&row, ",%d,%s", r.run, event);
    if (with_vowels_) {
      row.push_back(',');
      if (r.vowel != 0) row.push_back(r.vowel);
    }
    if (with_guard_) {
      row.push_back(',');
      row.append(GuardReasonName(r.guard));
    }
    row.push_back('\n');
  }
  out_.Print("%s", row.c_str());
}

}  // namespace sonlet
