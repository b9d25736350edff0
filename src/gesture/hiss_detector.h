// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sonlet {

// Hears the pause gesture: a loud, unvoiced hiss ("sss", "shh") of about a second that starts
// out of quieter sound and then ends. It works from what the engine computes on every pass,
// listening or not, so that it hears the gesture that stopped listening as well as the one that
// starts it again.
//
// A hiss begins on a pass whose block has most of its energy high in the band (a high share of
// 0.6 or more: a held vowel has about 0.2 or less, white room noise 0.5) and whose frame is 10 dB
// or more louder than the quietest frame of the quarter second before. A steady noise never rises
// above itself, and one that swells and fades (an oscillating fan) rises too slowly, so neither
// can begin one, however loud. The hiss goes on while its passes keep that share and stay 10 dB
// above where it began; it may break off for up to four passes (75 ms: a catch of breath, a
// dropped block). Five passes in a row outside it end it.
//
// The gesture is heard on that fifth pass, at the end of the hiss, when the hiss lasted 0.5 to
// 2 s from its first pass to its last and the engine judged at least ten of its passes loud
// (above the threshold level). Heard at its end, the gesture takes effect as the user falls
// silent, however long they chose to hiss, and a hiss that goes on too long (a kettle, a spray,
// a passing lorry) is known for what it is before anything happens. The hisses inside words
// ("s", "ch", "f") last well under 0.3 s.
//
// A voice that follows the hiss without a pause (two passes in a row with little high energy,
// under 0.3, and a frame no more than 10 dB under the hiss's loudest) cancels it: the hiss
// belonged to a word ("sssí"), and a gesture must not act while a vowel is voiced.
class HissDetector {
 public:
  // Feeds one pass, every pass and in order: the engine's intensity level in dB, whether the
  // engine judged it loud, and the newest block's high share (HighBandShare). Returns true on
  // the pass that completes a gesture.
  bool Hear(float level, bool loud, float high_share);

 private:
  enum class State {
    kQuiet,  // no hiss going on
    kHiss,   // a hiss that may become the gesture
    kSpent,  // a hiss that can no longer be the gesture, until it has ended
  };

  static constexpr int kOnsetPasses = 13;  // 0.25 s

  // The quietest frame of the quarter second before this pass; none before the first passes,
  // so that a hiss already going on when listening begins has no start.
  float QuietestBefore() const;

  float recent_[kOnsetPasses] = {};  // dB: the latest frames' levels
  int recent_count_ = 0;
  int recent_next_ = 0;
  float previous_level_ = 0.0f;

  State state_ = State::kQuiet;
  float onset_floor_ = 0.0f;  // dB: the quietest frame before the hiss began
  float loudest_ = 0.0f;      // dB: the hiss's loudest frame
  int length_ = 0;            // passes from the hiss's first pass to its latest
  int loud_passes_ = 0;       // of its passes, those the engine judged loud
  int gap_ = 0;               // passes since its latest
  int voiced_ = 0;            // of those, the latest that were voice, in a row
};

}  // namespace sonlet
