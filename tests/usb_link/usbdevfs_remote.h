// The simulated remote behind a usbdevfs node: answers what libusb's Linux
// backend asks of the node (capabilities, claiming, URBs) and hands the
// frames written to bulk OUT 0x01 to a SimRemote, whose replies come back on
// bulk IN 0x81, on the real clock. Runs on umockdev's handler thread.
#pragma once

#include <umockdev.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sim/remote.h"

namespace corvane::usbtest {

class UsbdevfsRemote {
 public:
  // `mutex` guards `remote` between this handler and its owner.
  UsbdevfsRemote(sim::SimRemote& remote, std::mutex& mutex);
  ~UsbdevfsRemote();
  UsbdevfsRemote(const UsbdevfsRemote&) = delete;
  UsbdevfsRemote& operator=(const UsbdevfsRemote&) = delete;

  UMockdevIoctlBase* handler() const { return handler_; }

  // The node the remote now answers on; requests on any other node find no
  // device. Call with the mutex held.
  void Connect(std::string devnode);
  void Disconnect();

  // Called (mutex held, on the handler thread) when the remote takes a frame
  // after which it leaves the bus.
  std::function<void(sim::Presence)> onLeaving;

  // What the host holds on the node now (mutex held).
  int ClaimedInterfaces() const { return claimed_; }
  std::size_t UrbsInFlight() const { return urbs_.size(); }

 private:
  using Clock = std::chrono::steady_clock;
  struct Urb {
    UMockdevIoctlData* urb = nullptr;
    UMockdevIoctlData* buffer = nullptr;
    bool toDevice = false;
    bool discarded = false;
    sim::WriteBehaviour write;
  };
  struct Reply {
    Clock::time_point readyAt;
    std::vector<std::uint8_t> bytes;
  };

  static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
  bool Handle(UMockdevIoctlClient* client);
  void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  // Fills the URB's status and length if it can be given back now.
  bool Finish(Urb& urb, Clock::time_point now);
  void Deliver(std::span<const std::uint8_t> frame, Clock::time_point writtenAt);
  void DropUrbs();

  sim::SimRemote& remote_;
  std::mutex& mutex_;
  UMockdevIoctlBase* handler_;
  std::string devnode_;
  std::deque<Urb> urbs_;
  std::deque<Reply> replies_;
  sim::ReadMode readMode_ = sim::ReadMode::Replies;
  int claimed_ = 0;
};

}  // namespace corvane::usbtest
