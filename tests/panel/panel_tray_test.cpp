// SPDX-License-Identifier: GPL-3.0-or-later
// The tray icon where the desktop has a tray: the panel on a private X server (Xvfb), a private
// session bus and a stand-in for the desktop's tray (status_watcher), which the icon is read
// from over the StatusNotifierItem protocol, as a desktop's panel reads it.

#include "panel/panel_tray.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QSystemTrayIcon>
#include <QTest>
#include <csignal>
#include <cstdlib>

#include "cli/live_program.h"
#include "panel/panel_fixture.h"
#include "support/private_bus.h"
#include "support/xvfb_server.h"

namespace sonlet {

namespace {

LiveProgram* tray_host = nullptr;  // made in main, before Qt first asks for a tray

// A call to the icon, without blocking: the icon answers on this very thread.
QDBusMessage CallIcon(const QString& service, const char* interface, const char* method,
                      const QVariantList& arguments) {
  QDBusMessage call =
      QDBusMessage::createMethodCall(service, QStringLiteral("/StatusNotifierItem"),
                                     QLatin1String(interface), QLatin1String(method));
  call.setArguments(arguments);
  QDBusPendingCall pending = QDBusConnection::sessionBus().asyncCall(call);
  if (!QTest::qWaitFor([&pending] { return pending.isFinished(); }, 20000)) return {};
  return pending.reply();
}

// The tooltip's title as the tray shows it: ToolTip is (icon name, pixmaps, title, text).
QString ToolTipTitle(const QString& service) {
  const QDBusMessage reply =
      CallIcon(service, "org.freedesktop.DBus.Properties", "Get",
               {QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("ToolTip")});
  const QDBusArgument tooltip =
      reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusArgument>();
  QString name;
  QString title;
  tooltip.beginStructure();
  tooltip >> name;
  tooltip.beginArray();
  while (!tooltip.atEnd()) {
    int width = 0;
    int height = 0;
    QByteArray pixels;
    tooltip.beginStructure();
    tooltip >> width >> height >> pixels;
    tooltip.endStructure();
  }
  tooltip.endArray();
  tooltip >> title;
  // Each structure entered is left again: entering one makes a reader that leaving frees.
  tooltip.endStructure();
  return title;
}

}  // namespace

class PanelTrayTest : public QObject {
  Q_OBJECT

 private slots:
  void theIconIsInTheTraySaysTheStateAndShowsThePanel() {
    PanelUnderTest fixture("45\n3\n20\n75\n50\n0\n");
    ControlPanel& panel = *fixture.panel;
    PanelTray tray(panel);
    QVERIFY(QSystemTrayIcon::isSystemTrayAvailable());
    QVERIFY(tray.icon() != nullptr && tray.icon()->isVisible());
    QCOMPARE(tray.icon()->contextMenu(), tray.menu());
    QString icon;
    QTRY_VERIFY(
        (icon = QString::fromStdString(tray_host->out()).section(QLatin1Char(' '), -1).trimmed())
            .startsWith(QLatin1Char(':')));

    QCOMPARE(ToolTipTitle(icon), QStringLiteral("Sonlet: detenido"));
    panel.PressStart();
    QTRY_COMPARE(ToolTipTitle(icon), QStringLiteral("Sonlet: escuchando"));
    panel.PressStop();
    tray.SetPaused(true);
    QTRY_COMPARE(ToolTipTitle(icon), QStringLiteral("Sonlet: en pausa"));
    panel.findChild<QAction*>(QStringLiteral("agile"))->trigger();
    QTRY_COMPARE(ToolTipTitle(icon), QStringLiteral("Sonlet: en pausa, movimiento ágil"));

    // A click in the tray: Activate at the pointer's place.
    panel.hide();
    QCOMPARE(CallIcon(icon, "org.kde.StatusNotifierItem", "Activate", {0, 0}).type(),
             QDBusMessage::ReplyMessage);
    QTRY_VERIFY(panel.isVisible());

    // The desktop's tray goes (its panel restarted): nothing is said, and all goes on.
    tray_host->Stop(SIGTERM, std::chrono::seconds(10));
    QTRY_VERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
        QStringLiteral("org.kde.StatusNotifierWatcher")));
    panel.PressStart();
    QCOMPARE(tray.state(), PanelTray::State::kListening);
  }
};

}  // namespace sonlet

int main(int argc, char** argv) {
  sonlet::XvfbServer display;
  sonlet::PrivateBus bus;
  if (!display.running() || !bus.running()) return 1;
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  setenv("DISPLAY", display.display().c_str(), 1);
  setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1);
  // Qt's own tray support, not a desktop's theme plugin.
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("XDG_CURRENT_DESKTOP");
  unsetenv("QT_QPA_PLATFORMTHEME");
  sonlet::LiveProgram tray_host(SONLET_STATUS_WATCHER, {});
  if (!tray_host.WaitFor([](const std::string& out, const std::string&) { return !out.empty(); },
                         std::chrono::seconds(20))) {
    return 1;
  }
  sonlet::tray_host = &tray_host;
  QApplication application(argc, argv);
  sonlet::PanelTrayTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "panel_tray_test.moc"
