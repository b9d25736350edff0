// The automatic threshold: where it goes between a room and a voice at known levels, and what
// the real engine then does with it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine_harness.h"
#include "engine/speaker_normalisation.h"
#include "support/sound_level.h"
#include "threshold/threshold_probe.h"

namespace sonlet {

namespace {

using Status = ThresholdChoice::Status;

// Levels worked by hand. The threshold level is floor(voice) - 16 when that keeps the room's
// loud moments 6 dB under it, otherwise ceil(room) + 6; the setting is 100 less. Refused when
// the voice is less than 6 dB over it.
TEST(ChooseThreshold, KeepsTheRoomBelowAndTheVoiceWellAbove) {
  struct Row {
    float room, voice;
    Status status;
    int threshold;  // the setting (kChosen)
    int headroom;
    bool up_needs_louder;
  };
  const Row table[] = {
      // Quiet rooms: 16 dB under the voice. 60 - 16 = 44 (room 25 + 6 = 31 allows it).
      {25, 60, Status::kChosen, 56, 16, false},
      {35, 70, Status::kChosen, 46, 16, false},  // 70 - 16 = 54
      {45, 80, Status::kChosen, 36, 16, false},  // 80 - 16 = 64
      // Rounded towards the room: 70.9 - 16 is 54.9, 54 keeps all 16 dB.
      {35, 70.9f, Status::kChosen, 46, 16, false},
      // Where the voice's 16 dB and the room's 6 just meet: 67 - 16 = 51 = 45 + 6 ...
      {45, 67, Status::kChosen, 49, 16, false},
      // ... and one dB more voice moves the threshold up with it: 68 - 16 = 52.
      {45, 68, Status::kChosen, 48, 16, false},
      // A loud room: 45 + 6 = 51 rules; 60 is 9 dB over it, short of the 10 "e" needs.
      {45, 60, Status::kChosen, 49, 9, true},
      // The room rounded away from the voice: ceil(44.2) + 6 = 51.
      {44.2f, 60, Status::kChosen, 49, 9, true},
      // "e"'s 10 dB with 2 to spare: 63 - 51 = 12 is enough, 62 - 51 = 11 is not.
      {45, 63, Status::kChosen, 49, 12, false},
      {45, 62, Status::kChosen, 49, 11, true},
      // The least the voice may have: 57 - 51 = 6 is taken, 56.9 (56 whole) is refused.
      {45, 57, Status::kChosen, 49, 6, true},
      {45, 56.9f, Status::kVoiceTooQuiet, 0, 5, true},
      {45, 47, Status::kVoiceTooQuiet, 0, -4, true},
      // Digital silence (0 dB): 0 + 6 and 20 - 16 are below the lowest threshold level the
      // setting has (10, setting 90); 20 is 10 over it, 15 only 5.
      {0, 20, Status::kChosen, 90, 10, true},
      {0, 15, Status::kVoiceTooQuiet, 0, 5, true},
      // A room at the top of the meter leaves no room for any voice: 80 + 6 = 86, 90 - 86 = 4.
      {80, 90, Status::kVoiceTooQuiet, 0, 4, true},
  };
  for (const Row& row : table) {
    const std::string what =
        "room " + std::to_string(row.room) + ", voice " + std::to_string(row.voice);
    const ThresholdChoice choice = ChooseThreshold(row.room, row.voice);
    EXPECT_EQ(choice.status, row.status) << what;
    EXPECT_EQ(choice.headroom_db, row.headroom) << what;
    EXPECT_EQ(choice.up_needs_louder_voice(), row.up_needs_louder) << what;
    if (row.status != Status::kChosen) continue;
    EXPECT_EQ(choice.threshold, row.threshold) << what;
    EXPECT_EQ(choice.threshold_db, 100 - row.threshold) << what;
  }
}

// The engine's level of a sound, pass by pass, listening off: what the probe is fed.
std::vector<float> Levels(std::vector<int16_t> sound, int threshold = 0) {
  EngineUnderTest engine(std::move(sound));
  StoreSetting(engine.settings.threshold, threshold);
  engine.Run();
  std::vector<float> levels;
  for (const PassRecord& record : engine.out.passes) levels.push_back(record.level);
  return levels;
}

// What the probe said, in order, over a sound and its end.
std::vector<ThresholdProbe::Event> Probe(ThresholdProbe& probe, const std::vector<float>& levels) {
  std::vector<ThresholdProbe::Event> said;
  for (float level : levels) {
    const ThresholdProbe::Event event = probe.Feed(level);
    if (event != ThresholdProbe::Event::kNone) said.push_back(event);
  }
  const ThresholdProbe::Event event = probe.Finish();
  if (event != ThresholdProbe::Event::kNone) said.push_back(event);
  return said;
}

// A room and an "aaa" at known levels through the real engine: the probe hears each where it
// was made (white noise and a steady vowel read their RMS in dB on the meter, within a dB), and
// with the threshold it chooses the room's passes are never loud while the held voice is, with
// the 10 dB "e" needs when the choice says so.
TEST(ThresholdProbe, HearsRoomAndVoiceAtTheirLevelsAndTheChoiceHolds) {
  using Event = ThresholdProbe::Event;
  const std::vector<Event> chosen = {Event::kRoomHeard, Event::kDone};
  struct Row {
    double room;
    std::vector<std::pair<int, double>> said;  // blocks of voice, its level
    std::vector<Event> events;
    Status status;
  };
  const Row table[] = {
      {25, {{53, 60}}, chosen, Status::kChosen},
      {35, {{53, 70}}, chosen, Status::kChosen},
      {45, {{53, 80}}, chosen, Status::kChosen},
      {35, {{107, 70}}, chosen, Status::kChosen},  // a long "aaa" is the same voice
      {45, {{53, 60}}, chosen, Status::kChosen},   // placed from the room
      {45, {{53, 52}}, chosen, Status::kVoiceTooQuiet},
      // Under the room: voice 42 and room 45 together read 46.8 dB, short of the room's loud
      // moments + 3, so no voice at all.
      {45, {{53, 42}}, {Event::kRoomHeard, Event::kDone}, Status::kNoVoice},
      // A "clic" (150 ms) is not the voice held; the "aaa" after it is.
      {35,
       {{8, 70}, {53, 70}},
       {Event::kRoomHeard, Event::kTooShort, Event::kDone},
       Status::kChosen},
      {35, {}, {Event::kRoomHeard, Event::kDone}, Status::kNoVoice},
  };
  for (const Row& row : table) {
    const std::string what = "room " + std::to_string(row.room) + ", voice " +
                             (row.said.empty() ? "none" : std::to_string(row.said.back().second));
    const std::vector<int16_t> sound = RoomThenVoices(row.room, row.said);
    ThresholdProbe probe;
    EXPECT_EQ(Probe(probe, Levels(sound)), row.events) << what;
    const ThresholdChoice& choice = probe.choice();
    EXPECT_EQ(choice.status, row.status) << what;
    EXPECT_NEAR(choice.room_db, row.room, 1.0) << what;
    if (row.status == Status::kNoVoice) continue;
    EXPECT_NEAR(choice.voice_db, row.said.back().second, 1.0) << what;
    if (row.status != Status::kChosen) continue;

    // The same sound again with the threshold chosen.
    EngineUnderTest engine(sound);
    StoreSetting(engine.settings.threshold, choice.threshold);
    engine.Run();
    const std::vector<PassRecord>& passes = engine.out.passes;
    const size_t voice_start = kRoomBlocks - 1;
    for (size_t i = ThresholdProbe::kSettlingPasses; i < voice_start; ++i) {
      ASSERT_FALSE(passes[i].loud) << what << ": room pass " << i;
    }
    // The last half of the last "aaa", where the level has settled on the voice.
    const size_t voice_end = passes.size() - kAfterVoiceBlocks;
    const int blocks = row.said.back().first;
    for (size_t i = voice_end - static_cast<size_t>(blocks / 2); i < voice_end; ++i) {
      ASSERT_TRUE(passes[i].loud) << what << ": voice pass " << i;
      if (!choice.up_needs_louder_voice()) {
        ASSERT_GT(LoudnessBonus(passes[i].level, choice.threshold_db), 2) << what << ": pass " << i;
      }
    }
  }
}

// Nothing said at all: the probe waits 12 s for the voice, then gives up.
TEST(ThresholdProbe, GivesUpWhenNoVoiceComes) {
  ThresholdProbe probe;
  int passes = 0;
  ThresholdProbe::Event event = ThresholdProbe::Event::kNone;
  while (event != ThresholdProbe::Event::kDone && passes < 10000) {
    event = probe.Feed(30.0f);
    ++passes;
  }
  EXPECT_EQ(passes, ThresholdProbe::kSettlingPasses + ThresholdProbe::kRoomPasses +
                        ThresholdProbe::kVoiceWaitPasses);
  EXPECT_EQ(probe.choice().status, Status::kNoVoice);
  EXPECT_EQ(probe.choice().room_db, 30.0f);
}

}  // namespace

}  // namespace sonlet
