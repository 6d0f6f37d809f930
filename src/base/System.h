// What differs from one operating system to the next and is no device: each
// system defines these once, in src/platform/<system>/.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <locale>
#include <string>
#include <vector>

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

/// A file written on a person's behalf, held open from its creation to its
/// last write (so that, for one, the volume it lies on cannot be unmounted
/// meanwhile). Only ever a regular file: never reached through a symbolic link
/// as its last step, never a device or a FIFO, never waited on.
class TKeptFile {
 public:
  TKeptFile() = default;
  ~TKeptFile();
  TKeptFile(const TKeptFile&) = delete;
  TKeptFile& operator=(const TKeptFile&) = delete;

  /// Creates the file `path` (UTF-8); with `replace`, an existing regular file
  /// there with no other name (hard link) is taken instead, its bytes kept
  /// until Replace. False with *error
  /// set to the reason otherwise; Existed() tells whether a regular file was
  /// there already.
  bool Open(const std::string& path, bool replace, std::string* error);
  /// The whole content becomes `text`, and is on the disk when this returns.
  bool Replace(const std::string& text, std::string* error);
  /// Removes a file that Open created and nothing was written to, when its
  /// name still leads to it; closes it in any case.
  void Discard();
  void Close();
  bool IsOpen() const { return handle_ != -1; }
  bool Existed() const { return existed_; }

 private:
  intptr_t handle_ = -1;  // the system's descriptor or handle
  intptr_t folder_ = -1;  // POSIX: the folder it was created in, for Discard
  std::string path_, name_;
  bool created_ = false, written_ = false, existed_ = false;
};

/// Reads a regular file (UTF-8 path) of at most `limit` bytes, without
/// following a symbolic link and without waiting: a FIFO, a device, a link or
/// a larger file gives false, an empty *content and the reason in *error.
bool ReadSmallFile(const std::string& path, size_t limit, std::string* content, std::string* error);

/// As ReadSmallFile, for a private key: on POSIX also refused, with the way
/// to fix it in *error, when anyone but its owner may read or write it (any
/// group or other permission). Windows has no such bits to look at.
bool ReadPrivateFile(const std::string& path, size_t limit, std::string* content,
                     std::string* error);

/// Starts `command` (a program found in PATH, and its arguments) detached,
/// with nothing but the rights of the user a StartedOnBehalfOfUser start was
/// made for: a web browser or a disk tool must never run with the
/// administrator's rights that user was given. False when there is no such
/// user or the program could not be started.
bool StartAsInvokingUser(const std::vector<std::string>& command);

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

/// A program this one started, its standard output and standard error on one
/// pipe this one reads, its standard input the null device. It runs in this
/// program's process group (POSIX): an interrupt typed at the terminal
/// reaches it too; it starts with interrupts held until it catches them
/// (CatchStopSignals), so that one sent while it starts is kept for it. On
/// Windows it gets a console process group of its own, and Interrupt sends it
/// Ctrl+Break.
class TChildProcess {
 public:
  TChildProcess() = default;
  ~TChildProcess();  // waits for a started child that was not waited for
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  /// Starts `program` (a path) with `args`. False with *error set otherwise.
  bool Start(const std::string& program, const std::vector<std::string>& args, std::string* error);
  /// What the child wrote and this one has not read yet, without waiting:
  /// the count of bytes (0 when nothing is there now), or -1 once the pipe
  /// has ended (the child and any program it started are gone) or failed.
  int64_t ReadAvailable(char* buffer, size_t size);
  /// Asks the child to stop as an interrupt from the terminal would.
  void Interrupt();
  /// Waits for the child's end: its exit status, 128 + the signal that ended
  /// it, or -1 when there is no child or its end cannot be learnt.
  int Wait();

 private:
  intptr_t process_ = -1;  // the process id or handle
  intptr_t pipe_ = -1;     // this end of the pipe
  intptr_t id_ = -1;       // Windows: the process id, its group's id too
};

/// Asks the system to back a block not yet touched with large pages (Linux:
/// transparent huge pages). Only a hint: nothing happens where the system
/// has none or declines.
void OfferLargePages(void* block, size_t size);

/// A block of `size` bytes, aligned to a page, that reads as zeros and can
/// never be written: the source of a zero fill. It costs next to no memory
/// where the system backs it with its own zero page (Linux). nullptr when it
/// cannot be had. ReleaseZeroBlock takes the same size back.
void* AllocateZeroBlock(size_t size);
void ReleaseZeroBlock(void* block, size_t size);

/// Waits `milliseconds`.
void PauseMs(int milliseconds);

/// The file of the running program, for starting it again; empty when the
/// system does not tell.
std::string OwnProgramFile();

/// A write to a pipe whose reader is gone fails instead of ending the program
/// (POSIX: SIGPIPE ignored), so that a run goes on to its record.
void IgnoreBrokenPipes();

/// Ends this process at once, as a crash does: nothing is flushed, no
/// destructor runs, and the parent learns of an abnormal end (a simulated
/// drive's crash_at fault).
[[noreturn]] void EndProcessAsCrash();

/// Whether standard input, output and error are terminals (a console).
bool StdInIsTerminal();
bool StdOutIsTerminal();
bool StdErrIsTerminal();

}  // namespace quarnel
