// The terminal program: options, host selection and the commands.
#pragma once

#include <iosfwd>
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
  std::string Command;
  std::vector<std::string> Arguments;  // after the command
};

/// Parses the command line (without the program name). Returns false and
/// sets *error on an unknown option.
bool ParseCliOptions(const std::vector<std::string>& args, TCliOptions* options,
                     std::string* error);

/// The terminal the program runs at: where answers come from, and whether
/// standard input and standard error are terminals.
struct TCliTerminal {
  std::istream* In = nullptr;
  bool InIsTerminal = false;
  bool ErrIsTerminal = false;
};

/// Runs the program; returns the exit status. `programFile` is argv[0].
int RunCli(const std::string& programFile, const std::vector<std::string>& args, std::ostream& out,
           std::ostream& err, const TCliTerminal& terminal = {});

/// Commands, each after the host is chosen and the start-up checks ran.
int CommandList(std::ostream& out, std::ostream& err);
int CommandDetails(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int CommandSmart(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
class TCliUi;
int CommandFormat(const TCliOptions& options, TCliUi& ui, std::ostream& err);

/// Picks entry N of the scanned list as the chooser accepts it, opens it for
/// reading and writing, and sets DeviceDescription. False after saying why not.
bool SelectAndOpen(const std::vector<std::string>& args, std::ostream& err);

}  // namespace quarnel
