// The simulated-machine loader over any text, and, for a machine it takes,
// the first requests the scan makes of each drive. Paths in the text are
// taken from a folder that does not exist.
#include <cstdint>
#include <string>
#include <vector>

#include "ata/AtaPassThrough.h"
#include "ata/HiddenArea.h"
#include "host/HostConstants.h"
#include "host/sim/SimHost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  auto host = quarnel::SimHost::FromJson(std::string(reinterpret_cast<const char*>(data), size),
                                         "/nonexistent/quarnel-fuzz", &error);
  if (!host) {
    if (error.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  for (int n = 0; n <= 255; ++n) {
    const quarnel::THandle h = host->CreateFileU8(host->DrivePath(n), quarnel::win::kGENERIC_READ,
                                                  3, quarnel::win::kOPEN_EXISTING, 0);
    if (h == quarnel::kInvalidHandle) continue;
    uint8_t out[512] = {};
    uint8_t query[12] = {};  // the device property, standard query
    query[0] = 1;
    uint32_t got = 0;
    host->DeviceIoControl(h, quarnel::win::kIOCTL_STORAGE_QUERY_PROPERTY, query, sizeof query, out,
                          sizeof out, &got);
    host->DeviceIoControl(h, quarnel::win::kQUARNEL_IOCTL_GET_DISK_SEQUENCE, nullptr, 0, out, 8,
                          &got);
    if (got > sizeof out) __builtin_trap();
    // The hidden-area queries as the program sends them.
    for (const quarnel::TAtaTaskFile& t :
         {quarnel::NativeMaxTaskFile(quarnel::TNativeMaxCommand::GetNativeMaxExt, 0),
          quarnel::NativeMaxTaskFile(quarnel::TNativeMaxCommand::ReadNativeMax, 0),
          quarnel::DcoIdentifyTaskFile(0)}) {
      const uint32_t data = t.Current.Command == 0xB1 ? 512 : 0;
      std::vector<uint8_t> request =
          quarnel::BuildAtaPassThrough(t, data, quarnel::kAtaPassThroughTimeoutSeconds);
      const uint32_t size = static_cast<uint32_t>(request.size());
      got = 0;
      host->DeviceIoControl(h, quarnel::win::kIOCTL_ATA_PASS_THROUGH, request.data(), size,
                            request.data(), size, &got);
      if (got > size) __builtin_trap();
    }
    host->CloseHandle(h);
  }
  return 0;
}
