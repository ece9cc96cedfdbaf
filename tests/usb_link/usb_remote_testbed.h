// A simulated Corvane remote on a simulated USB bus, for programs run under
// umockdev-wrapper: the remote EC4B:7A10 sits on bus 1, port 1.4 (behind a
// hub), with one vendor-class (0xFF) interface (bulk OUT 0x01, bulk IN 0x81).
// Its usbdevfs node is answered, on umockdev's handler thread, by a
// SimRemote; libusb in this process finds it like a real device, through
// sysfs, udev and its device node.
#pragma once

#include <umockdev.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "sim/clock.h"
#include "sim/remote_on_bus.h"

namespace corvane::usbtest {

class UsbRemoteTestbed {
 public:
  // Presents `remote`, plugged in. Needs the umockdev-wrapper environment.
  explicit UsbRemoteTestbed(sim::SimRemote& remote);
  ~UsbRemoteTestbed();
  UsbRemoteTestbed(const UsbRemoteTestbed&) = delete;
  UsbRemoteTestbed& operator=(const UsbRemoteTestbed&) = delete;

  void Unplug();
  // From now on the remote's node refuses to be opened, as for a user
  // without the udev rule. Root keeps its override of file permissions in
  // other threads, so for root this holds in the calling thread only.
  void RefuseAccess();
  // From now on claiming the remote's interface finds it claimed already, as
  // when another program holds the remote.
  void HoldForAnotherProgram();

  // Runs `use` with the remote while its handler is held off.
  template <typename Use>
  auto WithRemote(Use use) {
    std::lock_guard lock(mutex_);
    return use(static_cast<const sim::SimRemote&>(onBus_.remote()));
  }

  // What the host holds on the remote's node: claimed interfaces and URBs
  // not yet given back; and how often it opened the node and claimed the
  // interface in all.
  struct HostHolds {
    int claimedInterfaces = 0;
    std::size_t urbsInFlight = 0;
    int opensMade = 0;
    int claimsMade = 0;
  };
  HostHolds Holds() {
    std::lock_guard lock(mutex_);
    return {claimed_, urbs_.size(), opensMade_, claimsMade_};
  }

 private:
  struct Urb {
    UMockdevIoctlData* urb = nullptr;
    UMockdevIoctlData* buffer = nullptr;
    bool toDevice = false;
    bool discarded = false;
  };

  void PlugLocked();
  void UnplugLocked();
  // Follows the remote's own leaving and coming back.
  void RunRestarts();

  // The usbdevfs requests libusb's Linux backend makes, mutex held.
  static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
  bool Handle(UMockdevIoctlClient* client);
  void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg, bool present);
  void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  // Fills the URB's status and length if it can be given back now.
  bool Finish(Urb& urb, sim::Millis now, bool present);
  void DropUrbs();

  std::mutex mutex_;
  sim::RealClock clock_;
  sim::RemoteOnBus onBus_;
  UMockdevTestbed* testbed_;
  UMockdevIoctlBase* handler_;
  std::string devnode_;           // empty while unplugged
  int deviceNumber_ = 2;          // the last one given
  std::uint32_t generation_ = 0;  // the bus's, when the node was plugged
  std::deque<Urb> urbs_;
  int claimed_ = 0;
  int opensMade_ = 0;
  int claimsMade_ = 0;
  bool heldElsewhere_ = false;

  // Restarts run on their own thread: umockdev's handler thread must not
  // wait for itself.
  std::condition_variable restartChanged_;
  bool stopping_ = false;
  std::thread restarts_;
};

}  // namespace corvane::usbtest
