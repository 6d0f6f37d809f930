// The terminal program: options, host selection and the commands.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quarnel {

struct TCliOptions {
  bool Simulate = false;
  std::string SimulateFile;  // empty: the demo machine
  std::vector<std::string> Devices;
  bool DevicesGiven = false;
  bool Debug = false;
  bool Help = false;
  bool Version = false;
  std::string Command;
  std::vector<std::string> Arguments;  // after the command
};

/// Parses the command line (without the program name). Returns false and
/// sets *error on an unknown option.
bool ParseCliOptions(const std::vector<std::string>& args, TCliOptions* options,
                     std::string* error);

/// Runs the program; returns the exit status. `programFile` is argv[0].
int RunCli(const std::string& programFile, const std::vector<std::string>& args, std::ostream& out,
           std::ostream& err);

/// Commands, each after the host is chosen and the start-up checks ran.
int CommandList(std::ostream& out, std::ostream& err);
int CommandDetails(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int CommandSmart(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace quarnel
