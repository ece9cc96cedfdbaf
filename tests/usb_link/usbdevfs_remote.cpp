#include "usbdevfs_remote.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <vector>

namespace corvane::usbtest {
namespace {

constexpr unsigned char BulkOut = 0x01;
constexpr unsigned char BulkIn = 0x81;

usbdevfs_urb& UrbOf(UMockdevIoctlData* data) {
  return *reinterpret_cast<usbdevfs_urb*>(data->data);
}

void Complete(UMockdevIoctlClient* client, int error) {
  umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
}

}  // namespace

UsbdevfsRemote::UsbdevfsRemote(sim::RemoteOnBus& bus, sim::Clock& clock, std::mutex& mutex)
    : bus_(bus), clock_(clock), mutex_(mutex), handler_(umockdev_ioctl_base_new()) {
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(OnIoctl), this);
}

UsbdevfsRemote::~UsbdevfsRemote() {
  DropUrbs();
  g_object_unref(handler_);
}

void UsbdevfsRemote::Connect(std::string devnode) {
  DropUrbs();  // left by a node that is gone and no longer reaped
  devnode_ = std::move(devnode);
  generation_ = bus_.Generation();
}

void UsbdevfsRemote::Disconnect() {
  devnode_.clear();
  claimed_ = 0;
}

void UsbdevfsRemote::DropUrbs() {
  for (Urb& urb : urbs_) {
    umockdev_ioctl_data_unref(urb.buffer);
    umockdev_ioctl_data_unref(urb.urb);
  }
  urbs_.clear();
}

gboolean UsbdevfsRemote::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
  auto& remote = *static_cast<UsbdevfsRemote*>(self);
  std::lock_guard lock(remote.mutex_);
  return remote.Handle(client) ? TRUE : FALSE;
}

bool UsbdevfsRemote::Handle(UMockdevIoctlClient* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  const gulong request = umockdev_ioctl_client_get_request(client);
  const bool present =
      devnode_ == umockdev_ioctl_client_get_devnode(client) && generation_ == bus_.Generation();
  if (!present) {
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
      ++claimed_;
      ++claimsMade_;
      Complete(client, 0);
      return true;
    case USBDEVFS_RELEASEINTERFACE:
      --claimed_;
      Complete(client, 0);
      return true;
    case USBDEVFS_SUBMITURB:
      Submit(client, arg);
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

void UsbdevfsRemote::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
  const usbdevfs_urb& urb = UrbOf(urbData);
  if (urb.type != USBDEVFS_URB_TYPE_BULK || (urb.endpoint != BulkOut && urb.endpoint != BulkIn) ||
      urb.buffer_length < 0) {
    umockdev_ioctl_data_unref(urbData);
    Complete(client, EINVAL);
    return;
  }
  Urb taken;
  taken.urb = urbData;
  taken.buffer = umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer),
                                             static_cast<gsize>(urb.buffer_length), nullptr);
  taken.toDevice = urb.endpoint == BulkOut;
  urbs_.push_back(taken);
  Complete(client, 0);
}

bool UsbdevfsRemote::Finish(Urb& urb, sim::Millis now, bool present) {
  usbdevfs_urb& fields = UrbOf(urb.urb);
  fields.status = 0;
  fields.actual_length = 0;
  if (!present) {
    fields.status = -ESHUTDOWN;
    return true;
  }
  if (urb.discarded) {
    fields.status = -ENOENT;  // what the kernel gives back for a discarded URB
    return true;
  }
  if (urb.toDevice) {
    // Every write goes through whole; the remote takes the frame once its
    // write has completed. Write faults are the simulated backend's to show.
    fields.actual_length = fields.buffer_length;
    const std::span<const std::uint8_t> frame(urb.buffer->data,
                                              static_cast<std::size_t>(fields.buffer_length));
    if (bus_.Written(frame, now) != sim::Presence::Stays && onLeaving) {
      onLeaving();
    }
    return true;
  }
  const sim::RemoteOnBus::NextRead next = bus_.Next();
  switch (next.kind) {
    case sim::RemoteOnBus::ReadKind::Reply: {
      if (next.readyAt > now) {
        return false;
      }
      std::vector<std::uint8_t> bytes = bus_.TakeReply();
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

void UsbdevfsRemote::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg, bool present) {
  const sim::Millis now = clock_.Now();
  for (auto it = urbs_.begin(); it != urbs_.end(); ++it) {
    if (!Finish(*it, now, present)) {
      continue;
    }
    Urb done = *it;
    urbs_.erase(it);
    UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
    umockdev_ioctl_data_set_ptr(pointer, 0, done.urb);
    umockdev_ioctl_data_unref(pointer);
    umockdev_ioctl_data_unref(done.buffer);
    umockdev_ioctl_data_unref(done.urb);
    Complete(client, 0);
    return;
  }
  Complete(client, present ? EAGAIN : ENODEV);
}

void UsbdevfsRemote::Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  gulong address = 0;
  std::memcpy(&address, arg->data, sizeof address);
  const auto found = std::find_if(urbs_.begin(), urbs_.end(), [address](const Urb& urb) {
    return urb.urb->client_addr == address && !urb.discarded;
  });
  if (found == urbs_.end()) {
    Complete(client, EINVAL);
    return;
  }
  found->discarded = true;
  Complete(client, 0);
}

}  // namespace corvane::usbtest
