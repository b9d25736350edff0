// The user profile as the control panel reads, shows and saves it, and the program's start
// when the profile or the sound is missing.

#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <string>

#include "panel/panel_fixture.h"
#include "settings/profile_file.h"
#include "cli/run_program.h"
#include "panel/panel_app.h"

namespace {

// The file the panel writes for these settings: six lines, "%d\n" each, in file order.
std::string lines(std::initializer_list<int> values) {
  std::string text;
  for (int v : values) text += std::to_string(v) + "\n";
  return text;
}

void click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }

int slider(const PanelUnderTest& t, int id) { return control<QSlider>(*t.panel, id)->value(); }

}  // namespace

class PanelProfileTest : public QObject {
  Q_OBJECT

 private slots:
  void sixLinesShowAsTheyReadAndSaveUnchanged() {
    const std::string profile = lines({45, 3, 20, 80, 50, 1});
    PanelUnderTest t(profile);
    QVERIFY(t.loaded);
    QCOMPARE(slider(t, 1002), 45);  // threshold 100 - 45 = 55 dB
    QCOMPARE(slider(t, 1004), 3);
    QCOMPARE(slider(t, 1009), 20);
    QCOMPARE(slider(t, 1020), 80);  // 170 cm
    QCOMPARE(slider(t, 1025), 50);
    QVERIFY(control<QCheckBox>(*t.panel, 1005)->isChecked());
    click(control<QPushButton>(*t.panel, 1));
    QCOMPARE(t.profile_text(), profile);
  }

  void numbersOnOneLineReadAsSixLines() {
    PanelUnderTest t("45 3 20 80 50 1");
    click(control<QPushButton>(*t.panel, 1));
    QCOMPARE(t.profile_text(), lines({45, 3, 20, 80, 50, 1}));
  }

  void sexOtherThanOneIsFemaleAndSavedAsZero() {
    for (const char* sixth : {"2", "-1"}) {
      PanelUnderTest t(std::string("45\n3\n20\n80\n50\n") + sixth + "\n");
      QVERIFY(!control<QCheckBox>(*t.panel, 1005)->isChecked());
      click(control<QPushButton>(*t.panel, 1));
      QCOMPARE(t.profile_text(), lines({45, 3, 20, 80, 50, 0}));
    }
  }

  void emptyProfileShowsTheFallbacksAtTheSliderEnds() {
    PanelUnderTest t("");
    const Profile fallback;
    QVERIFY(fallback.m_nHeight > 100);  // beyond the height slider
    QCOMPARE(slider(t, 1020), 100);
    QCOMPARE(slider(t, 1002), 0);
    QCOMPARE(slider(t, 1004), 1);  // the fallback 0 is below the click sliders' 1
    QCOMPARE(slider(t, 1009), 1);
    // Saved without a store, the settings are still the fallbacks as read.
    click(control<QPushButton>(*t.panel, 1));
    QCOMPARE(t.profile_text(),
             lines({fallback.m_nThreshold, fallback.m_nClickMin, fallback.m_nClickMax,
                    fallback.m_nHeight, fallback.m_nSpeed, fallback.m_bMale}));
  }

  // A value beyond a slider's range is shown at the nearest end and kept until the next store.
  void thresholdBeyondRangeIsKeptUntilIniciar() {
    const std::string profile = lines({120, 3, 20, 80, 50, 1});
    {
      PanelUnderTest t(profile);
      QCOMPARE(slider(t, 1002), 90);
      QCOMPARE(setting(t.panel->settings().m_nThreshold), 120);
      click(control<QPushButton>(*t.panel, 1));
      QCOMPARE(t.profile_text(), profile);
    }
    {
      PanelUnderTest t(profile);
      click(control<QPushButton>(*t.panel, 1000));
      QCOMPARE(setting(t.panel->settings().m_nThreshold), 90);
      click(control<QPushButton>(*t.panel, 1));
      QCOMPARE(t.profile_text(), lines({90, 3, 20, 80, 50, 1}));
    }
  }

  // The profile cannot be written: the box says so, the program will end with status 1, and
  // the file as it was stays where it was.
  void unwritableProfileKeepsTheOldFile() {
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("profile"));
    QVERIFY(QDir().mkpath(folder));
    const std::string profile = lines({45, 3, 20, 80, 50, 1});
    write_file(folder + "/user.txt", profile);
    CSonletDlg panel((folder + "/user.txt").toStdString());
    QVERIFY(panel.load_profile());
    panel.show();
    click(control<QPushButton>(panel, 1000));
    click(control<QCheckBox>(panel, 1005));  // the setting changes: female now
    // The profile's folder goes away; the old file is kept elsewhere.
    const QString moved = root.filePath(QStringLiteral("moved"));
    QVERIFY(QDir().rename(folder, moved));

    BoxAnswerer answerer;
    click(control<QPushButton>(panel, 1));
    QCOMPARE(answerer.boxes, 1);
    QCOMPARE(answerer.title, QStringLiteral("Error"));
    QCOMPARE(answerer.text, QString::fromLatin1(kProfileWriteError));
    QVERIFY(answerer.ok_only);
    QVERIFY(!panel.isVisible());
    QCOMPARE(panel.exit_status(), 1);
    QCOMPARE(read_file(moved + "/user.txt"), profile);
    QVERIFY(!QFileInfo::exists(folder));
  }

  void targetThatIsAFolderIsNotWritable() {
    QTemporaryDir root;
    const QString path = root.filePath(QStringLiteral("user.txt"));
    write_file(path, lines({45, 3, 20, 80, 50, 1}));
    CSonletDlg panel(path.toStdString());
    QVERIFY(panel.load_profile());
    panel.show();
    QVERIFY(QFile::remove(path));
    QVERIFY(QDir().mkdir(path));
    BoxAnswerer answerer;
    panel.close();  // the close box saves too
    QCOMPARE(answerer.text, QString::fromLatin1(kProfileWriteError));
    QCOMPARE(panel.exit_status(), 1);
    QVERIFY(QFileInfo(path).isDir());
  }

  // A missing profile is reported before the panel is ever shown, and the program ends with 1.
  void missingProfileEndsWithOneBeforeThePanelShows() {
    QTemporaryDir root;
    CommandLine line;
    line.profile = root.filePath(QStringLiteral("user.txt")).toStdString();
    BoxAnswerer answerer;
    CSonletApp app(line, nullptr);
    QCOMPARE(app.run(), 1);
    QCOMPARE(answerer.boxes, 1);
    QCOMPARE(answerer.title, QStringLiteral("Error"));
    QCOMPARE(answerer.text, QString::fromLatin1(kProfileOpenError));
    QVERIFY(answerer.ok_only);
    QVERIFY(!answerer.panel_visible);
  }

  void missingSoundIsReportedBeforeThePanelShows() {
    QTemporaryDir root;
    CommandLine line;
    line.profile = root.filePath(QStringLiteral("user.txt")).toStdString();
    line.input = root.filePath(QStringLiteral("no-such-recording.wav")).toStdString();
    write_file(QString::fromStdString(line.profile), lines({45, 3, 20, 80, 50, 1}));
    BoxAnswerer answerer;
    CSonletApp app(line, nullptr);
    const int status = app.run();
    QVERIFY(status != 0);
    QCOMPARE(answerer.boxes, 1);
    QCOMPARE(answerer.title, QStringLiteral("Error"));
    QVERIFY(answerer.text.contains(QStringLiteral("no-such-recording.wav")));
    QVERIFY(!answerer.panel_visible);
  }

  // The real program in an empty folder with no display at all: it needs no window to say that
  // the profile is missing.
  void programWithoutProfileNeedsNoWindow() {
    QTemporaryDir empty;
    const ProgramRun run = run_program(
        "/usr/bin/env",
        {"-u", "QT_QPA_PLATFORM", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", SONLET_BINARY},
        empty.path().toStdString());
    QCOMPARE(run.status, 1);
    QVERIFY(QString::fromStdString(run.err).contains(QString::fromLatin1(kProfileOpenError)));
    QVERIFY(QDir(empty.path()).isEmpty());  // and it created no profile
  }
};

QTEST_MAIN(PanelProfileTest)
#include "panel_profile_test.moc"
