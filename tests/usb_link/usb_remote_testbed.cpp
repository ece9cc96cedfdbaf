#include "usb_remote_testbed.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <vector>

namespace corvane::usbtest {
namespace {

// Descriptors as sysfs shows them. A full-speed remote: device (up to its
// serial number's string index), one configuration, one vendor-class (0xFF)
// interface, bulk OUT 0x01 and bulk IN 0x81 of 64 bytes.
constexpr const char* RemoteDeviceStart = "12010002000000404bec107a00010102";
constexpr const char* RemoteConfiguration =
    "01"
    "09022000010100803209040000"
    "02ff0000000705010240000007058102400000";
constexpr std::uint8_t SerialIndex = 3;
constexpr int SetupSize = 8;  // a control request's setup packet, before its data
constexpr const char* RootHubDescriptors =
    "12010002090001406b1d020000010000000109021900010100e0000904000001090000000705810304000c";
constexpr const char* HubDescriptors =
    "1201000209000140e305080600010000000109021900010100e0000904000001090000000705810301000c";
constexpr int FirstRemoteDevice = 3;  // after the root hub and the hub
constexpr unsigned char BulkOut = 0x01;
constexpr unsigned char BulkIn = 0x81;
// How long a remote that leaves by itself stays on the bus after its last
// frame: a browser gives the frame's write up when the device goes first.
constexpr sim::Millis LeavesAfterMs = 50;

std::string Node(int device) {
  char node[32];
  std::snprintf(node, sizeof node, "bus/usb/001/%03d", device);
  return node;
}

void Add(UMockdevTestbed* testbed, const std::string& syspath, int device, const char* devpath,
         const char* vendor, const char* product, const char* descriptors) {
  const std::string node = Node(device);
  const std::string description =
      "P: " + syspath + "\nN: " + node +
      "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: DEVNAME=/dev/" + node +
      "\nE: BUSNUM=001\nE: DEVNUM=" + node.substr(node.size() - 3) +
      "\nA: busnum=1\\n\nA: devnum=" + std::to_string(device) + "\\n\nA: devpath=" + devpath +
      "\\n\nA: idVendor=" + vendor + "\\n\nA: idProduct=" + product +
      "\\n\nA: bConfigurationValue=1\\n\nA: speed=12\\n\nH: descriptors=" + descriptors + "\n";
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
  if (syscall(SYS_capget, &header, data) == 0) {
    const auto dac =
        static_cast<__u32>(CAP_TO_MASK(CAP_DAC_OVERRIDE) | CAP_TO_MASK(CAP_DAC_READ_SEARCH));
    data[0].effective =
        allowed ? data[0].effective | (data[0].permitted & dac) : data[0].effective & ~dac;
    syscall(SYS_capset, &header, data);
  }
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

usbdevfs_urb& UrbOf(UMockdevIoctlData* data) {
  return *reinterpret_cast<usbdevfs_urb*>(data->data);
}

void Complete(UMockdevIoctlClient* client, int error) {
  umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
}

// A device node as a FIFO rather than umockdev's plain file, which a poll
// always finds ready and epoll refuses; the testbed holds its own end, of
// the smallest size, to fill and empty.
int MakeNodeFifo(const std::string& node) {
  struct stat plain {};
  if (stat(node.c_str(), &plain) != 0 || unlink(node.c_str()) != 0 ||
      mkfifo(node.c_str(), plain.st_mode & 07777) != 0) {
    throw std::runtime_error("cannot make " + node + " a FIFO: " + std::strerror(errno));
  }
  const int fifo = open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fifo < 0) {
    throw std::runtime_error("cannot open " + node + ": " + std::strerror(errno));
  }
  fcntl(fifo, F_SETPIPE_SZ, 1);  // rounded up to one page
  return fifo;
}

// Full: whoever waits to write to the node sleeps; empty: it wakes.
void Fill(int fifo, bool full) {
  char bytes[4096] = {};
  if (full) {
    while (write(fifo, bytes, sizeof bytes) > 0) {
    }
  } else {
    while (read(fifo, bytes, sizeof bytes) > 0) {
    }
  }
}

// The remote's answer to a control request (`setup`, its 8 bytes): the
// languages (US English) and the serial number, as string descriptors;
// nothing to any other request, which stalls.
std::optional<std::vector<std::uint8_t>> ControlAnswer(const std::uint8_t* setup,
                                                       const std::string& serial) {
  constexpr std::uint8_t StandardDeviceIn = 0x80;
  constexpr std::uint8_t GetDescriptor = 6;
  constexpr std::uint8_t StringType = 3;
  if (setup[0] != StandardDeviceIn || setup[1] != GetDescriptor || setup[3] != StringType ||
      (setup[2] != 0 && (setup[2] != SerialIndex || serial.empty()))) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> answer{0, StringType};
  if (setup[2] == 0) {
    answer.insert(answer.end(), {0x09, 0x04});  // US English
  } else {
    for (const char c : serial) {  // UTF-16LE of an ASCII text
      answer.push_back(static_cast<std::uint8_t>(c));
      answer.push_back(0);
    }
  }
  answer[0] = static_cast<std::uint8_t>(answer.size());
  answer.resize(std::min(answer.size(), static_cast<std::size_t>(setup[6] | setup[7] << 8)));
  return answer;
}

}  // namespace

UsbRemoteTestbed::UsbRemoteTestbed(const std::vector<sim::SimRemote*>& remotes)
    : testbed_(NewTestbed()), handler_(umockdev_ioctl_base_new()) {
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(OnIoctl), this);
  Add(testbed_, "/devices/usb1", 1, "0", "1d6b", "0002", RootHubDescriptors);
  Add(testbed_, "/devices/usb1/1-1", 2, "1", "05e3", "0608", HubDescriptors);
  // Before the thread starts: a throwing plug must not leave it joinable.
  for (sim::SimRemote* remote : remotes) {
    PlugLocked(slots_.emplace_back(*remote, "1." + std::to_string(4 - slots_.size())));
  }
  bus_ = std::thread([this] { RunBus(); });
}

UsbRemoteTestbed::~UsbRemoteTestbed() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  busChanged_.notify_all();
  bus_.join();
  OverrideFilePermissions(true);
  for (std::size_t remote = 0; remote < slots_.size(); ++remote) {
    Unplug(remote);
  }
  // Nodes stay answered after an unplug, so that what was open on them
  // fails as on a real bus.
  for (int device = FirstRemoteDevice; device <= deviceNumber_; ++device) {
    umockdev_testbed_detach_ioctl(testbed_, ("/dev/" + Node(device)).c_str(), nullptr);
  }
  DropUrbs();
  g_object_unref(handler_);
  g_object_unref(testbed_);
}

void UsbRemoteTestbed::Unplug(std::size_t remote) {
  std::lock_guard lock(mutex_);
  slots_[remote].onBus.SetPresent(false);
  UnplugLocked(slots_[remote]);
}

void UsbRemoteTestbed::PlugInAfter(sim::Millis ms) {
  {
    std::lock_guard lock(mutex_);
    slots_.front().onBus.ArrivesAt(clock_.Now() + ms);
  }
  busChanged_.notify_all();
}

void UsbRemoteTestbed::ShowNoConfiguration() {
  std::lock_guard lock(mutex_);
  umockdev_testbed_set_attribute(testbed_, ("/sys" + slots_.front().Syspath()).c_str(),
                                 "bConfigurationValue", "");
}

UsbRemoteTestbed::HostHolds UsbRemoteTestbed::Holds(std::size_t remote) {
  std::lock_guard lock(mutex_);
  const Slot& slot = slots_[remote];
  const auto urbs = std::count_if(urbs_.begin(), urbs_.end(),
                                  [&slot](const Urb& urb) { return urb.slot == &slot; });
  return {slot.claimed, static_cast<std::size_t>(urbs), slot.opensMade, slot.claimsMade};
}

int UsbRemoteTestbed::FilesOpenOnTheBus() {
  std::lock_guard lock(mutex_);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code closed;  // the listing's own file
    const std::string target = std::filesystem::read_symlink(entry, closed);
    const int fd = std::stoi(entry.path().filename().string());
    files += target.find("/dev/bus/usb/") != std::string::npos &&
             std::none_of(slots_.begin(), slots_.end(),
                          [fd](const Slot& slot) { return slot.fifo == fd; });
  }
  return files;
}

void UsbRemoteTestbed::PlugLocked(Slot& slot) {
  DropUrbs(slot.devnode);  // left by a node that is gone and no longer reaped
  slot.devnode = "/dev/" + Node(++deviceNumber_);
  slot.generation = slot.onBus.Generation();
  slot.leftAt = sim::Never;
  // The handler is in place before the add uevent tells libusb the node is
  // there, the FIFO at once after it: nobody opens a node that soon.
  if (!umockdev_testbed_attach_ioctl(testbed_, slot.devnode.c_str(), handler_, nullptr)) {
    throw std::runtime_error("umockdev: cannot attach to " + slot.devnode);
  }
  char serialIndex[3];
  std::snprintf(serialIndex, sizeof serialIndex, "%02x",
                slot.onBus.remote().serialNumber.empty() ? 0 : SerialIndex);
  Add(testbed_, slot.Syspath(), deviceNumber_, slot.port.c_str(), "ec4b", "7a10",
      (RemoteDeviceStart + std::string(serialIndex) + RemoteConfiguration).c_str());
  gchar* root = umockdev_testbed_get_root_dir(testbed_);
  slot.fifo = MakeNodeFifo(root + slot.devnode);
  g_free(root);
  Fill(slot.fifo, true);
}

void UsbRemoteTestbed::UnplugLocked(Slot& slot) {
  if (!slot.devnode.empty()) {
    const std::string full = "/sys" + slot.Syspath();
    umockdev_testbed_uevent(testbed_, full.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_, full.c_str());
    slot.devnode.clear();
    slot.claimed = 0;
    // As a node that went away, it stays ready: what is left on it is
    // reaped, and fails.
    Fill(slot.fifo, false);
    close(slot.fifo);
    slot.fifo = -1;
  }
}

void UsbRemoteTestbed::RefuseAccess() {
  gchar* root = umockdev_testbed_get_root_dir(testbed_);
  chmod((std::string(root) + slots_.front().devnode).c_str(), 0);
  g_free(root);
  OverrideFilePermissions(false);
}

void UsbRemoteTestbed::HoldForAnotherProgram() {
  std::lock_guard lock(mutex_);
  slots_.front().heldElsewhere = true;
}

void UsbRemoteTestbed::RunBus() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    Advance();
    const sim::Millis now = clock_.Now();
    sim::Millis next = sim::Never;
    for (Slot& slot : slots_) {
      const bool present = slot.onBus.Present(now);
      if (present && slot.devnode.empty()) {
        PlugLocked(slot);
      } else if (!present && !slot.devnode.empty()) {
        slot.leftAt = std::min(slot.leftAt, now);
        if (now >= slot.leftAt + LeavesAfterMs) {
          UnplugLocked(slot);
        } else {
          next = std::min(next, slot.leftAt + LeavesAfterMs);
        }
      }
      if (!present) {
        next = std::min(next, slot.onBus.ReturnsAt());
      }
    }
    // The reply a pending read waits for.
    for (const Urb& urb : urbs_) {
      if (!urb.finished && !urb.toDevice && !urb.controlAnswer) {
        const sim::RemoteOnBus::NextRead read = urb.slot->onBus.Next();
        if (read.kind == sim::RemoteOnBus::ReadKind::Reply) {
          next = std::min(next, read.readyAt);
        }
      }
    }
    if (next != sim::Never) {
      busChanged_.wait_for(lock, std::chrono::milliseconds(next - std::min(next, now)));
    } else {
      busChanged_.wait(lock);
    }
  }
}

void UsbRemoteTestbed::Advance() {
  const sim::Millis now = clock_.Now();
  for (Urb& urb : urbs_) {
    urb.finished = urb.finished || Finish(urb, now);
  }
  for (Slot& slot : slots_) {
    Signal(slot);
  }
}

void UsbRemoteTestbed::Signal(Slot& slot) {
  if (slot.fifo >= 0) {
    const bool waiting = std::any_of(urbs_.begin(), urbs_.end(), [&slot](const Urb& urb) {
      return urb.finished && urb.devnode == slot.devnode;
    });
    Fill(slot.fifo, !waiting);
  }
}

void UsbRemoteTestbed::DropUrbs(const std::string& devnode) {
  std::erase_if(urbs_, [&devnode](Urb& urb) {
    if (!devnode.empty() && urb.devnode != devnode) {
      return false;
    }
    umockdev_ioctl_data_unref(urb.buffer);
    umockdev_ioctl_data_unref(urb.urb);
    return true;
  });
}

gboolean UsbRemoteTestbed::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
  auto& bed = *static_cast<UsbRemoteTestbed*>(self);
  std::lock_guard lock(bed.mutex_);
  return bed.Handle(client) ? TRUE : FALSE;
}

bool UsbRemoteTestbed::Handle(UMockdevIoctlClient* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  const gulong request = umockdev_ioctl_client_get_request(client);
  const std::string devnode = umockdev_ioctl_client_get_devnode(client);
  const auto live = std::find_if(slots_.begin(), slots_.end(), [&devnode](const Slot& slot) {
    return slot.devnode == devnode && slot.generation == slot.onBus.Generation();
  });
  if (live == slots_.end()) {
    // As the kernel does for a device that went away: its URBs are still
    // given back, every other request finds no device.
    if (request == USBDEVFS_REAPURBNDELAY) {
      Reap(client, arg, false);
    } else {
      Complete(client, ENODEV);
    }
    return true;
  }
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      ++live->opensMade;  // libusb asks once for every open of the node
      UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
      const std::uint32_t offered = USBDEVFS_CAP_BULK_CONTINUATION |
                                    USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                    USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
      std::memcpy(caps->data, &offered, sizeof offered);
      umockdev_ioctl_data_unref(caps);
      Complete(client, 0);
      return true;
    }
    case USBDEVFS_CLAIMINTERFACE:
      if (live->heldElsewhere) {
        Complete(client, EBUSY);
        return true;
      }
      ++live->claimed;
      ++live->claimsMade;
      Complete(client, 0);
      return true;
    case USBDEVFS_RELEASEINTERFACE:
      // As the kernel does, the interface's URBs end as if discarded.
      --live->claimed;
      for (Urb& urb : urbs_) {
        urb.discarded = urb.discarded || (urb.devnode == devnode && !urb.controlAnswer);
      }
      Advance();
      Complete(client, 0);
      return true;
    case USBDEVFS_SUBMITURB:
      Submit(client, arg, *live);
      return true;
    case USBDEVFS_REAPURBNDELAY:
      Reap(client, arg, true);
      return true;
    case USBDEVFS_DISCARDURB:
      Discard(client, arg);
      return true;
    default:
      return false;  // umockdev answers it as an unknown request
  }
}

void UsbRemoteTestbed::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg, Slot& slot) {
  UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
  const usbdevfs_urb& urb = UrbOf(urbData);
  const bool control =
      urb.type == USBDEVFS_URB_TYPE_CONTROL && urb.endpoint == 0 && urb.buffer_length >= SetupSize;
  if (!control && (urb.type != USBDEVFS_URB_TYPE_BULK ||
                   (urb.endpoint != BulkOut && urb.endpoint != BulkIn) || urb.buffer_length < 0)) {
    umockdev_ioctl_data_unref(urbData);
    Complete(client, EINVAL);
    return;
  }
  UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
      urbData, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(urb.buffer_length), nullptr);
  std::optional<std::vector<std::uint8_t>> answer;
  if (control) {
    answer = ControlAnswer(buffer->data, slot.onBus.remote().serialNumber);
    if (!answer) {
      umockdev_ioctl_data_unref(buffer);
      umockdev_ioctl_data_unref(urbData);
      Complete(client, EPIPE);
      return;
    }
  }
  urbs_.push_back({urbData, buffer, &slot, slot.devnode, urb.endpoint == BulkOut, false, false,
                   std::move(answer)});
  Advance();
  busChanged_.notify_all();  // a read may now wait for a reply to come
  Complete(client, 0);
}

bool UsbRemoteTestbed::Finish(Urb& urb, sim::Millis now) {
  usbdevfs_urb& fields = UrbOf(urb.urb);
  fields.status = 0;
  fields.actual_length = 0;
  if (urb.devnode != urb.slot->devnode || urb.slot->generation != urb.slot->onBus.Generation()) {
    fields.status = -ESHUTDOWN;
    return true;
  }
  if (urb.discarded) {
    fields.status = -ENOENT;  // what the kernel gives back for a discarded URB
    return true;
  }
  if (urb.controlAnswer) {
    // Its data follow the setup packet, which stays.
    const std::vector<std::uint8_t>& answer = *urb.controlAnswer;
    const auto room = static_cast<std::size_t>(fields.buffer_length - SetupSize);
    fields.actual_length = static_cast<int>(std::min(room, answer.size()));
    umockdev_ioctl_data_update(urb.buffer, SetupSize, const_cast<std::uint8_t*>(answer.data()),
                               fields.actual_length);
    return true;
  }
  if (urb.toDevice) {
    // Every write goes through whole; the remote takes the frame once its
    // write has completed. Write faults are the simulated backend's to show.
    fields.actual_length = fields.buffer_length;
    const std::span<const std::uint8_t> frame(urb.buffer->data,
                                              static_cast<std::size_t>(fields.buffer_length));
    if (urb.slot->onBus.Written(frame, now) != sim::Presence::Stays) {
      busChanged_.notify_all();
    }
    return true;
  }
  sim::RemoteOnBus& onBus = urb.slot->onBus;
  const sim::RemoteOnBus::NextRead next = onBus.Next();
  switch (next.kind) {
    case sim::RemoteOnBus::ReadKind::Reply: {
      if (next.readyAt > now) {
        return false;
      }
      std::vector<std::uint8_t> bytes = onBus.TakeReply();
      const auto room = static_cast<std::size_t>(fields.buffer_length);
      const std::size_t delivered = std::min(room, bytes.size());
      umockdev_ioctl_data_update(urb.buffer, 0, bytes.data(), static_cast<gint>(delivered));
      fields.actual_length = static_cast<int>(delivered);
      if (bytes.size() > room) {
        fields.status = -EOVERFLOW;  // the device sent more than the URB holds
      }
      return true;
    }
    case sim::RemoteOnBus::ReadKind::Empty:
      return true;
    case sim::RemoteOnBus::ReadKind::Fails:
      fields.status = -EPROTO;
      return true;
    case sim::RemoteOnBus::ReadKind::Pending:
      break;
  }
  return false;
}

void UsbRemoteTestbed::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg, bool present) {
  const std::string devnode = umockdev_ioctl_client_get_devnode(client);
  Advance();
  const auto found = std::find_if(urbs_.begin(), urbs_.end(), [&devnode](const Urb& urb) {
    return urb.devnode == devnode && urb.finished;
  });
  if (found == urbs_.end()) {
    Complete(client, present ? EAGAIN : ENODEV);
    return;
  }
  const Urb done = *found;
  urbs_.erase(found);
  UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
  umockdev_ioctl_data_set_ptr(pointer, 0, done.urb);
  umockdev_ioctl_data_unref(pointer);
  umockdev_ioctl_data_unref(done.buffer);
  umockdev_ioctl_data_unref(done.urb);
  for (Slot& slot : slots_) {
    Signal(slot);  // the last one reaped fills its node again
  }
  Complete(client, 0);
}

void UsbRemoteTestbed::Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  gulong address = 0;
  std::memcpy(&address, arg->data, sizeof address);
  const auto found = std::find_if(urbs_.begin(), urbs_.end(), [address](const Urb& urb) {
    return urb.urb->client_addr == address && !urb.discarded && !urb.finished;
  });
  if (found == urbs_.end()) {
    Complete(client, EINVAL);
    return;
  }
  found->discarded = true;
  Advance();
  Complete(client, 0);
}

}  // namespace corvane::usbtest
