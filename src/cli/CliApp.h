// The terminal program: host selection and the commands.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "frontend/CommandLine.h"

namespace quarnel {

/// The terminal the program runs at: where answers come from, and whether
/// standard input, standard error and standard output are terminals.
struct TCliTerminal {
  std::istream* In = nullptr;
  bool InIsTerminal = false;
  bool ErrIsTerminal = false;
  bool OutIsTerminal = false;
};

/// The exit statuses (the man page's table). A format's status is its run's
/// outcome; ExitInterrupted is Ctrl+C at the confirmation, as a shell
/// reports a program ended by SIGINT.
enum TCliExit {
  kExitComplete = 0,
  kExitFailed = 1,
  kExitUsage = 2,
  kExitCancelled = 3,
  kExitAborted = 4,
  kExitInUse = 5,
  // A complete run on a drive that hides sectors from it (a host protected
  // area or a device configuration overlay): done as asked, not everything.
  kExitVisibleSectorsOnly = 6,
  // A signature asked of a build that has no Ed25519 (Windows).
  kExitNoSignatures = 7,
  kExitInterrupted = 130,
};

/// Runs the program; returns the exit status. `programFile` is argv[0].
int RunCli(const std::string& programFile, const std::vector<std::string>& args, std::ostream& out,
           std::ostream& err, const TCliTerminal& terminal = {});

/// Commands, each after the host is chosen and the start-up checks ran.
/// `aligned`: columns padded under the header for a person at a terminal
/// (a CJK character counts two columns); otherwise tab-separated for scripts.
int CommandList(std::ostream& out, std::ostream& err, bool aligned = false);
int CommandDetails(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int CommandSmart(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
/// The same with --json: one JSON document on `out`.
int CommandListJson(std::ostream& out, std::ostream& err);
int CommandDetailsJson(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int CommandSmartJson(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
class TCliUi;
/// selftest DRIVE KIND: `args` holds the drive and the kind.
int CommandSelfTest(const std::vector<std::string>& args, TCliUi& ui, std::ostream& out,
                    std::ostream& err);
int CommandFormat(const TCliOptions& options, TCliUi& ui, std::ostream& out, std::ostream& err);
/// record check FILE... [--key PUBFILE] | record certificate FILE [--out FILE]:
/// needs no host and no drive.
int CommandRecord(const TCliOptions& options, std::ostream& out, std::ostream& err);

/// The list entry a drive name picks (a number of the list, serial:SERIAL,
/// wwn:WWN or path:DEVICE), as the chooser accepts it; -1 after saying why not,
/// with the drives that were found.
int64_t SelectEntry(const std::string& name, std::ostream& err);

/// Picks the one drive named in `args` as SelectEntry does, opens it for
/// reading and writing, and sets DeviceDescription. False after saying why not.
bool SelectAndOpen(const std::vector<std::string>& args, std::ostream& err);

}  // namespace quarnel
