// Placeholder until the Linux host lands: the real machine is not reachable yet.
#include "host/HostConstants.h"
#include "host/MachineHost.h"

namespace quarnel {

std::unique_ptr<Host> CreateMachineHost(const std::vector<std::string>&, std::string* error,
                                        std::string*) {
  *error = "the Linux host is not built yet; use --simulate";
  return nullptr;
}

}  // namespace quarnel
