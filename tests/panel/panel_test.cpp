// SPDX-License-Identifier: GPL-3.0-or-later
// The control panel's behaviour: its two states, how the settings follow the controls, how the
// user leaves it, and how the engine's measurements reach it.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <functional>
#include <memory>

#include "audio/paced_source.h"
#include "engine/engine_harness.h"
#include "input/null_sink.h"
#include "panel/action_palette.h"
#include "panel/meter_bar.h"
#include "panel/panel_fixture.h"
#include "panel/panel_tray.h"
#include "panel/readout.h"
#include "panel/track_bar.h"
#include "settings/profile_file.h"
#include "support/synthetic_hiss.h"

namespace sonlet {

namespace {

const std::string kProfile = "45\n3\n20\n80\n50\n1\n";

// Settings of the profile above, in file order, and the sliders that show them.
constexpr int kSliders[] = {1002, 1004, 1009, 1020, 1025};

int32_t Member(const ControlPanel& panel, int slider) {
  const EngineSettings& s = panel.settings();
  switch (slider) {
    case 1002:
      return LoadSetting(s.threshold);
    case 1004:
      return LoadSetting(s.click_min);
    case 1009:
      return LoadSetting(s.click_max);
    case 1020:
      return LoadSetting(s.height);
    case 1025:
      return LoadSetting(s.speed);
    default:
      qFatal("no such slider");
      return 0;
  }
}

void Click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }

// An input that notes when it is let go of, and any event that comes after that.
struct WatchedInput : InputSink {
  struct Log {
    bool destroyed = false;
    int events_after_destruction = 0;
  };
  explicit WatchedInput(std::shared_ptr<Log> log) : log_(std::move(log)) {}
  ~WatchedInput() override { log_->destroyed = true; }
  int Note() {
    if (log_->destroyed) ++log_->events_after_destruction;
    return 0;
  }
  int Move(int, int) override { return Note(); }
  int LeftDown() override { return Note(); }
  int LeftUp() override { return Note(); }
  int EnterDown() override { return Note(); }
  int EnterUp() override { return Note(); }
  std::shared_ptr<Log> log_;
};

// Counts the clicks, which the engine's thread gives and the test reads.
struct CountedClicks : InputSink {
  explicit CountedClicks(std::shared_ptr<std::atomic<int>> clicks) : clicks_(std::move(clicks)) {}
  int Move(int, int) override { return 0; }
  int LeftDown() override {
    ++*clicks_;
    return 0;
  }
  int LeftUp() override { return 0; }
  int EnterDown() override { return 0; }
  int EnterUp() override { return 0; }
  std::shared_ptr<std::atomic<int>> clicks_;
};

// Counts the right button's clicks, which only a chosen action gives.
struct CountedRightClicks : CountedClicks {
  using CountedClicks::CountedClicks;
  int Click(PointerButton button) override { return ButtonDown(button); }
  int ButtonDown(PointerButton button) override {
    if (button == PointerButton::kRight) ++*clicks_;
    return 0;
  }
  int ButtonUp(PointerButton) override { return 0; }
};

}  // namespace

class PanelTest : public QObject {
  Q_OBJECT

 private slots:
  void StateTableStoppedThenListeningThenStopped() {
    PanelUnderTest t(kProfile);
    QVERIFY(t.loaded);
    struct Row {
      int id;
      bool stopped, listening;
    };
    const Row table[] = {{1000, true, false}, {1001, false, true}, {1002, false, true},
                         {1004, false, true}, {1009, false, true}, {1020, false, true},
                         {1025, false, true}, {1005, false, true}, {1008, true, false},
                         {1, true, true}};
    auto check = [&](bool listening) {
      for (const Row& row : table) {
        QWidget* w = Control<QWidget>(*t.panel, row.id);
        QVERIFY2(w != nullptr, qPrintable(QString::number(row.id)));
        QCOMPARE(w->isEnabled(), listening ? row.listening : row.stopped);
      }
      QCOMPARE(LoadSetting(t.panel->settings().listening), listening ? 1 : 0);
    };
    check(false);
    Click(Control<QPushButton>(*t.panel, 1000));
    check(true);
    Click(Control<QPushButton>(*t.panel, 1001));
    check(false);
    // Start and stop leave the settings as the profile gave them.
    const Profile read = [&] {
      Profile p;
      ReadProfile(t.profile_path().toStdString(), &p);
      return p;
    }();
    QCOMPARE(LoadSetting(t.panel->settings().threshold), read.threshold);
    QCOMPARE(LoadSetting(t.panel->settings().click_min), read.click_min);
    QCOMPARE(LoadSetting(t.panel->settings().click_max), read.click_max);
    QCOMPARE(LoadSetting(t.panel->settings().height), read.height);
    QCOMPARE(LoadSetting(t.panel->settings().speed), read.speed);
    QCOMPARE(LoadSetting(t.panel->settings().male), read.male);
  }

  void TabKeyVisitsTheControlsInTheirOrder() {
    PanelUnderTest t(kProfile);
    Click(Control<QPushButton>(*t.panel, 1000));  // listening: the settings take the focus too
    // "Salir" first; the meters, the height slider and the hidden controls are skipped.
    const int expected[] = {1, 1001, 1002, 1004, 1005, 1009, 1014, 1015, 1017, 1018, 1019, 1025};
    Control<QWidget>(*t.panel, 1)->setFocus();
    QStringList visited;
    for (size_t i = 0; i < std::size(expected); ++i) {
      visited << t.panel->focusWidget()->objectName();
      QTest::keyClick(t.panel->focusWidget(), Qt::Key_Tab);
    }
    QStringList wanted;
    for (int id : expected) wanted << QString::number(id);
    QCOMPARE(visited, wanted);
    QCOMPARE(t.panel->focusWidget()->objectName(), QStringLiteral("1"));  // round again
  }

  void HiddenControlsStayHiddenAndClickStaysLeftButton() {
    PanelUnderTest t(kProfile);
    auto* action = Control<QComboBox>(*t.panel, 1008);
    QVERIFY(action != nullptr && Control<Readout>(*t.panel, 1022) != nullptr);
    QVERIFY(!action->isVisible());
    QVERIFY(!Control<Readout>(*t.panel, 1022)->isVisible());
    QCOMPARE(action->itemText(0), QStringLiteral("Boton Izdo Raton"));
    QCOMPARE(action->itemText(1), QStringLiteral("Tecla \"ENTER\""));
    Click(Control<QPushButton>(*t.panel, 1000));  // a store exchange takes the combo's index
    QCOMPARE(LoadSetting(t.panel->settings().click_action), 0);
  }

  void MenuHasTheManualTheVowelsTheOptionsAndTheAboutBoxAtTheRight() {
    PanelUnderTest t(kProfile);
    auto* bar = t.panel->findChild<QMenuBar*>();
    QVERIFY(bar != nullptr);
    QCOMPARE(bar->actions().size(), 3);
    QCOMPARE(bar->actions()[0]->text(), QStringLiteral("Manual (pdf)"));
    QCOMPARE(bar->actions()[1]->text(), QStringLiteral("&Vocales"));
    QCOMPARE(bar->actions()[2]->text(), QStringLiteral("&Opciones"));
    QStringList vowels;
    for (QAction* item : bar->actions()[1]->menu()->actions()) vowels << item->text();
    QCOMPARE(vowels,
             QStringList({QStringLiteral("&Calibración…"), QStringLiteral("&Usar calibración"),
                          QStringLiteral("&Ver vocales")}));
    QStringList options;
    // Switches, and one box that sets the threshold.
    for (QAction* item : bar->actions()[2]->menu()->actions()) {
      QCOMPARE(item->isCheckable(), item->text() != QStringLiteral("&Ajustar umbral"));
      options << item->text();
    }
    QCOMPARE(
        options,
        QStringList({QStringLiteral("&Iniciar con la sesión"), QStringLiteral("&Pausa con «sss»"),
                     QStringLiteral("I&gnorar el habla"), QStringLiteral("&Movimiento ágil"),
                     QStringLiteral("Paleta de a&cciones"), QStringLiteral("&Ajustar umbral")}));
    auto* corner = qobject_cast<QMenuBar*>(bar->cornerWidget(Qt::TopRightCorner));
    QVERIFY(corner != nullptr);
    QCOMPARE(corner->actions()[0]->text(), QStringLiteral("&Acerca de"));
    QVERIFY(corner->geometry().left() > bar->actionGeometry(bar->actions()[2]).right());
  }

  // A slider's setting follows the slider when the mouse lets go of it, whether the handle was
  // dragged or the groove clicked; not while dragging and not after a keyboard move.
  void DraggingSetsTheSettingOnlyWhenLetGo() {
    PanelUnderTest t(kProfile);
    Click(Control<QPushButton>(*t.panel, 1000));
    for (int id : kSliders) {
      auto* slider = Control<TrackBar>(*t.panel, id);
      const int before = Member(*t.panel, id);
      // Towards the middle, so the handle has room to move. The horizontal sliders grow to the
      // right, the vertical ones downwards (their smallest value is at the top).
      const bool below_middle = slider->value() < (slider->minimum() + slider->maximum()) / 2;
      const int pixels = below_middle ? 20 : -20;
      PressAndDrag(slider, pixels);
      QVERIFY2(slider->value() != before, qPrintable(QString::number(id)));
      QCOMPARE(Member(*t.panel, id), before);
      LetGo(slider);
      QCOMPARE(Member(*t.panel, id), slider->value());
    }
  }

  void ClickingTheGrooveSetsTheSettingWhenLetGo() {
    PanelUnderTest t(kProfile);
    Click(Control<QPushButton>(*t.panel, 1000));
    auto* slider = Control<TrackBar>(*t.panel, 1004);  // at 3 of 1..50: room on the right
    const int before = Member(*t.panel, 1004);
    const QPoint far_end(slider->width() - 3, slider->height() / 2);
    QVERIFY(!HandleRect(*slider).contains(far_end));
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, far_end);
    QVERIFY(slider->value() != before);
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, far_end);
    QCOMPARE(Member(*t.panel, 1004), slider->value());
  }

  void KeyboardMovesOnlyTheSliderUntilTheNextStore() {
    PanelUnderTest t(kProfile);
    Click(Control<QPushButton>(*t.panel, 1000));
    auto* slider = Control<TrackBar>(*t.panel, 1009);
    const int before = Member(*t.panel, 1009);
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    QTest::keyClick(slider, Qt::Key_PageUp);
    QVERIFY(slider->value() != before);
    QCOMPARE(Member(*t.panel, 1009), before);
    // The check box stores every control, the moved slider too.
    auto* male = Control<QCheckBox>(*t.panel, 1005);
    Click(male);
    QCOMPARE(LoadSetting(t.panel->settings().male), male->isChecked() ? 1 : 0);
    QCOMPARE(Member(*t.panel, 1009), slider->value());
  }

  // ESC leaves without saving; "Salir", ENTER and the close box save what was last taken.
  void EscapeLeavesWithoutSaving() {
    PanelUnderTest t("120\n3\n20\n80\n50\n1\n");
    Click(Control<QPushButton>(*t.panel, 1000));  // takes 90 from the slider
    QTest::keyClick(t.panel.get(), Qt::Key_Escape);
    QVERIFY(!t.panel->isVisible());
    QCOMPARE(t.panel->result(), int(QDialog::Rejected));
    QCOMPARE(t.ProfileText(), std::string("120\n3\n20\n80\n50\n1\n"));
    QCOMPARE(t.panel->exit_status(), 0);
  }

  void SalirEnterAndCloseBoxSave() {
    for (const char* way : {"Salir", "ENTER", "close box"}) {
      PanelUnderTest t("120\n3\n20\n80\n50\n1\n");
      Click(Control<QPushButton>(*t.panel, 1000));
      const std::string way_name = way;
      if (way_name == "Salir") {
        Click(Control<QPushButton>(*t.panel, 1));
      } else if (way_name == "ENTER") {
        auto* slider = Control<QWidget>(*t.panel, 1002);  // a control that does not take ENTER
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_Return);
      } else {
        t.panel->close();
      }
      QVERIFY2(!t.panel->isVisible(), way);
      QCOMPARE(t.ProfileText(), std::string("90\n3\n20\n80\n50\n1\n"));
      QCOMPARE(t.panel->exit_status(), 0);
    }
  }

  // ENTER means "Salir" whatever was pressed before: after "Iniciar" or "Detener", by a click
  // or by the space bar, it saves and ends. The space bar still presses the focused button, and
  // the focus goes to the one that undoes it.
  void EnterAfterEitherButtonSavesAndEnds() {
    for (const bool stop_too : {false, true}) {
      for (const bool by_space : {false, true}) {
        PanelUnderTest t("120\n3\n20\n80\n50\n1\n");
        auto* start = Control<QPushButton>(*t.panel, 1000);
        auto* stop = Control<QPushButton>(*t.panel, 1001);
        auto press = [by_space](QPushButton* button) {
          if (!by_space) {
            Click(button);
            return;
          }
          button->setFocus();
          QTest::keyClick(button, Qt::Key_Space);
        };
        press(start);
        QCOMPARE(LoadSetting(t.panel->settings().listening), 1);
        if (by_space) QCOMPARE(QApplication::focusWidget(), stop);
        if (stop_too) {
          press(stop);
          QCOMPARE(LoadSetting(t.panel->settings().listening), 0);
          if (by_space) QCOMPARE(QApplication::focusWidget(), start);
        }
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : t.panel.get(), Qt::Key_Return);
        QVERIFY2(!t.panel->isVisible(), stop_too ? "after Detener" : "after Iniciar");
        QCOMPARE(t.panel->result(), int(QDialog::Accepted));
        // The slider's 90 was taken by "Iniciar", and ENTER wrote it.
        QCOMPARE(t.ProfileText(), std::string("90\n3\n20\n80\n50\n1\n"));
        QCOMPARE(t.panel->exit_status(), 0);
      }
    }
  }

  // "Pausa con «sss»": a hiss of about a second presses "Detener", the next one "Iniciar", as a
  // hand would; off, hisses change nothing. The choice is remembered beside the profile.
  void PauseGestureStopsAndStartsThroughTheButtons() {
    for (bool on : {false, true}) {
      PanelUnderTest t(kProfile);
      auto* pause = t.panel->findChild<QAction*>(QStringLiteral("pause-gesture"));
      QVERIFY(pause != nullptr && pause->isEnabled() && !pause->isChecked());
      if (on) pause->trigger();
      QSignalSpy paused(t.panel.get(), &ControlPanel::PausedChanged);
      Click(Control<QPushButton>(*t.panel, 1000));

      std::vector<int16_t> sound = SteadyVowel(700, 1300, 60, 8000);
      for (int hiss = 0; hiss < 2; ++hiss) {
        const std::vector<int16_t> quiet = RoomNoise(8000);
        const std::vector<int16_t> hissed = SyntheticHiss(8000, 70.0);
        for (const auto* part : {&quiet, &hissed, &quiet}) {
          sound.insert(sound.end(), part->begin(), part->end());
        }
      }
      RecordedEvents told;
      t.panel->StartEngine(std::make_unique<PacedSource>(std::make_unique<MemorySource>(sound)),
                           std::make_unique<NullSink>(), told);
      auto* start = Control<QPushButton>(*t.panel, 1000);
      if (on) {
        QTRY_COMPARE_WITH_TIMEOUT(paused.count(), 1, 10000);
        QCOMPARE(paused.at(0).at(0).toBool(), true);
        QVERIFY(start->isEnabled());  // stopped as "Detener" stops
        QTRY_COMPARE_WITH_TIMEOUT(paused.count(), 2, 10000);
        QCOMPARE(paused.at(1).at(0).toBool(), false);
        QVERIFY(!start->isEnabled());
        QCOMPARE(LoadSetting(t.panel->settings().listening), 1);
      } else {
        QTest::qWait(8000);  // both hisses have been heard by now
        QCOMPARE(paused.count(), 0);
        QCOMPARE(LoadSetting(t.panel->settings().listening), 1);
      }
      const QString options = t.dir.filePath(QStringLiteral("options.txt"));
      QCOMPARE(QFile::exists(options), on);
      if (on) QVERIFY(ReadFile(options).find("pausa 1") != std::string::npos);
    }
  }

  // "Ignorar el habla": syllables a quarter of a second apart click without it; with it they do
  // nothing, the mark beside the meters says why, and the choice is remembered.
  void SpeechGuardIgnoresTalkAndSaysSo() {
    for (bool on : {false, true}) {
      PanelUnderTest t(kProfile);
      auto* guard = t.panel->findChild<QAction*>(QStringLiteral("speech-guard"));
      auto* mark = t.panel->findChild<QWidget*>(QStringLiteral("speech-mark"));
      QVERIFY(guard != nullptr && mark != nullptr && !guard->isChecked());
      if (on) guard->trigger();
      Click(Control<QPushButton>(*t.panel, 1000));

      std::vector<int16_t> talk = RoomNoise(6000);
      const double vowels[][2] = {{700, 1300}, {300, 2200}, {450, 1900}, {500, 900}};
      for (int i = 0; i < 8; ++i) {
        talk = Join(
            {talk, SteadyVowel(vowels[i % 4][0], vowels[i % 4][1], 16, 12000), RoomNoise(750)});
      }
      talk = Join({talk, RoomNoise(8000)});
      auto clicks = std::make_shared<std::atomic<int>>(0);
      RecordedEvents told;
      t.panel->StartEngine(std::make_unique<PacedSource>(std::make_unique<MemorySource>(talk)),
                           std::make_unique<CountedClicks>(clicks), told);
      if (on) QTRY_VERIFY_WITH_TIMEOUT(mark->isVisible(), 10000);
      QTest::qWait(4000);  // the whole talk has been heard by now
      QCOMPARE(*clicks > 0, !on);
      if (!on) QVERIFY(!mark->isVisible());
      const QString options = t.dir.filePath(QStringLiteral("options.txt"));
      QCOMPARE(QFile::exists(options), on);
      if (on) QVERIFY(ReadFile(options).find("habla 1") != std::string::npos);
    }
  }

  // "Movimiento ágil" hands the engine its agile steering at once and is remembered beside the
  // profile: a panel started later begins with it, and switching it off takes it away.
  void AgileSteeringIsHandedOverAndRemembered() {
    PanelUnderTest t(kProfile);
    auto* agile = t.panel->findChild<QAction*>(QStringLiteral("agile"));
    QVERIFY(agile != nullptr && !agile->isChecked());
    QVERIFY(t.panel->settings().agile_steering.load() == nullptr);
    const QString options = t.dir.filePath(QStringLiteral("options.txt"));
    for (bool on : {true, false, true}) {
      agile->trigger();
      QCOMPARE(agile->isChecked(), on);
      QCOMPARE(t.panel->settings().agile_steering.load() != nullptr, on);
      QVERIFY(ReadFile(options).find(on ? "agil 1" : "agil 0") != std::string::npos);
    }
    ControlPanel again(t.profile_path().toStdString());
    QVERIFY(again.LoadProfile());
    QVERIFY(again.findChild<QAction*>(QStringLiteral("agile"))->isChecked());
    QVERIFY(again.settings().agile_steering.load() != nullptr);
  }

  // "Paleta de acciones": chosen by whatever button the action in force clicks with, a double
  // click being one choice; the engine's click carries the choice out and the palette and the
  // tray follow it back to "Izquierdo"; "Pausa" stops listening; the window never takes the
  // focus from the one being worked on; open or closed is remembered, and closing it returns the
  // click to "Izquierdo".
  void ActionPaletteChoosesFollowsTheEngineAndIsRemembered() {
    PanelUnderTest t(kProfile);
    PanelTray tray(*t.panel);
    QSignalSpy paused(t.panel.get(), &ControlPanel::PausedChanged);
    Click(Control<QPushButton>(*t.panel, 1000));
    // Four seconds of room before one short "a": time to choose before the engine clicks.
    const std::vector<int16_t> sound =
        Join({RoomNoise(32000), SteadyVowel(700, 1300, 16, 12000), RoomNoise(16000)});
    auto right_clicks = std::make_shared<std::atomic<int>>(0);
    RecordedEvents told;
    t.panel->StartEngine(std::make_unique<PacedSource>(std::make_unique<MemorySource>(sound)),
                         std::make_unique<CountedRightClicks>(right_clicks), told);
    t.panel->findChild<QAction*>(QStringLiteral("action-palette"))->trigger();
    auto* palette = t.panel->findChild<ActionPalette*>();
    QVERIFY(palette != nullptr && palette->isVisible());
    QVERIFY(palette->windowFlags().testFlags(Qt::Tool | Qt::WindowDoesNotAcceptFocus |
                                             Qt::WindowStaysOnTopHint) &&
            palette->testAttribute(Qt::WA_ShowWithoutActivating));
    QVERIFY(tray.menu()->findChild<QAction*>(QStringLiteral("tray-palette"))->isChecked());
    const QString options = t.dir.filePath(QStringLiteral("options.txt"));
    QVERIFY(ReadFile(options).find("paleta 1") != std::string::npos);

    auto shows = [&](PointerAction action, const QString& text) {
      for (PointerAction other :
           {PointerAction::kLeft, PointerAction::kRight, PointerAction::kDouble,
            PointerAction::kMiddle, PointerAction::kDrag, PointerAction::kScroll}) {
        if (palette->Button(other)->isChecked() != (other == action)) return false;
      }
      return palette->Button(action)->text() == text &&
             tray.ToolTip() == QStringLiteral("Sonlet: escuchando; acción: ") + text;
    };
    QVERIFY(shows(PointerAction::kLeft, QStringLiteral("Izquierdo")));
    QPushButton* middle = palette->Button(PointerAction::kMiddle);
    QPushButton* right = palette->Button(PointerAction::kRight);
    const struct {
      std::function<void()> click;
      PointerAction action;
      const char* text;
    } choices[] = {
        // A double click as the desktop delivers it, its second press before the double click.
        {[middle] {
           using QTest::MouseAction;
           for (MouseAction act :
                {MouseAction::MousePress, MouseAction::MouseRelease, MouseAction::MousePress,
                 MouseAction::MouseDClick, MouseAction::MouseRelease}) {
             QTest::mouseEvent(act, middle, Qt::MiddleButton, Qt::NoModifier, QPoint());
           }
         },
         PointerAction::kMiddle, "Central"},
        {[middle] { QTest::mouseClick(middle, Qt::RightButton); }, PointerAction::kMiddle,
         "Central (fijo)"},
        {[right] { QTest::mouseClick(right, Qt::RightButton); }, PointerAction::kRight, "Derecho"},
    };
    for (const auto& choice : choices) {
      choice.click();
      QTRY_VERIFY2(shows(choice.action, QString::fromUtf8(choice.text)), choice.text);
    }
    // The engine's click is the right button's, and the palette is back on "Izquierdo".
    QTRY_VERIFY_WITH_TIMEOUT(shows(PointerAction::kLeft, QStringLiteral("Izquierdo")), 10000);
    QCOMPARE(*right_clicks, 1);

    QTest::mouseClick(palette->PauseButton(), Qt::LeftButton);
    QVERIFY(!t.panel->listening());
    QCOMPARE(paused.count(), 1);
    QCOMPARE(tray.ToolTip(), QStringLiteral("Sonlet: en pausa; acción: Izquierdo"));
    QVERIFY(!palette->PauseButton()->isEnabled());

    ControlPanel again(t.profile_path().toStdString());
    QVERIFY(again.LoadProfile());
    QVERIFY(again.findChild<ActionPalette*>() != nullptr &&
            again.findChild<ActionPalette*>()->isVisible());

    QTest::mouseClick(right, Qt::LeftButton);
    QTRY_COMPARE(t.panel->action(), PointerAction::kRight);
    palette->close();
    QTRY_COMPARE(t.panel->action(), PointerAction::kLeft);
    QVERIFY(ReadFile(options).find("paleta 0") != std::string::npos);
    QCOMPARE(tray.ToolTip(), QStringLiteral("Sonlet: en pausa"));
  }

  // Leaving while listening stops the engine, which then waits for sound that would come
  // forever, and lets the input go only after the engine has ended.
  void LeavingStopsTheEngineBeforeTheInputGoes() {
    PanelUnderTest t(kProfile);
    Click(Control<QPushButton>(*t.panel, 1000));
    auto log = std::make_shared<WatchedInput::Log>();
    RecordedEvents told;
    t.panel->StartEngine(std::make_unique<PacedSource>(std::make_unique<MemorySource>(
                             SteadyVowel(700, 1300, 32000, 8000))),  // ten minutes of "a"
                         std::make_unique<WatchedInput>(log), told);
    auto* meter = Control<MeterBar>(*t.panel, 1003);
    QTRY_VERIFY(meter->value() > 0);  // the engine runs and the panel hears it
    QTest::keyClick(t.panel.get(), Qt::Key_Escape);
    QVERIFY(log->destroyed);
    QCOMPARE(log->events_after_destruction, 0);
  }

  // The meters and read-outs show the engine's latest values; the read-outs only once listening
  // has begun.
  void MetersAndReadoutsShowTheEnginesLatestValues() {
    PanelUnderTest t(kProfile);
    const std::vector<int16_t> sound =
        Join({SteadyVowel(700, 1300, 60, 8000), SteadyVowel(250, 2300, 7, 3000)});

    // Not listening: the meters move, the read-outs stay empty.
    RecordedEvents told;
    t.panel->StartEngine(std::make_unique<MemorySource>(sound), std::make_unique<NullSink>(), told);
    QTRY_VERIFY(Control<MeterBar>(*t.panel, 1003)->value() > 0);
    for (int id : {1014, 1015, 1017, 1018, 1019}) {
      QVERIFY(Control<Readout>(*t.panel, id)->text().isEmpty());
    }

    // Listening from the first pass: the panel ends with what the engine showed last.
    Click(Control<QPushButton>(*t.panel, 1000));
    EngineUnderTest reference(sound);
    const EngineSettings& s = t.panel->settings();
    for (auto [to, from] : {std::pair{&reference.settings.threshold, &s.threshold},
                            {&reference.settings.click_min, &s.click_min},
                            {&reference.settings.click_max, &s.click_max},
                            {&reference.settings.height, &s.height},
                            {&reference.settings.speed, &s.speed},
                            {&reference.settings.male, &s.male},
                            {&reference.settings.click_action, &s.click_action},
                            {&reference.settings.listening, &s.listening}}) {
      StoreSetting(*to, LoadSetting(*from));
    }
    reference.Run();
    QVERIFY(!reference.out.readings.empty());
    const RecordedEvents::Meters last = reference.out.meters.back();
    const Readings& r = reference.out.readings.back();

    t.panel->StartEngine(std::make_unique<MemorySource>(sound), std::make_unique<NullSink>(), told);
    // Whole dB and Hz, the tract length in cm to two decimals.
    auto shows_last = [&] {
      return Control<MeterBar>(*t.panel, 1003)->value() == last.intensity &&
             Control<MeterBar>(*t.panel, 1027)->value() == last.speed &&
             Control<MeterBar>(*t.panel, 1010)->value() == last.voice_window &&
             Control<Readout>(*t.panel, 1014)->text() == QString::asprintf("%.0f", r.intensity) &&
             Control<Readout>(*t.panel, 1015)->text() == QString::asprintf("%.0f", r.pitch) &&
             Control<Readout>(*t.panel, 1017)->text() == QString::asprintf("%.0f", r.f1) &&
             Control<Readout>(*t.panel, 1018)->text() == QString::asprintf("%.0f", r.f2) &&
             Control<Readout>(*t.panel, 1019)->text() == QString::number(r.height_cm) &&
             Control<Readout>(*t.panel, 1022)->text() == QString::asprintf("%.2f", r.tract_length);
    };
    QTRY_VERIFY(shows_last());
    QVERIFY(told.notices.empty());
    // The height read-out is the height setting plus 90 cm.
    QCOMPARE(Control<Readout>(*t.panel, 1019)->text(), QString::number(LoadSetting(s.height) + 90));
  }
};

}  // namespace sonlet

QTEST_MAIN(sonlet::PanelTest)
#include "panel_test.moc"
