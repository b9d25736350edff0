// SPDX-License-Identifier: GPL-3.0-or-later
// The panel driven from outside: the real command line (sonlet --start and the like, a second
// panel) against a panel on a private session bus; the tray icon's menu where there is no tray
// (Qt's offscreen platform has none); and "Opciones › Iniciar con la sesión".

#include "panel/panel_remote.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTest>
#include <functional>
#include <memory>

#include "cli/run_program.h"
#include "engine/notice_sink.h"
#include "input/null_sink.h"
#include "panel/action_palette.h"
#include "panel/calibration_dialog.h"
#include "panel/panel_fixture.h"
#include "panel/panel_tray.h"
#include "remote/remote_service.h"
#include "settings/autostart_entry.h"
#include "support/memory_source.h"
#include "support/private_bus.h"

namespace sonlet {

namespace {

const std::string kProfile = "45\n3\n20\n75\n50\n0\n";

// The real program, run while this thread's event loop goes on: the panel answers it here.
// Returns its standard output, with its exit status in *status.
QString Ask(const QStringList& args, int* status = nullptr, const QString& folder = QString()) {
  QProcess program;
  program.setWorkingDirectory(folder);
  program.start(QStringLiteral(SONLET_BINARY), args);
  const bool ended =
      program.waitForStarted() &&
      QTest::qWaitFor([&program] { return program.state() == QProcess::NotRunning; }, 60000);
  if (status != nullptr) *status = ended ? program.exitCode() : -1;
  return QString::fromLocal8Bit(program.readAllStandardOutput());
}

QAction* Item(const QObject& owner, const char* name) {
  return owner.findChild<QAction*>(QLatin1String(name));
}

}  // namespace

class PanelRemoteTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY2(bus_.running(), bus_.error().c_str());
    // Before anything in this process or the programs it starts looks for the session bus.
    qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray::fromStdString(bus_.address()));
    home_ = qgetenv("HOME");
  }

  void init() {
    fixture_ = std::make_unique<PanelUnderTest>(kProfile);
    QVERIFY(fixture_->loaded);
    // As the program makes them: the session's name, answered by this panel.
    service_ = std::make_unique<RemoteService>();
    remote_ = std::make_unique<PanelRemote>(*fixture_->panel, *service_);
    std::string why;
    QCOMPARE(service_->ClaimName(&why), RemoteService::Claim::kOwned);
  }

  void cleanup() {
    remote_.reset();
    service_.reset();  // gives the name up for the next test
    fixture_.reset();
    qputenv("HOME", home_);
    qunsetenv("XDG_CONFIG_HOME");
  }

  void commandsPressTheButtons() {
    ControlPanel& panel = *fixture_->panel;
    auto* start = Control<QPushButton>(panel, 1000);
    auto* stop = Control<QPushButton>(panel, 1001);
    auto* threshold = Control<QSlider>(panel, 1002);
    // Controls that differ from the settings: "Iniciar" takes them, as a click does.
    threshold->setValue(60);
    Control<QCheckBox>(panel, 1005)->setChecked(true);
    const struct {
      const char* command;
      const char* answer;
      bool listening;
    } steps[] = {
        {"--status", "stopped", false},  {"--stop", "stopped", false},
        {"--start", "listening", true},  {"--start", "listening", true},
        {"--toggle", "stopped", false},  {"--toggle", "listening", true},
        {"--status", "listening", true}, {"--stop", "stopped", false},
    };
    bool started = false;
    for (const auto& step : steps) {
      int status = -1;
      QCOMPARE(Ask({QLatin1String(step.command)}, &status),
               QString::fromLatin1(step.answer) + QLatin1Char('\n'));
      QCOMPARE(status, 0);
      QCOMPARE(panel.listening(), step.listening);
      QCOMPARE(start->isEnabled(), !step.listening);
      QCOMPARE(stop->isEnabled(), step.listening);
      QCOMPARE(threshold->isEnabled(), step.listening);
      started = started || step.listening;
      QCOMPARE(LoadSetting(panel.settings().threshold), started ? 60 : 45);
      QCOMPARE(LoadSetting(panel.settings().male), started ? 1 : 0);
    }
  }

  // sonlet --action reaches the panel's own pointer actions: its palette and its tray show what
  // was chosen, a name given twice kept.
  void theActionCommandChoosesAsThePaletteDoes() {
    ControlPanel& panel = *fixture_->panel;
    struct : NoticeSink {
      void Notify(Notice, int) override {}
    } notices;
    panel.StartEngine(std::make_unique<MemorySource>(std::vector<int16_t>(1500)),
                      std::make_unique<NullSink>(), notices);
    PanelTray tray(panel);
    Item(panel, "action-palette")->trigger();
    QPushButton* right = panel.findChild<ActionPalette*>()->Button(PointerAction::kRight);
    for (const char* shown : {"Derecho", "Derecho (fijo)"}) {
      QCOMPARE(Ask({QStringLiteral("--action"), QStringLiteral("right")}),
               QStringLiteral("right\n"));
      QTRY_COMPARE(right->text(), QString::fromUtf8(shown));
      QVERIFY(right->isChecked());
      QCOMPARE(tray.ToolTip(), QStringLiteral("Sonlet: detenido; acción: ") + right->text());
    }
  }

  void quitSavesTheSettingsAndEnds() {
    ControlPanel& panel = *fixture_->panel;
    Control<QSlider>(panel, 1002)->setValue(70);
    QCOMPARE(Ask({QStringLiteral("--start")}), QStringLiteral("listening\n"));
    // A box open over the panel goes first, as at a stop signal.
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Caja"), QString(), QMessageBox::Ok,
                    &panel);
    box.open();
    int status = -1;
    QCOMPARE(Ask({QStringLiteral("--quit")}, &status), QString());
    QCOMPARE(status, 0);
    QVERIFY(!box.isVisible());
    QVERIFY(!panel.isVisible());
    // Saved, with the threshold as taken, before --quit returned.
    QCOMPARE(fixture_->ProfileText(), std::string("70\n3\n20\n75\n50\n0\n"));
    Ask({QStringLiteral("--status")}, &status);
    QCOMPARE(status, 1);
  }

  void aSecondPanelBringsTheFirstToTheFront() {
    ControlPanel& panel = *fixture_->panel;
    panel.showMinimized();
    QTRY_VERIFY(panel.isMinimized());
    int status = -1;
    QCOMPARE(Ask({QStringLiteral("--input"), QStringLiteral(SONLET_DATA_DIR "/click.wav")}, &status,
                 fixture_->dir.path()),
             QString());
    QCOMPARE(status, 0);
    QVERIFY(panel.isVisible() && !panel.isMinimized());
    QCOMPARE(fixture_->ProfileText(), kProfile);
  }

  void theTrayMenuPressesTheButtonsAndACalibrationHoldsListening() {
    ControlPanel& panel = *fixture_->panel;
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    PanelTray tray(panel);
    QVERIFY(tray.icon() == nullptr);  // no tray, no icon, and nothing said
    QAction* start = Item(*tray.menu(), "tray-start");
    QAction* stop = Item(*tray.menu(), "tray-stop");
    QCOMPARE(start->text(), QStringLiteral("Iniciar"));
    QCOMPARE(stop->text(), QStringLiteral("Detener"));
    QCOMPARE(Item(*tray.menu(), "tray-show")->text(), QStringLiteral("Mostrar panel"));
    const struct {
      std::function<void()> act;
      bool listening;
      const char* tooltip;
    } steps[] = {
        {[] {}, false, "Sonlet: detenido"},
        {[start] { start->trigger(); }, true, "Sonlet: escuchando"},
        {[stop] { stop->trigger(); }, false, "Sonlet: detenido"},
        // The pause gesture stops listening without "Detener"; any start ends the pause.
        {[&tray] { tray.SetPaused(true); }, false, "Sonlet: en pausa"},
        {[&panel] { Control<QPushButton>(panel, 1000)->click(); }, true, "Sonlet: escuchando"},
        // "Ignorar el habla" says so, whatever the state.
        {[&panel] { Item(panel, "speech-guard")->trigger(); }, true,
         "Sonlet: escuchando (ignora el habla)"},
        {[stop] { stop->trigger(); }, false, "Sonlet: detenido (ignora el habla)"},
        {[&panel] { Item(panel, "speech-guard")->trigger(); }, false, "Sonlet: detenido"},
        {[start] { start->trigger(); }, true, "Sonlet: escuchando"},
    };
    for (const auto& step : steps) {
      step.act();
      QCOMPARE(panel.listening(), step.listening);
      QCOMPARE(tray.ToolTip(), QLatin1String(step.tooltip));
      QCOMPARE(start->isEnabled(), !step.listening);
      QCOMPARE(stop->isEnabled(), step.listening);
    }
    stop->trigger();
    // While the calibration listens, neither the tray nor the command line can change that.
    Item(panel, "calibrate")->trigger();
    QVERIFY(panel.listening());
    QVERIFY(!start->isEnabled() && !stop->isEnabled());
    QCOMPARE(Ask({QStringLiteral("--stop")}), QStringLiteral("listening\n"));
    panel.findChild<CalibrationDialog*>()->reject();
    QVERIFY(!panel.listening() && start->isEnabled());

    panel.hide();
    Item(*tray.menu(), "tray-show")->trigger();
    QVERIFY(panel.isVisible());
    Item(*tray.menu(), "tray-quit")->trigger();
    QVERIFY(!panel.isVisible());
    QCOMPARE(panel.result(), int(QDialog::Accepted));
  }

  void startWithSessionWritesAndRemovesTheEntry_data() {
    QTest::addColumn<QString>("config_home");  // XDG_CONFIG_HOME, "@" the test's folder; "-" unset
    QTest::addColumn<QString>("entry");        // in the test's folder
    QTest::addColumn<bool>("there_before");
    const QString file = QStringLiteral("/autostart/org.sonlet.Sonlet.desktop");
    QTest::newRow("XDG_CONFIG_HOME, folder to make") << "@/config"
                                                     << "config" + file << false;
    QTest::newRow("there already") << "@/config"
                                   << "config" + file << true;
    QTest::newRow("unset: ~/.config") << "-"
                                      << "home/.config" + file << false;
    QTest::newRow("empty: ~/.config") << ""
                                      << "home/.config" + file << false;
    QTest::newRow("relative, ignored") << "config"
                                       << "home/.config" + file << false;
    QTest::newRow("autostart a file") << "@/blocked"
                                      << "blocked" + file << false;
  }

  void startWithSessionWritesAndRemovesTheEntry() {
    QFETCH(QString, config_home);
    QFETCH(QString, entry);
    QFETCH(bool, there_before);
    QTemporaryDir folder;
    const QString path = folder.filePath(entry);
    const bool writable = !entry.startsWith(QLatin1String("blocked"));
    qputenv("HOME", folder.filePath(QStringLiteral("home")).toUtf8());
    if (config_home == QLatin1String("-")) {
      qunsetenv("XDG_CONFIG_HOME");
    } else {
      qputenv("XDG_CONFIG_HOME", config_home.replace(QLatin1Char('@'), folder.path()).toUtf8());
    }
    QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("blocked"))));
    WriteFile(folder.filePath(QStringLiteral("blocked/autostart")), "where the folder would be");
    if (there_before) {
      QVERIFY(QDir().mkpath(QFileInfo(path).path()));
      WriteFile(path, AutostartEntryText());
    }
    remote_.reset();
    fixture_ = std::make_unique<PanelUnderTest>(kProfile);  // reads the folder as it starts
    QAction* item = Item(*fixture_->panel, "start-with-session");
    QCOMPARE(item->isChecked(), there_before);

    BoxAnswerer boxes;
    item->trigger();
    const bool written = !there_before && writable;
    QTRY_COMPARE(boxes.boxes, writable ? 0 : 1);
    QCOMPARE(QFile::exists(path), written);
    QCOMPARE(item->isChecked(), written);
    if (written) {
      const std::string text = ReadFile(path);
      QVERIFY(text.rfind("[Desktop Entry]\n", 0) == 0);
      QVERIFY(text.find("\nExec=sonlet-launch\n") != std::string::npos);
      // What the desktop itself checks an entry with.
      const ProgramRun check = RunProgram("/usr/bin/desktop-file-validate", {path.toStdString()});
      QVERIFY2(check.status == 0, (check.out + check.err).c_str());
      item->trigger();
      QVERIFY(!QFile::exists(path) && !item->isChecked());
    }
  }

 private:
  PrivateBus bus_;
  QByteArray home_;
  std::unique_ptr<PanelUnderTest> fixture_;
  std::unique_ptr<RemoteService> service_;
  std::unique_ptr<PanelRemote> remote_;
};

}  // namespace sonlet

QTEST_MAIN(sonlet::PanelRemoteTest)
#include "panel_remote_test.moc"
