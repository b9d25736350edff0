// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QString>
#include <memory>

class QTranslator;

namespace sonlet {

// The panel's texts in the desktop's language. They are written in Spanish, and Spanish is what
// the panel speaks wherever no translation of its own matches the language (French, the C
// locale): a translation exists for English, compiled into the program. Qt's own texts (a
// message box's "OK") follow the panel's language where Qt has a translation for it.
//
// Installed into the running application while this lives, and taken out when it goes, so that
// whatever is built meanwhile speaks the chosen language. Needs a QCoreApplication.
class PanelLanguage {
 public:
  // qt_translations: the folder of Qt's own translations (qtbase_es.qm and the like).
  explicit PanelLanguage(const QLocale& locale = QLocale(),
                         const QString& qt_translations = DefaultQtTranslations());
  ~PanelLanguage();
  PanelLanguage(const PanelLanguage&) = delete;
  PanelLanguage& operator=(const PanelLanguage&) = delete;

  // The language the panel's texts are shown in.
  QLocale::Language language() const { return language_; }
  // Whether Qt's own texts were translated too.
  bool qt_translated() const { return qt_ != nullptr; }

  // Where the panel's compiled translations are: "sonlet_<language>.qm" in the program's
  // resources.
  static QString TranslationFile(QLocale::Language language);
  static QString DefaultQtTranslations();

 private:
  QLocale::Language language_ = QLocale::Spanish;
  std::unique_ptr<QTranslator> panel_;
  std::unique_ptr<QTranslator> qt_;
};

}  // namespace sonlet
