// quarnel-cli on Windows: arguments and the program's path as UTF-16 from the
// system, text to the console as UTF-16, the user's decimal separator.
#include <windows.h>

#include <iostream>
#include <string>
#include <vector>

#include "base/System.h"
#include "cli/CliApp.h"
#include "cli/win/WinConsole.h"

int wmain(int argc, wchar_t** argv) {
  std::locale::global(quarnel::RegionalLocale());
  const quarnel::TConsoleStreams console;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(quarnel::Utf8FromWide(argv[i]));
  // The program's own full path, as the start-up's debug line shows it.
  std::wstring module(MAX_PATH, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, module.data(), MAX_PATH);
  module.resize(length < MAX_PATH ? length : 0);
  const std::string programFile =
      module.empty() ? std::string("quarnel-cli.exe") : quarnel::Utf8FromWide(module);
  quarnel::TCliTerminal terminal{&std::cin, quarnel::StdInIsTerminal(),
                                 quarnel::StdErrIsTerminal(), quarnel::StdOutIsTerminal()};
  return quarnel::RunCli(programFile, args, std::cout, std::cerr, terminal);
}
