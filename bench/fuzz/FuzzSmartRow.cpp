// The SMART row builder over any 12 bytes, and the table over a page.
#include <cstdint>
#include <cstring>

#include "reports/SmartReport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quarnel::TSmartEntry entry = {};
  std::memcpy(entry, data, size < sizeof entry ? size : sizeof entry);
  const std::string row = quarnel::SmartAttributeRow(entry);
  if (row.empty() || row[0] != ' ') __builtin_trap();
  quarnel::TAtaBlock page = {};
  std::memcpy(page, data, size < sizeof page ? size : sizeof page);
  if (quarnel::SmartTableLines(page).size() > 33) __builtin_trap();
  return 0;
}
