// SPDX-License-Identifier: GPL-3.0-or-later
// The least a program can do to listen through the sound server: libpulse's simple API, 48000
// Hz mono float in fragments of one engine block (18.75 ms), each converted to 8000 Hz by the
// same converter Sonlet uses, and nothing else. bench/capture-cpu-latency runs it beside Sonlet
// so that Sonlet's cost of listening can be read against what listening costs at all on the
// machine at hand, where a wake-up's price varies a lot from one machine to the next.
//   bare-reader            reads until it is stopped

#include <pulse/error.h>
#include <pulse/simple.h>

#include <cstdio>

#include "audio/rate_converter.h"

int main() {
  constexpr int kRate = 48000;
  constexpr int kFragment = 900;  // 18.75 ms
  pa_sample_spec spec{};
  spec.format = PA_SAMPLE_FLOAT32NE;
  spec.rate = kRate;
  spec.channels = 1;
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.fragsize = kFragment * sizeof(float);
  int error = 0;
  pa_simple* stream = pa_simple_new(nullptr, "sonlet-bench", PA_STREAM_RECORD, nullptr,
                                    "bare reader", &spec, nullptr, &attr, &error);
  if (stream == nullptr) {
    std::fprintf(stderr, "bare-reader: %s\n", pa_strerror(error));
    return 1;
  }
  sonlet::RateConverter converter;
  if (!converter.Prepare(kRate)) return 1;
  float in[kFragment];
  static float out[sonlet::RateConverter::kMaxInput];
  while (pa_simple_read(stream, in, sizeof in, &error) >= 0) {
    converter.Process(in, kFragment, out);
  }
  std::fprintf(stderr, "bare-reader: %s\n", pa_strerror(error));
  pa_simple_free(stream);
  return 1;
}
