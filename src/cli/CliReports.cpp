// The report commands; they arrive with the ATA command transports.
#include <ostream>

#include "cli/CliApp.h"

namespace quarnel {

int CommandDetails(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "quarnel-cli: details is not available yet\n";
  return 1;
}

int CommandSmart(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "quarnel-cli: smart is not available yet\n";
  return 1;
}

}  // namespace quarnel
