#include "sim/platform.h"

#include <algorithm>
#include <cstring>

#include "link/device_link.h"

namespace corvane::sim {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) {
      return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    };
    return lower(x) == lower(y);
  });
}

std::span<const std::uint8_t> AsBytes(const std::byte* buffer, std::uint32_t count) {
  return {reinterpret_cast<const std::uint8_t*>(buffer), count};
}

}  // namespace

void SimPlatform::AddInterface(std::string path, SimRemote* remote) {
  Device device;
  device.path = std::move(path);
  device.remote = remote;
  devices_.push_back(std::move(device));
}

void SimPlatform::SetPresent(SimRemote* remote, bool present) {
  for (Device& device : devices_) {
    if (device.remote != remote) {
      continue;
    }
    if (!present && device.present) {
      ++device.generation;
      device.replies.clear();
    }
    device.present = present;
    device.returnsAt = Never;
  }
}

SimPlatform::Device* SimPlatform::Present(std::size_t index) {
  Device& device = devices_[index];
  if (!device.present && clock_.Now() >= device.returnsAt) {
    device.present = true;
    device.returnsAt = Never;
    if (device.remote != nullptr) {
      device.remote->Restarted();
    }
  }
  return device.present ? &device : nullptr;
}

link::DeviceSet SimPlatform::SetupDiGetClassDevs(const link::Guid& interfaceClass) {
  if (faults.noDeviceSet || interfaceClass != link::InterfaceClass) {
    return link::InvalidDeviceSet;
  }
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    if (Present(i) != nullptr) {
      paths.push_back(devices_[i].path);
    }
  }
  sets_[nextSet_] = std::move(paths);
  return nextSet_++;
}

bool SimPlatform::SetupDiEnumDeviceInterfaces(link::DeviceSet set, const link::Guid& interfaceClass,
                                              std::uint32_t index, link::InterfaceRecord& record) {
  const auto found = sets_.find(set);
  if (found == sets_.end()) {
    Misuse("enumeration of a device set not held");
    return false;
  }
  if (interfaceClass != link::InterfaceClass || index >= found->second.size()) {
    return false;
  }
  std::memcpy(record.storage.data(), &index, sizeof index);
  return true;
}

void SimPlatform::SetupDiGetDeviceInterfaceDetail(link::DeviceSet set,
                                                  const link::InterfaceRecord& record,
                                                  std::span<std::byte> detail,
                                                  std::uint32_t* requiredSize) {
  const auto found = sets_.find(set);
  std::uint32_t index = 0;
  std::memcpy(&index, record.storage.data(), sizeof index);
  if (found == sets_.end() || index >= found->second.size()) {
    Misuse("interface detail of an interface not enumerated");
    return;
  }
  const std::string& path = found->second[index];
  if (detail.empty()) {
    *requiredSize = faults.reportedDetailSize.value_or(
        static_cast<std::uint32_t>(link::DetailPathOffset + path.size() + 1));
    return;
  }
  std::uint32_t sizeField = 0;
  if (detail.size() >= sizeof sizeField) {
    std::memcpy(&sizeField, detail.data(), sizeof sizeField);
  }
  if (sizeField != DetailRecordSize()) {
    Misuse("detail record with size field " + std::to_string(sizeField));
    return;
  }
  if (faults.detailWithoutPath || detail.size() <= link::DetailPathOffset) {
    return;
  }
  const std::size_t room = detail.size() - link::DetailPathOffset;
  const std::size_t copied = std::min(room, path.size() + 1);
  std::memcpy(detail.data() + link::DetailPathOffset, path.c_str(), copied);
}

void SimPlatform::SetupDiDestroyDeviceInfoList(link::DeviceSet set) {
  if (sets_.erase(set) == 0) {
    Misuse("release of a device set not held");
  }
}

link::Handle SimPlatform::CreateFile(const std::string& name, const link::FileOpen& how) {
  ++counts_.createFile;
  if (faults.refuseOpen && faults.refuseOpen(name, how)) {
    return link::InvalidHandle;
  }
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    const Device* device = Present(i);
    if (device == nullptr || device->remote == nullptr) {
      continue;
    }
    for (const bool isReadPipe : {false, true}) {
      const auto suffix = isReadPipe ? link::ReadPipeSuffix : link::WritePipeSuffix;
      if (SameName(name, device->path + std::string(suffix))) {
        const std::uint32_t needed = isReadPipe ? link::GenericRead : link::GenericWrite;
        if ((how.access & needed) == 0) {
          Misuse(name + " opened without the access its transfers need");
        }
        File opened;
        opened.device = i;
        opened.generation = device->generation;
        opened.isReadPipe = isReadPipe;
        opened.overlapped = how.overlapped;
        files_.emplace(nextHandle_, std::move(opened));
        return nextHandle_++;
      }
    }
  }
  return link::InvalidHandle;
}

void SimPlatform::CloseHandle(link::Handle file) {
  File* open = FindFile(file, "CloseHandle");
  if (open == nullptr) {
    return;
  }
  if (open->transfer) {
    Misuse("handle closed before its transfer was collected");
  }
  files_.erase(file);
}

link::Event SimPlatform::CreateEvent() {
  ++counts_.createEvent;
  if (faults.noEvents) {
    return 0;
  }
  events_[nextEvent_] = true;
  return nextEvent_++;
}

void SimPlatform::ResetEvent(link::Event event) {
  Signal(event, false);
}

void SimPlatform::CloseEvent(link::Event event) {
  if (events_.erase(event) == 0) {
    Misuse("CloseEvent of an event not held");
  }
}

void SimPlatform::Signal(link::Event event, bool signalled) {
  const auto found = events_.find(event);
  if (found == events_.end()) {
    Misuse("use of an event not held");
    return;
  }
  found->second = signalled;
}

SimPlatform::File* SimPlatform::FindFile(link::Handle file, const char* call) {
  const auto found = files_.find(file);
  if (found == files_.end()) {
    Misuse(std::string(call) + " on a handle not open");
    return nullptr;
  }
  return &found->second;
}

SimPlatform::Device* SimPlatform::LiveDevice(const File& file) {
  Device* device = Present(file.device);
  return device != nullptr && device->generation == file.generation ? device : nullptr;
}

SimPlatform::Transfer& SimPlatform::Begin(File& file, link::Overlap& overlap, bool isRead,
                                          std::byte* buffer, std::uint32_t count) {
  if (!file.overlapped) {
    Misuse("transfer on a file not opened for overlapped transfers");
  }
  if (file.transfer) {
    Misuse("transfer started while another is pending");
  }
  file.transfer.emplace();
  file.transfer->isRead = isRead;
  file.transfer->buffer = buffer;
  file.transfer->count = count;
  file.transfer->overlap = &overlap;
  Signal(overlap.hEvent, false);
  return *file.transfer;
}

void SimPlatform::ReadFile(link::Handle file, std::byte* buffer, std::uint32_t count,
                           link::Overlap& overlap) {
  ++counts_.readFile;
  File* open = FindFile(file, "ReadFile");
  if (open == nullptr) {
    return;
  }
  if (!open->isReadPipe) {
    Misuse("read from the write pipe");
  }
  Transfer& transfer = Begin(*open, overlap, true, buffer, count);
  Device* device = LiveDevice(*open);
  if (device == nullptr) {
    transfer.ended = true;  // the device is gone: the read fails at once
    Signal(overlap.hEvent, true);
  } else if (device->readMode == ReadMode::WaitFails) {
    transfer.waitFails = true;
  } else if (!device->replies.empty()) {
    transfer.completesAt = std::max(clock_.Now(), device->replies.front().readyAt);
  } else if (device->readMode == ReadMode::Empty) {
    transfer.completesAt = clock_.Now() + timing.emptyReadLatencyMs;
  }
}

void SimPlatform::WriteFile(link::Handle file, const std::byte* buffer, std::uint32_t count,
                            link::Overlap& overlap) {
  ++counts_.writeFile;
  File* open = FindFile(file, "WriteFile");
  if (open == nullptr) {
    return;
  }
  if (open->isReadPipe) {
    Misuse("write to the read pipe");
  }
  const auto frame = AsBytes(buffer, count);
  if (onWriteCall && !open->writeTraced) {
    onWriteCall(frame);
    open->writeTraced = true;
  }
  Transfer& transfer = Begin(*open, overlap, false, nullptr, count);
  Device* device = LiveDevice(*open);
  if (device == nullptr) {
    transfer.ended = true;
    Signal(overlap.hEvent, true);
    return;
  }
  const WriteBehaviour behaviour =
      device->remote->WriteBehaviourFor(device->remote->Describe(frame));
  switch (behaviour.fault) {
    case WriteFault::None:
    case WriteFault::Short:
      transfer.frame = frame.data();
      transfer.transferred = count - std::min(behaviour.shortBy, count);
      transfer.completesAt = clock_.Now() + timing.writeLatencyMs;
      break;
    case WriteFault::Stalls:
      break;
    case WriteFault::WaitFails:
      transfer.waitFails = true;
      break;
  }
}

void SimPlatform::Deliver(Device& device, std::span<const std::uint8_t> frame, Millis writtenAt) {
  const Answer answer = device.remote->Take(frame);
  device.readMode = answer.mode;
  if (answer.reply) {
    device.replies.push_back({writtenAt + answer.delayMs, *answer.reply});
  }
  if (answer.presence != Presence::Stays) {
    ++device.generation;
    device.present = false;
    device.replies.clear();
    const auto& delay = device.remote->restartDelayMs;
    device.returnsAt = answer.presence == Presence::Restarts && delay ? writtenAt + *delay : Never;
  }
}

void SimPlatform::Complete(File& file, Transfer& transfer) {
  Device* device = LiveDevice(file);
  if (!transfer.isRead && device != nullptr) {
    // The remote takes the frame only once its write has completed.
    Deliver(*device, {transfer.frame, transfer.transferred}, transfer.completesAt);
  }
  if (transfer.isRead) {
    transfer.transferred = 0;
    if (device != nullptr && !device->replies.empty() &&
        device->replies.front().readyAt <= clock_.Now()) {
      const auto& bytes = device->replies.front().bytes;
      transfer.transferred = std::min(transfer.count, static_cast<std::uint32_t>(bytes.size()));
      std::memcpy(transfer.buffer, bytes.data(), transfer.transferred);
      device->replies.pop_front();
    }
  }
  transfer.ended = true;
  transfer.completed = true;
  Signal(transfer.overlap->hEvent, true);
}

std::uint32_t SimPlatform::WaitForSingleObject(link::Event event, std::uint32_t timeoutMs) {
  if (events_.count(event) == 0) {
    Misuse("wait on an event not held");
    return link::WaitFailed;
  }
  const Millis deadline = clock_.Now() + timeoutMs;
  for (auto& [handle, file] : files_) {
    if (!file.transfer || file.transfer->ended || file.transfer->overlap->hEvent != event) {
      continue;
    }
    Transfer& transfer = *file.transfer;
    if (transfer.waitFails) {
      return link::WaitFailed;
    }
    if (transfer.completesAt > deadline) {
      break;
    }
    clock_.WaitUntil(transfer.completesAt);
    Complete(file, transfer);
    if (faults.timeOutOnCompletion) {
      clock_.WaitUntil(deadline);
      return link::WaitTimeout;
    }
    return link::WaitObject0;
  }
  if (events_[event]) {
    return link::WaitObject0;
  }
  clock_.WaitUntil(deadline);
  return link::WaitTimeout;
}

void SimPlatform::CancelIo(link::Handle file) {
  File* open = FindFile(file, "CancelIo");
  if (open == nullptr || !open->transfer || open->transfer->ended) {
    return;
  }
  Transfer& transfer = *open->transfer;
  if (transfer.completesAt <= clock_.Now()) {
    Complete(*open, transfer);  // it finished before the cancel reached it
    return;
  }
  transfer.ended = true;
  transfer.transferred = 0;
  Signal(transfer.overlap->hEvent, true);
}

bool SimPlatform::GetOverlappedResult(link::Handle file, link::Overlap& overlap,
                                      std::uint32_t& transferred) {
  File* open = FindFile(file, "GetOverlappedResult");
  if (open == nullptr || !open->transfer || open->transfer->overlap != &overlap) {
    Misuse("collection of a transfer that was not started");
    return false;
  }
  Transfer& transfer = *open->transfer;
  if (!transfer.ended) {
    if (transfer.completesAt == Never || transfer.waitFails) {
      Misuse("collection of a transfer that never ends: the call would hang");
      transfer.ended = true;
    } else {
      clock_.WaitUntil(transfer.completesAt);
      Complete(*open, transfer);
    }
  }
  const bool completed = transfer.completed;
  transferred = completed ? transfer.transferred : 0;
  open->transfer.reset();
  return completed;
}

void SimPlatform::Misuse(std::string what) {
  misuses_.push_back(std::move(what));
}

}  // namespace corvane::sim
