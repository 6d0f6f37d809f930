#include "erase/Verification.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <system_error>
#include <vector>

#include "base/AlignedBlock.h"
#include "base/Logging.h"
#include "base/NumberTexts.h"
#include "base/Text.h"
#include "base/Threads.h"
#include "erase/DriveRun.h"
#include "erase/EraseRecord.h"
#include "erase/FormatEngine.h"
#include "host/HostConstants.h"
#include "ui/UiSeam.h"

namespace quarnel {

namespace {

// Code of a read that ended early without an error of its own.
constexpr uint32_t kErrorHandleEof = 38;

// The read-back reads blocks of at most this size. A block the drive has
// just delivered is still in the processor's cache when it is scanned; a
// 32 MiB block is not, and its scan read it a second time from memory,
// which on a fast device costs a third of the read's own speed.
constexpr int64_t kReadBackBlockSize = 4194304;

// A block that took less than this doubles the next one's size, up to
// kReadBackBlockSize: a fast drive is read in large blocks from its first
// MiB, a slow one keeps answering the stop button between small ones.
constexpr int64_t kReadBackGrowBelowMs = 50;

// Reading threads at most, where the host takes reads at once.
constexpr int kMaxLanes = 2;

// The scan ORs a chunk's words together and tests the result once per
// chunk, which keeps it at the speed of the loads; a non-zero chunk is then
// searched byte by byte.
constexpr size_t kScanChunk = 256;

#if defined(__GNUC__) && (defined(__SSE2__) || defined(__ARM_NEON))
// Lanes of 16 bytes in the target's vector registers, copied in with memcpy
// so that any alignment does.
using TScanLane = uint64_t __attribute__((vector_size(16)));

inline bool ChunkHasNonZero(const uint8_t* p) {
  TScanLane a = {0, 0}, b = {0, 0};
  for (size_t j = 0; j < kScanChunk; j += 2 * sizeof(TScanLane)) {
    TScanLane x, y;
    std::memcpy(&x, p + j, sizeof x);
    std::memcpy(&y, p + j + sizeof x, sizeof y);
    a |= x;
    b |= y;
  }
  a |= b;
  return (a[0] | a[1]) != 0;
}
#else
// Without vector registers (the 32-bit Windows build) a word at a time.
inline bool ChunkHasNonZero(const uint8_t* p) {
  uint64_t a = 0;
  for (size_t j = 0; j < kScanChunk; j += sizeof a) {
    uint64_t x;
    std::memcpy(&x, p + j, sizeof x);
    a |= x;
  }
  return a != 0;
}
#endif

// One block of the read-back and what became of it.
struct TBlock {
  enum TState { Waiting, Reading, Done };
  int64_t Offset = 0;
  int64_t Size = 0;
  TState State = Waiting;
  bool ReadFailed = false;
  uint32_t Read = 0;
  uint32_t Code = 0;  // the failed read's code
  size_t At = 0;      // the first non-zero byte's index; Size when all are zero
};

// A lane's whole work on a block: read it into `buffer`, then scan it.
void ReadAndScan(Host& host, THandle handle, uint8_t* buffer, TBlock& b) {
  uint32_t read = 0, code = 0;
  const bool ok =
      host.ReadAt(handle, buffer, static_cast<uint32_t>(b.Size), b.Offset, &read, &code);
  b.Read = read;
  if (!ok || read != b.Size) {
    b.ReadFailed = true;
    b.Code = ok ? kErrorHandleEof : code;
  } else {
    b.At = FirstNonZero(buffer, static_cast<size_t>(b.Size));
  }
  b.State = TBlock::Done;
}

// The read-back's reading and scanning. Where the host takes concurrent
// reads, each lane is a thread with a buffer of its own that takes the
// oldest block waiting, reads it and scans it: while one lane scans, the
// other's read keeps the drive busy, and no lane waits for the calling
// thread between blocks. Blocks are handed back in the order they were
// issued; every log line, record entry and control stays on the calling
// thread. Without lane threads (a host that takes one read at a time, or no
// thread to be had) each block is read and scanned when issued.
class TReadLanes {
 public:
  TReadLanes(Host& host, THandle handle, int lanes) : host_(host), handle_(handle) {
    lanes = std::clamp(lanes, 1, kMaxLanes);
    for (int i = 0; i < lanes; ++i) {
      buffers_[i].reset(AllocateLargeBlock(kReadBackBlockSize));
      if (!buffers_[i]) return;
    }
    ready_ = true;
    if (lanes < 2) return;
    for (int i = 0; i < lanes; ++i) {
      uint8_t* buffer = static_cast<uint8_t*>(buffers_[i].get());
      std::unique_ptr<TThread> thread = TThread::Start([this, buffer] { Work(buffer); });
      if (!thread) {
        Quit();  // no thread to be had: read in line
        return;
      }
      threads_.push_back(std::move(thread));
    }
  }
  TReadLanes(const TReadLanes&) = delete;
  TReadLanes& operator=(const TReadLanes&) = delete;
  ~TReadLanes() {
    Drop();
    Quit();
  }

  bool Ready() const { return ready_; }
  /// How many blocks may be issued and not yet taken back.
  size_t Depth() const { return Threaded() ? 2 * LaneCount() : 1; }
  size_t Outstanding() const { return blocks_.size(); }

  void Issue(int64_t offset, int64_t size) {
    TBlock block;
    block.Offset = offset;
    block.Size = size;
    if (Threaded()) {
      {
        TLock lock(mutex_);
        blocks_.push_back(block);
      }
      work_.NotifyOne();
      return;
    }
    ReadAndScan(host_, handle_, static_cast<uint8_t*>(buffers_[0].get()), block);
    blocks_.push_back(block);
  }

  /// The oldest block issued, once it has been read and scanned.
  TBlock TakeOldest() {
    TLock lock(mutex_);
    done_.Wait(lock, [this] { return blocks_.front().State == TBlock::Done; });
    TBlock block = blocks_.front();
    blocks_.pop_front();
    return block;
  }

  /// Forgets the blocks no lane has taken and waits for those being read.
  void Drop() {
    TLock lock(mutex_);
    while (!blocks_.empty() && blocks_.back().State == TBlock::Waiting) blocks_.pop_back();
    done_.Wait(lock, [this] {
      return std::none_of(blocks_.begin(), blocks_.end(),
                          [](const TBlock& b) { return b.State == TBlock::Reading; });
    });
    blocks_.clear();
  }

 private:
  bool Threaded() const { return !threads_.empty(); }
  size_t LaneCount() const { return threads_.size(); }
  void Work(uint8_t* buffer) {
    TLock lock(mutex_);
    for (;;) {
      TBlock* block = nullptr;
      work_.Wait(lock, [&] {
        for (TBlock& b : blocks_) {
          if (b.State == TBlock::Waiting) {
            block = &b;
            return true;
          }
        }
        return quit_;
      });
      if (!block) return;
      // The block stays where it is while it is read: the calling thread
      // adds at the deque's back and takes from its front only blocks Done.
      block->State = TBlock::Reading;
      TBlock result = *block;
      lock.Unlock();
      ReadAndScan(host_, handle_, buffer, result);
      lock.Relock();
      *block = result;
      done_.NotifyAll();
    }
  }
  void Quit() {
    {
      TLock lock(mutex_);
      quit_ = true;
    }
    work_.NotifyAll();
    for (auto& thread : threads_) thread->Join();
    threads_.clear();
  }
  std::vector<std::unique_ptr<TThread>> threads_;
  TMutex mutex_;
  TCondition work_, done_;
  bool quit_ = false;
  Host& host_;
  THandle handle_;
  bool ready_ = false;
  std::unique_ptr<void, TLargeBlockDeleter> buffers_[kMaxLanes];
  std::deque<TBlock> blocks_;
};

struct TReadBack {
  explicit TReadBack(TDriveRun& run) : Run(run) {}
  TDriveRun& Run;
  int64_t Total = 0;     // bytes of all ranges
  int64_t Passed = 0;    // bytes of the blocks handed back so far
  int64_t Position = 0;  // drive offset after the last block handed back
  int64_t BlockSize = kFirstBlockSize;
  int64_t StartStamp = 0;
  int64_t BadBlocks = 0;
  bool Aborted = false;
  int64_t SectorSize = 0;
};

void BadBlock(TReadBack& rb, int64_t offset, int64_t size, uint32_t code, int64_t firstNonZero) {
  ++rb.BadBlocks;
  if (TEraseRecord* r = rb.Run.ActiveEraseRecord()) {
    r->BadBlocks.push_back(
        {offset, size, code, code ? rb.Run.GetHost().ErrorText(code) : "", firstNonZero});
  }
}

// Logs and records a block handed back, in the order of the blocks. Returns
// false when the drive has gone.
bool ReportBlock(TReadBack& rb, const TBlock& b) {
  if (TEraseRecord* r = rb.Run.ActiveEraseRecord()) r->BytesRead += b.Read;
  if (b.ReadFailed) {
    Host& host = rb.Run.GetHost();
    AddLog("校验失败：偏移 " + IntToStrGrouped(b.Offset) + " 处读取错误: " + DecTextU(b.Code) +
           " - " + host.ErrorText(b.Code));
    BadBlock(rb, b.Offset, b.Size, b.Code, -1);
    if (b.Code == win::kERROR_FILE_NOT_FOUND || b.Code == win::kERROR_DEV_NOT_EXIST) {
      AddLog("设备已拔下，中止...");
      rb.Aborted = true;
      rb.Position = b.Offset;
      return false;
    }
  } else if (b.At != static_cast<size_t>(b.Size)) {
    const int64_t offset = b.Offset + static_cast<int64_t>(b.At);
    AddLog("校验失败：偏移 " + IntToStrGrouped(offset) + " 处的数据不为零");
    BadBlock(rb, b.Offset, b.Size, 0, offset);
  }
  rb.Position = b.Offset + b.Size;
  rb.Passed += b.Size;
  return true;
}

// Issues the ranges' blocks to the lanes and takes them back in order. While
// the block size still grows, one block at a time, timed from its issue; a
// stop is seen before each block is issued.
void ReadBackRanges(TReadBack& rb, TReadLanes& lanes, const std::vector<TByteRange>& ranges) {
  size_t range = 0;
  int64_t next = ranges.empty() ? 0 : ranges[0].Offset;
  int64_t issued = 0;  // bytes issued
  int64_t issuedAt = 0;
  bool stopped = false;
  for (;;) {
    for (;;) {
      while (range < ranges.size() && next >= ranges[range].Offset + ranges[range].Length) {
        if (++range < ranges.size()) next = ranges[range].Offset;
      }
      const size_t depth = rb.BlockSize < kReadBackBlockSize ? 1 : lanes.Depth();
      if (stopped || range == ranges.size() || lanes.Outstanding() >= depth) break;
      if (rb.Run.StopRequested()) {
        stopped = true;
        break;
      }
      const int64_t size =
          std::min(rb.BlockSize, ranges[range].Offset + ranges[range].Length - next);
      ShowRunProgress(rb.Run.Ui(), issued + size, rb.Total, next + size, rb.SectorSize);
      rb.Run.Ui().ProcessMessages();
      issuedAt = rb.Run.FormatClockNow();
      lanes.Issue(next, size);
      next += size;
      issued += size;
    }
    if (lanes.Outstanding() == 0) return;
    const TBlock block = lanes.TakeOldest();
    const int64_t now = rb.Run.FormatClockNow();
    if (rb.BlockSize < kReadBackBlockSize && now - issuedAt < kReadBackGrowBelowMs) {
      rb.BlockSize = std::min(rb.BlockSize * 2, kReadBackBlockSize);
    }
    if (!ReportBlock(rb, block)) {
      lanes.Drop();
      return;
    }
    ShowRunSpeed(rb.Run.Ui(), rb.Passed, now - rb.StartStamp);
  }
}

bool LogReadBackOutcome(TReadBack& rb) {
  const auto at = [&] {
    const int64_t lba =
        rb.SectorSize > 0
            ? RoundEven(static_cast<double>(rb.Position) / static_cast<double>(rb.SectorSize))
            : 0;
    return IntToStrGrouped(rb.Position) + "    LBA " + IntToStrGrouped(lba);
  };
  if (rb.Aborted) {
    AddLog("操作以偏移方式终止 " + at());
    rb.Run.NoteOutcome(TEraseOutcome::Aborted);
    return false;
  }
  if (rb.Run.StopRequested()) {
    AddLog("在偏移时取消操作" + at());
    rb.Run.ClearStopRequest();
    rb.Run.NoteOutcome(TEraseOutcome::Cancelled);
    return false;
  }
  if (rb.BadBlocks > 0) {
    AddLog("校验结束，但有 " + IntToStrGrouped(rb.BadBlocks) + " 个块未通过校验。");
    rb.Run.NoteOutcome(TEraseOutcome::Failed);
    return false;
  }
  rb.Run.Ui().SetProgressPosition(100);
  AddLog("校验完成：所有已写入的扇区均为零。");
  return true;
}

}  // namespace

size_t FirstNonZero(const void* bytes, size_t size) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  size_t i = 0;
  for (; i + kScanChunk <= size; i += kScanChunk) {
    if (ChunkHasNonZero(p + i)) break;
  }
  for (; i < size; ++i) {
    if (p[i] != 0) return i;
  }
  return size;
}

bool VerifyErasedDrive(TDriveRun& run, bool quickWipe) {
  AddLog("校验中... ");
  const TIdentifyDeviceData& drive = run.Drive().IdentifyData;
  int64_t driveBytes = 0;
  if (drive.LBA > 0 && drive.SectorSize > 0 && drive.LBA <= INT64_MAX / drive.SectorSize) {
    driveBytes = drive.LBA * drive.SectorSize;
  }
  const std::vector<TByteRange> ranges = ErasedRanges(quickWipe, driveBytes);
  if (TEraseRecord* r = run.ActiveEraseRecord()) r->VerifyRan = true;

  TReadLanes lanes(run.GetHost(), run.DeviceHandle(), run.GetHost().ConcurrentReads());
  if (!lanes.Ready()) {
    AddLog("无法分配内存缓冲区。");
    run.NoteOutcome(TEraseOutcome::Failed);
    return false;
  }
  TReadBack rb(run);
  rb.SectorSize = drive.SectorSize;
  for (const TByteRange& r : ranges) rb.Total += r.Length;
  run.Ui().ProcessMessages();
  rb.StartStamp = run.FormatClockNow();
  ReadBackRanges(rb, lanes, ranges);
  AddDebugLog("Read-back: " + DecText(rb.Passed) + " bytes in " +
              DecText(run.FormatClockNow() - rb.StartStamp) + " ms");
  return LogReadBackOutcome(rb);
}

}  // namespace quarnel
