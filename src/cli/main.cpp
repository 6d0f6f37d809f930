#include <iostream>
#include <locale>
#include <string>
#include <vector>

#include "base/System.h"
#include "cli/CliApp.h"

int main(int argc, char** argv) {
  // Numbers and dates follow the user's regional settings.
  try {
    std::locale::global(quarnel::RegionalLocale());
  } catch (const std::exception&) {
    std::cerr << "quarnel-cli: the locale of the environment is not available; using \"C\"\n";
  }
  std::vector<std::string> args(argv + 1, argv + argc);
  quarnel::TCliTerminal terminal{&std::cin, quarnel::StdInIsTerminal(), quarnel::StdErrIsTerminal(),
                                 quarnel::StdOutIsTerminal()};
  return quarnel::RunCli(argc > 0 ? argv[0] : "quarnel-cli", args, std::cout, std::cerr, terminal);
}
