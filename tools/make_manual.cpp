// SPDX-License-Identifier: GPL-3.0-or-later
// sonlet-make-manual: turns the user manual's source text (Markdown) into the PDF that the
// panel's "Manual (pdf)" opens. Run at build time.
//   sonlet-make-manual SOURCE.md OUTPUT.pdf

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <cstdio>

namespace {

// A screenshot is wider than the page; each picture is drawn at most 12 cm wide, keeping its
// proportions.
void FitPictures(QTextDocument* manual) {
  constexpr double kWidest = 450.0;  // in the document's units, about 12 cm on the page
  for (QTextBlock block = manual->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.charFormat().isImageFormat()) continue;
      QTextImageFormat picture = fragment.charFormat().toImageFormat();
      const QVariant resource =
          manual->resource(QTextDocument::ImageResource, QUrl(picture.name()));
      const QImage image = resource.canConvert<QImage>()
                               ? resource.value<QImage>()
                               : QImage::fromData(resource.toByteArray());
      if (image.isNull() || image.width() <= kWidest) continue;
      picture.setWidth(kWidest);
      picture.setHeight(kWidest * image.height() / image.width());
      QTextCursor cursor(manual);
      cursor.setPosition(fragment.position());
      cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      cursor.setCharFormat(picture);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: sonlet-make-manual SOURCE.md OUTPUT.pdf\n");
    return 2;
  }
  // Laying out text needs fonts, not a screen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);

  QFile source(QString::fromLocal8Bit(argv[1]));
  if (!source.open(QIODevice::ReadOnly | QIODevice::Text)) {
    std::fprintf(stderr, "sonlet-make-manual: cannot read %s\n", argv[1]);
    return 1;
  }
  QTextDocument manual;
  manual.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 10));
  // Pictures are named relative to the manual's own folder.
  manual.setBaseUrl(QUrl::fromLocalFile(QFileInfo(source).absolutePath() + QStringLiteral("/")));
  manual.setMarkdown(QString::fromUtf8(source.readAll()));
  FitPictures(&manual);

  QPdfWriter pdf(QString::fromLocal8Bit(argv[2]));
  pdf.setTitle(QStringLiteral("Manual de Sonlet"));
  pdf.setCreator(QStringLiteral("Sonlet"));
  pdf.setPageSize(QPageSize(QPageSize::A4));
  pdf.setPageMargins(QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter);
  manual.print(&pdf);  // numbers the pages
  if (!QFile::exists(QString::fromLocal8Bit(argv[2]))) {
    std::fprintf(stderr, "sonlet-make-manual: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
