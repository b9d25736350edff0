// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/pulse_capture.h"

#include <pulse/pulseaudio.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <span>

#include "analysis/signal_constants.h"
#include "audio/mono_converter.h"

namespace sonlet {

namespace {

using std::chrono::milliseconds;

// A server that answers does so at once; one that has not within these is taken as stalled.
constexpr std::chrono::microseconds kConnectLimit{2'000'000};
constexpr std::chrono::microseconds kOpenLimit{2'000'000};
constexpr int kLimitSeconds = 2;
// After news from a folder whose server does not answer yet (its socket made a moment before
// it listens), one more try a little later.
constexpr pa_usec_t kSecondTry = 200'000;  // us
// How long a read waits for the next buffer before it takes the stream for dead; the first
// buffer after opening gets longer, as a server may take a while to start delivering.
constexpr milliseconds kWaitLimit{1000};
constexpr milliseconds kFirstWaitLimit{3000};
// Blocks the server hands over at once (see Open).
constexpr int kBlocksPerFragment = 2;

// The error numbers of the open-failure line, PortAudio's, which the line has always shown.
constexpr int kNoSuchDevice = -9996;   // paInvalidDevice
constexpr int kNoDeviceAtAll = -9985;  // paDeviceUnavailable
constexpr int kDeviceFailed = -9999;   // paUnanticipatedHostError
constexpr int kNoMemory = -9992;       // paInsufficientMemory

// The folder where the server's socket appears when it starts: the one PULSE_SERVER names, or
// the user's own. "" for a server reached over the network, which only a new try finds.
std::string SocketFolder() {
  std::string path;
  if (const char* server = std::getenv("PULSE_SERVER"); server != nullptr && *server != '\0') {
    std::string first = server;
    first = first.substr(0, first.find(' '));
    if (first.rfind("unix:", 0) == 0) first = first.substr(5);
    if (first.empty() || first[0] != '/') return "";
    path = first;
  } else if (const char* runtime = std::getenv("PULSE_RUNTIME_PATH"); runtime != nullptr) {
    path = std::string(runtime) + "/native";
  } else if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg != nullptr) {
    path = std::string(xdg) + "/pulse/native";
  } else {
    return "";
  }
  return path.substr(0, path.rfind('/'));
}

std::string StalledText(const char* server) {
  std::string text = "the sound server";
  if (server != nullptr && *server != '\0') text += std::string(" (") + server + ")";
  return text + " did not answer within " + std::to_string(kLimitSeconds) +
         " s; it may be stalled. Restart it (systemctl --user restart pipewire pipewire-pulse, or "
         "pulseaudio -k) and start Sonlet again";
}

}  // namespace

struct PulseCapture::Client {
  pa_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  pa_stream* stream = nullptr;
  bool connected = false;      // the context has been ready and has not failed since
  bool stalled = false;        // the server stopped answering and has not been ready since
  bool stream_failed = false;  // the open stream has failed or been ended by the server
  std::string server_name;
  std::string source_description;

  // The converted sound waiting for the reader; filled while the reader runs the loop.
  CaptureRing ring;
  MonoConverter converter;
  int channels = 1;
  size_t most_readable = 0;  // bytes: what the server holds for us when every buffer is full
  bool saturated = false;    // sound was lost since the last read
  bool block_seen = false;   // a block has come since the stream opened
  uint32_t changes = 0;

  // Where the answers to a listing of sources go. Not on the caller's stack: a query given up is
  // cancelled, but the client must never hold an address that may die before an answer comes.
  std::vector<CaptureDeviceInfo> listed_sources;
  std::string listed_default;
  std::atomic<bool> interrupted{false};

  // Watching for the server's return.
  std::string socket_folder = SocketFolder();
  int inotify_fd = -1;
  pa_io_event* watch = nullptr;
  pa_time_event* retry = nullptr;

  pa_mainloop_api* api() { return pa_mainloop_get_api(loop); }

  void News() { ++changes; }

  // Runs the loop once: waits for the server, a timer or an interrupt, at most `limit` (or
  // without end, when negative), and calls back whatever is due.
  void Iterate(std::chrono::microseconds limit) {
    const auto us =
        static_cast<int>(std::clamp<int64_t>(limit.count(), -1, std::numeric_limits<int>::max()));
    if (pa_mainloop_prepare(loop, us) < 0) return;
    if (pa_mainloop_poll(loop) < 0) return;
    pa_mainloop_dispatch(loop);
  }

  // Runs the loop until `done` holds, `limit` passes or a stop is asked for; false unless done.
  template <class Done>
  bool RunUntil(Done done, std::chrono::microseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      if (done()) return true;
      const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
          deadline - std::chrono::steady_clock::now());
      if (interrupted.load() || left.count() <= 0) return false;
      Iterate(left);
    }
  }

  // --- libpulse's callbacks, on the thread that runs the loop ---

  static void OnContextState(pa_context* c, void* user) {
    auto* self = static_cast<Client*>(user);
    switch (pa_context_get_state(c)) {
      case PA_CONTEXT_READY:
        if (!self->connected) {
          self->connected = true;
          self->stalled = false;
          self->Subscribe();
          self->StopWatching();
          self->News();
        }
        break;
      case PA_CONTEXT_FAILED:
      case PA_CONTEXT_TERMINATED:
        if (self->connected) {
          // The server went away: every stream with it. Its return shows as its socket.
          self->connected = false;
          self->stream_failed = true;
          self->WatchForServer();
        } else if (pa_context_errno(c) == PA_ERR_TIMEOUT) {
          // A server is there but silent (stalled, or stalled again while it came back), and
          // libpulse gave this try up after its own limit: wait on with a new one. No folder news
          // would come for it. Not from inside the context's own callback.
          self->TryAgainSoon(0);
        }
        break;
      default:
        break;
    }
  }

  static void OnServerNews(pa_context*, pa_subscription_event_type_t type, uint32_t, void* user) {
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    // A source that appears or changes, or a new default: a failed capture may open now.
    if ((facility == PA_SUBSCRIPTION_EVENT_SOURCE && kind != PA_SUBSCRIPTION_EVENT_REMOVE) ||
        facility == PA_SUBSCRIPTION_EVENT_SERVER) {
      static_cast<Client*>(user)->News();
    }
  }

  static void OnStreamState(pa_stream* s, void* user) {
    auto* self = static_cast<Client*>(user);
    const pa_stream_state_t state = pa_stream_get_state(s);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) self->stream_failed = true;
  }

  // Sound has come: convert it and hand it to the ring. Nothing here allocates or waits.
  static void OnReadable(pa_stream* s, size_t, void* user) {
    auto* self = static_cast<Client*>(user);
    // The server holding all it may for us is what a full ring was: sound is being lost.
    if (pa_stream_readable_size(s) >= self->most_readable) self->saturated = true;
    const size_t frame_bytes = sizeof(float) * static_cast<size_t>(self->channels);
    while (pa_stream_readable_size(s) > 0) {
      const void* data = nullptr;
      size_t bytes = 0;
      if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0) return;
      // A hole (no data with a length) is sound the server lost; there is nothing to convert.
      if (data != nullptr) {
        const auto* frames = static_cast<const float*>(data);
        const size_t count = bytes / frame_bytes;
        for (size_t done = 0; done < count; done += MonoConverter::kMaxFrames) {
          const int piece =
              static_cast<int>(std::min<size_t>(count - done, MonoConverter::kMaxFrames));
          const std::span<const int16_t> samples =
              self->converter.Convert(frames + done * static_cast<size_t>(self->channels), piece);
          self->ring.Push(samples.data(), static_cast<int>(samples.size()));
        }
      }
      pa_stream_drop(s);
    }
  }

  static void OnFolderNews(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t,
                           void* user) {
    char events[4096];
    while (::read(fd, events, sizeof events) > 0) {
    }
    auto* self = static_cast<Client*>(user);
    // A folder on the way to the socket may have appeared (or the one watched gone): watch the
    // deepest that exists now, and try the server.
    self->WatchForServer();
    self->Reconnect(true);
  }

  static void OnRetry(pa_mainloop_api* api, pa_time_event* e, const struct timeval*, void* user) {
    auto* self = static_cast<Client*>(user);
    api->time_free(e);
    self->retry = nullptr;
    self->Reconnect(false);
  }

  void Subscribe() {
    pa_context_set_subscribe_callback(context, OnServerNews, this);
    pa_operation* op =
        pa_context_subscribe(context,
                             static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE |
                                                                 PA_SUBSCRIPTION_MASK_SERVER),
                             nullptr, nullptr);
    if (op != nullptr) pa_operation_unref(op);
  }

  // A new context for the server; its state says the rest.
  bool StartContext() {
    if (context != nullptr) {
      pa_context_set_state_callback(context, nullptr, nullptr);
      pa_context_set_subscribe_callback(context, nullptr, nullptr);
      pa_context_disconnect(context);
      pa_context_unref(context);
    }
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Sonlet");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "org.sonlet.Sonlet");
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "a11y");
    context = pa_context_new_with_proplist(api(), "Sonlet", properties);
    pa_proplist_free(properties);
    if (context == nullptr) return false;
    pa_context_set_state_callback(context, OnContextState, this);
    return pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
  }

  // Watches the socket's folder, or, when a server that went took its folders with it, the
  // deepest folder on the way to it that still exists.
  void WatchForServer() {
    StopWatching();
    if (socket_folder.empty()) return;
    inotify_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_fd < 0) return;
    const uint32_t mask = IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF;
    std::string folder = socket_folder;
    while (!folder.empty() && inotify_add_watch(inotify_fd, folder.c_str(), mask) < 0) {
      folder = folder.substr(0, folder.rfind('/'));
    }
    if (folder.empty()) {
      ::close(inotify_fd);
      inotify_fd = -1;
      return;
    }
    watch = api()->io_new(api(), inotify_fd, PA_IO_EVENT_INPUT, OnFolderNews, this);
  }

  void StopWatching() {
    if (watch != nullptr) api()->io_free(watch);
    watch = nullptr;
    if (inotify_fd >= 0) ::close(inotify_fd);
    inotify_fd = -1;
    if (retry != nullptr) api()->time_free(retry);
    retry = nullptr;
  }

  // One try at the server; after news from its folder, a second shortly after, as its socket
  // may appear a moment before it listens.
  void Reconnect(bool with_second_try) {
    if (connected) return;
    StartContext();
    if (with_second_try) TryAgainSoon(kSecondTry);
  }

  void TryAgainSoon(pa_usec_t delay) {
    if (retry != nullptr) return;
    timeval when{};
    pa_timeval_add(pa_gettimeofday(&when), delay);
    retry = api()->time_new(api(), &when, OnRetry, this);
  }

  // The connected server let a query or an opening run out of time: let go of the connection and
  // its stream, as of a server that went away, and wait for the server on a new connection (its
  // socket is still there; the connection becomes ready once the server answers again). The
  // folder is watched too, for a server that is restarted rather than woken.
  void ServerStalled() {
    if (!connected) return;
    CloseStream();
    connected = false;
    stalled = true;
    stream_failed = true;
    StartContext();
    WatchForServer();
  }

  // Runs a server query to its end. One left unanswered is cancelled, so that no late answer
  // calls back into what the caller has moved on from.
  bool Finish(pa_operation* op) {
    if (op == nullptr) return false;
    RunUntil([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; }, kOpenLimit);
    const pa_operation_state_t state = pa_operation_get_state(op);
    if (state == PA_OPERATION_RUNNING) pa_operation_cancel(op);
    pa_operation_unref(op);
    if (state == PA_OPERATION_RUNNING && !interrupted.load()) ServerStalled();
    return state == PA_OPERATION_DONE;
  }

  void CloseStream() {
    if (stream == nullptr) return;
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    stream = nullptr;
    source_description.clear();
  }
};

namespace {

WaveCaptureOpenStatus Failure(WaveCaptureOpenStatus::Step step, int error, std::string detail) {
  WaveCaptureOpenStatus status;
  status.step = step;
  status.error = error;
  status.detail = std::move(detail);
  return status;
}

}  // namespace

PulseCapture::PulseCapture() : client_(std::make_unique<Client>()) {
  // Made here, so that Interrupt() from another thread always finds it.
  client_->loop = pa_mainloop_new();
}

PulseCapture::~PulseCapture() {
  if (client_->loop == nullptr) return;
  client_->CloseStream();
  client_->StopWatching();
  if (client_->context != nullptr) {
    pa_context_set_state_callback(client_->context, nullptr, nullptr);
    pa_context_set_subscribe_callback(client_->context, nullptr, nullptr);
    pa_context_disconnect(client_->context);
    pa_context_unref(client_->context);
    client_->context = nullptr;
  }
  pa_mainloop_free(client_->loop);
}

PulseCapture::Answer PulseCapture::Connect(std::string* why) {
  Client& c = *client_;
  if (c.loop == nullptr) {
    *why = "the sound server's client library could not start";
    return Answer::kNone;
  }
  const auto none = [&c, why] {
    const int error = pa_context_errno(c.context);
    *why = "no sound server answers";
    if (error != PA_OK) *why += std::string(": ") + pa_strerror(error);
    return Answer::kNone;
  };
  if (!c.StartContext()) return none();
  c.RunUntil(
      [&c] {
        const pa_context_state_t s = pa_context_get_state(c.context);
        return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
      },
      kConnectLimit);
  const pa_context_state_t state = pa_context_get_state(c.context);
  if (!PA_CONTEXT_IS_GOOD(state)) return none();
  // Still on the way: a server holds its socket but does not answer. PortAudio would reach the
  // same server through ALSA's pulse plugin and wait for it without a limit, so the caller must
  // not turn to it.
  if (state != PA_CONTEXT_READY) {
    *why = StalledText(pa_context_get_server(c.context));
    return Answer::kStalled;
  }
  c.Finish(pa_context_get_server_info(
      c.context,
      [](pa_context*, const pa_server_info* info, void* user) {
        auto* self = static_cast<Client*>(user);
        if (info != nullptr) {
          self->server_name = std::string(info->server_name) + " " + info->server_version;
        }
      },
      &c));
  if (!c.connected) {
    *why = StalledText(pa_context_get_server(c.context));
    return Answer::kStalled;
  }
  return Answer::kReady;
}

std::string PulseCapture::ServerName() { return client_->server_name; }

std::vector<CaptureDeviceInfo> PulseCapture::Sources() {
  Client& c = *client_;
  if (c.loop == nullptr || !c.connected) return {};
  c.listed_sources.clear();
  c.listed_default.clear();
  c.Finish(pa_context_get_server_info(
      c.context,
      [](pa_context*, const pa_server_info* info, void* user) {
        auto* self = static_cast<Client*>(user);
        if (info != nullptr && info->default_source_name != nullptr) {
          self->listed_default = info->default_source_name;
        }
      },
      &c));
  // A server that let the first query run out of time is not asked again.
  if (!c.connected) return {};
  c.Finish(pa_context_get_source_info_list(
      c.context,
      [](pa_context*, const pa_source_info* info, int last, void* user) {
        auto* self = static_cast<Client*>(user);
        if (last == 0 && info != nullptr) {
          CaptureDeviceInfo d;
          d.index = static_cast<int>(info->index);
          d.name = info->name;
          d.description = info->description != nullptr ? info->description : "";
          d.host_api = self->server_name;
          d.channels = info->sample_spec.channels;
          d.default_rate = info->sample_spec.rate;
          self->listed_sources.push_back(d);
        }
      },
      &c));
  if (!c.connected) return {};
  std::vector<CaptureDeviceInfo> sources = std::move(c.listed_sources);
  c.listed_sources.clear();
  for (CaptureDeviceInfo& d : sources) d.is_default = d.name == c.listed_default;
  return sources;
}

bool PulseCapture::Stalled() const { return client_->stalled; }

WaveCaptureOpenStatus PulseCapture::Open(const std::string& wanted) {
  using Step = WaveCaptureOpenStatus::Step;
  Close();
  const std::vector<CaptureDeviceInfo> sources = Sources();
  if (client_->stalled) {
    return Failure(Step::kOpenDevice, kTimedOutError,
                   StalledText(pa_context_get_server(client_->context)));
  }
  std::string why;
  const int chosen = ChooseCaptureDevice(sources, wanted, &why);
  if (chosen < 0) {
    return Failure(Step::kOpenDevice, sources.empty() ? kNoDeviceAtAll : kNoSuchDevice, why);
  }
  const CaptureDeviceInfo& source = sources[static_cast<size_t>(chosen)];

  Client& c = *client_;
  // The buffers are allocated once and kept across reopenings; no producer runs now.
  const bool ring_ready =
      c.ring.samples_per_buffer() == kBlockSamples || c.ring.Prepare(kBlockSamples);
  if (ring_ready) c.ring.Reset();
  if (!ring_ready || !c.converter.Prepare(static_cast<int>(source.default_rate), source.channels)) {
    return Failure(Step::kPrepareBuffers, kNoMemory,
                   ring_ready ? "the sound conversion could not be set up"
                              : "no memory for the capture buffers");
  }

  c.stream_failed = false;
  c.block_seen = false;
  c.saturated = false;
  pa_sample_spec spec{};
  spec.format = PA_SAMPLE_FLOAT32LE;
  spec.rate = static_cast<uint32_t>(source.default_rate);
  spec.channels = static_cast<uint8_t>(source.channels);
  c.channels = source.channels;
  c.stream = pa_stream_new(c.context, "Sonlet", &spec, nullptr);
  if (c.stream == nullptr) {
    return Failure(Step::kOpenDevice, kDeviceFailed,
                   std::string("the sound server refused a stream: ") +
                       pa_strerror(pa_context_errno(c.context)));
  }
  pa_stream_set_state_callback(c.stream, Client::OnStreamState, &c);
  pa_stream_set_read_callback(c.stream, Client::OnReadable, &c);
  // Two blocks of the engine's a hand-over, 37.5 ms. PipeWire runs its whole graph, every
  // program's sound, in cycles no longer than the shortest fragment a listener asks for: one
  // block (18.75 ms) pulled the desktop down to 512 frames at 48 kHz, half its default of 1024,
  // and on a busy machine (measured: disk writes with fsync beside the tests) cycles that short
  // came late and sound was lost before it reached any listener. Two keep the default and halve
  // the wake-ups. While the engine is held up, the server keeps as much as the ring of 200
  // buffers would.
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<uint32_t>(pa_usec_to_bytes(CaptureRing::kBuffers * 18750, &spec));
  attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(kBlocksPerFragment * 18750, &spec));
  // A source named by the user stays that one; the default follows the server's default.
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                    (wanted.empty() ? 0 : PA_STREAM_DONT_MOVE));
  if (pa_stream_connect_record(c.stream, source.name.c_str(), &attr, flags) < 0) {
    const std::string text = pa_strerror(pa_context_errno(c.context));
    c.CloseStream();
    return Failure(Step::kOpenDevice, kDeviceFailed,
                   "the sound input '" + source.description + "' could not be opened: " + text);
  }
  c.RunUntil(
      [&c] {
        const pa_stream_state_t s = pa_stream_get_state(c.stream);
        return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
      },
      kOpenLimit);
  if (pa_stream_get_state(c.stream) == PA_STREAM_CREATING && !c.interrupted.load()) {
    c.ServerStalled();  // closes the stream too
    return Failure(Step::kStartDevice, kTimedOutError,
                   StalledText(pa_context_get_server(c.context)));
  }
  if (pa_stream_get_state(c.stream) != PA_STREAM_READY) {
    const std::string text = pa_strerror(pa_context_errno(c.context));
    c.CloseStream();
    return Failure(
        Step::kStartDevice, kDeviceFailed,
        "the sound input '" + source.description + "' would not start recording: " + text);
  }
  // The server may have granted less than asked.
  const pa_buffer_attr* granted = pa_stream_get_buffer_attr(c.stream);
  const uint32_t maxlength = granted != nullptr ? granted->maxlength : attr.maxlength;
  const uint32_t fragment = granted != nullptr ? granted->fragsize : attr.fragsize;
  c.most_readable = maxlength > fragment ? maxlength - fragment : maxlength;
  c.source_description = source.description.empty() ? source.name : source.description;
  return {};
}

std::string PulseCapture::SourceDescription() { return client_->source_description; }

void PulseCapture::Close() {
  if (client_->loop != nullptr) client_->CloseStream();
}

CaptureRing::ReadResult PulseCapture::Read(int16_t samples[], int count, bool* saturated) {
  Client& c = *client_;
  *saturated = false;
  if (count <= 0) return CaptureRing::ReadResult::kOk;
  const auto limit = c.block_seen ? kWaitLimit : kFirstWaitLimit;
  // Sleeps in the loop until the server has handed over enough; the stream's end, the wait
  // limit or a stop end it sooner.
  const bool enough =
      c.RunUntil([&c, count] { return c.ring.Available() >= count || c.stream_failed; }, limit);
  if (c.interrupted.load()) return CaptureRing::ReadResult::kInterrupted;
  if (!enough || c.ring.Available() < count) return CaptureRing::ReadResult::kFailed;
  c.block_seen = true;
  *saturated = c.saturated || c.ring.AllFull();
  c.saturated = false;
  return c.ring.Read(samples, count, kWaitLimit, kFirstWaitLimit);
}

bool PulseCapture::WaitForNews(std::chrono::milliseconds duration, uint32_t seen) {
  Client& c = *client_;
  if (c.loop == nullptr) return !c.interrupted.load();
  c.RunUntil([&c, seen] { return c.changes != seen; }, duration);
  return !c.interrupted.load();
}

uint32_t PulseCapture::changes() const { return client_->changes; }

void PulseCapture::Interrupt() {
  client_->interrupted.store(true);
  // The one call into libpulse that may come from another thread.
  if (client_->loop != nullptr) pa_mainloop_wakeup(client_->loop);
}

}  // namespace sonlet
