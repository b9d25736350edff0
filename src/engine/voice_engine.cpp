// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/voice_engine.h"

#include <algorithm>

#include "analysis/high_band_share.h"

namespace sonlet {

VoiceEngine::VoiceEngine(const EngineSettings& settings, AudioSource& audio, InputSink& input,
                         PanelView& panel, NoticeSink& notices, PassObserver* observer)
    : settings_(settings),
      audio_(audio),
      input_(input),
      panel_(panel),
      notices_(notices),
      observer_(observer),
      listening_(input, panel, notices) {}

bool VoiceEngine::Start() {
  if (!ReadBlock()) return false;
  if (!listening_.ready()) notices_.Notify(Notice::kFftLengthRefused, 0);
  for (int i = 0; i < kBlockSamples; ++i) intensity_frame_[kBlockSamples + i] = block_[i];
  return true;
}

bool VoiceEngine::Pass() {
  if (listening_.output_lost() || !ReadBlock()) return false;

  PassRecord record;
  record.pass = stats_.passes;
  input_.BeginPass(record.pass);

  for (int i = 0; i < kBlockSamples; ++i) intensity_frame_[i] = intensity_frame_[i + kBlockSamples];
  for (int i = 0; i < kBlockSamples; ++i)
    intensity_frame_[kBlockSamples + i] = static_cast<float>(block_[i]);
  frame_intensity(intensity_frame_, &level_);

  const PassSettings settings = ReadPassSettings(settings_);
  // The voice must be louder than 100 dB less the threshold setting.
  const int threshold_level = 100 - settings.threshold;
  const bool loud = level_ > static_cast<float>(threshold_level);
  ShowMeters(loud);

  record.level = level_;
  record.loud = loud;
  record.high_share = HighBandShare(block_, kBlockSamples);
  record.listening = settings.listening;
  if (record.listening) {
    listening_.Run(block_, level_, threshold_level, loud, settings, &record);
    if (listening_.event_sent()) Count(record.event);
  }
  ++stats_.passes;
  if (observer_ != nullptr) observer_->PassDone(record);
  return true;
}

bool VoiceEngine::ReadBlock() {
  using Status = AudioSource::Status;
  const Status status = audio_.Read(block_, kBlockSamples);
  switch (status) {
    case Status::kEnded:
      return false;
    case Status::kStuck:
      notices_.Notify(Notice::kSoundStuck, 0);
      return false;
    case Status::kFailed:
      // A failed read leaves the block as the read left it; the pass goes on with it, as the
      // level and the listening state would only stall otherwise. Told once when the sound
      // stops coming, not on every failed pass.
      if (!sound_lost_) notices_.Notify(Notice::kSoundStopped, 0);
      sound_lost_ = true;
      return true;
    case Status::kOverrun:
      notices_.Notify(Notice::kBuffersFull, 0);
      break;
    case Status::kOk:
      break;
  }
  if (sound_lost_) notices_.Notify(Notice::kSoundBack, 0);
  sound_lost_ = false;
  return true;
}

void VoiceEngine::ShowMeters(bool loud) {
  // Positions as the meters show them: the level truncated to whole dB within 0..90.
  const float level = std::clamp(level_, 0.0f, static_cast<float>(kIntensityMeterMax));
  const int intensity = static_cast<int>(level);
  const int speed = std::clamp(listening_.speed_step() + 2, 0, kSpeedMeterMax);
  // The pitch median is the latest listening pass's: this pass has not computed its own yet.
  if (loud && listening_.pitch_median() != 0.0f) {
    voice_window_ = std::min(voice_window_ + 1, kVoiceWindowMax);
  } else {
    voice_window_ = kVoiceWindowMin;
  }
  panel_.ShowMeters(intensity, speed, voice_window_);
}

void VoiceEngine::Count(const PassEvent& event) {
  switch (event.kind) {
    case PassEvent::Kind::kMove:
      if (event.direction == Direction::kRight) stats_.moves_right += event.repeats;
      if (event.direction == Direction::kLeft) stats_.moves_left += event.repeats;
      if (event.direction == Direction::kUp) stats_.moves_up += event.repeats;
      if (event.direction == Direction::kDown) stats_.moves_down += event.repeats;
      break;
    case PassEvent::Kind::kClick:
      ++stats_.clicks;
      break;
    case PassEvent::Kind::kEnter:
      ++stats_.enters;
      break;
    case PassEvent::Kind::kNone:
      break;
  }
}

void VoiceEngineThread(VoiceEngine& engine, const std::atomic<bool>& stop_requested) {
  if (stop_requested.load() || !engine.Start()) return;
  while (!stop_requested.load()) {
    if (!engine.Pass()) return;
  }
}

}  // namespace sonlet
