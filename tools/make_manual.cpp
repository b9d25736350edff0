// sonlet-make-manual: turns the user manual's source text (Markdown) into the PDF that the
// panel's "Manual (pdf)" opens. Run at build time.
//   sonlet-make-manual SOURCE.md OUTPUT.pdf

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

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
  manual.setMarkdown(QString::fromUtf8(source.readAll()));

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
