#include "host/Host.h"

#include <cstdio>
#include <cstdlib>

namespace quarnel {

namespace {
std::unique_ptr<Host>& CurrentHost() {
  static std::unique_ptr<Host> host;
  return host;
}
}  // namespace

Host& GetHost() {
  auto& host = CurrentHost();
  if (!host) {
    std::fputs("internal error: no host selected\n", stderr);
    std::abort();
  }
  return *host;
}

void SetHost(std::unique_ptr<Host> host) { CurrentHost() = std::move(host); }

}  // namespace quarnel
