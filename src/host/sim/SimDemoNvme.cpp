// The demo machine's NVMe drive: a 512 GB solid-state drive, its Identify
// and health-log blocks built here from the fields that matter.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/sim/SimHost.h"

namespace quarnel {

namespace {

void Put(std::vector<uint8_t>& b, size_t off, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) b[off + i] = static_cast<uint8_t>(value >> (8 * i));
}

// ASCII fields are padded with spaces.
void PutText(std::vector<uint8_t>& b, size_t off, size_t size, const char* text) {
  std::memset(b.data() + off, ' ', size);
  std::memcpy(b.data() + off, text, std::min(size, std::strlen(text)));
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

constexpr uint64_t kBlocks = 1000215216;  // 512-byte blocks

std::vector<uint8_t> Controller() {
  std::vector<uint8_t> b(4096, 0);
  Put(b, 0, 0x1B36, 2);  // VID
  PutText(b, 4, 20, "NVX0DEMO0001");
  PutText(b, 24, 40, "NVX-512 NVMe SSD");
  PutText(b, 64, 8, "2.1.0");
  Put(b, 80, 0x00010400, 4);      // NVMe 1.4
  Put(b, 256, 0x0016, 2);         // OACS: Format NVM, firmware download, self-test
  b[260] = 0x16;                  // FRMW: 3 slots, activation without reset
  Put(b, 266, 353, 2);            // WCTEMP 80 °C
  Put(b, 268, 358, 2);            // CCTEMP 85 °C
  Put(b, 280, kBlocks * 512, 8);  // TNVMCAP
  Put(b, 328, 0x3, 4);            // SANICAP: crypto erase, block erase
  Put(b, 516, 1, 4);              // NN
  b[525] = 0x07;                  // VWC present
  return b;
}

std::vector<uint8_t> Namespace() {
  std::vector<uint8_t> b(4096, 0);
  Put(b, 0, kBlocks, 8);
  Put(b, 8, kBlocks, 8);
  Put(b, 16, kBlocks, 8);
  b[25] = 1;                   // two formats
  Put(b, 128, 0x00090000, 4);  // 512 bytes, in use
  Put(b, 132, 0x000C0000, 4);  // 4096 bytes
  // EUI64, in byte order: the company identifier first.
  const uint8_t eui64[8] = {0x00, 0x1b, 0x36, 0x4d, 0x45, 0x4d, 0x4f, 0x01};
  std::memcpy(b.data() + 120, eui64, sizeof eui64);
  return b;
}

std::vector<uint8_t> Health() {
  std::vector<uint8_t> b(512, 0);
  Put(b, 1, 311, 2);  // 38 °C
  b[3] = 100;
  b[4] = 10;
  b[5] = 3;
  Put(b, 32, 12345678, 8);
  Put(b, 48, 9876543, 8);
  Put(b, 64, 234567890, 8);
  Put(b, 80, 198765432, 8);
  Put(b, 96, 1234, 8);
  Put(b, 112, 567, 8);
  Put(b, 128, 4321, 8);
  Put(b, 144, 12, 8);
  Put(b, 176, 34, 8);
  Put(b, 200, 311, 2);
  Put(b, 202, 318, 2);
  return b;
}

}  // namespace

std::string SimDemoNvmeDrive() {
  return R"({"number": 3, "length": )" + std::to_string(kBlocks * 512) +
         R"(, "bytes_per_sector": 512, "bus_type": 17, "max_transfer": 131072, "vendor": "",
     "product": "NVX-512 NVMe SSD", "revision": "2.1.0", "serial": "NVX0DEMO0001",
     "write_mb_per_s": 900, "volumes": [{"root": "G:", "partition": 1}], "nvme_identify_ctrl_hex": ")" +
         Hex(Controller()) + R"(", "nvme_identify_ns_hex": ")" + Hex(Namespace()) +
         R"(", "nvme_health_hex": ")" + Hex(Health()) +
         R"(", "firmware_erase": {"methods": ["block", "crypto", "format-user", "format-crypto"],
     "seconds": 40}})";
}

}  // namespace quarnel
