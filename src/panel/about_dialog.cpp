// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/about_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "panel/icons.h"

namespace sonlet {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Acerca de: S O N L E T"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  const int edge = LegendIconEdge(*this);

  auto* description =
      new QLabel(tr("SONLET es una herramienta gratuita que ayuda a las personas con "
                    "discapacidad a usar el ordenador sin las manos: una vocal sostenida mueve "
                    "el puntero del ratón y un sonido corto, como la palabra \"click\", hace "
                    "clic."),
                 this);
  description->setWordWrap(true);
  description->setAlignment(Qt::AlignCenter);

  auto* credits = new QLabel(tr("Autores: Sonlet contributors\n"
                                "Contacto: la página del proyecto Sonlet\n"
                                "Copyright © Sonlet contributors.\n"
                                "Software libre: GNU GPL versión 3 o posterior."),
                             this);
  credits->setAlignment(Qt::AlignCenter);

  auto* text = new QVBoxLayout;
  text->addStretch(1);
  text->addWidget(description);
  text->addSpacing(fontMetrics().height());
  text->addWidget(credits);
  text->addStretch(1);

  // The vowels a, i and o-u down the left edge; the application icon at the top right and the
  // vowel e at the bottom right.
  auto* grid = new QGridLayout;
  grid->addWidget(IconLabel("vowel-a", edge, this), 0, 0);
  grid->addWidget(IconLabel("vowel-i", edge, this), 1, 0);
  grid->addWidget(IconLabel("vowel-ou", edge, this), 2, 0);
  grid->addLayout(text, 0, 1, 3, 1);
  grid->addWidget(IconLabel("sonlet", edge, this), 0, 2);
  grid->addWidget(IconLabel("vowel-e", edge, this), 2, 2);
  grid->setColumnStretch(1, 1);
  grid->setHorizontalSpacing(fontMetrics().height());

  auto* accept_button = new QPushButton(tr("Aceptar"), this);
  accept_button->setObjectName(QStringLiteral("1"));
  accept_button->setDefault(true);
  connect(accept_button, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(accept_button);
  buttons->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  // Wide enough for the paragraph to wrap into a few even lines.
  description->setMinimumWidth(24 * fontMetrics().averageCharWidth());
}

}  // namespace sonlet
