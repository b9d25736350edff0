// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sonlet {

// How the threshold is placed between the room and the voice, in dB on the engine's level
// meter (the leaky sum of each block's power in dB, which settles on the sound's power in dB of
// one 16-bit step). A pass is loud when the level is strictly above the threshold level, which
// is 100 less the threshold setting.

// The room's loud moments stay at least this far below the threshold level: a quarter of the
// power, so that a fan that picks up or a car passing by does not start a run.
inline constexpr int kRoomMarginDb = 6;
// Where the room allows it, the user's normal voice lies this far above the threshold level.
// "e" steers up only when the voice is 10 dB over it (the loudness bonus must pass 2, and it
// grows one step for every 2 dB); the other 6 dB leave room for a vowel said more softly than
// the "aaa" heard here ("i" and "u" are quieter than "a" at the same effort) or from a little
// further away. Placing the threshold from the voice rather than from the room also keeps
// other, more distant talkers below it, and gives the normal voice the same pointer speed
// whatever the microphone's gain.
inline constexpr int kVoiceHeadroomDb = 16;
// Less than this between the voice and the lowest threshold the room allows, and the voice
// would fall below the threshold at its first waver: refused.
inline constexpr int kLeastHeadroomDb = 6;
// The voice over the threshold that "e" needs, with 2 dB to spare; below it the user is told
// that "up" asks for a louder voice than the "aaa".
inline constexpr int kUpHeadroomDb = 12;

struct ThresholdChoice {
  enum class Status {
    kChosen,
    kNoVoice,        // no sound rose clearly over the room
    kVoiceTooQuiet,  // a voice was heard, but too close to the room's level
  };
  Status status = Status::kNoVoice;
  float room_db = 0.0f;   // the room's loud moments
  float voice_db = 0.0f;  // the voice, held (kChosen, kVoiceTooQuiet)
  int threshold = 0;      // the setting, 0..90 (kChosen)
  int threshold_db = 0;   // 100 - threshold
  // The voice over the threshold level; with kVoiceTooQuiet, over the lowest the room allows.
  int headroom_db = 0;

  bool up_needs_louder_voice() const { return headroom_db < kUpHeadroomDb; }
};

// The threshold for a room whose loud moments reach room_db and a voice held at voice_db: as
// far below the voice as kVoiceHeadroomDb when the room stays kRoomMarginDb under that,
// otherwise just kRoomMarginDb over the room, as long as the voice keeps kLeastHeadroomDb over
// it. Whole dB, as the setting is: rounded towards the room when placed from the voice, away
// from it when placed from the room.
ThresholdChoice ChooseThreshold(float room_db, float voice_db);

}  // namespace sonlet
