#include "link/device_link.h"
#include "link/text.h"

namespace corvane::link {

std::string CutAtNul(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

std::string RemoteId(std::string_view path) {
  const std::string_view whole = path.substr(0, path.find('\0'));
  std::string_view part = whole;
  for (int skip = 0; skip < 2; ++skip) {
    const std::size_t hash = part.find('#');
    if (hash == std::string_view::npos) {
      return UpperCase(whole);  // not a path of parts: all of it tells it apart
    }
    part.remove_prefix(hash + 1);
  }
  return UpperCase(part.substr(0, part.find('#')));
}

bool GoesBy(Backend& backend, std::string_view path, std::string_view name) {
  // The id first: it is known without asking the device.
  return SameTextIgnoringCase(RemoteId(path), name) ||
         (!name.empty() && SameTextIgnoringCase(backend.SerialNumber(path), name));
}

bool ListedRemote::GoesBy(std::string_view name) const {
  return SameTextIgnoringCase(id, name) || (!name.empty() && SameTextIgnoringCase(serial, name));
}

std::vector<ListedRemote> ListRemotes(Backend& backend) {
  std::vector<ListedRemote> remotes;
  backend.VisitInterfaces(InterfaceClass, [&](std::string_view path) {
    if (IsRemotePath(path)) {
      remotes.push_back({RemoteId(path), backend.SerialNumber(path), CutAtNul(path),
                         backend.DescribeInterface(path)});
    }
    return false;
  });
  return remotes;
}

bool IsRemotePath(std::string_view path) {
  const std::string probe = UpperCase(path);
  for (std::string_view token : {VendorToken, ProductToken, ClassToken}) {
    if (probe.find(token) == std::string::npos) {
      return false;
    }
  }
  return true;
}

}  // namespace corvane::link
