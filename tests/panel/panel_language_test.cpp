// SPDX-License-Identifier: GPL-3.0-or-later
// The panel in the desktop's language: English where the desktop speaks English, and the Spanish
// it is written in everywhere else; and a translation for every text the sources hold.

#include "panel/panel_language.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>
#include <functional>
#include <memory>
#include <vector>

#include "panel/about_dialog.h"
#include "panel/action_palette.h"
#include "panel/calibration_dialog.h"
#include "panel/panel_app.h"
#include "panel/panel_fixture.h"
#include "panel/panel_tray.h"
#include "panel/vowel_chart.h"

namespace sonlet {

namespace {

const std::string kProfile = "45\n3\n20\n80\n50\n1\n";

// Texts that read the same in every language: units, numbers, symbols, the program's name, and
// the word the user says to click.
const QSet<QString> kSameEverywhere = {QStringLiteral("S O N L E T"),
                                       QStringLiteral("dB"),
                                       QStringLiteral("Hz"),
                                       QStringLiteral("cm"),
                                       QStringLiteral("90"),
                                       QStringLiteral("190"),
                                       QStringLiteral("-"),
                                       QStringLiteral("+"),
                                       QStringLiteral("<---      |      --->"),
                                       QStringLiteral("\"Click\""),
                                       QStringLiteral("\"Click - Click\"")};

struct ShownText {
  QString what;  // the class and property that shows it
  QString text;
};

void Add(std::vector<ShownText>* texts, const QObject& owner, const char* property,
         const QString& text) {
  if (text.isEmpty()) return;
  texts->push_back({QStringLiteral("%1 %2").arg(QLatin1String(owner.metaObject()->className()),
                                                QLatin1String(property)),
                    text});
}

// Every text a window shows or a screen reader reads out, in the order the window made them.
std::vector<ShownText> TextsOf(const QWidget& window) {
  std::vector<ShownText> texts;
  Add(&texts, window, "windowTitle", window.windowTitle());
  QList<const QObject*> objects{&window};
  for (const QObject* child : window.findChildren<QObject*>()) objects << child;
  for (const QObject* object : objects) {
    if (const auto* widget = qobject_cast<const QWidget*>(object)) {
      Add(&texts, *widget, "accessibleName", widget->accessibleName());
      Add(&texts, *widget, "toolTip", widget->toolTip());
    }
    if (const auto* label = qobject_cast<const QLabel*>(object)) {
      Add(&texts, *label, "text", label->text());
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(object)) {
      Add(&texts, *button, "text", button->text());
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(object)) {
      Add(&texts, *group, "title", group->title());
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(object)) {
      for (int i = 0; i < combo->count(); ++i) Add(&texts, *combo, "item", combo->itemText(i));
    }
    if (const auto* menu = qobject_cast<const QMenu*>(object)) {
      Add(&texts, *menu, "title", menu->title());
    }
    if (const auto* action = qobject_cast<const QAction*>(object)) {
      Add(&texts, *action, "text", action->text());
    }
    if (const auto* bar = qobject_cast<const QProgressBar*>(object)) {
      Add(&texts, *bar, "format", bar->format());
    }
  }
  return texts;
}

// The texts of every window the panel opens, as built while `language` is in force (none: the
// Spanish they are written in).
std::vector<ShownText> AllTexts(const QLocale* language) {
  std::unique_ptr<PanelLanguage> installed;
  if (language != nullptr) installed = std::make_unique<PanelLanguage>(*language, QString());
  PanelUnderTest t(kProfile);
  std::vector<ShownText> texts = TextsOf(*t.panel);
  auto take = [&texts](const QWidget& window) {
    for (ShownText& shown : TextsOf(window)) texts.push_back(std::move(shown));
  };
  take(AboutDialog());
  take(CalibrationDialog(55));
  take(VowelChart());
  take(ActionPalette(nullptr));
  PanelTray tray(*t.panel);
  take(*tray.menu());
  return texts;
}

// What the one message box that `open` opens (and that is answered before it returns) says.
QString BoxText(const std::function<void()>& open) {
  BoxAnswerer answerer;
  open();
  return answerer.boxes == 1 ? answerer.text : QStringLiteral("<%1 boxes>").arg(answerer.boxes);
}

struct Message {
  QString context;
  QString source;
  QString translation;
  QString type;  // "unfinished", "vanished", "obsolete"; empty when finished
};

// The messages of a Qt Linguist .ts file.
std::vector<Message> ReadTs(const QString& path, QString* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    *error = QStringLiteral("cannot open ") + path;
    return {};
  }
  std::vector<Message> messages;
  QXmlStreamReader xml(&file);
  QString context;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (xml.name() == QLatin1String("name")) {
      context = xml.readElementText();
    } else if (xml.name() == QLatin1String("message")) {
      messages.push_back({context, {}, {}, {}});
    } else if (xml.name() == QLatin1String("source") && !messages.empty()) {
      messages.back().source = xml.readElementText();
    } else if (xml.name() == QLatin1String("translation") && !messages.empty()) {
      messages.back().type = xml.attributes().value(QLatin1String("type")).toString();
      messages.back().translation = xml.readElementText();
    }
  }
  if (xml.hasError()) *error = path + QStringLiteral(": ") + xml.errorString();
  return messages;
}

// The placeholders of a text (%1, %v and the like), in order of their names.
QStringList Placeholders(const QString& text) {
  static const QRegularExpression placeholder(QStringLiteral("%(\\d+|[vmp])"));
  QStringList found;
  for (const QRegularExpressionMatch& match : placeholder.globalMatch(text)) {
    found << match.captured();
  }
  found.sort();
  return found;
}

// The key a menu text's accelerator gives (the letter after a single '&'), or nothing.
int Accelerators(const QString& text) {
  int count = 0;
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != QLatin1Char('&')) continue;
    if (text[i + 1] == QLatin1Char('&')) {
      ++i;
      continue;
    }
    ++count;
  }
  return count;
}

bool RunTool(const QString& program, const QStringList& arguments, QString* output) {
  QProcess tool;
  tool.setProcessChannelMode(QProcess::MergedChannels);
  tool.start(program, arguments);
  const bool finished = tool.waitForFinished(60000);
  *output = QString::fromLocal8Bit(tool.readAll());
  return finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

}  // namespace

class PanelLanguageTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QLocale::setDefault(desktop_); }
  void cleanup() { QLocale::setDefault(desktop_); }

  void thePanelSpeaksTheDesktopsLanguage_data();
  void thePanelSpeaksTheDesktopsLanguage();
  void everyTextShownIsTranslated();
  void theProgramChoosesTheLanguageAtStart_data();
  void theProgramChoosesTheLanguageAtStart();
  void qtsOwnButtonsFollowThePanel_data();
  void qtsOwnButtonsFollowThePanel();
  void theTranslationCoversEveryTextInTheSources();

 private:
  const QLocale desktop_;  // as the test started: C
};

void PanelLanguageTest::thePanelSpeaksTheDesktopsLanguage_data() {
  QTest::addColumn<QString>("locale");
  QTest::addColumn<QString>("start");
  QTest::addColumn<QString>("stop");
  QTest::addColumn<QString>("quit");
  QTest::addColumn<QString>("vowels_menu");
  QTest::addColumn<QString>("first_item");
  QTest::addColumn<QString>("message");
  const QString english[] = {
      QStringLiteral("Start"),
      QStringLiteral("Stop"),
      QStringLiteral("Quit"),
      QStringLiteral("&Vowels"),
      QStringLiteral("Left Mouse Button"),
      QStringLiteral("Cannot read the calibration: the file “%1” does not exist.\n\nSonlet goes on "
                     "with the fixed vowel regions. To make a calibration with your voice, use "
                     "“Vowels › Calibration…”.")};
  const QString spanish[] = {
      QStringLiteral("Iniciar"),
      QStringLiteral("Detener"),
      QStringLiteral("Salir"),
      QStringLiteral("&Vocales"),
      QStringLiteral("Boton Izdo Raton"),
      QStringLiteral("No se puede leer la calibración: no existe el archivo «%1».\n\nSonlet sigue "
                     "con las regiones fijas de las vocales. Para hacer una calibración con su "
                     "voz, use «Vocales › Calibración…».")};
  const struct {
    const char* locale;
    const QString* texts;
  } rows[] = {{"en_US", english}, {"en_GB", english}, {"es_ES", spanish},
              {"es_MX", spanish}, {"fr_FR", spanish}, {"C", spanish}};
  for (const auto& row : rows) {
    QTest::newRow(row.locale) << QString::fromLatin1(row.locale) << row.texts[0] << row.texts[1]
                              << row.texts[2] << row.texts[3] << row.texts[4] << row.texts[5];
  }
}

void PanelLanguageTest::thePanelSpeaksTheDesktopsLanguage() {
  QFETCH(QString, locale);
  QFETCH(QString, start);
  QFETCH(QString, stop);
  QFETCH(QString, quit);
  QFETCH(QString, vowels_menu);
  QFETCH(QString, first_item);
  QFETCH(QString, message);
  // As the program sees a desktop in that language.
  QLocale::setDefault(QLocale(locale));
  PanelLanguage language;
  PanelUnderTest t(kProfile);
  QVERIFY(t.loaded);

  QCOMPARE(Control<QPushButton>(*t.panel, 1000)->text(), start);
  QCOMPARE(Control<QPushButton>(*t.panel, 1001)->text(), stop);
  QCOMPARE(Control<QPushButton>(*t.panel, 1)->text(), quit);
  auto* bar = t.panel->findChild<QMenuBar*>();
  QVERIFY(bar != nullptr);
  QCOMPARE(bar->actions().value(1)->text(), vowels_menu);
  // The hidden click action keeps its items in their places, whatever they are called.
  auto* click_action = Control<QComboBox>(*t.panel, 1008);
  QCOMPARE(click_action->count(), 2);
  QCOMPARE(click_action->itemText(0), first_item);
  QCOMPARE(click_action->currentIndex(), 0);

  // "Usar calibración" with no calibration made yet.
  QAction* use_calibration = t.panel->findChild<QAction*>(QStringLiteral("use-calibration"));
  QVERIFY(use_calibration != nullptr);
  QCOMPARE(BoxText([use_calibration] { use_calibration->trigger(); }),
           message.arg(t.dir.filePath(QStringLiteral("calibration.txt"))));
}

void PanelLanguageTest::everyTextShownIsTranslated() {
  const std::vector<ShownText> spanish = AllTexts(nullptr);
  const QLocale english_locale(QLocale::English, QLocale::UnitedStates);
  const std::vector<ShownText> english = AllTexts(&english_locale);
  // Enough that a panel built without its texts cannot pass.
  QVERIFY2(spanish.size() > 60, qPrintable(QString::number(spanish.size())));
  QCOMPARE(english.size(), spanish.size());
  QStringList untranslated;
  QStringList translated_anyway;
  for (size_t i = 0; i < spanish.size(); ++i) {
    QCOMPARE(english[i].what, spanish[i].what);
    const bool same = english[i].text == spanish[i].text;
    const QString line = spanish[i].what + QStringLiteral(": ") + spanish[i].text;
    if (kSameEverywhere.contains(spanish[i].text)) {
      if (!same) translated_anyway << line + QStringLiteral(" -> ") + english[i].text;
    } else if (same) {
      untranslated << line;
    }
  }
  QVERIFY2(untranslated.isEmpty(),
           qPrintable(QStringLiteral("shown in Spanish in English:\n") + untranslated.join('\n')));
  QVERIFY2(translated_anyway.isEmpty(), qPrintable(translated_anyway.join('\n')));
}

void PanelLanguageTest::theProgramChoosesTheLanguageAtStart_data() {
  QTest::addColumn<QString>("locale");
  QTest::addColumn<QString>("box_says");
  const QString english = QStringLiteral(
      "Could not open the microphone “no-such-microphone”.\n\nCheck that it is connected and not "
      "muted, and start Sonlet again. The command “sonlet --list-devices” shows the microphones "
      "Sonlet can use.");
  const QString spanish = QStringLiteral(
      "No se ha podido abrir el micrófono «no-such-microphone».\n\nCompruebe que está conectado y "
      "que no está silenciado, y vuelva a iniciar Sonlet. La orden «sonlet --list-devices» "
      "muestra los micrófonos que Sonlet puede usar.");
  QTest::newRow("en_US") << QStringLiteral("en_US") << english;
  QTest::newRow("fr_FR") << QStringLiteral("fr_FR") << spanish;
  QTest::newRow("C") << QStringLiteral("C") << spanish;
}

// The whole program's start, with a microphone that is not there: its box speaks the language
// of the desktop, and once the program is over the translation is gone again.
void PanelLanguageTest::theProgramChoosesTheLanguageAtStart() {
  QFETCH(QString, locale);
  QFETCH(QString, box_says);
  QLocale::setDefault(QLocale(locale));
  QTemporaryDir root;
  CommandLine line;
  line.profile = root.filePath(QStringLiteral("user.txt")).toStdString();
  line.device = "no-such-microphone";
  WriteFile(QString::fromStdString(line.profile), kProfile);
  BoxAnswerer answerer;
  StopSignals stop_signals;
  OutputChannel standard_output(stdout, "standard output");
  PanelApp app(line, stop_signals, standard_output);
  QVERIFY(app.Run() != 0);
  QCOMPARE(answerer.boxes, 1);
  QCOMPARE(answerer.text, box_says);

  ControlPanel after(line.profile);
  QCOMPARE(Control<QPushButton>(after, 1000)->text(), QStringLiteral("Iniciar"));
}

void PanelLanguageTest::qtsOwnButtonsFollowThePanel_data() {
  QTest::addColumn<QString>("locale");
  QTest::addColumn<QString>("ok");
  // English is Qt's own; Spanish is the panel's wherever it has no translation.
  QTest::newRow("es_ES") << QStringLiteral("es_ES") << QStringLiteral("Aceptar");
  QTest::newRow("fr_FR") << QStringLiteral("fr_FR") << QStringLiteral("Aceptar");
  QTest::newRow("en_US") << QStringLiteral("en_US") << QStringLiteral("OK");
}

void PanelLanguageTest::qtsOwnButtonsFollowThePanel() {
  QFETCH(QString, locale);
  QFETCH(QString, ok);
  // A folder of Qt's translations with one text in Spanish, and a decoy in English that must
  // not be taken.
  QTemporaryDir folder;
  const struct {
    const char* language;
    const char* ok;
  } files[] = {{"es", "Aceptar"}, {"en", "Okay (not Qt's)"}};
  for (const auto& file : files) {
    const QString ts = folder.filePath(QStringLiteral("qtbase_%1.ts").arg(file.language));
    WriteFile(ts, std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                              "<!DOCTYPE TS><TS version=\"2.1\"><context><name>QPlatformTheme"
                              "</name><message><source>OK</source><translation>") +
                      file.ok + "</translation></message></context></TS>\n");
    QString output;
    QVERIFY2(RunTool(QStringLiteral(SONLET_LRELEASE),
                     {ts, QStringLiteral("-qm"),
                      folder.filePath(QStringLiteral("qtbase_%1.qm").arg(file.language))},
                     &output),
             qPrintable(output));
  }
  PanelLanguage language(QLocale(locale), folder.path());
  QCOMPARE(language.qt_translated(), ok != QStringLiteral("OK"));
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Error"), QStringLiteral("?"),
                  QMessageBox::Ok);
  QCOMPARE(box.button(QMessageBox::Ok)->text(), ok);
}

// Every text the sources give to the translation system has a finished English translation,
// with the same placeholders and an accelerator where the Spanish has one; the .ts holds none
// that the sources no longer have; and the program carries the .ts as it stands.
void PanelLanguageTest::theTranslationCoversEveryTextInTheSources() {
  QTemporaryDir folder;
  const QString updated = folder.filePath(QStringLiteral("sonlet_en.ts"));
  QVERIFY(QFile::copy(QStringLiteral(SONLET_PANEL_TS), updated));
  QFile::setPermissions(updated, QFile::ReadOwner | QFile::WriteOwner);
  QString output;
  // New texts come in unfinished, texts gone from the sources stay as vanished. The include
  // folder lets lupdate see the classes' namespace, which is part of each text's context.
  QVERIFY2(RunTool(QStringLiteral(SONLET_LUPDATE),
                   {QStringLiteral("-silent"), QStringLiteral("-locations"), QStringLiteral("none"),
                    QStringLiteral("-extensions"), QStringLiteral("cpp,h"), QStringLiteral("-I"),
                    QStringLiteral(SONLET_INCLUDE_DIR), QStringLiteral(SONLET_PANEL_SOURCES),
                    QStringLiteral("-ts"), updated},
                   &output),
           qPrintable(output));
  QString error;
  const std::vector<Message> messages = ReadTs(updated, &error);
  QVERIFY2(error.isEmpty(), qPrintable(error));
  QVERIFY(messages.size() > 60);

  QTranslator compiled;
  QVERIFY(compiled.load(PanelLanguage::TranslationFile(QLocale::English)));
  QStringList faults;
  for (const Message& m : messages) {
    const QString where = m.context + QStringLiteral(" \"") + m.source + QStringLiteral("\": ");
    if (!m.type.isEmpty() || m.translation.isEmpty()) {
      faults << where + (m.type.isEmpty() ? QStringLiteral("empty") : m.type);
      continue;
    }
    if (Placeholders(m.translation) != Placeholders(m.source)) {
      faults << where + QStringLiteral("placeholders ") + Placeholders(m.translation).join(',');
    }
    if (Accelerators(m.translation) != Accelerators(m.source)) {
      faults << where + QStringLiteral("accelerators in \"") + m.translation + '"';
    }
    const QString carried =
        compiled.translate(m.context.toUtf8().constData(), m.source.toUtf8().constData());
    if (carried != m.translation) {
      faults << where + QStringLiteral("the program has \"") + carried + '"';
    }
  }
  QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
}

}  // namespace sonlet

QTEST_MAIN(sonlet::PanelLanguageTest)
#include "panel_language_test.moc"
