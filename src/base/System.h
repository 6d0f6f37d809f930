// What differs from one operating system to the next and is no device: each
// system defines these once, in src/platform/<system>/.
#pragma once

#include <string>

namespace quarnel {

/// The user's application-data folder, UTF-8, without a trailing separator;
/// empty when it is not known.
std::string GetAppDataFolder();

/// While on, an interrupt from the terminal (Ctrl+C, and on POSIX SIGTERM)
/// no longer ends the program but is kept for TakeStopSignal.
void CatchStopSignals(bool on);

/// True once for each interrupt caught since the last call.
bool TakeStopSignal();

/// Whether standard input and standard error are terminals (a console).
bool StdInIsTerminal();
bool StdErrIsTerminal();

}  // namespace quarnel
