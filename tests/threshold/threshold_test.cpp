// SPDX-License-Identifier: GPL-3.0-or-later
// The automatic threshold: where it goes between a room and a voice at known levels, and what
// the real engine then does with it.

#include <gtest/gtest.h>

#include <algorithm>
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

// The waits, on levels given pass by pass. Nothing said: 27 passes settle, 160 hear the room,
// then 640 (12 s) wait for a voice. A fan switched on after the room was heard (30 dB, then 50)
// holds over the room for 160 passes, so the room is heard again, at 50, and the "aaa" at 75
// then gives 75 - 16 = 59 dB, setting 41. A room that keeps growing louder (0.05 dB a pass)
// is heard again and again until the 12 s of waiting are spent.
TEST(ThresholdProbe, WaitsForTheVoiceAndHearsAChangedRoomAgain) {
  using Event = ThresholdProbe::Event;
  const auto steps = [](std::initializer_list<std::pair<int, float>> parts) {
    std::vector<float> levels;
    for (auto [passes, db] : parts) levels.insert(levels.end(), passes, db);
    return levels;
  };
  std::vector<float> growing;
  for (int i = 0; i < 5000; ++i) growing.push_back(30.0f + 0.05f * static_cast<float>(i));
  struct Row {
    const char* what;
    std::vector<float> levels;
    std::vector<Event> events;  // empty: not checked pass by pass
    Status status;
    float room;
    int threshold;
  };
  const Row table[] = {
      {"nothing said",
       steps({{2000, 30}}),
       {Event::kRoomHeard, Event::kDone},
       Status::kNoVoice,
       30,
       0},
      {"a fan switched on",
       steps({{200, 30}, {400, 50}, {60, 75}, {60, 50}}),
       {Event::kRoomHeard, Event::kRoomChanged, Event::kRoomHeard, Event::kDone},
       Status::kChosen,
       50,
       41},
      {"a room growing louder", growing, {}, Status::kNoVoice, 0, 0},
  };
  for (const Row& row : table) {
    ThresholdProbe probe;
    std::vector<Event> said;
    size_t fed = 0;
    for (float level : row.levels) {
      ++fed;
      const Event event = probe.Feed(level);
      if (event != Event::kNone) said.push_back(event);
      if (event == Event::kDone) break;
    }
    ASSERT_FALSE(said.empty()) << row.what;
    EXPECT_EQ(said.back(), Event::kDone) << row.what;
    if (!row.events.empty()) {
      EXPECT_EQ(said, row.events) << row.what;
    }
    EXPECT_EQ(probe.choice().status, row.status) << row.what;
    if (row.status == Status::kChosen) {
      EXPECT_EQ(probe.choice().threshold, row.threshold) << row.what;
    }
    if (row.room != 0) {
      EXPECT_EQ(probe.choice().room_db, row.room) << row.what;
    }
    if (row.events.size() == 2) {
      EXPECT_EQ(fed, size_t{ThresholdProbe::kSettlingPasses + ThresholdProbe::kRoomPasses +
                            ThresholdProbe::kVoiceWaitPasses});
    }
    if (row.events.empty()) {
      EXPECT_GE(std::count(said.begin(), said.end(), Event::kRoomChanged), 2) << row.what;
    }
  }
}

}  // namespace

}  // namespace sonlet
