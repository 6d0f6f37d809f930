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
  bool Json = false;          // list, details, smart, format: one JSON document on standard output
  bool Quick = false;         // format: the quick wipe
  bool Yes = false;           // format: the confirmation answered for scripts
  bool Verify = false;        // format: read back what was written
  std::string RecordFile;     // format: where the erase record goes
  bool Force = false;         // format: an existing record file may be replaced
  std::string Firmware;       // format: "" the zero fill, "auto" or a method: the drive's own erase
  std::string SignKeyFile;    // format: the record's signing key (Ed25519, PEM)
  std::string PublicKeyFile;  // record check: the key the signatures must verify with
  std::string OutFile;        // record certificate: where the page goes
  std::string RecordDir;      // format: a record per drive, named as the desktop names it
  int Jobs = 0;               // format of several drives: how many at once; 0: all
  double StopBelowMBps = 0;   // format: stop a drive slower than this after a minute
  int StopAboveCelsius = 0;   // format: stop a drive hotter than this
  std::string BatchMember;    // format: run as one drive of a batch (the identity confirmed)
  // format: who erased, for whom, where (kept in the record, on the certificate)
  std::string Operator, Organisation, Location;
  // format: the asset's number: TAG for one drive, serial:SERIAL=TAG per drive
  std::vector<std::string> AssetTags;
  int Count = 0;    // watch: end after this many drives have finished; 0 never
  std::string Bus;  // watch: only new drives on this bus ("usb", "sata", "nvme", ...)
  std::string Command;
  std::vector<std::string> Arguments;  // after the command
};

/// The desktop program's command line.
struct TDesktopOptions {
  THostOptions Host;  // --simulate[=FILE], --devices=LIST
  bool Station = false;  // --station: the erase station instead of the chooser
};

/// Parses the desktop program's command line (without the program name and
/// after the launcher's --session-env options were taken). It takes --debug
/// (any case; the start-up's ActivateDebugMode heeds it as the first one),
/// --simulate[=FILE], --devices=LIST and --station and refuses everything else, so that
/// nothing of a user's command line reaches the window toolkit. With
/// `onBehalfOfUser` (administrator rights given to a user's start), a
/// simulated machine from a file is refused too: a format writes its images
/// and its loader reads the files it names, with those rights.
/// Returns false and sets *error on a refusal.
bool ParseDesktopOptions(const std::vector<std::string>& args, bool onBehalfOfUser,
                         TDesktopOptions* options, std::string* error);

/// Parses the command line (without the program name). Returns false and
/// sets *error on an unknown option.
bool ParseCliOptions(const std::vector<std::string>& args, TCliOptions* options,
                     std::string* error);

}  // namespace quarnel
