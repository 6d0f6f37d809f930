// The terminal program: host selection and the commands.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "frontend/CommandLine.h"

namespace quarnel {

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

/// The format command's status for a run that completed on a drive that hides
/// sectors from it (a host protected area or a device configuration overlay).
inline constexpr int kExitVisibleSectorsOnly = 3;

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
