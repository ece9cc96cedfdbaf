// The simulated remote behind a usbdevfs node: answers what libusb's Linux
// backend asks of the node (capabilities, claiming, URBs) and carries the
// frames written to bulk OUT 0x01 and the replies read from bulk IN 0x81
// between it and the remote on the bus. Runs on umockdev's handler thread.
#pragma once

#include <umockdev.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "sim/clock.h"
#include "sim/remote_on_bus.h"

namespace corvane::usbtest {

class UsbdevfsRemote {
 public:
  // `mutex` guards `bus` between this handler and its owner.
  UsbdevfsRemote(sim::RemoteOnBus& bus, sim::Clock& clock, std::mutex& mutex);
  ~UsbdevfsRemote();
  UsbdevfsRemote(const UsbdevfsRemote&) = delete;
  UsbdevfsRemote& operator=(const UsbdevfsRemote&) = delete;

  UMockdevIoctlBase* handler() const { return handler_; }

  // The node the remote now answers on, until it leaves the bus; requests
  // on any other node find no device, and its URBs come back failed. Call
  // with the mutex held.
  void Connect(std::string devnode);
  void Disconnect();

  // Called (mutex held, on the handler thread) when the remote has taken a
  // frame after which it leaves the bus.
  std::function<void()> onLeaving;

  // What the host holds on the node now (mutex held).
  int ClaimedInterfaces() const { return claimed_; }
  int ClaimsMade() const { return claimsMade_; }
  std::size_t UrbsInFlight() const { return urbs_.size(); }

 private:
  struct Urb {
    UMockdevIoctlData* urb = nullptr;
    UMockdevIoctlData* buffer = nullptr;
    bool toDevice = false;
    bool discarded = false;
  };

  static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
  bool Handle(UMockdevIoctlClient* client);
  void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg, bool present);
  void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  // Fills the URB's status and length if it can be given back now.
  bool Finish(Urb& urb, sim::Millis now, bool present);
  void DropUrbs();

  sim::RemoteOnBus& bus_;
  sim::Clock& clock_;
  std::mutex& mutex_;
  UMockdevIoctlBase* handler_;
  std::string devnode_;
  std::uint32_t generation_ = 0;  // the bus's, when the node was connected
  std::deque<Urb> urbs_;
  int claimed_ = 0;
  int claimsMade_ = 0;
};

}  // namespace corvane::usbtest
