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

std::string SystemErrorText(uint32_t code) {
  std::string text = GetHost().ErrorText(code);
  while (!text.empty() && (static_cast<uint8_t>(text.back()) <= 0x20 || text.back() == '.')) {
    text.pop_back();
  }
  return text;
}

}  // namespace quarnel
