// SPDX-License-Identifier: GPL-3.0-or-later
// The user profile as the control panel reads, shows and saves it, and the program's start
// when the profile or the sound is missing.

#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <string>

#include "cli/io_setup.h"
#include "cli/run_program.h"
#include "engine/audio_source.h"
#include "engine/notice_sink.h"
#include "input/null_sink.h"
#include "panel/panel_app.h"
#include "panel/panel_fixture.h"
#include "settings/profile_file.h"

namespace sonlet {

namespace {

// The file the panel writes for these settings: six lines, "%d\n" each, in file order.
std::string Lines(std::initializer_list<int> values) {
  std::string text;
  for (int v : values) text += std::to_string(v) + "\n";
  return text;
}

void Click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }

int Slider(const PanelUnderTest& t, int id) { return Control<QSlider>(*t.panel, id)->value(); }

}  // namespace

class PanelProfileTest : public QObject {
  Q_OBJECT

 private slots:
  void SixLinesShowAsTheyReadAndSaveUnchanged() {
    const std::string profile = Lines({45, 3, 20, 80, 50, 1});
    PanelUnderTest t(profile);
    QVERIFY(t.loaded);
    QCOMPARE(Slider(t, 1002), 45);  // threshold 100 - 45 = 55 dB
    QCOMPARE(Slider(t, 1004), 3);
    QCOMPARE(Slider(t, 1009), 20);
    QCOMPARE(Slider(t, 1020), 80);  // 170 cm
    QCOMPARE(Slider(t, 1025), 50);
    QVERIFY(Control<QCheckBox>(*t.panel, 1005)->isChecked());
    Click(Control<QPushButton>(*t.panel, 1));
    QCOMPARE(t.ProfileText(), profile);
  }

  void NumbersOnOneLineReadAsSixLines() {
    PanelUnderTest t("45 3 20 80 50 1");
    Click(Control<QPushButton>(*t.panel, 1));
    QCOMPARE(t.ProfileText(), Lines({45, 3, 20, 80, 50, 1}));
  }

  void SexOtherThanOneIsFemaleAndSavedAsZero() {
    for (const char* sixth : {"2", "-1"}) {
      PanelUnderTest t(std::string("45\n3\n20\n80\n50\n") + sixth + "\n");
      QVERIFY(!Control<QCheckBox>(*t.panel, 1005)->isChecked());
      Click(Control<QPushButton>(*t.panel, 1));
      QCOMPARE(t.ProfileText(), Lines({45, 3, 20, 80, 50, 0}));
    }
  }

  void EmptyProfileShowsTheFallbacksAtTheSliderEnds() {
    PanelUnderTest t("");
    const Profile fallback;
    QVERIFY(fallback.height > 100);  // beyond the height slider
    QCOMPARE(Slider(t, 1020), 100);
    QCOMPARE(Slider(t, 1002), 0);
    QCOMPARE(Slider(t, 1004), 1);  // the fallback 0 is below the click sliders' 1
    QCOMPARE(Slider(t, 1009), 1);
    // Saved without a store, the settings are still the fallbacks as read.
    Click(Control<QPushButton>(*t.panel, 1));
    QCOMPARE(t.ProfileText(), Lines({fallback.threshold, fallback.click_min, fallback.click_max,
                                     fallback.height, fallback.speed, fallback.male}));
  }

  // A value beyond a slider's range is shown at the nearest end and kept until the next store.
  void ThresholdBeyondRangeIsKeptUntilIniciar() {
    const std::string profile = Lines({120, 3, 20, 80, 50, 1});
    {
      PanelUnderTest t(profile);
      QCOMPARE(Slider(t, 1002), 90);
      QCOMPARE(LoadSetting(t.panel->settings().threshold), 120);
      Click(Control<QPushButton>(*t.panel, 1));
      QCOMPARE(t.ProfileText(), profile);
    }
    {
      PanelUnderTest t(profile);
      Click(Control<QPushButton>(*t.panel, 1000));
      QCOMPARE(LoadSetting(t.panel->settings().threshold), 90);
      Click(Control<QPushButton>(*t.panel, 1));
      QCOMPARE(t.ProfileText(), Lines({90, 3, 20, 80, 50, 1}));
    }
  }

  // The profile cannot be written: the box says so, the program will end with status 1, and
  // the file as it was stays where it was.
  void UnwritableProfileKeepsTheOldFile() {
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("profile"));
    QVERIFY(QDir().mkpath(folder));
    const std::string profile = Lines({45, 3, 20, 80, 50, 1});
    WriteFile(folder + "/user.txt", profile);
    ControlPanel panel((folder + "/user.txt").toStdString());
    QVERIFY(panel.LoadProfile());
    panel.show();
    Click(Control<QPushButton>(panel, 1000));
    Click(Control<QCheckBox>(panel, 1005));  // the setting changes: female now
    // The profile's folder goes away; the old file is kept elsewhere.
    const QString moved = root.filePath(QStringLiteral("moved"));
    QVERIFY(QDir().rename(folder, moved));

    BoxAnswerer answerer;
    Click(Control<QPushButton>(panel, 1));
    QCOMPARE(answerer.boxes, 1);
    QCOMPARE(answerer.title, QStringLiteral("Error"));
    QCOMPARE(answerer.text, QString::fromLatin1(kProfileWriteError));
    QVERIFY(answerer.ok_only);
    QVERIFY(!panel.isVisible());
    QCOMPARE(panel.exit_status(), 1);
    QCOMPARE(ReadFile(moved + "/user.txt"), profile);
    QVERIFY(!QFileInfo::exists(folder));
  }

  void TargetThatIsAFolderIsNotWritable() {
    QTemporaryDir root;
    const QString path = root.filePath(QStringLiteral("user.txt"));
    WriteFile(path, Lines({45, 3, 20, 80, 50, 1}));
    ControlPanel panel(path.toStdString());
    QVERIFY(panel.LoadProfile());
    panel.show();
    QVERIFY(QFile::remove(path));
    QVERIFY(QDir().mkdir(path));
    BoxAnswerer answerer;
    panel.close();  // the close box saves too
    QCOMPARE(answerer.text, QString::fromLatin1(kProfileWriteError));
    QCOMPARE(panel.exit_status(), 1);
    QVERIFY(QFileInfo(path).isDir());
  }

  // A profile that is missing, or is no file of settings at all (a device that never ends, one
  // that reads as nothing), is reported before the panel is ever shown, and the program ends
  // with 1.
  void MissingProfileEndsWithOneBeforeThePanelShows() {
    for (const char* link_to : {"", "/dev/zero", "/dev/null"}) {
      QTemporaryDir root;
      CommandLine line;
      line.profile = root.filePath(QStringLiteral("user.txt")).toStdString();
      if (*link_to != '\0') {
        QVERIFY(QFile::link(QString::fromLatin1(link_to), QString::fromStdString(line.profile)));
      }
      BoxAnswerer answerer;
      StopSignals stop_signals;
      OutputChannel standard_output(stdout, "standard output");
      PanelApp app(line, stop_signals, standard_output);
      QCOMPARE(app.Run(), 1);
      QCOMPARE(answerer.boxes, 1);
      QCOMPARE(answerer.title, QStringLiteral("Error"));
      QCOMPARE(answerer.text, QString::fromLatin1(kProfileOpenError));
      QVERIFY(answerer.ok_only);
      QVERIFY(!answerer.panel_visible);
    }
  }

  // An options file that is no such file (a device, far too large) leaves the options at their
  // defaults, the panel shows as usual, and a change of option does not write over it.
  void OptionsThatAreNoFileOfOptionsAreNeitherReadNorWrittenOver() {
    struct Row {
      const char* what;
      std::string contents;
      const char* link_to;
    };
    const Row rows[] = {
        {"a device that never ends", "", "/dev/zero"},
        {"a file far too large", "calibracion 1\n" + std::string(100000, '#'), nullptr},
    };
    for (const Row& row : rows) {
      PanelUnderTest t(Lines({45, 3, 20, 80, 50, 1}));
      const QString options = t.dir.filePath(QStringLiteral("options.txt"));
      if (row.link_to != nullptr) QVERIFY(QFile::link(QString::fromLatin1(row.link_to), options));
      if (!row.contents.empty()) WriteFile(options, row.contents);
      ControlPanel panel(t.profile_path().toStdString());
      QVERIFY2(panel.LoadProfile(), row.what);
      auto* pause = panel.findChild<QAction*>(QStringLiteral("pause-gesture"));
      QVERIFY(pause != nullptr);
      QVERIFY(!pause->isChecked());
      pause->trigger();
      QVERIFY2(QFileInfo(options).isSymLink() == (row.link_to != nullptr), row.what);
      if (!row.contents.empty()) QCOMPARE(ReadFile(options), row.contents);
    }
  }

  // A link that another user planted at the profile's name in a shared folder (such as /tmp)
  // is not written through: the save fails as any other, and the file it points to is kept.
  void AProfileLinkPlantedByAnotherUserIsNotWrittenThrough() {
    if (::geteuid() != 0) QSKIP("giving a link to another user takes the superuser");
    QTemporaryDir root;
    const QString shared = root.filePath(QStringLiteral("shared"));
    QVERIFY(QDir().mkdir(shared));
    QVERIFY(::chmod(shared.toLocal8Bit().constData(), 01777) == 0);
    const QString target = root.filePath(QStringLiteral("victim.txt"));
    const std::string profile = Lines({45, 3, 20, 80, 50, 1});
    WriteFile(target, profile);
    const QString link = shared + QStringLiteral("/user.txt");
    QVERIFY(QFile::link(target, link));
    QVERIFY(::lchown(link.toLocal8Bit().constData(), 65534, 65534) == 0);
    ControlPanel panel(link.toStdString());
    QVERIFY(panel.LoadProfile());
    panel.show();
    Click(Control<QPushButton>(panel, 1000));
    Click(Control<QCheckBox>(panel, 1005));  // the setting changes: female now
    BoxAnswerer answerer;
    Click(Control<QPushButton>(panel, 1));
    QCOMPARE(answerer.text, QString::fromLatin1(kProfileWriteError));
    QCOMPARE(panel.exit_status(), 1);
    QCOMPARE(ReadFile(target), profile);
    QVERIFY(QFileInfo(link).isSymLink());
  }

  // A recording that cannot be heard is named in the box with a reason in the panel's language
  // (the sound library's English goes to the terminal); a microphone likewise.
  void MissingSoundIsReportedBeforeThePanelShows() {
    struct Case {
      const char* input;
      const char* device;
      int status;
      const char* box_says;
    };
    const Case cases[] = {
        {"no-such-recording.wav", "", 2, "no-such-recording.wav»: no existe."},
        {"user.txt", "", 2, "user.txt»: no es un sonido que Sonlet sepa leer"},
        {"", "no-such-microphone", kAudioOpenFailed,
         "No se ha podido abrir el micrófono «no-such-microphone»."},
    };
    for (const Case& c : cases) {
      QTemporaryDir root;
      CommandLine line;
      line.profile = root.filePath(QStringLiteral("user.txt")).toStdString();
      if (*c.input != '\0') line.input = root.filePath(QString::fromUtf8(c.input)).toStdString();
      line.device = c.device;
      WriteFile(QString::fromStdString(line.profile), Lines({45, 3, 20, 80, 50, 1}));
      BoxAnswerer answerer;
      StopSignals stop_signals;
      OutputChannel standard_output(stdout, "standard output");
      PanelApp app(line, stop_signals, standard_output);
      QCOMPARE(app.Run(), c.status);
      QCOMPARE(answerer.boxes, 1);
      QCOMPARE(answerer.title, QStringLiteral("Error"));
      QVERIFY2(answerer.text.contains(QString::fromUtf8(c.box_says)), qPrintable(answerer.text));
      for (const char* english : {"Format", "System error", "No such file", "Give a"}) {
        QVERIFY2(!answerer.text.contains(QLatin1String(english)), qPrintable(answerer.text));
      }
      QVERIFY(!answerer.panel_visible);
    }
  }

  // A sound that fails for good ends the program on its notice; the settings the user has
  // changed are in the profile by then.
  void SoundThatFailsForGoodSavesTheSettingsFirst() {
    struct StuckSound : AudioSource {
      Status Read(int16_t samples[], int count) override {
        std::fill_n(samples, count, 0);
        return ++reads < 20 ? Status::kOk : Status::kStuck;
      }
      int reads = 0;
    };
    struct ProfileAtStuck : NoticeSink {
      void Notify(Notice notice, int) override {
        if (notice != Notice::kSoundStuck) return;
        text = ReadFile(path);
        told = true;
      }
      QString path;
      std::string text;  // written by the engine's thread before `told`
      std::atomic<bool> told = false;
    };
    PanelUnderTest t(Lines({45, 3, 20, 80, 50, 1}));
    Click(Control<QPushButton>(*t.panel, 1000));
    Click(Control<QCheckBox>(*t.panel, 1005));  // now female
    ProfileAtStuck notices;
    notices.path = t.profile_path();
    t.panel->StartEngine(std::make_unique<StuckSound>(), std::make_unique<NullSink>(), notices);
    QTRY_VERIFY(notices.told);
    QCOMPARE(notices.text, Lines({45, 3, 20, 80, 50, 0}));
  }

  // The real program in an empty folder with no display at all: it needs no window to say that
  // the profile is missing.
  void ProgramWithoutProfileNeedsNoWindow() {
    QTemporaryDir empty;
    const ProgramRun run = RunProgram(
        "/usr/bin/env",
        {"-u", "QT_QPA_PLATFORM", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", SONLET_BINARY},
        empty.path().toStdString());
    QCOMPARE(run.status, 1);
    QVERIFY(QString::fromStdString(run.err).contains(QString::fromLatin1(kProfileOpenError)));
    QVERIFY(QDir(empty.path()).isEmpty());  // and it created no profile
  }
};

}  // namespace sonlet

QTEST_MAIN(sonlet::PanelProfileTest)
#include "panel_profile_test.moc"
