#include "host/Host.h"

#include <cstdio>
#include <cstdlib>

#include "host/HostConstants.h"

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

bool Host::ReadAt(THandle handle, void* buffer, uint32_t size, int64_t offset, uint32_t* read,
                  uint32_t* error) {
  *read = 0;
  int64_t before = 0;
  const bool ok = SetFilePointerEx(handle, 0, &before, win::kFILE_CURRENT) &&
                  SetFilePointerEx(handle, offset, nullptr, win::kFILE_BEGIN) &&
                  ReadFile(handle, buffer, size, read);
  *error = ok ? 0 : GetLastError();
  SetFilePointerEx(handle, before, nullptr, win::kFILE_BEGIN);
  return ok;
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
