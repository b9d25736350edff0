#include "cli/pass_trace.h"

#include <cinttypes>
#include <cmath>
#include <initializer_list>

namespace sonlet {

namespace {

// "%.9g" gives every float back exactly; a NaN is written "nan" whatever its sign bit (x86 makes
// 0/0 a negative NaN, which the C library would print as "-nan").
void PutFloat(std::FILE* out, float value) {
  if (std::isnan(value)) {
    std::fputs(",nan", out);
  } else {
    std::fprintf(out, ",%.9g", static_cast<double>(value));
  }
}

}  // namespace

PassTrace::PassTrace(std::FILE* out) : out_(out) {
  std::fputs(
      "pass,level,loud,lag,f0,ratio,f1_cand,f2_cand,pitch_med,f1_med,f2_med,f1_norm,f2_norm,run,"
      "event\n",
      out_);
}

void PassTrace::FormatEvent(const PassEvent& event, char* text, int size) {
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

void PassTrace::PassDone(const PassRecord& r) {
  std::fprintf(out_, "%" PRId64, r.pass);
  PutFloat(out_, r.level);
  std::fprintf(out_, ",%d", r.loud ? 1 : 0);
  if (!r.listening) {
    // The analysis runs only while listening; the tracker's columns stay empty with it.
    std::fputs(",,,,,,,,,,,,\n", out_);
    return;
  }
  std::fprintf(out_, ",%d", r.lag);
  for (float v : {r.f0, r.ratio, r.f1_candidate, r.f2_candidate, r.pitch_median, r.f1_median,
                  r.f2_median, r.f1_normalised, r.f2_normalised}) {
    PutFloat(out_, v);
  }
  char event[64];
  FormatEvent(r.event, event, sizeof event);
  std::fprintf(out_, ",%d,%s\n", r.run, event);
}

}  // namespace sonlet
