// The control panel's behaviour: its two states, how the settings follow the controls, how the
// user leaves it, and how the engine's measurements reach it.

#include <QCheckBox>
#include <QComboBox>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "panel/meter_bar.h"
#include "panel/panel_fixture.h"
#include "settings/profile_file.h"
#include "panel/readout.h"
#include "panel/track_bar.h"
#include "audio/paced_source.h"
#include "audio/recording_source.h"
#include "engine/engine_harness.h"
#include "input/null_sink.h"

namespace {

const std::string kProfile = "45\n3\n20\n80\n50\n1\n";

// Settings of the profile above, in file order, and the sliders that show them.
constexpr int kSliders[] = {1002, 1004, 1009, 1020, 1025};

int32_t member(const CSonletDlg& panel, int slider) {
  const EngineSettings& s = panel.settings();
  switch (slider) {
    case 1002:
      return setting(s.m_nThreshold);
    case 1004:
      return setting(s.m_nClickMin);
    case 1009:
      return setting(s.m_nClickMax);
    case 1020:
      return setting(s.m_nHeight);
    case 1025:
      return setting(s.m_nSpeed);
    default:
      qFatal("no such slider");
      return 0;
  }
}

void click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }

// An input that notes when it is let go of, and any event that comes after that.
struct WatchedInput : InputSink {
  struct Log {
    bool destroyed = false;
    int events_after_destruction = 0;
  };
  explicit WatchedInput(std::shared_ptr<Log> log) : log_(std::move(log)) {}
  ~WatchedInput() override { log_->destroyed = true; }
  void note() {
    if (log_->destroyed) ++log_->events_after_destruction;
  }
  void move(int, int) override { note(); }
  void left_down() override { note(); }
  void left_up() override { note(); }
  void enter_down() override { note(); }
  void enter_up() override { note(); }
  std::shared_ptr<Log> log_;
};

}  // namespace

class PanelTest : public QObject {
  Q_OBJECT

 private slots:
  void stateTableStoppedThenListeningThenStopped() {
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
        QWidget* w = control<QWidget>(*t.panel, row.id);
        QVERIFY2(w != nullptr, qPrintable(QString::number(row.id)));
        QCOMPARE(w->isEnabled(), listening ? row.listening : row.stopped);
      }
      QCOMPARE(setting(t.panel->settings().m_bListening), listening ? 1 : 0);
    };
    check(false);
    click(control<QPushButton>(*t.panel, 1000));
    check(true);
    click(control<QPushButton>(*t.panel, 1001));
    check(false);
    // Start and stop leave the settings as the profile gave them.
    const Profile read = [&] {
      Profile p;
      read_profile(t.profile_path().toStdString(), &p);
      return p;
    }();
    QCOMPARE(setting(t.panel->settings().m_nThreshold), read.m_nThreshold);
    QCOMPARE(setting(t.panel->settings().m_nClickMin), read.m_nClickMin);
    QCOMPARE(setting(t.panel->settings().m_nClickMax), read.m_nClickMax);
    QCOMPARE(setting(t.panel->settings().m_nHeight), read.m_nHeight);
    QCOMPARE(setting(t.panel->settings().m_nSpeed), read.m_nSpeed);
    QCOMPARE(setting(t.panel->settings().m_bMale), read.m_bMale);
  }

  void tabKeyVisitsTheControlsInTheirOrder() {
    PanelUnderTest t(kProfile);
    click(control<QPushButton>(*t.panel, 1000));  // listening: the settings take the focus too
    // "Salir" first; the meters, the height slider and the hidden controls are skipped.
    const int expected[] = {1, 1001, 1002, 1004, 1005, 1009, 1014, 1015, 1017, 1018, 1019, 1025};
    control<QWidget>(*t.panel, 1)->setFocus();
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

  void hiddenControlsStayHiddenAndClickStaysLeftButton() {
    PanelUnderTest t(kProfile);
    auto* action = control<QComboBox>(*t.panel, 1008);
    QVERIFY(action != nullptr && control<CReadout>(*t.panel, 1022) != nullptr);
    QVERIFY(!action->isVisible());
    QVERIFY(!control<CReadout>(*t.panel, 1022)->isVisible());
    QCOMPARE(action->itemText(0), QStringLiteral("Boton Izdo Raton"));
    QCOMPARE(action->itemText(1), QStringLiteral("Tecla \"ENTER\""));
    click(control<QPushButton>(*t.panel, 1000));  // a store exchange takes the combo's index
    QCOMPARE(setting(t.panel->settings().m_nClickAction), 0);
  }

  void menuHasTheManualAndTheAboutBoxAtTheRight() {
    PanelUnderTest t(kProfile);
    auto* bar = t.panel->findChild<QMenuBar*>();
    QVERIFY(bar != nullptr);
    QCOMPARE(bar->actions().size(), 1);
    QCOMPARE(bar->actions()[0]->text(), QStringLiteral("Manual (pdf)"));
    auto* corner = qobject_cast<QMenuBar*>(bar->cornerWidget(Qt::TopRightCorner));
    QVERIFY(corner != nullptr);
    QCOMPARE(corner->actions()[0]->text(), QStringLiteral("&Acerca de"));
    QVERIFY(corner->geometry().left() > bar->actionGeometry(bar->actions()[0]).right());
  }

  // A slider's setting follows the slider when the mouse lets go of it, whether the handle was
  // dragged or the groove clicked; not while dragging and not after a keyboard move.
  void draggingSetsTheSettingOnlyWhenLetGo() {
    PanelUnderTest t(kProfile);
    click(control<QPushButton>(*t.panel, 1000));
    for (int id : kSliders) {
      auto* slider = control<CTrackBar>(*t.panel, id);
      const int before = member(*t.panel, id);
      // Towards the middle, so the handle has room to move. The horizontal sliders grow to the
      // right, the vertical ones downwards (their smallest value is at the top).
      const bool below_middle = slider->value() < (slider->minimum() + slider->maximum()) / 2;
      const int pixels = below_middle ? 20 : -20;
      press_and_drag(slider, pixels);
      QVERIFY2(slider->value() != before, qPrintable(QString::number(id)));
      QCOMPARE(member(*t.panel, id), before);
      let_go(slider);
      QCOMPARE(member(*t.panel, id), slider->value());
    }
  }

  void clickingTheGrooveSetsTheSettingWhenLetGo() {
    PanelUnderTest t(kProfile);
    click(control<QPushButton>(*t.panel, 1000));
    auto* slider = control<CTrackBar>(*t.panel, 1004);  // at 3 of 1..50: room on the right
    const int before = member(*t.panel, 1004);
    const QPoint far_end(slider->width() - 3, slider->height() / 2);
    QVERIFY(!handle_rect(*slider).contains(far_end));
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, far_end);
    QVERIFY(slider->value() != before);
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, far_end);
    QCOMPARE(member(*t.panel, 1004), slider->value());
  }

  void keyboardMovesOnlyTheSliderUntilTheNextStore() {
    PanelUnderTest t(kProfile);
    click(control<QPushButton>(*t.panel, 1000));
    auto* slider = control<CTrackBar>(*t.panel, 1009);
    const int before = member(*t.panel, 1009);
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    QTest::keyClick(slider, Qt::Key_PageUp);
    QVERIFY(slider->value() != before);
    QCOMPARE(member(*t.panel, 1009), before);
    // The check box stores every control, the moved slider too.
    auto* male = control<QCheckBox>(*t.panel, 1005);
    click(male);
    QCOMPARE(setting(t.panel->settings().m_bMale), male->isChecked() ? 1 : 0);
    QCOMPARE(member(*t.panel, 1009), slider->value());
  }

  // ESC leaves without saving; "Salir", ENTER and the close box save what was last taken.
  void escapeLeavesWithoutSaving() {
    PanelUnderTest t("120\n3\n20\n80\n50\n1\n");
    click(control<QPushButton>(*t.panel, 1000));  // takes 90 from the slider
    QTest::keyClick(t.panel.get(), Qt::Key_Escape);
    QVERIFY(!t.panel->isVisible());
    QCOMPARE(t.panel->result(), int(QDialog::Rejected));
    QCOMPARE(t.profile_text(), std::string("120\n3\n20\n80\n50\n1\n"));
    QCOMPARE(t.panel->exit_status(), 0);
  }

  void salirEnterAndCloseBoxSave() {
    for (const char* way : {"Salir", "ENTER", "close box"}) {
      PanelUnderTest t("120\n3\n20\n80\n50\n1\n");
      click(control<QPushButton>(*t.panel, 1000));
      const std::string way_name = way;
      if (way_name == "Salir") {
        click(control<QPushButton>(*t.panel, 1));
      } else if (way_name == "ENTER") {
        auto* slider = control<QWidget>(*t.panel, 1002);  // a control that does not take ENTER
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_Return);
      } else {
        t.panel->close();
      }
      QVERIFY2(!t.panel->isVisible(), way);
      QCOMPARE(t.profile_text(), std::string("90\n3\n20\n80\n50\n1\n"));
      QCOMPARE(t.panel->exit_status(), 0);
    }
  }

  // Leaving while listening stops the engine, which then waits for sound that would come
  // forever, and lets the input go only after the engine has ended.
  void leavingStopsTheEngineBeforeTheInputGoes() {
    PanelUnderTest t(kProfile);
    click(control<QPushButton>(*t.panel, 1000));
    auto log = std::make_shared<WatchedInput::Log>();
    t.panel->start_engine(std::make_unique<PacedSource>(std::make_unique<RecordingSource>(
                              steady_vowel(700, 1300, 32000, 8000))),  // ten minutes of "a"
                          std::make_unique<WatchedInput>(log));
    auto* meter = control<CMeterBar>(*t.panel, 1003);
    QTRY_VERIFY(meter->value() > 0);  // the engine runs and the panel hears it
    QTest::keyClick(t.panel.get(), Qt::Key_Escape);
    QVERIFY(log->destroyed);
    QCOMPARE(log->events_after_destruction, 0);
  }

  // The meters and read-outs show the engine's latest values; the read-outs only once listening
  // has begun.
  void metersAndReadoutsShowTheEnginesLatestValues() {
    PanelUnderTest t(kProfile);
    const std::vector<int16_t> sound =
        join({steady_vowel(700, 1300, 60, 8000), steady_vowel(250, 2300, 7, 3000)});

    // Not listening: the meters move, the read-outs stay empty.
    t.panel->start_engine(std::make_unique<RecordingSource>(sound), std::make_unique<NullSink>());
    QTRY_VERIFY(control<CMeterBar>(*t.panel, 1003)->value() > 0);
    for (int id : {1014, 1015, 1017, 1018, 1019}) {
      QVERIFY(control<CReadout>(*t.panel, id)->text().isEmpty());
    }

    // Listening from the first pass: the panel ends with what the engine showed last.
    click(control<QPushButton>(*t.panel, 1000));
    EngineUnderTest reference(sound);
    const EngineSettings& s = t.panel->settings();
    for (auto [to, from] : {std::pair{&reference.settings.m_nThreshold, &s.m_nThreshold},
                            {&reference.settings.m_nClickMin, &s.m_nClickMin},
                            {&reference.settings.m_nClickMax, &s.m_nClickMax},
                            {&reference.settings.m_nHeight, &s.m_nHeight},
                            {&reference.settings.m_nSpeed, &s.m_nSpeed},
                            {&reference.settings.m_bMale, &s.m_bMale},
                            {&reference.settings.m_nClickAction, &s.m_nClickAction},
                            {&reference.settings.m_bListening, &s.m_bListening}}) {
      set_setting(*to, setting(*from));
    }
    reference.run();
    QVERIFY(!reference.out.readouts.empty());
    const RecordedEvents::Meters last = reference.out.meters.back();
    const Readouts& texts = reference.out.readouts.back();

    t.panel->start_engine(std::make_unique<RecordingSource>(sound), std::make_unique<NullSink>());
    auto shows_last = [&] {
      return control<CMeterBar>(*t.panel, 1003)->value() == last.intensity &&
             control<CMeterBar>(*t.panel, 1027)->value() == last.speed &&
             control<CMeterBar>(*t.panel, 1010)->value() == last.voice_window &&
             control<CReadout>(*t.panel, 1014)->text() == texts.intensity.data() &&
             control<CReadout>(*t.panel, 1015)->text() == texts.pitch.data() &&
             control<CReadout>(*t.panel, 1017)->text() == texts.f1.data() &&
             control<CReadout>(*t.panel, 1018)->text() == texts.f2.data() &&
             control<CReadout>(*t.panel, 1019)->text() == texts.height.data() &&
             control<CReadout>(*t.panel, 1022)->text() == texts.tract.data();
    };
    QTRY_VERIFY(shows_last());
    // The height read-out is the height setting plus 90 cm.
    QCOMPARE(control<CReadout>(*t.panel, 1019)->text(), QString::number(setting(s.m_nHeight) + 90));
  }
};

QTEST_MAIN(PanelTest)
#include "panel_test.moc"
