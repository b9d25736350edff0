// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/panel_language.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

// The translations are compiled into the panel's static library, whose resource table the
// linker would drop unless something refers to it. Qt's registration must be named outside any
// namespace.
static void RegisterTranslations() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(sonlet_translations);
    return true;
  }();
  (void)registered;
}

namespace sonlet {

namespace {

// Loads and installs the translation in `file`; null when there is none or it cannot be read.
std::unique_ptr<QTranslator> Install(const QString& file) {
  // Checked first: QTranslator::load would otherwise try shorter names in the same folder, and
  // could take a file meant for another language.
  if (!QFileInfo::exists(file)) return nullptr;
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(file) || !QCoreApplication::installTranslator(translator.get())) {
    return nullptr;
  }
  return translator;
}

}  // namespace

QString PanelLanguage::TranslationFile(QLocale::Language language) {
  RegisterTranslations();
  return QStringLiteral(":/i18n/sonlet_%1.qm").arg(QLocale::languageToCode(language));
}

QString PanelLanguage::DefaultQtTranslations() {
  return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

PanelLanguage::PanelLanguage(const QLocale& locale, const QString& qt_translations) {
  // Spanish needs no translation: it is the language the texts are written in.
  if (locale.language() != QLocale::Spanish) {
    panel_ = Install(TranslationFile(locale.language()));
    if (panel_ != nullptr) language_ = locale.language();
  }
  // Qt writes its own texts in English. In any other language the panel speaks, its boxes'
  // buttons speak it too when Qt's translations are installed.
  if (language_ != QLocale::English) {
    qt_ = Install(
        QDir(qt_translations)
            .filePath(QStringLiteral("qtbase_%1.qm").arg(QLocale::languageToCode(language_))));
  }
}

PanelLanguage::~PanelLanguage() {
  if (qt_ != nullptr) QCoreApplication::removeTranslator(qt_.get());
  if (panel_ != nullptr) QCoreApplication::removeTranslator(panel_.get());
}

}  // namespace sonlet
