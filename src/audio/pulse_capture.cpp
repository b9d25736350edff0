#include "audio/pulse_capture.h"

#include <pulse/pulseaudio.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <span>

#include "analysis/signal_constants.h"
#include "audio/mono_converter.h"

namespace sonlet {

namespace {

using std::chrono::milliseconds;

constexpr pa_usec_t kConnectLimit = 2'000'000;  // us: a server that answers does so at once
constexpr pa_usec_t kOpenLimit = 2'000'000;     // us
// After news from a folder whose server does not answer yet (its socket made a moment before
// it listens), one more try a little later.
constexpr pa_usec_t kSecondTry = 200'000;  // us
// How long a read waits for the next buffer before it takes the stream for dead; the first
// buffer after opening gets longer, as a server may take a while to start delivering.
constexpr milliseconds kWaitLimit{1000};
constexpr milliseconds kFirstWaitLimit{3000};

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

}  // namespace

struct PulseCapture::Client {
  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  pa_stream* stream = nullptr;
  bool connected = false;  // the context has been ready and has not failed since
  std::string server_name;
  std::string source_description;

  CaptureRing ring;
  MonoConverter converter;  // used on libpulse's thread only while a stream is open
  int channels = 1;
  std::atomic<uint32_t> changes{0};

  // Watching for the server's return.
  std::string socket_folder = SocketFolder();
  int inotify_fd = -1;
  pa_io_event* watch = nullptr;
  pa_time_event* retry = nullptr;

  // What a waiting caller is told by a callback, under the loop's lock.
  bool timed_out = false;

  pa_mainloop_api* api() { return pa_threaded_mainloop_get_api(loop); }

  void News() {
    changes.fetch_add(1);
    ring.Wake();
  }

  // --- libpulse's thread, the loop's lock held ---

  static void OnContextState(pa_context* c, void* user) {
    auto* self = static_cast<Client*>(user);
    switch (pa_context_get_state(c)) {
      case PA_CONTEXT_READY:
        if (!self->connected) {
          self->connected = true;
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
          self->ring.MarkFailed();
          self->WatchForServer();
        }
        break;
      default:
        break;
    }
    pa_threaded_mainloop_signal(self->loop, 0);
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
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) self->ring.MarkFailed();
    pa_threaded_mainloop_signal(self->loop, 0);
  }

  // Sound has come: convert it and hand it to the ring. Nothing here allocates or waits.
  static void OnReadable(pa_stream* s, size_t, void* user) {
    auto* self = static_cast<Client*>(user);
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

  static void OnTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user) {
    auto* self = static_cast<Client*>(user);
    self->timed_out = true;
    pa_threaded_mainloop_signal(self->loop, 0);
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
    if (with_second_try && retry == nullptr) {
      timeval when{};
      pa_timeval_add(pa_gettimeofday(&when), kSecondTry);
      retry = api()->time_new(api(), &when, OnRetry, this);
    }
  }

  // --- the caller's thread, the loop's lock held ---

  // Waits until `done` holds or `limit` passes; false on the limit.
  template <class Done>
  bool WaitUntil(Done done, pa_usec_t limit) {
    timeval when{};
    pa_timeval_add(pa_gettimeofday(&when), limit);
    timed_out = false;
    pa_time_event* timer = api()->time_new(api(), &when, OnTimeout, this);
    while (!done() && !timed_out) pa_threaded_mainloop_wait(loop);
    api()->time_free(timer);
    return done();
  }

  // Runs a server query to its end.
  bool Finish(pa_operation* op) {
    if (op == nullptr) return false;
    WaitUntil([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; }, kOpenLimit);
    const bool done = pa_operation_get_state(op) == PA_OPERATION_DONE;
    pa_operation_unref(op);
    return done;
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

// The lock of libpulse's loop, for the time of a call from another thread.
class LoopLock {
 public:
  explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
  ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
  LoopLock(const LoopLock&) = delete;
  LoopLock& operator=(const LoopLock&) = delete;

 private:
  pa_threaded_mainloop* loop_;
};

WaveCaptureOpenStatus Failure(WaveCaptureOpenStatus::Step step, int error, std::string detail) {
  WaveCaptureOpenStatus status;
  status.step = step;
  status.error = error;
  status.detail = std::move(detail);
  return status;
}

}  // namespace

PulseCapture::PulseCapture() : client_(std::make_unique<Client>()) {}

PulseCapture::~PulseCapture() {
  if (client_->loop == nullptr) return;
  {
    LoopLock lock(client_->loop);
    client_->CloseStream();
    client_->StopWatching();
    if (client_->context != nullptr) {
      pa_context_set_state_callback(client_->context, nullptr, nullptr);
      pa_context_disconnect(client_->context);
      pa_context_unref(client_->context);
      client_->context = nullptr;
    }
  }
  pa_threaded_mainloop_stop(client_->loop);
  pa_threaded_mainloop_free(client_->loop);
}

bool PulseCapture::Connect(std::string* why) {
  Client& c = *client_;
  if (c.loop == nullptr) {
    c.loop = pa_threaded_mainloop_new();
    if (c.loop == nullptr || pa_threaded_mainloop_start(c.loop) < 0) {
      *why = "the sound server's client library could not start";
      return false;
    }
  }
  LoopLock lock(c.loop);
  if (!c.StartContext()) {
    *why = std::string("no sound server answers: ") + pa_strerror(pa_context_errno(c.context));
    return false;
  }
  c.WaitUntil(
      [&c] {
        const pa_context_state_t s = pa_context_get_state(c.context);
        return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
      },
      kConnectLimit);
  if (pa_context_get_state(c.context) != PA_CONTEXT_READY) {
    *why = std::string("no sound server answers: ") + pa_strerror(pa_context_errno(c.context));
    return false;
  }
  pa_operation* op = pa_context_get_server_info(
      c.context,
      [](pa_context*, const pa_server_info* info, void* user) {
        auto* self = static_cast<Client*>(user);
        if (info != nullptr) {
          self->server_name = std::string(info->server_name) + " " + info->server_version;
        }
        pa_threaded_mainloop_signal(self->loop, 0);
      },
      &c);
  c.Finish(op);
  return true;
}

std::string PulseCapture::ServerName() {
  if (client_->loop == nullptr) return "";
  LoopLock lock(client_->loop);
  return client_->server_name;
}

std::vector<CaptureDeviceInfo> PulseCapture::Sources() {
  Client& c = *client_;
  if (c.loop == nullptr) return {};
  LoopLock lock(c.loop);
  if (!c.connected) return {};
  struct Query {
    Client* client;
    std::vector<CaptureDeviceInfo> sources;
    std::string default_name;
  } query{&c, {}, ""};
  c.Finish(pa_context_get_server_info(
      c.context,
      [](pa_context*, const pa_server_info* info, void* user) {
        auto* q = static_cast<Query*>(user);
        if (info != nullptr && info->default_source_name != nullptr) {
          q->default_name = info->default_source_name;
        }
        pa_threaded_mainloop_signal(q->client->loop, 0);
      },
      &query));
  c.Finish(pa_context_get_source_info_list(
      c.context,
      [](pa_context*, const pa_source_info* info, int last, void* user) {
        auto* q = static_cast<Query*>(user);
        if (last == 0 && info != nullptr) {
          CaptureDeviceInfo d;
          d.index = static_cast<int>(info->index);
          d.name = info->name;
          d.description = info->description != nullptr ? info->description : "";
          d.host_api = q->client->server_name;
          d.channels = info->sample_spec.channels;
          d.default_rate = info->sample_spec.rate;
          q->sources.push_back(d);
        }
        pa_threaded_mainloop_signal(q->client->loop, 0);
      },
      &query));
  for (CaptureDeviceInfo& d : query.sources) d.is_default = d.name == query.default_name;
  return query.sources;
}

WaveCaptureOpenStatus PulseCapture::Open(const std::string& wanted) {
  using Step = WaveCaptureOpenStatus::Step;
  Close();
  const std::vector<CaptureDeviceInfo> sources = Sources();
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

  LoopLock lock(c.loop);
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
  // One block of the engine's a hand-over: the server wakes the client once per 18.75 ms.
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(18750, &spec));
  // A source named by the user stays that one; the default follows the server's default.
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                    (wanted.empty() ? 0 : PA_STREAM_DONT_MOVE));
  if (pa_stream_connect_record(c.stream, source.name.c_str(), &attr, flags) < 0) {
    const std::string text = pa_strerror(pa_context_errno(c.context));
    c.CloseStream();
    return Failure(Step::kOpenDevice, kDeviceFailed,
                   "the sound input '" + source.description + "' could not be opened: " + text);
  }
  c.WaitUntil(
      [&c] {
        const pa_stream_state_t s = pa_stream_get_state(c.stream);
        return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
      },
      kOpenLimit);
  if (pa_stream_get_state(c.stream) != PA_STREAM_READY) {
    const std::string text = pa_strerror(pa_context_errno(c.context));
    c.CloseStream();
    return Failure(
        Step::kStartDevice, kDeviceFailed,
        "the sound input '" + source.description + "' would not start recording: " + text);
  }
  c.source_description = source.description.empty() ? source.name : source.description;
  return {};
}

std::string PulseCapture::SourceDescription() {
  if (client_->loop == nullptr) return "";
  LoopLock lock(client_->loop);
  return client_->source_description;
}

void PulseCapture::Close() {
  if (client_->loop == nullptr) return;
  LoopLock lock(client_->loop);
  client_->CloseStream();
}

CaptureRing::ReadResult PulseCapture::Read(int16_t samples[], int count, bool* saturated) {
  *saturated = client_->ring.AllFull();
  if (count <= 0) return CaptureRing::ReadResult::kOk;
  return client_->ring.Read(samples, count, kWaitLimit, kFirstWaitLimit);
}

uint32_t PulseCapture::changes() const { return client_->changes.load(); }

CaptureRing& PulseCapture::ring() { return client_->ring; }

}  // namespace sonlet
