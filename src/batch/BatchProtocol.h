// What a batch's supervisor and each of its members say to each other, in
// one place for both sides. The supervisor hands a member its order: one
// JSON object, passed as one argument. The member answers on its output with
// events, each one JSON object in a record of a JSON text sequence (RFC
// 7464: the record separator 1Eh, the text, a line feed). Anything else on
// that output (a library's line, the half line of a process that died while
// writing) is the member's own text: shown as it came, never taken for an
// event, and never mistaken for another member's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "batch/BatchReport.h"
#include "devices/DriveIdentity.h"
#include "erase/EraseRecord.h"
#include "record/RecordCrypto.h"

namespace quarnel {

/// The first byte of an event.
inline constexpr char kEventMark = '\x1e';

/// Everything one member's run is asked to do. Written once by the
/// supervisor, read once by the member; nothing else carries an option
/// from one to the other.
struct TRunOrder {
  int64_t Number = 0;       // the drive's place in the batch's list, 1 and on
  TDriveIdentity Identity;  // the drive as the question named it
  std::string Path;         // its node
  bool Simulate = false;    // the simulated machine, from SimulateFile ("" the demo)
  std::string SimulateFile;
  bool Debug = false;
  bool Quick = false;
  bool Verify = false;
  std::string Firmware;  // "" the zero fill, "auto" or a method: the drive's own erase
  std::string RecordDir;
  std::string SignKeyFile;
  TEraseContext Context;  // the asset tag already this drive's own
  double StopBelowMBps = 0;
  int StopAboveCelsius = 0;
  // The simulated machine's schedule counts from this (milliseconds since
  // 1970; 0: the member's own start), so that drives plugged in and pulled
  // out come and go at the same moment for the member as for its supervisor.
  int64_t SimulateStartMs = 0;
};

/// The order as its JSON text, and back. A text that is no order, or one
/// whose numbers are out of range, is refused with the reason.
std::string RunOrderJson(const TRunOrder& order);
bool ReadRunOrder(const std::string& text, TRunOrder* order, std::string* error);

/// The command line that starts a member on `order`: its host, then
/// "format --batch-member=ORDER".
std::vector<std::string> MemberArguments(const TRunOrder& order);

/// Where a member's run is: bytes done and in all of the pass in hand, its
/// milliseconds, and which pass (1 the run, 2 and on its read-back or sample
/// check).
struct TRunProgress {
  int64_t Done = 0;
  int64_t Total = 0;
  int64_t ElapsedMs = 0;
  int Pass = 0;
};

/// What a finished run says of itself: its record (sealed and signed as the
/// file is), the file it went to, its length in seconds and exit status.
struct TRunEnd {
  const TEraseRecord* Record = nullptr;  // nullptr: no run began
  bool Simulated = false;
  const TSigningKey* Key = nullptr;
  std::string RecordFile;
  double Seconds = 0;
  int ExitStatus = 0;
};

/// The member's events, each a whole record with its line feed.
std::string LogEvent(const std::string& line);
std::string ProgressEvent(const TRunProgress& progress);
std::string OutcomeEvent(const TRunEnd& end);

/// One thing a member said, as the supervisor reads it.
struct TMemberEvent {
  enum class TKind { Text, Progress, Outcome } Kind = TKind::Text;
  std::string Text;  // Text: a log line, or output that was no event
  bool Stray = false;  // Text that came outside the protocol
  TRunProgress Progress;
  // Outcome: the row's outcome, figures and record (the row's drive fields
  // are left as they are).
  TBatchRow Row;
};

/// The supervisor's reading of one member's output, fed as it comes in
/// pieces of any size. A line longer than kLongestEvent is cut there and
/// shown as stray text, so that nothing a member writes grows without end.
class TMemberStream {
 public:
  static constexpr size_t kLongestEvent = 16 * 1024 * 1024;

  void Feed(const char* data, size_t size);
  /// The output has ended: a last line without its line feed is stray text.
  void End();
  /// The next event, in the order said; false when none is waiting.
  bool Next(TMemberEvent* event);

 private:
  void Take(const std::string& line);

  std::string pending_;
  bool dropping_ = false;  // the rest of a line that was cut is not kept
  std::vector<TMemberEvent> events_;
  size_t next_ = 0;
};

/// Reads one line (without its line feed) as the stream does.
TMemberEvent ReadMemberLine(const std::string& line);

}  // namespace quarnel
