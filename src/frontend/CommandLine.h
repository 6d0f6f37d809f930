// The command line both programs understand: the host options, --debug, and
// the terminal program's command with its own options.
#pragma once

#include <string>
#include <vector>

#include "frontend/HostChoice.h"

namespace quarnel {

struct TCliOptions {
  THostOptions Host;  // --simulate[=FILE], --devices=LIST
  bool Debug = false;
  bool Help = false;
  bool Version = false;
  bool Quick = false;      // format: the quick wipe
  bool Yes = false;        // format: the confirmation answered for scripts
  bool Verify = false;     // format: read back what was written
  std::string RecordFile;  // format: where the erase record goes
  bool Force = false;      // format: an existing record file may be replaced
  std::string Command;
  std::vector<std::string> Arguments;  // after the command
};

/// Parses the command line (without the program name). Returns false and
/// sets *error on an unknown option.
bool ParseCliOptions(const std::vector<std::string>& args, TCliOptions* options,
                     std::string* error);

}  // namespace quarnel
