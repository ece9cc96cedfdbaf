// The simulated remote on the umockdev bus, for the web page's WebUSB tests
// (webusb.test.mjs). Run under umockdev-wrapper as
//   web_testbed CASE
// it updates a remote set up for CASE through libusb, as the Linux programs
// do, then plugs in a fresh one for the page and writes one JSON line: what
// Chromium needs to see the bus, and the libusb run's transcript in
// corvane-sim's form. Given a line on standard input it writes a second:
// whether the page's remote received what the libusb run's did, the
// protocol errors it saw, and what the page left held; then it ends.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/libusb/libusb_backend.h"
#include "protocol/timeouts.h"
#include "protocol/update_run.h"
#include "sim/recording_window.h"
#include "sim/scenarios.h"
#include "usb_remote_testbed.h"

namespace {

using namespace corvane;
using Hook = std::optional<sim::Answer>;

// A scenario's remote, or one of the faults a browser's transfers must
// survive: a reply that comes after its read has timed out, and a remote
// pulled out as block 5 arrives. For held-elsewhere the bus makes the
// remote another program's.
sim::SimRemote RemoteFor(const std::string& name) {
  sim::VirtualClock clock;
  sim::World world(clock);
  if (name == "late-reply") {
    world.remote.answerHook = [](const sim::Received& r, const sim::Answer& normal) -> Hook {
      sim::Answer late = normal;
      late.delayMs = protocol::ProbeReplyTimeoutMs + 500;
      return r.kind == sim::FrameKind::Probe ? Hook(late) : std::nullopt;
    };
  } else if (name == "unplugged") {
    world.remote.answerHook = [](const sim::Received& r, const sim::Answer& normal) -> Hook {
      sim::Answer gone = normal;
      gone.presence = sim::Presence::Unplugged;
      return r.kind == sim::FrameKind::Block && r.block == 5 ? Hook(gone) : std::nullopt;
    };
  } else if (const sim::Scenario* scenario = sim::FindScenario(name)) {
    scenario->setUp(world);
  } else {
    throw std::invalid_argument("no case " + name);
  }
  return world.remote;
}

void SetUp(usbtest::UsbRemoteTestbed& bus, const std::string& name) {
  if (name == "held-elsewhere") {
    bus.HoldForAnotherProgram();
  }
}

// An update through libusb, written down as the page writes its own.
std::string UpdateThroughLibusb(sim::SimRemote& remote, const std::string& name,
                                const firmware::Images& images) {
  usbtest::UsbRemoteTestbed bus(remote);
  SetUp(bus, name);
  link::LibusbBackend libusb;
  std::vector<std::string> lines;
  sim::RecordingWindow window(lines);
  link::DeviceLink link(libusb);
  link.SetTrace(window.WriteTrace());
  protocol::UpdateFirmware(link, images, window);
  return sim::TranscriptText(lines);
}

bool SameImages(const sim::SimRemote& a, const sim::SimRemote& b) {
  return std::equal(a.images().begin(), a.images().end(), b.images().begin(), b.images().end(),
                    [](const sim::ReceivedImage& x, const sim::ReceivedImage& y) {
                      return x.bytes == y.bytes && x.headerFlag == y.headerFlag && x.end == y.end &&
                             x.afterRestart == y.afterRestart;
                    });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: web_testbed CASE\n";
    return 2;
  }
  const auto images = firmware::Images::Embedded().value();
  sim::SimRemote throughLibusb = RemoteFor(argv[1]);
  const std::string transcript = UpdateThroughLibusb(throughLibusb, argv[1], images);

  sim::SimRemote forThePage = RemoteFor(argv[1]);
  usbtest::UsbRemoteTestbed bus(forThePage);
  SetUp(bus, argv[1]);
  std::cout << nlohmann::json{{"preload", std::getenv("LD_PRELOAD")},
                              {"umockdev", std::getenv("UMOCKDEV_DIR")},
                              {"transcript", transcript}}
            << std::endl;
  std::string done;
  std::getline(std::cin, done);
  const auto holds = bus.Holds();
  bus.WithRemote([&](const sim::SimRemote& page) {
    std::cout << nlohmann::json{{"sameImages", SameImages(throughLibusb, page)},
                                {"images", page.images().size()},
                                {"violations", page.violations()},
                                {"claimed", holds.claimedInterfaces},
                                {"urbs", holds.urbsInFlight}}
              << std::endl;
  });
  return 0;
}
