// SPDX-License-Identifier: GPL-3.0-or-later
// "Opciones › Ajustar umbral": the box hears a room and a voice made at known levels through the
// real engine at their real pace, moves the threshold slider to its choice, and the choice is
// saved as a slider's change is.

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <memory>

#include "audio/paced_source.h"
#include "engine/engine_harness.h"
#include "panel/panel_fixture.h"
#include "panel/threshold_dialog.h"
#include "panel/track_bar.h"
#include "support/sound_level.h"

namespace sonlet {

namespace {

const std::string kProfile = "45\n3\n20\n80\n50\n1\n";

// Whatever reached the desktop, counted on the engine's thread.
struct CountingInput : InputSink {
  explicit CountingInput(std::shared_ptr<std::atomic<int>> events) : events_(std::move(events)) {}
  int Move(int, int) override { return Note(); }
  int LeftDown() override { return Note(); }
  int LeftUp() override { return Note(); }
  int EnterDown() override { return Note(); }
  int EnterUp() override { return Note(); }
  int Note() {
    ++*events_;
    return 0;
  }
  std::shared_ptr<std::atomic<int>> events_;
};

}  // namespace

class PanelThresholdTest : public QObject {
  Q_OBJECT

 private slots:
  // While listening, so that the "aaa" would steer were the pointer not held. A room at 35 dB
  // and a voice at 70: the threshold level goes 16 dB under the voice, 54 dB (setting 46; the
  // meter reads the noise and vowel within a dB of where they were made). A voice at 50 over a
  // room at 45 is refused, and the slider stays.
  void TheBoxMovesTheSliderAndSalirSavesIt() {
    struct Row {
      double room, voice;
      bool chosen;
      int least, most;  // the setting, when chosen
      const char* prompt;
    };
    const Row table[] = {
        {35, 70, true, 45, 47, "Umbral sugerido: "},
        {45, 50, false, 45, 45, "No se ha cambiado el umbral."},
    };
    for (const Row& row : table) {
      PanelUnderTest t(kProfile);
      QTest::mouseClick(Control<QPushButton>(*t.panel, 1000), Qt::LeftButton);  // "Iniciar"
      t.panel->findChild<QAction*>(QStringLiteral("adjust-threshold"))->trigger();
      auto* box = t.panel->findChild<ThresholdDialog*>();
      QVERIFY(box != nullptr && box->isVisible());
      auto* accept = box->findChild<QPushButton*>(QStringLiteral("accept"));
      auto* again = box->findChild<QPushButton*>(QStringLiteral("again"));
      QVERIFY(!accept->isEnabled());

      auto events = std::make_shared<std::atomic<int>>(0);
      RecordedEvents told;
      t.panel->StartEngine(std::make_unique<PacedSource>(std::make_unique<MemorySource>(
                               RoomThenVoices(row.room, {{53, row.voice}}))),
                           std::make_unique<CountingInput>(events), told);
      QTRY_VERIFY_WITH_TIMEOUT(again->isEnabled(), 30000);
      const QString prompt = box->prompt();
      QVERIFY2(prompt.startsWith(QString::fromUtf8(row.prompt)), qPrintable(prompt));
      QCOMPARE(accept->isEnabled(), row.chosen);
      QCOMPARE(events->load(), 0);

      auto* slider = Control<TrackBar>(*t.panel, 1002);
      if (row.chosen) {
        QTest::keyClick(box, Qt::Key_Return);
      } else {
        QVERIFY2(box->news().contains(QStringLiteral("Acérquese al micrófono")),
                 qPrintable(box->news()));
        // "Repetir" starts over from the room, with nothing to accept.
        QTest::mouseClick(again, Qt::LeftButton);
        QCOMPARE(box->prompt(), QStringLiteral("Escuchando la sala: silencio, por favor."));
        QVERIFY(!accept->isEnabled() && !again->isEnabled());
        QTest::keyClick(box, Qt::Key_Escape);
      }
      QTRY_VERIFY(t.panel->findChild<ThresholdDialog*>() == nullptr);
      QVERIFY2(slider->value() >= row.least && slider->value() <= row.most,
               qPrintable(QString::number(slider->value())));
      if (row.chosen) QCOMPARE(prompt, QStringLiteral("Umbral sugerido: %1.").arg(slider->value()));
      QCOMPARE(LoadSetting(t.panel->settings().threshold), slider->value());
      QTest::mouseClick(Control<QPushButton>(*t.panel, 1), Qt::LeftButton);  // "Salir"
      QCOMPARE(t.ProfileText(), std::to_string(slider->value()) + "\n3\n20\n80\n50\n1\n");
    }
  }
};

}  // namespace sonlet

QTEST_MAIN(sonlet::PanelThresholdTest)
#include "panel_threshold_test.moc"
