#include "shell/qt/updater_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <thread>

#include "shell/cause_hint.h"

namespace corvane::shell {
namespace {

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

// Eats every mouse, key, wheel, touch and shortcut event, and every close
// (the close box, Alt+F4), while installed: a run that closes the window
// hides it instead.
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

// Beside the window rather than over its buttons: to its right, left,
// below or above it, kept on the screen, where it covers the least of the
// window. A box just shown may not have its title bar yet: the window's
// stands in for it.
void PlaceBeside(QWidget& box, const QWidget& window) {
  const QRect frame = window.frameGeometry();
  const int titleBar = frame.height() - window.height();
  const int gap = 8 + titleBar;
  const QRect screen = window.screen()->availableGeometry();
  const QSize size = box.size() + QSize(0, titleBar);
  const auto onScreen = [&](QPoint at) {
    return QRect(
        std::clamp(at.x(), screen.left(), std::max(screen.left(), screen.right() - size.width())),
        std::clamp(at.y(), screen.top(), std::max(screen.top(), screen.bottom() - size.height())),
        size.width(), size.height());
  };
  const auto covered = [&](const QRect& place) {
    const QRect both = place.intersected(frame);
    return both.isEmpty() ? 0 : both.width() * both.height();
  };
  QRect best;
  for (const QPoint at : {QPoint(frame.right() + gap, frame.top()),
                          QPoint(frame.left() - gap - size.width(), frame.top()),
                          QPoint(frame.left(), frame.bottom() + gap),
                          QPoint(frame.left(), frame.top() - gap - size.height())}) {
    const QRect place = onScreen(at);
    if (best.isNull() || covered(place) < covered(best)) {
      best = place;
    }
  }
  box.move(best.topLeft());
}

}  // namespace

UpdaterWindow::UpdaterWindow(StartAction start, std::string_view program, std::string_view title)
    : WindowOnItsThread(std::move(start), program) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(Text(title));
  // Every size, so that desktops pick a sharp one rather than scale 16 pixels.
  QIcon icon(QStringLiteral(":/corvane.png"));
  for (const int size : {24, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/corvane-%1.png").arg(size));
  }
  setWindowIcon(icon);
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
      // The click returns once the run has ended.
      connect(start, &QPushButton::clicked, this, [this] { RunUpdate(); });
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

void UpdaterWindow::RunDroppingInput(std::function<void()> run) {
  const InputDrop drop;
  std::atomic<bool> ended{false};
  std::thread worker([&] {
    run();
    ended = true;
    // Wakes the wait below.
    QMetaObject::invokeMethod(
        this, [] {}, Qt::QueuedConnection);
  });
  // Not an event loop of its own: a quit asked for meanwhile must reach the
  // program's loop, not end this wait before the run has ended.
  while (!ended) {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  worker.join();
  // Input that reached the queue as the run ended goes the same way.
  QCoreApplication::processEvents();
}

void UpdaterWindow::ShowCause(const std::string& hint, const std::string& cause) {
  auto* box =
      new QMessageBox(QMessageBox::Warning, Text(CauseTitle), Text(hint), QMessageBox::Ok, this);
  box->setInformativeText(Text(cause));
  box->setWindowModality(Qt::NonModal);
  box->setAttribute(Qt::WA_DeleteOnClose);
  // A message box sizes itself as it is shown: placed once it has.
  box->show();
  PlaceBeside(*box, *this);
  causeBox_ = box;
}

void UpdaterWindow::OnWindowThread(const std::function<void()>& change) {
  if (QThread::currentThread() == thread()) {
    change();
  } else {
    QMetaObject::invokeMethod(this, change, Qt::BlockingQueuedConnection);
  }
}

void UpdaterWindow::ShowStatus(const std::string& text) {
  status_->setText(Text(text));
}

void UpdaterWindow::Hide() {
  hide();
}

void UpdaterWindow::ShowAfterClosing(const std::string& text) {
  QMessageBox box(QMessageBox::Warning, windowTitle(), Text(text), QMessageBox::Ok);
  box.exec();
}

void UpdaterWindow::Destroy(int exitStatus) {
  close();
  // Closing a window a run has hidden does not end the program, as closing
  // the last visible one does.
  QCoreApplication::exit(exitStatus);
}

void UpdaterWindow::closeEvent(QCloseEvent* event) {
  closed_ = true;
  if (causeBox_) {
    causeBox_->close();
  }
  event->accept();
}

void UpdaterWindow::ShowProgress() {
  bar_->setValue(progress_.Position(BarSteps));
}

}  // namespace corvane::shell
