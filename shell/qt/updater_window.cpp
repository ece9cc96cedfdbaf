#include "shell/qt/updater_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "protocol/update_run.h"

namespace corvane::shell {
namespace {

// The bar's float range maps onto this many integer steps.
constexpr int BarSteps = 10000;

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Buttons and group boxes read '&' as an access-key marker; no text here has
// one, so every '&' shows as itself.
QString LiteralText(std::string_view text) {
  return Text(text).replace(u'&', QStringLiteral("&&"));
}

QPushButton* MakeButton(std::string_view text, QWidget* parent) {
  auto* button = new QPushButton(LiteralText(text), parent);
  // Enter presses neither button.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

QLabel* MakeLabel(std::string_view text, QWidget* parent) {
  auto* label = new QLabel(Text(text), parent);
  // Status texts show exactly as given, never read as rich text.
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(true);
  return label;
}

QFont InstructionFont() {
  QFont font;
  font.setFamilies({Text(InstructionFontFace), Text(InstructionFontFallback)});
  font.setPointSizeF(InstructionFontPoints);
  font.setWeight(static_cast<QFont::Weight>(InstructionFontWeight));
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

// Eats every mouse, key, wheel, touch and shortcut event, and a close the
// window manager asked for, while installed.
class InputDrop final : public QObject {
 public:
  InputDrop() { QCoreApplication::instance()->installEventFilter(this); }
  ~InputDrop() override { QCoreApplication::instance()->removeEventFilter(this); }
  InputDrop(const InputDrop&) = delete;
  InputDrop& operator=(const InputDrop&) = delete;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    return event->isInputEvent() || event->type() == QEvent::Shortcut ||
           event->type() == QEvent::Close;
  }
};

}  // namespace

UpdaterWindow::UpdaterWindow(std::string_view titlePrefix) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(Text(titlePrefix) + Text(WindowTitle));
  setWindowIcon(QIcon(QStringLiteral(":/corvane.png")));
  // A close box, and no minimize or maximize button.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);

  const int dpi = qRound(screen()->logicalDotsPerInch());
  const auto pixels = [dpi](int twips) { return TwipsToPixels(twips, dpi); };
  setFixedSize(pixels(ClientWidthTwips), pixels(ClientHeightTwips));
  setGeometry(
      QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen()->availableGeometry()));

  // Made in table order, the controls take the focus in that order too.
  for (const Control& control : Controls) {
    QWidget* widget = AddControl(control, control.insideFrame ? frame_ : this);
    widget->setObjectName(Text(control.name));
    widget->setGeometry(pixels(control.left), pixels(control.top), pixels(control.width),
                        pixels(control.height));
  }
}

QWidget* UpdaterWindow::AddControl(const Control& control, QWidget* parent) {
  switch (control.id) {
    case ControlId::StartButton: {
      auto* start = MakeButton(control.text, parent);
      // The whole run happens inside the click.
      connect(start, &QPushButton::clicked, this, &UpdaterWindow::RunUpdate);
      start->setFocus();
      return start;
    }
    case ControlId::ExitButton: {
      auto* exit = MakeButton(control.text, parent);
      connect(exit, &QPushButton::clicked, this, &QWidget::close);
      return exit;
    }
    case ControlId::Frame:
      frame_ = new QGroupBox(LiteralText(control.text), parent);
      return frame_;
    case ControlId::Instruction: {
      auto* instruction = MakeLabel(control.text, parent);
      instruction->setFont(InstructionFont());
      return instruction;
    }
    case ControlId::Progress:
      bar_ = new QProgressBar(parent);
      bar_->setTextVisible(false);
      bar_->setRange(0, BarSteps);
      ShowProgress();
      return bar_;
    case ControlId::Status:
      status_ = MakeLabel(control.text, parent);
      return status_;
  }
  return nullptr;  // every id is handled above
}

void UpdaterWindow::RunUpdate() {
  protocol::UpdateFirmware(*this);
  // Clicks and keys given during the run, queued by the window system or
  // posted, would otherwise act now: a second update, or an Exit that hides
  // the result. Here Qt fetches what the window system holds and delivers it
  // and what was posted, into the filter.
  const InputDrop drop;
  QGuiApplication::sync();
}

void UpdaterWindow::SetStatusText(std::string_view text) {
  if (closed_) {
    return;
  }
  status_->setText(Text(text));
  // A run keeps the event loop waiting, so the label draws now or not at all.
  status_->repaint();
}

void UpdaterWindow::SetProgressMin(float min) {
  if (!closed_) {
    progress_.min = min;
    ShowProgress();
  }
}

void UpdaterWindow::SetProgressMax(float max) {
  if (!closed_) {
    progress_.max = max;
    ShowProgress();
  }
}

void UpdaterWindow::SetProgressValue(float value) {
  if (!closed_) {
    progress_.value = value;
    ShowProgress();
  }
}

void UpdaterWindow::CloseWindow() {
  if (!closed_) {
    close();
  }
}

void UpdaterWindow::closeEvent(QCloseEvent* event) {
  // However the window goes, the run that may still be going on sees it
  // closed; the application quits once the click has returned.
  closed_ = true;
  event->accept();
}

void UpdaterWindow::ShowProgress() {
  // QProgressBar repaints at once, not later, whenever the fill moves by a
  // pixel or more.
  bar_->setValue(progress_.Position(BarSteps));
}

}  // namespace corvane::shell
