// The kernel's block-device uevents, read from a netlink socket without a
// udev daemon: the kernel sends them to multicast group 1 itself. Only whole
// disks count (DEVTYPE=disk); "change" counts too, since a loop device gets
// its file and a card reader its card that way, the node staying.
#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "host/linux/LinuxHost.h"

#include "host/MachineHost.h"

namespace quarnel {

/// Whether one uevent datagram ("ACTION@DEVPATH\0KEY=VALUE\0...") says a
/// whole disk was added, removed or changed.
bool IsDiskUevent(const char* data, size_t size) {
  std::string_view action, subsystem, devtype;
  size_t at = 0;
  while (at < size) {
    const size_t end = std::min(size, at + strnlen(data + at, size - at));
    const std::string_view field(data + at, end - at);
    if (field.rfind("ACTION=", 0) == 0) action = field.substr(7);
    if (field.rfind("SUBSYSTEM=", 0) == 0) subsystem = field.substr(10);
    if (field.rfind("DEVTYPE=", 0) == 0) devtype = field.substr(8);
    at = end + 1;
  }
  return subsystem == "block" && devtype == "disk" &&
         (action == "add" || action == "remove" || action == "change");
}

namespace {

class TUevents : public TMachineDiskEvents {
 public:
  explicit TUevents(int fd) : fd_(fd) {}
  ~TUevents() override { ::close(fd_); }

  bool Changed() override {
    bool changed = false;
    char buffer[8192];
    for (;;) {
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n < 0 && errno == EINTR) continue;
      // ENOBUFS: the kernel dropped some for want of room; something came.
      if (n < 0) return changed || errno == ENOBUFS;
      if (IsDiskUevent(buffer, static_cast<size_t>(n))) changed = true;
    }
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<TMachineDiskEvents> OpenMachineDiskEvents(std::string* error) {
  const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK,
                          NETLINK_KOBJECT_UEVENT);
  if (fd < 0) {
    *error = std::string("the kernel's device events cannot be had: ") + std::strerror(errno);
    return nullptr;
  }
  sockaddr_nl address{};
  address.nl_family = AF_NETLINK;
  address.nl_groups = 1;  // the kernel's own uevents
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    *error = std::string("the kernel's device events cannot be had: ") + std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  // Room for a burst (a rack powered on at once) between two looks.
  const int room = 1 << 20;
  ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
  return std::make_unique<TUevents>(fd);
}

}  // namespace quarnel
