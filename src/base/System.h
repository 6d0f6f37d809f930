// What differs from one operating system to the next and is no device: each
// system defines these once, in src/platform/<system>/.
#pragma once

#include <ctime>
#include <functional>
#include <locale>
#include <string>

namespace quarnel {

/// The user's application-data folder, UTF-8, without a trailing separator;
/// empty when it is not known. Started with administrator rights on behalf
/// of a user (pkexec), that user's folder, not the administrator's.
std::string GetAppDataFolder();

/// Runs `work` with the rights of the user who had the program started with
/// administrator rights (on Linux through pkexec), so that files in that
/// user's data folder are reached with that user's rights and belong to that
/// user; otherwise, or on a system without such a start, runs it as it is.
/// Returns what `work` returns, or false when the rights could not be taken.
bool RunAsInvokingUser(const std::function<bool()>& work);

/// Whether the program runs with administrator rights that a user's start
/// was given (on Linux: as root through pkexec). Such a start takes nothing
/// from that user that would act with those rights.
bool StartedOnBehalfOfUser();

/// Whether `path` is a folder of the user a StartedOnBehalfOfUser start was
/// made for, that user's alone (owner, no access for others, no link): the
/// only runtime folder such a start takes from that user's session.
bool IsInvokingUsersPrivateFolder(const std::string& path);

/// The interface's sentence on how to get the rights to open drives here.
std::string AdminRightsHint();

/// While on, an interrupt from the terminal (Ctrl+C, and on POSIX SIGTERM)
/// no longer ends the program but is kept for TakeStopSignal.
void CatchStopSignals(bool on);

/// True once for each interrupt caught since the last call.
bool TakeStopSignal();

/// The C++ locale of the user's regional settings for numbers: on POSIX the
/// environment's (throws std::runtime_error when it is not available), on
/// Windows the classic one with the user's decimal separator.
std::locale RegionalLocale();

/// A local date and time as the user's regional settings write a short date,
/// a blank and the long time.
std::string RegionalDateTime(const std::tm& local);

/// Whether standard input and standard error are terminals (a console).
bool StdInIsTerminal();
bool StdErrIsTerminal();

}  // namespace quarnel
