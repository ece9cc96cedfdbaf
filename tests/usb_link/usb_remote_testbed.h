// A simulated Corvane remote on a simulated USB bus, for programs run under
// umockdev-wrapper: the remote EC4B:7A10 sits on bus 1, port 1.4 (behind a
// hub), with one vendor-specific interface (bulk OUT 0x01, bulk IN 0x81)
// whose usbdevfs node is answered by a SimRemote. libusb in this process
// finds it like a real device, through sysfs, udev and its device node.
#pragma once

#include <umockdev.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "sim/clock.h"
#include "sim/remote_on_bus.h"
#include "usbdevfs_remote.h"

namespace corvane::usbtest {

class UsbRemoteTestbed {
 public:
  // Presents `remote`, plugged in. Needs the umockdev-wrapper environment.
  explicit UsbRemoteTestbed(sim::SimRemote& remote);
  ~UsbRemoteTestbed();
  UsbRemoteTestbed(const UsbRemoteTestbed&) = delete;
  UsbRemoteTestbed& operator=(const UsbRemoteTestbed&) = delete;

  // Plugging in gives the remote a new device number, as a real bus does.
  void Plug();
  void Unplug();

  // The remote's node refuses to be opened, as it does for a user without
  // the udev rule. Root keeps its override of file permissions in other
  // processes, so for root this holds in the calling thread only.
  void RefuseAccess();
  void AllowAccess();

  // Runs `use` with the remote while its handler is held off.
  template <typename Use>
  auto WithRemote(Use use) {
    std::lock_guard lock(mutex_);
    return use(static_cast<const sim::SimRemote&>(onBus_.remote()));
  }

  // What the host holds on the remote's node: claimed interfaces and URBs
  // not yet given back; and how often it claimed the interface in all.
  struct HostHolds {
    int claimedInterfaces = 0;
    std::size_t urbsInFlight = 0;
    int claimsMade = 0;
  };
  HostHolds Holds();

 private:
  void PlugLocked();
  void UnplugLocked();
  // Follows the remote's own leaving and coming back.
  void RunRestarts();

  std::mutex mutex_;
  sim::RealClock clock_;
  sim::RemoteOnBus onBus_;
  UMockdevTestbed* testbed_;
  UsbdevfsRemote usbdevfs_;
  std::string syspath_;  // empty while unplugged
  std::string devnode_;
  int deviceNumber_ = 2;  // the last one given
  bool accessRefused_ = false;

  // Restarts run on their own thread: umockdev's handler thread must not
  // wait for itself.
  std::condition_variable restartChanged_;
  bool stopping_ = false;
  std::thread restarts_;
};

}  // namespace corvane::usbtest
