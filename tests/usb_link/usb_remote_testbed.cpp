#include "usb_remote_testbed.h"

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace corvane::usbtest {
namespace {

// Descriptors as sysfs shows them. A full-speed remote: device, one
// configuration, one vendor-specific interface, bulk OUT 0x01 and bulk IN
// 0x81 of 64 bytes.
constexpr const char* RemoteDescriptors =
    "12010002000000404bec107a000101020001"
    "09022000010100803209040000"
    "02ff0000000705010240000007058102400000";
constexpr const char* RootHubDescriptors =
    "12010002090001406b1d020000010000000109021900010100e0000904000001090000000705810304000c";
constexpr const char* HubDescriptors =
    "1201000209000140e305080600010000000109021900010100e0000904000001090000000705810301000c";

std::string Node(int device) {
  char node[32];
  std::snprintf(node, sizeof node, "bus/usb/001/%03d", device);
  return node;
}

std::string Description(const std::string& syspath, int device, const std::string& devpath,
                        const std::string& vendor, const std::string& product,
                        const char* descriptors) {
  const std::string node = Node(device);
  return "P: " + syspath + "\nN: " + node + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n" +
         "E: DRIVER=usb\nE: DEVNAME=/dev/" + node +
         "\nE: BUSNUM=001\nE: DEVNUM=" + node.substr(node.size() - 3) +
         "\nA: busnum=1\\n\nA: devnum=" + std::to_string(device) + "\\n\nA: devpath=" + devpath +
         "\\n\nA: idVendor=" + vendor + "\\n\nA: idProduct=" + product +
         "\\n\nA: bConfigurationValue=1\\n\nA: speed=12\\n\nH: descriptors=" + descriptors + "\n";
}

constexpr const char* RemoteSyspath = "/devices/usb1/1-1/1-1.4";
constexpr int FirstRemoteDevice = 3;  // after the root hub and the hub

void AddFromString(UMockdevTestbed* testbed, const std::string& description) {
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(testbed, description.c_str(), &error)) {
    const std::string message = error->message;
    g_error_free(error);
    throw std::runtime_error("umockdev: " + message);
  }
}

// Root reads and writes any file through these two capabilities; without
// them in its effective set it meets file modes like any user. They stay
// permitted, so they can be taken back.
void OverrideFilePermissions(bool allowed) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
  if (syscall(SYS_capget, &header, data) != 0) {
    return;
  }
  for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
    const auto bit = static_cast<__u32>(CAP_TO_MASK(capability));
    auto& effective = data[CAP_TO_INDEX(capability)].effective;
    effective = allowed ? (effective | (data[CAP_TO_INDEX(capability)].permitted & bit))
                        : (effective & ~bit);
  }
  syscall(SYS_capset, &header, data);
}

// umockdev-wrapper preloads the library that sends this process's device
// access to the testbed.
UMockdevTestbed* NewTestbed() {
  const char* preload = std::getenv("LD_PRELOAD");
  if (preload == nullptr || std::strstr(preload, "libumockdev-preload") == nullptr) {
    throw std::runtime_error("the simulated USB remote needs umockdev-wrapper");
  }
  return umockdev_testbed_new();
}

}  // namespace

UsbRemoteTestbed::UsbRemoteTestbed(sim::SimRemote& remote)
    : onBus_(remote), testbed_(NewTestbed()), usbdevfs_(onBus_, clock_, mutex_) {
  AddFromString(testbed_, Description("/devices/usb1", 1, "0", "1d6b", "0002", RootHubDescriptors));
  AddFromString(testbed_, Description("/devices/usb1/1-1", 2, "1", "05e3", "0608", HubDescriptors));
  usbdevfs_.onLeaving = [this] { restartChanged_.notify_all(); };
  // A throwing Plug() must not leave a joinable thread behind.
  Plug();
  restarts_ = std::thread([this] { RunRestarts(); });
}

UsbRemoteTestbed::~UsbRemoteTestbed() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  restartChanged_.notify_all();
  restarts_.join();
  AllowAccess();
  {
    std::lock_guard lock(mutex_);
    UnplugLocked();
  }
  // Nodes stay answered after an unplug, so that what was open on them
  // fails as on a real bus.
  for (int device = FirstRemoteDevice; device <= deviceNumber_; ++device) {
    umockdev_testbed_detach_ioctl(testbed_, ("/dev/" + Node(device)).c_str(), nullptr);
  }
  g_object_unref(testbed_);
}

void UsbRemoteTestbed::Plug() {
  std::lock_guard lock(mutex_);
  onBus_.SetPresent(true);
  PlugLocked();
}

void UsbRemoteTestbed::Unplug() {
  std::lock_guard lock(mutex_);
  onBus_.SetPresent(false);
  UnplugLocked();
}

UsbRemoteTestbed::HostHolds UsbRemoteTestbed::Holds() {
  std::lock_guard lock(mutex_);
  return {usbdevfs_.ClaimedInterfaces(), usbdevfs_.UrbsInFlight(), usbdevfs_.ClaimsMade()};
}

void UsbRemoteTestbed::PlugLocked() {
  if (!syspath_.empty()) {
    return;
  }
  ++deviceNumber_;
  devnode_ = "/dev/" + Node(deviceNumber_);
  // The handler is in place before the add uevent tells libusb the node is
  // there.
  usbdevfs_.Connect(devnode_);
  if (!umockdev_testbed_attach_ioctl(testbed_, devnode_.c_str(), usbdevfs_.handler(), nullptr)) {
    throw std::runtime_error("umockdev: cannot attach to " + devnode_);
  }
  syspath_ = RemoteSyspath;
  AddFromString(testbed_,
                Description(syspath_, deviceNumber_, "1.4", "ec4b", "7a10", RemoteDescriptors));
  if (accessRefused_) {
    RefuseAccess();
  }
}

void UsbRemoteTestbed::UnplugLocked() {
  if (syspath_.empty()) {
    return;
  }
  const std::string full = "/sys" + syspath_;
  umockdev_testbed_uevent(testbed_, full.c_str(), "remove");
  umockdev_testbed_remove_device(testbed_, full.c_str());
  usbdevfs_.Disconnect();
  syspath_.clear();
}

void UsbRemoteTestbed::RefuseAccess() {
  accessRefused_ = true;
  if (!devnode_.empty()) {
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    chmod((std::string(root) + devnode_).c_str(), 0);
    g_free(root);
  }
  OverrideFilePermissions(false);
}

void UsbRemoteTestbed::AllowAccess() {
  accessRefused_ = false;
  OverrideFilePermissions(true);
}

void UsbRemoteTestbed::RunRestarts() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    const sim::Millis now = clock_.Now();
    const bool present = onBus_.Present(now);
    if (present != !syspath_.empty()) {
      present ? PlugLocked() : UnplugLocked();
    } else if (!present && onBus_.ReturnsAt() != sim::Never) {
      restartChanged_.wait_for(lock, std::chrono::milliseconds(onBus_.ReturnsAt() - now));
    } else {
      restartChanged_.wait(lock);
    }
  }
}

}  // namespace corvane::usbtest
