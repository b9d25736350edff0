// SPDX-License-Identifier: GPL-3.0-or-later
// The menu "Vocales": steering with the user's own vowels, remembered from one start to the
// next, the box when they cannot be read, and the calibration by voice, heard through the real
// engine from recordings of a man's five vowels.

#include <QAction>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <memory>

#include "audio/paced_source.h"
#include "calibration/calibration_file.h"
#include "engine/engine_harness.h"
#include "input/null_sink.h"
#include "panel/calibration_dialog.h"
#include "panel/paint_counter.h"
#include "panel/panel_fixture.h"
#include "panel/panel_relay.h"
#include "panel/vowel_chart.h"
#include "support/wav_file.h"

namespace sonlet {

namespace {

const std::string kProfile = "45\n3\n20\n80\n50\n1\n";

// A calibration in the file's own format: "i" where the man's recorded "a" lies (F1 about
// 800 Hz, F2 about 1400 Hz), so that steering with it sends his "a" to the left.
const std::string kSwappedVowels =
    "# a test voice\n"
    "sonlet-calibration 1\n"
    "a 300.0 900.0 0 0.070 0.050 0 60\n"
    "e 500.0 1900.0 0 0.070 0.050 0 60\n"
    "i 800.0 1400.0 0 0.100 0.080 0 60\n"
    "o 450.0 700.0 0 0.070 0.050 0 60\n";

// What reached the desktop, counted on the engine's thread.
struct InputLog {
  std::atomic<int> events{0};
  std::atomic<int> right{0};
  std::atomic<int> left{0};
};

struct CountingInput : InputSink {
  explicit CountingInput(std::shared_ptr<InputLog> log) : log_(std::move(log)) {}
  int Move(int dx, int /*dy*/) override {
    if (dx > 0) ++log_->right;
    if (dx < 0) ++log_->left;
    return Note();
  }
  int LeftDown() override { return Note(); }
  int LeftUp() override { return Note(); }
  int EnterDown() override { return Note(); }
  int EnterUp() override { return Note(); }
  int Note() {
    ++log_->events;
    return 0;
  }
  std::shared_ptr<InputLog> log_;
};

std::vector<int16_t> Recording(const std::string& name) {
  std::vector<int16_t> samples;
  std::string error;
  if (!ReadWav8kMono(DataPath(name), &samples, &error)) qFatal("%s", error.c_str());
  return samples;
}

QAction* MenuItem(const ControlPanel& panel, const char* name) {
  return panel.findChild<QAction*>(QLatin1String(name));
}

// The vowel map the engine steers with, or null for the fixed regions.
const CalibratedDecision* Strategy(const ControlPanel& panel) {
  return dynamic_cast<const CalibratedDecision*>(panel.settings().direction_strategy.load());
}

// The part of a recording from one moment to another, in seconds.
std::vector<int16_t> Slice(const std::vector<int16_t>& samples, double from, double to) {
  const auto at = [&](double seconds) {
    return samples.begin() +
           static_cast<long>(std::min(samples.size(), static_cast<size_t>(seconds * 8000)));
  };
  return std::vector<int16_t>(at(from), at(to));
}

// The engine's passes over a sound, listening with the profile above.
std::vector<PassRecord> PassesOf(std::vector<int16_t> sound) {
  EngineUnderTest engine(std::move(sound));
  StoreSetting(engine.settings.listening, 1);
  for (auto [setting, value] : {std::pair{&engine.settings.threshold, 45},
                                {&engine.settings.click_min, 3},
                                {&engine.settings.click_max, 20},
                                {&engine.settings.height, 80},
                                {&engine.settings.speed, 50},
                                {&engine.settings.male, 1}}) {
    StoreSetting(*setting, value);
  }
  engine.Run();
  return engine.out.passes;
}

// Hands passes to a calibration box as the relay does, in batches, leaving out `lost` passes
// from `first_lost` on. Returns everything the box said on the way.
QStringList Feed(CalibrationDialog& dialog, const std::vector<PassRecord>& passes,
                 size_t first_lost = 0, size_t lost = 0) {
  QStringList said;
  PassBatch batch;
  const auto hand_over = [&] {
    if (batch.count == 0) return;
    dialog.TakePasses(batch);
    if (said.isEmpty() || said.back() != dialog.news()) said << dialog.news();
    batch.count = 0;
    batch.dropped = 0;
  };
  for (size_t i = 0; i < passes.size(); ++i) {
    if (i >= first_lost && i < first_lost + lost) {
      ++batch.dropped;
      continue;
    }
    if (batch.count == kRelayedPasses) hand_over();
    batch.passes[batch.count++] = passes[i];
    if (batch.count == 7) hand_over();
  }
  hand_over();
  return said;
}

// Where each run of held voice begins among the passes.
std::vector<size_t> RunStarts(const std::vector<PassRecord>& passes) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < passes.size(); ++i) {
    if (passes[i].loud && passes[i].pitch_median != 0.0f && passes[i].run == 1) starts.push_back(i);
  }
  return starts;
}

// What a man's vowels are: "a" the most open (highest F1), "i" the most front (highest F2) and
// the most closed of a, e and i, "o" and "u" further back than "e" and "i".
bool LikeAMansVowels(const VowelMap& map) {
  const auto at = [&](char v) { return map.vowels[VowelIndex(v)]; };
  for (char v : {'a', 'e', 'i', 'o', 'u'}) {
    if (!at(v).present) return false;
  }
  return at('a').f1_hz > at('e').f1_hz && at('e').f1_hz > at('i').f1_hz &&
         at('i').f2_hz > at('e').f2_hz && at('e').f2_hz > at('a').f2_hz &&
         at('o').f2_hz < at('a').f2_hz;
}

// A panel on the folder of another, as the next start of the program finds it.
std::unique_ptr<ControlPanel> Restart(const PanelUnderTest& t) {
  auto panel = std::make_unique<ControlPanel>(t.profile_path().toStdString());
  if (!panel->LoadProfile()) qFatal("the profile did not load");
  return panel;
}

}  // namespace

class PanelCalibrationTest : public QObject {
  Q_OBJECT

 private slots:
  // "Usar calibración" reads calibration.txt beside the profile, gives it to the engine and is
  // remembered in options.txt; user.txt keeps its six lines.
  void UsingTheCalibrationIsRememberedAcrossStarts() {
    PanelUnderTest t(kProfile);
    WriteFile(t.dir.filePath("calibration.txt"), kSwappedVowels);
    QAction* use = MenuItem(*t.panel, "use-calibration");
    QVERIFY(use != nullptr && use->isCheckable() && !use->isChecked());
    QVERIFY(Strategy(*t.panel) == nullptr);

    use->trigger();
    QVERIFY(use->isChecked());
    QVERIFY(Strategy(*t.panel) != nullptr);
    QCOMPARE(Strategy(*t.panel)->Decide(800, 1400).direction, Direction::kLeft);
    QCOMPARE(ReadFile(t.dir.filePath("options.txt")), std::string("calibracion 1\n"));
    t.panel.reset();

    auto again = Restart(t);
    QVERIFY(MenuItem(*again, "use-calibration")->isChecked());
    QVERIFY(Strategy(*again) != nullptr);
    QCOMPARE(Strategy(*again)->Decide(800, 1400).direction, Direction::kLeft);
    MenuItem(*again, "use-calibration")->trigger();
    QVERIFY(Strategy(*again) == nullptr);
    QCOMPARE(ReadFile(t.dir.filePath("options.txt")), std::string("calibracion 0\n"));
    again->show();
    QTest::mouseClick(Control<QPushButton>(*again, 1), Qt::LeftButton);  // "Salir" saves
    QCOMPARE(t.ProfileText(), kProfile);
    again.reset();

    auto third = Restart(t);
    QVERIFY(!MenuItem(*third, "use-calibration")->isChecked());
    QVERIFY(Strategy(*third) == nullptr);
  }

  // The engine steers with the panel's calibration: the man's "a" goes left with the swapped
  // map and right with the fixed regions.
  void TheEngineSteersWithTheCalibrationInUse() {
    for (const bool calibrated : {true, false}) {
      PanelUnderTest t(kProfile);
      WriteFile(t.dir.filePath("calibration.txt"), kSwappedVowels);
      if (calibrated) MenuItem(*t.panel, "use-calibration")->trigger();
      QTest::mouseClick(Control<QPushButton>(*t.panel, 1000), Qt::LeftButton);  // "Iniciar"
      auto log = std::make_shared<InputLog>();
      RecordedEvents told;
      t.panel->StartEngine(std::make_unique<MemorySource>(Recording("vowel_a_male.wav")),
                           std::make_unique<CountingInput>(log), told);
      QTRY_VERIFY(log->left + log->right >= 10);
      QCOMPARE(log->left > 0, calibrated);
      QCOMPARE(log->right > 0, !calibrated);
    }
  }

  // A calibration that cannot be read: a box says why, that the fixed regions steer, and how to
  // make one; the item is off and the engine keeps to the regions.
  void UnreadableCalibrationSaysSoAndKeepsTheRegions() {
    enum class Way { kMenu, kRemembered, kNamed };
    struct Row {
      const char* what;
      Way way;
      std::string contents;  // empty: no file
      bool usable;
      const char* reason;             // the Spanish reason the box gives
      const char* link_to = nullptr;  // the file is a link to this instead
    };
    const std::string wide_line = "sonlet-calibration 1\n" + std::string(60000, 'x') + "\n";
    const Row table[] = {
        {"no file, from the menu", Way::kMenu, "", false, "no existe el archivo"},
        {"not a calibration", Way::kMenu, "hola\n", false, "no es una calibración de Sonlet"},
        {"a later version", Way::kMenu, "sonlet-calibration 2\na 700 1300 0 0.07 0.05 0 60\n",
         false, "es de la versión 2, y este Sonlet lee la versión 1"},
        {"a vowel missing", Way::kMenu, "sonlet-calibration 1\na 700 1300 0 0.07 0.05 0 60\n",
         false, "no tiene ninguna línea para la vocal e"},
        {"a line far too wide to show", Way::kMenu, wide_line, false,
         "línea 2, «xxxxxxxxxxxxxxxxxxxxxxxx...» no es una de las vocales"},
        {"a file far too large", Way::kMenu, std::string(10 << 20, '#'), false,
         "ocupa más de 64 KiB"},
        {"a device that never ends", Way::kMenu, "", false, "no es un archivo normal", "/dev/zero"},
        {"no file, remembered as on", Way::kRemembered, "", false, "no existe el archivo"},
        {"no file, named on the command line", Way::kNamed, "", false, "no existe el archivo"},
        {"a good file, named on the command line", Way::kNamed, kSwappedVowels, true, ""},
    };
    for (const Row& row : table) {
      QTemporaryDir dir;
      const QString profile = dir.filePath("user.txt");
      WriteFile(profile, kProfile);
      const QString file = dir.filePath(row.way == Way::kNamed ? "mine.txt" : "calibration.txt");
      if (!row.contents.empty()) WriteFile(file, row.contents);
      if (row.link_to != nullptr) QVERIFY(QFile::link(QString::fromLatin1(row.link_to), file));
      if (row.way == Way::kRemembered) WriteFile(dir.filePath("options.txt"), "calibracion 1\n");

      BoxAnswerer answerer;
      ControlPanel panel(profile.toStdString());
      if (row.way == Way::kNamed) panel.SetCalibrationFile(file.toStdString());
      QVERIFY(panel.LoadProfile());
      if (row.way == Way::kMenu) MenuItem(panel, "use-calibration")->trigger();

      QCOMPARE(MenuItem(panel, "use-calibration")->isChecked(), row.usable);
      QCOMPARE(Strategy(panel) != nullptr, row.usable);
      QCOMPARE(answerer.boxes, row.usable ? 0 : 1);
      if (row.usable) continue;
      QCOMPARE(answerer.title, QStringLiteral("Error"));
      QVERIFY(answerer.ok_only);
      for (const QString& part :
           {QStringLiteral("No se puede leer la calibración"), QStringLiteral("regiones fijas"),
            QStringLiteral("«Vocales › Calibración…»"), QString::fromUtf8(row.reason), file}) {
        QVERIFY2(answerer.text.contains(part), qPrintable(row.what + (": " + answerer.text)));
      }
      // The whole box in one language, and short enough to read.
      QVERIFY2(!answerer.text.contains(QStringLiteral("calibration file")), row.what);
      QVERIFY2(answerer.text.size() < 600, row.what);
    }
  }

  // The man's five vowels, one after another as the box asks for them, heard through the real
  // engine at their real pace while "Iniciar" is on: the box asks for each in turn, moves
  // nothing meanwhile, and ENTER at the end writes a calibration that steers from then on.
  void CalibratingByVoiceWritesTheFileAndMovesNothingMeanwhile() {
    PanelUnderTest t(kProfile);
    QTest::mouseClick(Control<QPushButton>(*t.panel, 1000), Qt::LeftButton);
    MenuItem(*t.panel, "calibrate")->trigger();
    auto* dialog = t.panel->findChild<CalibrationDialog*>();
    QVERIFY(dialog != nullptr && dialog->isVisible());
    QStringList prompts;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
      if (prompts.isEmpty() || prompts.back() != dialog->prompt()) prompts << dialog->prompt();
    });
    watch.start(5);

    const std::vector<int16_t> gap = Silence(20);  // 0.4 s
    const std::vector<int16_t> sound =
        Join({gap, Recording("vowel_a_male.wav"), gap, Recording("vowel_e_male.wav"), gap,
              Recording("vowel_i_male.wav"), gap, Recording("vowel_o_male.wav"), gap,
              Recording("vowel_u_male.wav"), Silence(150), Recording("vowel_a_male.wav"), gap});
    auto log = std::make_shared<InputLog>();
    RecordedEvents told;
    t.panel->StartEngine(std::make_unique<PacedSource>(std::make_unique<MemorySource>(sound)),
                         std::make_unique<CountingInput>(log), told);
    auto* save = dialog->findChild<QPushButton*>("save");
    QTRY_VERIFY_WITH_TIMEOUT(save->isEnabled(), 60000);
    watch.stop();
    QCOMPARE(log->events.load(), 0);
    QCOMPARE(prompts, QStringList({
                          "Vocal «a» (mueve hacia la derecha): diga «aaaa» durante dos segundos.",
                          "Vocal «e» (mueve hacia arriba): diga «eeee» durante dos segundos.",
                          "Vocal «i» (mueve hacia la izquierda): diga «iiii» durante dos segundos.",
                          "Vocal «o» (mueve hacia abajo): diga «oooo» durante dos segundos.",
                          "Vocal «u» (mueve hacia abajo): diga «uuuu» durante dos segundos.",
                          "Calibración completa: así quedan sus vocales.",
                      }));
    QVERIFY(dialog->findChild<VowelChart*>()->isVisible());

    QTest::keyClick(dialog, Qt::Key_Return);
    QTRY_VERIFY(t.panel->findChild<CalibrationDialog*>() == nullptr);
    VowelMap map;
    QCOMPARE(ReadCalibration(t.dir.filePath("calibration.txt").toStdString(), &map), std::string());
    QVERIFY(LikeAMansVowels(map));
    QCOMPARE(ReadFile(t.dir.filePath("options.txt")), std::string("calibracion 1\n"));
    QVERIFY(MenuItem(*t.panel, "use-calibration")->isChecked());
    QVERIFY(Strategy(*t.panel) != nullptr);
    QCOMPARE(LoadSetting(t.panel->settings().listening), 1);

    // The last "a" steers again, to the right as the new map has it.
    QTRY_VERIFY_WITH_TIMEOUT(log->right > 0, 30000);
    QCOMPARE(log->left.load(), 0);
  }

  // Passes the relay dropped while the panel was busy: a take that went on through them is
  // still one take (not two, the second taken for the next vowel), and one that ended among
  // them is not run into the next. A take that is too short is asked for again.
  void TakesSurvivePassesLostOnTheWay() {
    const std::vector<int16_t> gap = Silence(20);
    const std::vector<int16_t> a = Recording("vowel_a_male.wav");
    const std::vector<int16_t> rest =
        Join({gap, Recording("vowel_e_male.wav"), gap, Recording("vowel_i_male.wav"), gap,
              Recording("vowel_o_male.wav"), gap, Recording("vowel_u_male.wav"), gap});
    const std::vector<PassRecord> vowels = PassesOf(Join({gap, a, rest}));
    const std::vector<PassRecord> short_a = PassesOf(Join({gap, Slice(a, 0, 0.55), gap, a, rest}));
    const std::vector<size_t> runs = RunStarts(vowels);
    QCOMPARE(runs.size(), size_t{5});
    QCOMPARE(RunStarts(short_a).size(), size_t{6});
    // From the last passes of the "a" to the first of the "e", the silence between them all.
    size_t end_of_a = runs[1] - 1;
    while (!(vowels[end_of_a].loud && vowels[end_of_a].pitch_median != 0.0f)) --end_of_a;
    const size_t over_gap = end_of_a - 3;
    // Enough of the "a" for a take on either side of the passes lost amid it.
    const size_t amid_a = runs[0] + TakeCollector::kSettlingPasses + kFewestTakePasses + 5;
    QVERIFY(runs[1] - amid_a > 5 + kFewestTakePasses + 20);
    struct Row {
      const char* what;
      const std::vector<PassRecord>& passes;
      size_t first_lost, lost;
      const char* first_news;
    };
    const Row table[] = {
        {"nothing lost", vowels, 0, 0, "«a» recogida \\(\\d+ pasadas\\)\\."},
        {"lost amid the a", vowels, amid_a, 5, "«a» recogida"},
        {"lost from the end of a to the start of e", vowels, over_gap, runs[1] + 5 - over_gap,
         "«a» recogida"},
        {"a short a first", short_a, 0, 0,
         "^Demasiado corta \\(\\d+ pasadas de %1\\): repita la «a», más larga\\.$"},
    };
    for (const Row& row : table) {
      CalibrationDialog dialog(55);
      const QStringList said = Feed(dialog, row.passes, row.first_lost, row.lost);
      QVERIFY2(said.size() >= 2, row.what);
      const QString first_news = QString::fromUtf8(row.first_news).arg(kFewestTakePasses);
      QVERIFY2(said[1].contains(QRegularExpression(first_news)), qPrintable(said.join(" | ")));
      QVERIFY2(dialog.prompt().startsWith(QStringLiteral("Calibración completa")),
               qPrintable(row.what + (": " + said.join(" | "))));
      QVERIFY2(LikeAMansVowels(dialog.map()), row.what);
    }
  }

  // "Ver vocales" opens the chart beside the panel; the engine's passes reach it; ESC closes it.
  void TheChartFollowsTheEngineAndClosesWithEscape() {
    PanelUnderTest t(kProfile);
    QTest::mouseClick(Control<QPushButton>(*t.panel, 1000), Qt::LeftButton);
    MenuItem(*t.panel, "show-vowels")->trigger();
    auto* chart = t.panel->findChild<VowelChart*>();
    QVERIFY(chart != nullptr && chart->isWindow());
    QVERIFY(QTest::qWaitForWindowActive(chart));
    QVERIFY(!chart->frameGeometry().intersects(t.panel->frameGeometry()) ||
            chart->frameGeometry().right() >= chart->screen()->availableGeometry().right());
    PaintCounter counter(chart);
    RecordedEvents told;
    t.panel->StartEngine(std::make_unique<PacedSource>(
                             std::make_unique<MemorySource>(Recording("vowel_a_male.wav"))),
                         std::make_unique<NullSink>(), told);
    QTRY_VERIFY(counter.paints >= 5);
    QTest::keyClick(chart, Qt::Key_Escape);
    QVERIFY(!chart->isVisible());
    QVERIFY(t.panel->isVisible());
  }

  // Opened while stopped, the box listens and leaves the panel stopped again; ENTER does nothing
  // before there is something to save, ESC cancels and writes nothing.
  void CancellingLeavesEverythingAsItWas() {
    PanelUnderTest t(kProfile);
    auto* start = Control<QPushButton>(*t.panel, 1000);
    MenuItem(*t.panel, "calibrate")->trigger();
    auto* dialog = t.panel->findChild<CalibrationDialog*>();
    QVERIFY(dialog != nullptr);
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    QCOMPARE(LoadSetting(t.panel->settings().listening), 1);
    QVERIFY(!start->isEnabled());
    QCOMPARE(
        dialog->prompt(),
        QStringLiteral("Vocal «a» (mueve hacia la derecha): diga «aaaa» durante dos segundos."));

    QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
    QVERIFY(dialog->isVisible());
    QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(t.panel->findChild<CalibrationDialog*>() == nullptr);
    QCOMPARE(LoadSetting(t.panel->settings().listening), 0);
    QVERIFY(start->isEnabled());
    QVERIFY(!QFile::exists(t.dir.filePath("calibration.txt")));
    QVERIFY(!MenuItem(*t.panel, "use-calibration")->isChecked());
  }
};

}  // namespace sonlet

QTEST_MAIN(sonlet::PanelCalibrationTest)
#include "panel_calibration_test.moc"
