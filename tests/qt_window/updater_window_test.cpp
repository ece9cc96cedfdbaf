// The Qt updater window on Qt's offscreen platform, with the simulated remote
// on a virtual clock behind the device link.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "firmware/images.h"
#include "link/device_link.h"
#include "protocol/update_run.h"
#include "shell/cause_hint.h"
#include "shell/qt/updater_window.h"
#include "shell/what_to_do.h"
#include "sim/scenarios.h"

// How GoogleTest shows Qt's values in its messages.
void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace corvane::shell {
namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

class UpdaterWindowTest : public testing::Test {
 protected:
  UpdaterWindowTest() {
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  ~UpdaterWindowTest() override {
    EXPECT_EQ(world.backend.OpenFiles(), 0);
    EXPECT_EQ(world.backend.misuses(), std::vector<std::string>{});
  }

  void UseScenario(std::string_view name) {
    const sim::Scenario* scenario = sim::FindScenario(name);
    ASSERT_NE(scenario, nullptr) << name;
    scenario->setUp(world);
  }

  template <typename Widget>
  Widget* Find(ControlId id) {
    auto* widget = window.findChild<Widget*>(Q(ControlFor(id).name));
    EXPECT_NE(widget, nullptr) << ControlFor(id).name;
    return widget;
  }

  // The bar's fill, from 0 to 1.
  double Fill() {
    const auto* bar = Find<QProgressBar>(ControlId::Progress);
    return static_cast<double>(bar->value() - bar->minimum()) /
           static_cast<double>(bar->maximum() - bar->minimum());
  }

  int Pixels(int twips) {
    return TwipsToPixels(twips, qRound(window.screen()->logicalDotsPerInch()));
  }

  void Click(ControlId id) { QTest::mouseClick(Find<QPushButton>(id), Qt::LeftButton); }

  // Runs `use` on the window's thread and waits for it: the run's thread
  // reaches the widgets only so, as the window's operations do.
  void OnWindowThread(const std::function<void()>& use) {
    QMetaObject::invokeMethod(&window, use, Qt::BlockingQueuedConnection);
  }

  // Runs the event loop, as the program does, with `action` as its first
  // event; the program's exit status when the loop then ended by itself.
  int ProgramEndsAfter(std::function<void()> action) {
    QTimer::singleShot(0, &window, std::move(action));
    QTimer::singleShot(10000, &window, [] { QApplication::exit(-1); });
    return QApplication::exec();
  }

  // Dismisses each box that waits for the person, as they would, keeping
  // its title and text.
  std::vector<QString> dismissed;
  std::unique_ptr<QTimer> dismisser = [this] {
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        dismissed.push_back(box->windowTitle() + "|" + box->text());
        box->accept();
      }
    });
    timer->start(20);
    return timer;
  }();

  const firmware::Images images = firmware::Images::Embedded().value();
  sim::VirtualClock clock;
  sim::World world{clock};
  // Runs first on the run's thread, before the update.
  std::function<void()> beforeRun = [] {};
  UpdaterWindow window{[this](protocol::WindowOperations& shown) {
                         beforeRun();
                         link::DeviceLink link(world.backend);
                         return protocol::UpdateFirmware(link, images, shown);
                       },
                       "corvane-updater"};
};

TEST_F(UpdaterWindowTest, OpensCentredAndFixedWithEveryControlFromTheTable) {
  EXPECT_EQ(window.windowTitle(), "Corvane Firmware Updater(D00I)");
  EXPECT_EQ(window.size(), QSize(Pixels(ClientWidthTwips), Pixels(ClientHeightTwips)));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_TRUE(window.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(window.windowFlags() &
               (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  const QPoint offCentre =
      window.geometry().center() - window.screen()->availableGeometry().center();
  EXPECT_LE(offCentre.manhattanLength(), 1);
  EXPECT_TRUE(window.windowIcon().availableSizes().contains(QSize(16, 16)));

  for (const Control& control : Controls) {
    SCOPED_TRACE(control.name);
    auto* widget = Find<QWidget>(control.id);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget()->objectName(), control.insideFrame ? "Frame1" : "Form1");
    EXPECT_EQ(widget->geometry(), QRect(Pixels(control.left), Pixels(control.top),
                                        Pixels(control.width), Pixels(control.height)));
    EXPECT_EQ(widget->testAttribute(Qt::WA_SetFont), control.id == ControlId::Instruction);
    QString text;
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      text = button->text();
    } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
      text = box->title();
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      text = label->text();
    }
    EXPECT_EQ(text, Q(control.text));
  }
  EXPECT_EQ(Fill(), 0);

  auto* instruction = Find<QLabel>(ControlId::Instruction);
  const QFontInfo font(instruction->font());
  EXPECT_TRUE(font.family() == "Arial" || font.family() == "Liberation Sans");
  EXPECT_DOUBLE_EQ(instruction->font().pointSizeF(), 9.75);
  EXPECT_EQ(font.weight(), QFont::Normal);
  const QFontMetrics metrics(instruction->font());
  const QRect text =
      metrics.boundingRect(instruction->contentsRect(), Qt::TextWordWrap, instruction->text());
  EXPECT_EQ(text.height(), 2 * metrics.lineSpacing()) << "wraps into two lines";
}

TEST_F(UpdaterWindowTest, OpensWithStartFocusedTabsBetweenTheButtonsAndHasNoDefault) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  auto* start = Find<QPushButton>(ControlId::StartButton);
  auto* exit = Find<QPushButton>(ControlId::ExitButton);
  EXPECT_EQ(QApplication::focusWidget(), start);
  QTest::keyClick(&window, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), exit);
  QTest::keyClick(&window, Qt::Key_Tab);  // the labels, group box and bar take no focus
  EXPECT_EQ(QApplication::focusWidget(), start);
  QTest::keyClick(exit, Qt::Key_Return);  // Enter presses no default button
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_TRUE(window.isVisible());
}

TEST_F(UpdaterWindowTest, StartShowsTheProgressAsTheRunGoesAndEndsWithSendCompleted) {
  std::vector<double> atWrite;  // as the bar stood when each frame went out
  world.backend.onWriteCall = [&](std::span<const std::uint8_t>) {
    OnWindowThread([&] { atWrite.push_back(Fill()); });
  };

  Click(ControlId::StartButton);

  // Probe, identity request, twenty blocks, end frame.
  ASSERT_EQ(atWrite.size(), 23u);
  for (std::size_t block = 1; block < 20; ++block) {
    EXPECT_NEAR(atWrite[2 + block], 4096.0 * static_cast<double>(block) / firmware::MainImageSize,
                1e-4)
        << block;
  }
  EXPECT_EQ(Find<QLabel>(ControlId::Status)->text(),
            Q(protocol::EndingOf(protocol::Outcome::Completed).text));
  EXPECT_EQ(Fill(), 0);  // back to empty once the run is done
  EXPECT_TRUE(window.isVisible());
}

TEST_F(UpdaterWindowTest, ARemoteThatIsThereButRefusedShowsItsCauseInABoxThatHoldsNothing) {
  for (const auto* name : {"no-remote", "no-permission"}) {
    world.backend.SetPresent(true);
    UseScenario(name);
    Click(ControlId::StartButton);
    EXPECT_EQ(Find<QLabel>(ControlId::Status)->text(), "no usb device") << name;
  }
  const auto boxes = window.findChildren<QMessageBox*>();
  ASSERT_EQ(boxes.size(), 1) << "only the refused remote gets a box";
  EXPECT_TRUE(boxes[0]->isVisible());
  EXPECT_FALSE(boxes[0]->isModal());
  EXPECT_EQ(boxes[0]->text(), Q(CauseHint(link::CauseKind::PermissionDenied)));
  EXPECT_EQ(boxes[0]->informativeText(), "Permission denied") << "the system's own words";
  EXPECT_EQ(ProgramEndsAfter([this] { Click(ControlId::ExitButton); }), 0);
  EXPECT_FALSE(window.isVisible());
}

// While a run is in progress the window's thread goes on handling events,
// and drops the clicks on Start and Exit and the close box given meanwhile,
// also once the run has ended.
TEST_F(UpdaterWindowTest, StaysAliveDuringARunAndDropsTheInputGivenMeanwhile) {
  std::atomic<int> ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(5);
  bool sawTicks = false;
  beforeRun = [&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (ticks < 3 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    sawTicks = ticks >= 3;
    // Queued for the window's thread, as a person's clicks arrive.
    OnWindowThread([this] {
      for (const ControlId id : {ControlId::StartButton, ControlId::ExitButton}) {
        auto* button = Find<QPushButton>(id);
        const QPointF at = button->rect().center();
        for (const auto& [type, buttons] : {std::pair{QEvent::MouseButtonPress, Qt::LeftButton},
                                            std::pair{QEvent::MouseButtonRelease, Qt::NoButton}}) {
          QCoreApplication::postEvent(button, new QMouseEvent(type, at, button->mapToGlobal(at),
                                                              Qt::LeftButton, buttons, {}));
        }
      }
    });
    OnWindowThread([this] { window.windowHandle()->close(); });
  };

  Click(ControlId::StartButton);
  QCoreApplication::processEvents();

  EXPECT_TRUE(sawTicks) << "the window's thread ran while the run waited";
  EXPECT_EQ(world.remote.images().size(), 1u);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(Find<QLabel>(ControlId::Status)->text(),
            Q(protocol::EndingOf(protocol::Outcome::Completed).text));
}

TEST_F(UpdaterWindowTest, AnErrorThatClosesTheWindowShowsItsTextAndLaterOperationsDoNothing) {
  UseScenario("block-silent");
  auto* status = Find<QLabel>(ControlId::Status);
  const QString error = Q(protocol::EndingOf(protocol::Outcome::NoReply).text);

  Click(ControlId::StartButton);

  EXPECT_EQ(status->text(), error);
  ASSERT_FALSE(window.isVisible());
  ASSERT_EQ(dismissed.size(), 1U);
  EXPECT_TRUE(dismissed[0].contains(error + "\n\n")) << dismissed[0].toStdString();
  const double fill = Fill();
  EXPECT_GT(fill, 0);
  window.SetStatusText("later");
  window.SetProgressValue(1);
  window.CloseWindow();
  EXPECT_EQ(status->text(), error);
  EXPECT_EQ(Fill(), fill);
}

TEST_F(UpdaterWindowTest, TheCloseBoxEndsTheProgramAtOnceWithoutTouchingTheRemote) {
  EXPECT_EQ(ProgramEndsAfter([this] { window.windowHandle()->close(); }), 0);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(world.backend.Opens(), 0);
}

// The window goes as the run closes it; a box then says why, and the
// program ends with corvane-flash's status for the outcome.
TEST_F(UpdaterWindowTest, ARunThatClosesTheWindowSaysWhyAndEndsWithTheOutcomesStatus) {
  UseScenario("identity-bad-echo");
  const auto outcome = protocol::Outcome::IdentityFailed;
  bool clickReturned = false;
  EXPECT_EQ(ProgramEndsAfter([&] {
              Click(ControlId::StartButton);
              clickReturned = true;
            }),
            5);
  EXPECT_TRUE(clickReturned);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(dismissed,
            std::vector<QString>{Q(WindowTitle) + "|" + Q(protocol::EndingOf(outcome).text) +
                                 "\n\n" + Q(WhatToDo(outcome))});
}

}  // namespace
}  // namespace corvane::shell

// The application is made when the tests run, not when they are listed, so
// that listing them needs no display.
class QtApplication : public testing::Environment {
 public:
  QtApplication(int& argc, char** argv) : argc_(argc), argv_(argv) {}
  void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
  void TearDown() override { app_.reset(); }

 private:
  int& argc_;
  char** argv_;
  std::unique_ptr<QApplication> app_;
};

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new QtApplication(argc, argv));
  return RUN_ALL_TESTS();
}
