#include "usbdevfs_remote.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

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

UsbdevfsRemote::UsbdevfsRemote(sim::SimRemote& remote, std::mutex& mutex)
    : remote_(remote), mutex_(mutex), handler_(umockdev_ioctl_base_new()) {
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(OnIoctl), this);
}

UsbdevfsRemote::~UsbdevfsRemote() {
  DropUrbs();
  g_object_unref(handler_);
}

void UsbdevfsRemote::Connect(std::string devnode) {
  devnode_ = std::move(devnode);
  readMode_ = sim::ReadMode::Replies;
}

void UsbdevfsRemote::Disconnect() {
  devnode_.clear();
  claimed_ = 0;
  replies_.clear();
  DropUrbs();
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
  if (devnode_.empty() || devnode_ != umockdev_ioctl_client_get_devnode(client)) {
    Complete(client, ENODEV);  // unplugged, or a node of an earlier plug-in
    return true;
  }
  switch (umockdev_ioctl_client_get_request(client)) {
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
      Complete(client, 0);
      return true;
    case USBDEVFS_RELEASEINTERFACE:
      --claimed_;
      Complete(client, 0);
      return true;
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
      Complete(client, 0);
      return true;
    case USBDEVFS_SUBMITURB:
      Submit(client, arg);
      return true;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      Reap(client, arg);
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
  if (taken.toDevice) {
    const std::span<const std::uint8_t> frame(taken.buffer->data,
                                              static_cast<std::size_t>(urb.buffer_length));
    taken.write = remote_.WriteBehaviourFor(remote_.Describe(frame));
  }
  urbs_.push_back(taken);
  Complete(client, 0);
}

bool UsbdevfsRemote::Finish(Urb& urb, Clock::time_point now) {
  usbdevfs_urb& fields = UrbOf(urb.urb);
  fields.status = 0;
  fields.actual_length = 0;
  if (urb.discarded) {
    fields.status = -ENOENT;  // what the kernel gives back for a discarded URB
    return true;
  }
  if (urb.toDevice) {
    const auto length = static_cast<std::uint32_t>(fields.buffer_length);
    switch (urb.write.fault) {
      case sim::WriteFault::Stalls:
        return false;  // never acknowledged until discarded
      case sim::WriteFault::WaitFails:
        fields.status = -EPROTO;
        return true;
      case sim::WriteFault::None:
      case sim::WriteFault::Short:
        fields.actual_length = static_cast<int>(length - std::min(urb.write.shortBy, length));
        // The remote takes the frame once its write has completed.
        Deliver({urb.buffer->data, static_cast<std::size_t>(fields.actual_length)}, now);
        return true;
    }
  }
  if (!replies_.empty() && replies_.front().readyAt <= now) {
    std::vector<std::uint8_t>& bytes = replies_.front().bytes;
    const std::size_t room = static_cast<std::size_t>(fields.buffer_length);
    const std::size_t delivered = std::min(room, bytes.size());
    umockdev_ioctl_data_update(urb.buffer, 0, bytes.data(), static_cast<gint>(delivered));
    fields.actual_length = static_cast<int>(delivered);
    if (bytes.size() > room) {
      fields.status = -EOVERFLOW;  // the device sent more than the URB holds
    }
    replies_.pop_front();
    return true;
  }
  // With no reply due, a read ends at once with nothing only when the remote
  // is in that mood.
  return replies_.empty() && readMode_ == sim::ReadMode::Empty;
}

void UsbdevfsRemote::Deliver(std::span<const std::uint8_t> frame, Clock::time_point writtenAt) {
  const sim::Answer answer = remote_.Take(frame);
  readMode_ = answer.mode;
  if (answer.reply) {
    replies_.push_back({writtenAt + std::chrono::milliseconds(answer.delayMs), *answer.reply});
  }
  if (answer.presence != sim::Presence::Stays && onLeaving) {
    onLeaving(answer.presence);
  }
}

void UsbdevfsRemote::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  const auto now = Clock::now();
  for (auto it = urbs_.begin(); it != urbs_.end(); ++it) {
    if (!Finish(*it, now)) {
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
  Complete(client, EAGAIN);
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
