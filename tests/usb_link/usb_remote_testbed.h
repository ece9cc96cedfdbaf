// Simulated Corvane remotes on a simulated USB bus, for programs run under
// umockdev-wrapper: each remote EC4B:7A10 sits on bus 1 behind a hub, the
// first at port 1.4, the second at 1.3, with one vendor-class (0xFF)
// interface (bulk OUT 0x01, bulk IN 0x81); one whose SimRemote has a
// serial number names it as its string descriptor 3. Their usbdevfs nodes
// are answered, on umockdev's handler thread, by SimRemotes; libusb in this
// process (and in the programs it starts, Chromium too) finds them like real
// devices, through sysfs, udev and their device nodes. Each node is a FIFO
// the testbed holds full while none of its URBs has finished and empties
// while one waits to be reaped, so that a poll or epoll for it wakes as on
// a real node. A remote that leaves the bus by itself (restarting, pulled
// out by its fault) leaves it a moment after its last frame, as hardware
// acknowledges that first.
#pragma once

#include <umockdev.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/clock.h"
#include "sim/remote_on_bus.h"

namespace corvane::usbtest {

class UsbRemoteTestbed {
 public:
  // Presents the remotes, plugged in. Needs the umockdev-wrapper
  // environment. Every call below is about the first remote unless told.
  explicit UsbRemoteTestbed(sim::SimRemote& remote) : UsbRemoteTestbed({&remote}) {}
  explicit UsbRemoteTestbed(const std::vector<sim::SimRemote*>& remotes);
  ~UsbRemoteTestbed();
  UsbRemoteTestbed(const UsbRemoteTestbed&) = delete;
  UsbRemoteTestbed& operator=(const UsbRemoteTestbed&) = delete;

  void Unplug(std::size_t remote = 0);
  // The unplugged remote comes back `ms` from now, as a new device.
  void PlugInAfter(sim::Millis ms);
  // From now on the remote shows no active configuration, as one not
  // configured yet does.
  void ShowNoConfiguration();
  // From now on the remote's node refuses to be opened, as for a user
  // without the udev rule. Root keeps its override of file permissions in
  // other threads, so for root this holds in the calling thread only.
  void RefuseAccess();
  // From now on claiming the remote's interface finds it claimed already, as
  // when another program holds the remote.
  void HoldForAnotherProgram();

  // Runs `use` with a remote while the handler is held off.
  template <typename Use>
  auto WithRemote(Use use, std::size_t remote = 0) {
    std::lock_guard lock(mutex_);
    return use(static_cast<const sim::SimRemote&>(slots_[remote].onBus.remote()));
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
  HostHolds Holds(std::size_t remote = 0);
  // Files this process has open on the bus's device nodes, unplugged ones
  // too, but for the testbed's own ends.
  int FilesOpenOnTheBus();

 private:
  // One remote and what the host holds of it.
  struct Slot {
    Slot(sim::SimRemote& remote, std::string hubPort) : onBus(remote), port(std::move(hubPort)) {}
    std::string Syspath() const { return "/devices/usb1/1-1/1-" + port; }

    sim::RemoteOnBus onBus;
    std::string port;
    std::string devnode;              // empty while unplugged
    int fifo = -1;                    // the testbed's end of the node
    std::uint32_t generation = 0;     // the bus's, when the node was plugged
    sim::Millis leftAt = sim::Never;  // the remote left by itself; the node goes soon after
    int claimed = 0;
    int opensMade = 0;
    int claimsMade = 0;
    bool heldElsewhere = false;
  };
  struct Urb {
    UMockdevIoctlData* urb = nullptr;
    UMockdevIoctlData* buffer = nullptr;
    Slot* slot = nullptr;
    std::string devnode;  // the node it was submitted on
    bool toDevice = false;
    bool discarded = false;
    bool finished = false;  // its status and length are filled: it waits to be reaped
    std::optional<std::vector<std::uint8_t>> controlAnswer;  // none: a bulk transfer
  };

  void PlugLocked(Slot& slot);
  void UnplugLocked(Slot& slot);
  // Follows the remote's own leaving and coming back, and finishes reads
  // whose reply has become ready.
  void RunBus();
  // Finishes every URB that can finish now, in the order they came, and
  // shows each node's state in its FIFO.
  void Advance();
  void Signal(Slot& slot);

  // The usbdevfs requests libusb's Linux backend makes, mutex held.
  static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
  bool Handle(UMockdevIoctlClient* client);
  void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg, Slot& slot);
  void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg, bool present);
  void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  // Fills the URB's status and length if it can be given back now.
  bool Finish(Urb& urb, sim::Millis now);
  // Gives up the URBs submitted on `devnode`; all of them when empty.
  void DropUrbs(const std::string& devnode = {});

  std::mutex mutex_;
  sim::RealClock clock_;
  std::deque<Slot> slots_;
  UMockdevTestbed* testbed_;
  UMockdevIoctlBase* handler_;
  int deviceNumber_ = 2;  // the last one given
  std::deque<Urb> urbs_;

  // The bus's time runs on a thread of its own: umockdev's handler thread
  // must not wait for itself.
  std::condition_variable busChanged_;
  bool stopping_ = false;
  std::thread bus_;
};

}  // namespace corvane::usbtest
