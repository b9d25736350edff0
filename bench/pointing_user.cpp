// SPDX-License-Identifier: GPL-3.0-or-later
#include "pointing_user.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace sonlet {
namespace {

constexpr int kTargets = 13;
constexpr int kReactionPasses = 13;  // 244 ms
constexpr int kSpeedWindow = 4;
constexpr int kStillPasses = 5;
constexpr int kTimeoutPasses = 1600;     // 30 s
constexpr int kStrokeLimitPasses = 427;  // 8 s
constexpr double kSoftAbove = 5.0;
constexpr double kClickAbove = 20.0;
constexpr double kSoftBelowPixels = 48.0;
constexpr size_t kMemoryStrokes = 60;
constexpr int kLongerPasses = 5;
constexpr double kHeadingPixels = 24.0;  // a shorter stroke's direction is a pixel's guess

}  // namespace

User::User(const Voice& voice, const Mode& mode, VoiceSounds* sounds, const VowelMap* map,
           bool perfect_bearing, int click_max, bool practised)
    : mode_(mode),
      sounds_(sounds),
      noise_(Amplitude(kNormalAbove - 40.0)),
      click_max_(click_max),
      practised_(practised && mode.agile && mode.calibrated && sounds->SaysBetween()) {
  FillSettings(voice, mode, &settings_, click_max);
  if (map != nullptr) {
    decision_ = std::make_unique<MeantBearing>(*map);
    decision_->perfect = perfect_bearing;
    settings_.direction_strategy.store(decision_.get());
  }
  if (mode.agile) settings_.agile_steering.store(&agile_);
  engine_ = std::make_unique<VoiceEngine>(settings_, audio_, pointer_, quiet_, quiet_,
                                          debug_ ? &watch_ : nullptr);
  Say(nullptr, 0.0);
  engine_->Start();
}

void User::Run(int distance, int width, std::vector<Trial>* trials) {
  const double cx = kScreenWidth / 2.0, cy = kScreenHeight / 2.0;
  double tx[kTargets], ty[kTargets];
  for (int k = 0; k < kTargets; ++k) {
    const double angle = 2.0 * std::numbers::pi * k / kTargets;
    tx[k] = cx + 0.5 * distance * std::sin(angle);
    ty[k] = cy - 0.5 * distance * std::cos(angle);
  }
  pointer_.Place(static_cast<int>(std::lround(tx[0])), static_cast<int>(std::lround(ty[0])));
  int from = 0;
  for (int n = 1; n <= kTargets; ++n) {
    const int to = (n * (kTargets + 1) / 2) % kTargets;
    trials->push_back(Select(tx[from], ty[from], tx[to], ty[to], distance, width));
    from = to;
  }
}

int64_t User::ClicksAfterStroke() {
  const int64_t before = pointer_.clicks();
  const int held = static_cast<int>(1.0 / kPassSeconds);
  const int click_from = held + kReactionPasses + kStillPasses;
  size_t at = 0;
  for (int pass = 0; pass < click_from + ClickPasses() + held; ++pass) {
    if (pass == click_from) at = 0;
    const bool holding = pass < held;
    const bool clicking = pass >= click_from && pass < click_from + ClickPasses();
    Say(holding    ? &sounds_->Sound(kA, -1, 0)
        : clicking ? &sounds_->Click()
                   : nullptr,
        holding ? kNormalAbove : kClickAbove, &at);
    engine_->Pass();
  }
  return pointer_.clicks() - before;
}

int User::ClickPasses() const {
  return static_cast<int>((sounds_->Click().size() + kBlockSamples - 1) / kBlockSamples);
}

Trial User::Select(double sx, double sy, double tx, double ty, int distance, int width) {
  Trial trial{distance, width, false, 0, -1, 0, 0.0, 0.0};
  const int start_x = pointer_.x(), start_y = pointer_.y();
  history_.assign(kReactionPasses + kSpeedWindow + 1, {start_x, start_y});
  const double radius = width / 2.0;
  int quiet_since = 0;
  int stroke_passes = 0;
  int planned = kStrokeLimitPasses;
  int stroke_x = 0, stroke_y = 0;
  int click_left = 0;
  bool stroking = false;
  double ux = 0.0, uy = 0.0;
  double aim_distance = 0.0;
  const std::vector<float>* stroke_sound = nullptr;
  int last_hold = 0;           // the last stroke's hold
  bool moved_nothing = false;  // whether it moved nothing
  bool overshot = false;       // whether it moved more than twice as far as it meant
  const std::vector<float>* sound = nullptr;
  size_t sound_at = 0;
  double level = 0.0;
  int64_t clicks_seen = pointer_.clicks();
  for (int pass = 0; pass < kTimeoutPasses; ++pass) {
    const auto [seen_x, seen_y] = history_[history_.size() - 1 - kReactionPasses];
    const double ex = tx - seen_x, ey = ty - seen_y;
    if (stroking) {
      const auto [old_x, old_y] = history_[history_.size() - 1 - kReactionPasses - kSpeedWindow];
      const double vx = (seen_x - old_x) / static_cast<double>(kSpeedWindow);
      const double vy = (seen_y - old_y) / static_cast<double>(kSpeedWindow);
      const double ahead = (ex - vx * kReactionPasses) * ux + (ey - vy * kReactionPasses) * uy;
      ++stroke_passes;
      if (ahead <= 0.0 || stroke_passes >= planned || stroke_passes > kStrokeLimitPasses) {
        stroking = false;
        sound = nullptr;
        quiet_since = pass;
      }
    } else if (click_left == 0 && sound == nullptr && Settled(pass, quiet_since)) {
      if (stroke_passes > 0) {
        if (strokes_) {
          const double mx = seen_x - stroke_x, my = seen_y - stroke_y;
          std::fprintf(stderr,
                       "stroke D=%d W=%d n=%d aimed %.1f moved %.1f deg, %.0f px away, "
                       "moved %.0f, %.0f left, held %d passes\n",
                       distance, width, trial.strokes, std::atan2(uy, ux) * 180 / std::numbers::pi,
                       std::atan2(my, mx) * 180 / std::numbers::pi, aim_distance,
                       std::hypot(mx, my), std::hypot(ex, ey), stroke_passes);
        }
        // A stroke the screen's edge stopped says nothing of how far the hold would have gone.
        const bool at_edge =
            seen_x <= 0 || seen_y <= 0 || seen_x >= kScreenWidth - 1 || seen_y >= kScreenHeight - 1;
        if (!at_edge) {
          Remember(level, stroke_passes, (seen_x - stroke_x) * ux + (seen_y - stroke_y) * uy);
          const double mx = seen_x - stroke_x, my = seen_y - stroke_y;
          const double moved = std::hypot(mx, my);
          if (moved >= kHeadingPixels) {
            std::pair<double, double>& heading = headings_[stroke_sound];
            heading.first += mx / moved;
            heading.second += my / moved;
          }
        }
        last_hold = stroke_passes;
        moved_nothing = seen_x == stroke_x && seen_y == stroke_y;
        overshot = (seen_x - stroke_x) * ux + (seen_y - stroke_y) * uy > 2.0 * aim_distance;
        stroke_passes = 0;
      }
      if (std::hypot(ex, ey) <= radius - 1.0) {
        sound = &sounds_->Click();
        sound_at = 0;
        level = kClickAbove;
        click_left = ClickPasses();
      } else {
        Aim(ex, ey, radius, &ux, &uy, &sound, &level);
        stroke_sound = sound;
        planned = Plan(level, ex * ux + ey * uy);
        // A hold that moved nothing, or far too far, is not tried again as it was.
        if (moved_nothing) planned = std::max(planned, last_hold + kLongerPasses);
        if (overshot && planned >= last_hold) planned = last_hold - 1;
        if (decision_ != nullptr) {
          decision_->meant_x = static_cast<float>(ux), decision_->meant_y = static_cast<float>(uy);
        }
        aim_distance = std::hypot(ex, ey);
        stroke_x = seen_x;
        stroke_y = seen_y;
        sound_at = 0;
        stroking = true;
        stroke_passes = 0;
        ++trial.strokes;
      }
    }
    Say(sound, level, &sound_at);
    if (click_left > 0 && --click_left == 0) {
      sound = nullptr;
      quiet_since = pass;
    }
    engine_->Pass();
    if (debug_) {
      std::fprintf(stderr, "%d %s%s %.0f %d %d -> %.0f %.0f k%lld\n", pass, stroking ? "S" : "-",
                   click_left > 0 ? "C" : "-", level, pointer_.x(), pointer_.y(), tx, ty,
                   static_cast<long long>(pointer_.clicks()));
    }
    history_.push_back({pointer_.x(), pointer_.y()});
    if (trial.wait_passes < 0 && (pointer_.x() != start_x || pointer_.y() != start_y)) {
      trial.wait_passes = pass;
    }
    if (pointer_.clicks() != clicks_seen) {
      clicks_seen = pointer_.clicks();
      if (std::hypot(tx - pointer_.x(), ty - pointer_.y()) <= radius) {
        trial.reached = true;
        trial.passes = pass + 1;
        break;
      }
      // A slip: the click missed; aim again from here.
      quiet_since = pass;
    }
  }
  if (trial.wait_passes < 0) trial.wait_passes = trial.passes;
  const double ax = tx - sx, ay = ty - sy;
  const double length = std::hypot(ax, ay);
  trial.along = ((pointer_.x() - sx) * ax + (pointer_.y() - sy) * ay) / length;
  trial.off = trial.along - length;
  return trial;
}

void User::Remember(double level, int hold, double moved) {
  std::vector<std::pair<int, double>>& memory = memory_[static_cast<int>(level)];
  memory.push_back({hold, moved});
  if (memory.size() > kMemoryStrokes) memory.erase(memory.begin());
}

int User::Plan(double level, double distance) const {
  auto found = memory_.find(static_cast<int>(level));
  if (found == memory_.end()) return kStrokeLimitPasses;
  // A hold within the click window moves nothing, as the user knows from its clicks.
  const std::pair<int, double> still{click_max_, 0.0};
  const std::pair<int, double>* below = &still;
  const std::pair<int, double>* above = nullptr;
  for (const auto& m : found->second) {
    if (m.second <= distance && (below == nullptr || m.second > below->second)) below = &m;
    if (m.second >= distance && (above == nullptr || m.second < above->second)) above = &m;
  }
  if (below == nullptr || above == nullptr) return kStrokeLimitPasses;
  if (above->second - below->second < 1.0) return (below->first + above->first) / 2;
  const double share = (distance - below->second) / (above->second - below->second);
  return static_cast<int>(std::lround(below->first + share * (above->first - below->first)));
}

bool User::Settled(int pass, int quiet_since) const {
  if (pass - quiet_since < kReactionPasses) return false;
  const size_t seen = history_.size() - 1 - kReactionPasses;
  for (int k = 1; k <= kStillPasses; ++k) {
    if (history_[seen - k] != history_[seen]) return false;
  }
  return true;
}

void User::Aim(double ex, double ey, double radius, double* ux, double* uy,
               const std::vector<float>** sound, double* level) {
  const double distance = std::hypot(ex, ey);
  *level = kNormalAbove;
  if (practised_) {
    const double want = std::atan2(ey, ex);
    double best = 1e9;
    for (int h : {kA, kI}) {
      for (int v : {kO, kE}) {
        for (int e = 0; e <= kBlendSteps; ++e) {
          const std::vector<float>* candidate = &sounds_->Sound(h, v, e);
          const double said = e * std::numbers::pi / (2 * kBlendSteps);
          double goes = std::atan2(v == kO ? std::sin(said) : -std::sin(said),
                                   h == kA ? std::cos(said) : -std::cos(said));
          const auto found = headings_.find(candidate);
          if (found != headings_.end()) {
            goes = std::atan2(found->second.second, found->second.first);
          }
          const double off = std::fabs(std::remainder(goes - want, 2 * std::numbers::pi));
          if (off < best) {
            best = off;
            *sound = candidate;
          }
        }
      }
    }
    *ux = ex / distance;
    *uy = ey / distance;
    return;
  }
  if (mode_.agile && mode_.calibrated && sounds_->SaysBetween() &&
      std::min(std::fabs(ex), std::fabs(ey)) > radius / 2) {
    // Between the two vowels that frame the target's direction.
    const int horizontal = ex > 0 ? kA : kI;
    const int vertical = ey > 0 ? kO : kE;
    const double angle = std::atan2(std::fabs(ey), std::fabs(ex));  // 0 along x
    const int eighths = static_cast<int>(std::lround(angle / (std::numbers::pi / 2) * kBlendSteps));
    *sound = &sounds_->Sound(horizontal, vertical, eighths);
    *ux = ex / distance;
    *uy = ey / distance;
    return;
  }
  const bool along_x = std::fabs(ex) >= std::fabs(ey);
  const double error = along_x ? ex : ey;
  *ux = along_x ? (ex > 0 ? 1 : -1) : 0;
  *uy = along_x ? 0 : (ey > 0 ? 1 : -1);
  const int vowel = along_x ? (ex > 0 ? kA : kI) : (ey > 0 ? kO : kE);
  *sound = &sounds_->Sound(vowel, -1, 0);
  if (!mode_.agile && vowel != kE && std::fabs(error) < kSoftBelowPixels) *level = kSoftAbove;
}

void User::Say(const std::vector<float>* sound, double above, size_t* at) {
  const double gain = Amplitude(above);
  std::normal_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < kBlockSamples; ++i) {
    double v = noise_ * unit(random_);
    if (sound != nullptr && at != nullptr) {
      // Held on past its end: the held part again, before the sound's own decay.
      if (sound->size() > 8000 && *at + 1600 >= sound->size()) *at = sound->size() / 2;
      if (*at < sound->size()) v += gain * (*sound)[(*at)++];
    }
    audio_.block()[i] = static_cast<int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
  }
}

}  // namespace sonlet
