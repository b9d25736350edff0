// SPDX-License-Identifier: GPL-3.0-or-later
// Plays a sound file into the sound server's default sink and prints when its last sample
// reaches the sink, as wall-clock seconds since 1970 (the form of bash's $EPOCHREALTIME). The
// end of a playback cannot be taken from paplay: it returns only after draining and
// disconnecting, tens of milliseconds after the sound has ended. Here the stream asks for a
// short buffer and, right after the last sample is written, the server's own latency figure
// tells how far in the future that sample will be played.
//   timed-play FILE [LATENCY_MS]

#include <pulse/error.h>
#include <pulse/simple.h>
#include <sndfile.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: timed-play FILE [LATENCY_MS]\n");
    return 2;
  }
  const int latency_ms = argc > 2 ? std::atoi(argv[2]) : 10;
  SF_INFO info{};
  SNDFILE* file = sf_open(argv[1], SFM_READ, &info);
  if (file == nullptr) {
    std::fprintf(stderr, "timed-play: cannot read %s: %s\n", argv[1], sf_strerror(nullptr));
    return 2;
  }
  std::vector<short> samples(static_cast<size_t>(info.frames) * info.channels);
  sf_readf_short(file, samples.data(), info.frames);
  sf_close(file);

  pa_sample_spec spec{};
  spec.format = PA_SAMPLE_S16LE;
  spec.rate = static_cast<uint32_t>(info.samplerate);
  spec.channels = static_cast<uint8_t>(info.channels);
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(latency_ms * 1000ULL, &spec));
  attr.prebuf = static_cast<uint32_t>(-1);
  attr.minreq = static_cast<uint32_t>(-1);
  attr.fragsize = static_cast<uint32_t>(-1);
  int error = 0;
  pa_simple* stream = pa_simple_new(nullptr, "sonlet-bench", PA_STREAM_PLAYBACK, nullptr,
                                    "timed sound", &spec, nullptr, &attr, &error);
  if (stream == nullptr) {
    std::fprintf(stderr, "timed-play: %s\n", pa_strerror(error));
    return 1;
  }
  if (pa_simple_write(stream, samples.data(), samples.size() * sizeof(short), &error) < 0) {
    std::fprintf(stderr, "timed-play: %s\n", pa_strerror(error));
    return 1;
  }
  const pa_usec_t until_played = pa_simple_get_latency(stream, &error);
  const auto end = std::chrono::system_clock::now() + std::chrono::microseconds(until_played);
  pa_simple_drain(stream, &error);
  pa_simple_free(stream);
  const double seconds = std::chrono::duration<double>(end.time_since_epoch()).count();
  std::printf("%.6f\n", seconds);
  return 0;
}
