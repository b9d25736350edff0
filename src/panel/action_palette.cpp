// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/action_palette.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace sonlet {

namespace {

// A button that any mouse button presses: the voice click that reaches it is made by the action
// in force, which may be the right or the middle button's. The second click of a double click
// ("Doble" in force) is let go without a click, or one choice would be taken for two and keep
// the action.
class PaletteButton : public QPushButton {
 public:
  PaletteButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    swallow_release_ = false;
    QMouseEvent left = AsLeftButton(*event);
    QPushButton::mousePressEvent(&left);
    event->setAccepted(left.isAccepted());
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (swallow_release_) return;
    QMouseEvent left = AsLeftButton(*event);
    QPushButton::mouseMoveEvent(&left);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (swallow_release_) {
      swallow_release_ = false;
      setDown(false);
      return;
    }
    QMouseEvent left = AsLeftButton(*event);
    QPushButton::mouseReleaseEvent(&left);
    event->setAccepted(left.isAccepted());
  }
  // Where the desktop delivers the second press of a double click, it comes before this; where
  // it does not, nothing is down. Either way the release that follows must not click.
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    swallow_release_ = true;
    event->accept();
  }

 private:
  static QMouseEvent AsLeftButton(const QMouseEvent& event) {
    return QMouseEvent(event.type(), event.position(), event.scenePosition(),
                       event.globalPosition(),
                       event.button() == Qt::NoButton ? Qt::NoButton : Qt::LeftButton,
                       event.buttons() == Qt::NoButton ? Qt::NoButton : Qt::LeftButton,
                       event.modifiers(), event.pointingDevice());
  }

  bool swallow_release_ = false;
};

constexpr PointerAction kOrder[] = {PointerAction::kLeft,   PointerAction::kRight,
                                    PointerAction::kDouble, PointerAction::kMiddle,
                                    PointerAction::kDrag,   PointerAction::kScroll};

}  // namespace

QString ActionPalette::ActionText(PointerAction action) {
  switch (action) {
    case PointerAction::kLeft:
      return tr("Izquierdo");
    case PointerAction::kRight:
      return tr("Derecho");
    case PointerAction::kDouble:
      return tr("Doble");
    case PointerAction::kMiddle:
      return tr("Central");
    case PointerAction::kDrag:
      return tr("Arrastrar");
    case PointerAction::kScroll:
      return tr("Desplazar");
  }
  return QString();
}

ActionPalette::ActionPalette(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                          Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("action-palette"));
  setWindowTitle(tr("Acciones"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  // A right click on the palette is a choice, never a request for a menu.
  setContextMenuPolicy(Qt::PreventContextMenu);

  auto* column = new QVBoxLayout(this);
  // Big targets: the pointer is steered onto them a vowel at a time.
  const int height = 2 * fontMetrics().height();
  int width = 0;
  QFont bold_font = font();
  bold_font.setBold(true);
  const QFontMetrics bold(bold_font);
  for (int i = 0; i < 6; ++i) {
    auto* button = new PaletteButton(ActionText(kOrder[i]), this);
    button->setObjectName(QStringLiteral("palette-%1").arg(QLatin1String(ActionName(kOrder[i]))));
    button->setCheckable(true);
    button->setMinimumHeight(height);
    // Room for the mark of a kept action, so that no button moves when it comes and goes.
    width = std::max(width, bold.horizontalAdvance(tr("%1 (fijo)").arg(button->text())));
    choices_[i] = {kOrder[i], button};
    column->addWidget(button);
    connect(button, &QPushButton::clicked, this, [this, i] {
      // The check follows the action in force as the owner reports it back, not the click,
      // which toggled it.
      ShowAction(shown_, shown_kept_);
      const bool again = last_choice_ == i;
      last_choice_ = i;
      emit Chosen(kOrder[i], again);
    });
  }
  column->addSpacing(fontMetrics().height() / 2);
  pause_ = new PaletteButton(tr("Pausa"), this);
  pause_->setObjectName(QStringLiteral("palette-pause"));
  pause_->setMinimumHeight(height);
  pause_->setToolTip(tr("Deja de escuchar, como «Detener»"));
  column->addWidget(pause_);
  connect(pause_, &QPushButton::clicked, this, [this] {
    last_choice_ = -1;
    emit PauseChosen();
  });
  for (const Choice& choice : choices_) choice.button->setMinimumWidth(width + height);
  ShowAction(PointerAction::kLeft, false);
}

void ActionPalette::ShowAction(PointerAction action, bool kept) {
  shown_ = action;
  shown_kept_ = kept;
  for (const Choice& choice : choices_) {
    const bool in_force = choice.action == action;
    choice.button->setChecked(in_force);
    // Bold as well as pressed in: a checked button's shade alone is faint in some styles.
    QFont face = choice.button->font();
    face.setBold(in_force);
    choice.button->setFont(face);
    const QString name = ActionText(choice.action);
    choice.button->setText(in_force && kept ? tr("%1 (fijo)").arg(name) : name);
  }
}

void ActionPalette::SetCanPause(bool can) { pause_->setEnabled(can); }

QPushButton* ActionPalette::Button(PointerAction action) const {
  for (const Choice& choice : choices_) {
    if (choice.action == action) return choice.button;
  }
  return nullptr;
}

void ActionPalette::leaveEvent(QEvent* event) {
  last_choice_ = -1;
  QWidget::leaveEvent(event);
}

void ActionPalette::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit ClosedByUser();
}

}  // namespace sonlet
