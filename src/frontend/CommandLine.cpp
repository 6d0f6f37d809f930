#include "frontend/CommandLine.h"

#include <charconv>
#include <cstdint>

namespace quarnel {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// An option with a file name, as "--name FILE" or "--name=FILE": true when
// args[i] is it (with *error set when its value is missing).
bool ValueOption(const std::vector<std::string>& args, size_t& i, const std::string& name,
                 std::string* value, std::string* error, const char* what = "a file name") {
  const std::string& arg = args[i];
  const bool joined = arg.rfind(name + "=", 0) == 0;
  if (arg != name && !joined) return false;
  if (!joined && i + 1 == args.size()) {
    *error = name + " needs " + what;
    return true;
  }
  *value = joined ? arg.substr(name.size() + 1) : args[++i];
  if (value->empty()) *error = name + " needs " + what;
  return true;
}

// --jobs N (1..1024), --count N (1..100000), --stop-below MB/s (above 0), --stop-above °C (1..150).
bool NumberOption(const std::string& name, const std::string& text, TCliOptions* options,
                  std::string* error) {
  double number = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
  const bool whole = ec == std::errc() && end == text.data() + text.size();
  const bool integer = whole && number == static_cast<double>(static_cast<int64_t>(number));
  if (name == "--jobs" && integer && number >= 1 && number <= 1024) {
    options->Jobs = static_cast<int>(number);
  } else if (name == "--count" && integer && number >= 1 && number <= 100000) {
    options->Count = static_cast<int>(number);
  } else if (name == "--stop-below" && whole && number > 0 && number <= 1e6) {
    options->StopBelowMBps = number;
  } else if (name == "--stop-above" && integer && number >= 1 && number <= 150) {
    options->StopAboveCelsius = static_cast<int>(number);
  } else {
    *error = name + (name == "--jobs"         ? " takes a whole number from 1 to 1024"
                     : name == "--count"      ? " takes a whole number from 1 to 100000"
                     : name == "--stop-below" ? " takes MB/s, a number above 0"
                                              : " takes °C, a whole number from 1 to 150");
    return false;
  }
  return true;
}

}  // namespace

bool ParseDesktopOptions(const std::vector<std::string>& args, bool onBehalfOfUser,
                         TDesktopOptions* options, std::string* error) {
  std::vector<std::string> hostArgs;
  for (const std::string& arg : args) {
    if (Lower(arg) == "--debug") continue;
    if (arg == "--station") {
      options->Station = true;
      continue;
    }
    if (arg != "--simulate" && arg.rfind("--simulate=", 0) != 0 &&
        arg.rfind("--devices=", 0) != 0) {
      *error = "unknown argument \"" + arg +
               "\" (the desktop program takes --debug, --station, --simulate[=FILE] and "
               "--devices=LIST)";
      return false;
    }
    hostArgs.push_back(arg);
  }
  TCliOptions parsed;
  if (!ParseCliOptions(hostArgs, &parsed, error)) return false;
  if (onBehalfOfUser && !parsed.Host.SimulateFile.empty()) {
    *error =
        "--simulate=FILE is refused with administrator rights: a simulated machine from a file "
        "is for the program started as yourself (--simulate alone starts the demo machine)";
    return false;
  }
  options->Host = parsed.Host;
  return true;
}

bool ParseCliOptions(const std::vector<std::string>& args, TCliOptions* options,
                     std::string* error) {
  error->clear();
  std::string value;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const std::string lower = Lower(arg);
    if (lower == "--debug") {
      options->Debug = true;
    } else if (arg == "--simulate") {
      options->Host.Simulate = true;
    } else if (arg.rfind("--simulate=", 0) == 0) {
      options->Host.Simulate = true;
      options->Host.SimulateFile = arg.substr(11);
      if (options->Host.SimulateFile.empty()) {
        *error = "--simulate= needs a file name";
        return false;
      }
    } else if (arg.rfind("--devices=", 0) == 0) {
      options->Host.DevicesGiven = true;
      options->Host.Devices = SplitDeviceList(arg.substr(10));
      if (options->Host.Devices.empty()) {
        *error = "--devices= needs at least one device node";
        return false;
      }
    } else if (arg == "--help" || arg == "-h") {
      options->Help = true;
    } else if (arg == "--version") {
      options->Version = true;
    } else if (arg == "--json") {
      options->Json = true;
    } else if (arg == "--quick") {
      options->Quick = true;
    } else if (arg == "--yes") {
      options->Yes = true;
    } else if (arg == "--verify") {
      options->Verify = true;
    } else if (arg == "--firmware" || arg.rfind("--firmware=", 0) == 0) {
      options->Firmware = arg == "--firmware" ? "auto" : arg.substr(11);
      const std::string& m = options->Firmware;
      if (m != "auto" && m != "block" && m != "crypto" && m != "format-user" &&
          m != "format-crypto" && m != "overwrite") {
        *error = "--firmware= takes block, crypto, format-user, format-crypto or overwrite";
        return false;
      }
    } else if (arg == "--force") {
      options->Force = true;
    } else if (ValueOption(args, i, "--record", &options->RecordFile, error) ||
               ValueOption(args, i, "--sign", &options->SignKeyFile, error) ||
               ValueOption(args, i, "--key", &options->PublicKeyFile, error) ||
               ValueOption(args, i, "--out", &options->OutFile, error) ||
               ValueOption(args, i, "--record-dir", &options->RecordDir, error) ||
               ValueOption(args, i, "--batch-member", &options->BatchMember, error) ||
               ValueOption(args, i, "--operator", &options->Operator, error, "a name") ||
               ValueOption(args, i, "--organisation", &options->Organisation, error, "a name") ||
               ValueOption(args, i, "--location", &options->Location, error, "a place")) {
      if (!error->empty()) return false;
    } else if (ValueOption(args, i, "--asset-tag", &value, error, "a tag")) {
      if (!error->empty()) return false;
      options->AssetTags.push_back(value);
    } else if (ValueOption(args, i, "--bus", &options->Bus, error, "a bus")) {
      if (!error->empty()) return false;
    } else if (arg.rfind("--simulate-start=", 0) == 0) {
      // A batch's member counts its simulated drives' schedule from its
      // supervisor's start.
      const std::string text = arg.substr(17);
      int64_t ms = 0;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), ms);
      if (ec != std::errc() || end != text.data() + text.size() || ms <= 0) {
        *error = "--simulate-start= takes milliseconds since 1970";
        return false;
      }
      options->Host.SimulateStartMs = ms;
    } else if (ValueOption(args, i, "--jobs", &value, error, "a number") ||
               ValueOption(args, i, "--count", &value, error, "a number") ||
               ValueOption(args, i, "--stop-below", &value, error, "a number") ||
               ValueOption(args, i, "--stop-above", &value, error, "a number")) {
      if (!error->empty()) return false;
      const std::string name = arg.substr(0, arg.find('='));
      if (!NumberOption(name, value, options, error)) return false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else if (options->Command.empty()) {
      options->Command = arg;
    } else {
      options->Arguments.push_back(arg);
    }
  }
  return true;
}

}  // namespace quarnel
