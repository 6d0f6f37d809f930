#include "format/Verification.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <system_error>
#include <vector>

// mingw-w64's win32 thread model, which the Windows build uses to run on XP,
// has no std::thread: there the check runs in line.
#if defined(__GLIBCXX__) && !defined(_GLIBCXX_HAS_GTHREADS)
#define QUARNEL_CHECK_ALONGSIDE 0
#else
#define QUARNEL_CHECK_ALONGSIDE 1
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

#include "base/AlignedBlock.h"
#include "base/Logging.h"
#include "base/NumberTexts.h"
#include "base/Text.h"
#include "devices/DeviceTable.h"
#include "format/EraseRecord.h"
#include "format/FormatEngine.h"
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

// Scans a block for non-zero bytes on a thread of its own while the next
// block is read. The scan only reads its own buffer; every host request,
// log line and control stays on the calling thread.
class TZeroCheck {
 public:
  static constexpr int64_t kAlongsideFrom = 262144;

  TZeroCheck() = default;
  TZeroCheck(const TZeroCheck&) = delete;
  TZeroCheck& operator=(const TZeroCheck&) = delete;
  ~TZeroCheck() {
    Settle();
#if QUARNEL_CHECK_ALONGSIDE
    if (worker_.joinable()) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
      }
      wake_.notify_all();
      worker_.join();
    }
#endif
  }
  void Start(const uint8_t* block, int64_t offset, int64_t size) {
    Settle();
    offset_ = offset;
    size_ = size;
    pending_ = true;
#if QUARNEL_CHECK_ALONGSIDE
    // A small block is scanned sooner than it is handed over.
    if (size >= kAlongsideFrom && StartWorker()) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        block_ = block;
        busy_ = true;
      }
      wake_.notify_all();
      return;
    }
#endif
    at_ = FirstNonZero(block, static_cast<size_t>(size));
  }
  /// Waits for the pending scan. True when it found a non-zero byte.
  bool Settle() {
    if (!pending_) return false;
    pending_ = false;
#if QUARNEL_CHECK_ALONGSIDE
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return !busy_; });
#endif
    return at_ != static_cast<size_t>(size_);
  }
  int64_t Offset() const { return offset_; }
  int64_t Size() const { return size_; }
  int64_t FirstNonZeroOffset() const { return offset_ + static_cast<int64_t>(at_); }

 private:
#if QUARNEL_CHECK_ALONGSIDE
  // One thread for the whole read-back, started with its first large block.
  bool StartWorker() {
    if (worker_.joinable()) return true;
    if (noWorker_) return false;
    try {
      worker_ = std::thread([this] { Work(); });
      return true;
    } catch (const std::system_error&) {
      noWorker_ = true;  // no thread to be had: scan in line
      return false;
    }
  }
  void Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return busy_ || quit_; });
      if (quit_) return;
      const uint8_t* block = block_;
      const size_t size = static_cast<size_t>(size_);
      lock.unlock();
      const size_t at = FirstNonZero(block, size);
      lock.lock();
      at_ = at;
      busy_ = false;
      done_.notify_all();
    }
  }
  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  const uint8_t* block_ = nullptr;
  bool busy_ = false;
  bool quit_ = false;
  bool noWorker_ = false;
#endif
  bool pending_ = false;
  size_t at_ = 0;
  int64_t offset_ = 0;
  int64_t size_ = 0;
};

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

struct TReadBack {
  int64_t Total = 0;     // bytes of all ranges
  int64_t Passed = 0;    // bytes of the ranges handled so far
  int64_t Position = 0;  // drive offset of the block in hand
  int64_t BlockSize = kFirstBlockSize;
  int64_t BlockCount = 0;
  int64_t StartStamp = 0;
  int64_t BadBlocks = 0;
  bool Aborted = false;
  int64_t SectorSize = 0;
  uint8_t* Buffers[2] = {nullptr, nullptr};  // one is read into while the other is scanned
  TZeroCheck Check;
};

void BadBlock(TReadBack& rb, int64_t offset, int64_t size, uint32_t code, int64_t firstNonZero) {
  ++rb.BadBlocks;
  if (TEraseRecord* r = ActiveEraseRecord()) {
    r->BadBlocks.push_back(
        {offset, size, code, code ? GetHost().ErrorText(code) : "", firstNonZero});
  }
}

// The outcome of the block scanned last, logged in the order of the blocks.
void SettleCheck(TReadBack& rb) {
  if (!rb.Check.Settle()) return;
  const int64_t offset = rb.Check.FirstNonZeroOffset();
  AddLog("校验失败：偏移 " + IntToStrGrouped(offset) + " 处的数据不为零");
  BadBlock(rb, rb.Check.Offset(), rb.Check.Size(), 0, offset);
}

// One block at rb.Position: seek, read, and start its scan. Returns false
// when the drive has gone.
bool ReadBackBlock(TReadBack& rb, int64_t size) {
  Host& host = GetHost();
  uint8_t* buffer = rb.Buffers[rb.BlockCount % 2];
  uint32_t read = 0;
  const bool ok = SeekDevice(DeviceHandle, rb.Position) == rb.Position &&
                  host.ReadFile(DeviceHandle, buffer, static_cast<uint32_t>(size), &read);
  if (TEraseRecord* r = ActiveEraseRecord()) r->BytesRead += read;
  SettleCheck(rb);
  if (!ok || read != size) {
    uint32_t code = host.GetLastError();
    if (ok && code == 0) code = kErrorHandleEof;
    AddLog("校验失败：偏移 " + IntToStrGrouped(rb.Position) + " 处读取错误: " + DecTextU(code) +
           " - " + host.ErrorText(code));
    BadBlock(rb, rb.Position, size, code, -1);
    if (code == win::kERROR_FILE_NOT_FOUND || code == win::kERROR_DEV_NOT_EXIST) {
      AddLog("设备已拔下，中止...");
      rb.Aborted = true;
      return false;
    }
    return true;
  }
  rb.Check.Start(buffer, rb.Position, size);
  return true;
}

// Reads one range block by block; false when the run must end (drive gone).
bool ReadBackRange(TReadBack& rb, const TByteRange& range) {
  rb.Position = range.Offset;
  const int64_t end = range.Offset + range.Length;
  while (rb.Position < end && !StopRequested) {
    ++rb.BlockCount;
    const int64_t size = std::min(rb.BlockSize, end - rb.Position);
    ShowRunProgress(rb.Passed + size, rb.Total, rb.Position + size, rb.SectorSize);
    Ui().ProcessMessages();
    const int64_t before = FormatClockNow();
    if (!ReadBackBlock(rb, size)) return false;
    const int64_t after = FormatClockNow();
    if (after - before < kReadBackGrowBelowMs) {
      rb.BlockSize = std::min(rb.BlockSize * 2, kReadBackBlockSize);
    }
    rb.Position += size;
    rb.Passed += size;
    ShowRunSpeed(rb.Passed, after - rb.StartStamp);
  }
  return true;
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
    NoteOutcome(TEraseOutcome::Aborted);
    return false;
  }
  if (StopRequested) {
    AddLog("在偏移时取消操作" + at());
    StopRequested = false;
    NoteOutcome(TEraseOutcome::Cancelled);
    return false;
  }
  if (rb.BadBlocks > 0) {
    AddLog("校验结束，但有 " + IntToStrGrouped(rb.BadBlocks) + " 个块未通过校验。");
    NoteOutcome(TEraseOutcome::Failed);
    return false;
  }
  Ui().SetProgressPosition(100);
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

bool VerifyErasedDrive(bool quickWipe) {
  AddLog("校验中... ");
  const TIdentifyDeviceData& drive = DeviceTable[SelectedDevice].IdentifyData;
  int64_t driveBytes = 0;
  if (drive.LBA > 0 && drive.SectorSize > 0 && drive.LBA <= INT64_MAX / drive.SectorSize) {
    driveBytes = drive.LBA * drive.SectorSize;
  }
  const std::vector<TByteRange> ranges = ErasedRanges(quickWipe, driveBytes);
  if (TEraseRecord* r = ActiveEraseRecord()) r->VerifyRan = true;

  // Declared before the run state, whose pending scan reads them.
  std::unique_ptr<void, TLargeBlockDeleter> buffers[2] = {
      std::unique_ptr<void, TLargeBlockDeleter>(AllocateLargeBlock(kReadBackBlockSize)),
      std::unique_ptr<void, TLargeBlockDeleter>(AllocateLargeBlock(kReadBackBlockSize))};
  if (!buffers[0] || !buffers[1]) {
    AddLog("无法分配内存缓冲区。");
    NoteOutcome(TEraseOutcome::Failed);
    return false;
  }
  TReadBack rb;
  rb.SectorSize = drive.SectorSize;
  for (const TByteRange& r : ranges) rb.Total += r.Length;
  for (int i = 0; i < 2; ++i) rb.Buffers[i] = static_cast<uint8_t*>(buffers[i].get());
  Ui().ProcessMessages();
  rb.StartStamp = FormatClockNow();
  for (const TByteRange& range : ranges) {
    if (StopRequested || !ReadBackRange(rb, range)) break;
  }
  SettleCheck(rb);
  AddDebugLog("Read-back: " + DecText(rb.Passed) + " bytes in " +
              DecText(FormatClockNow() - rb.StartStamp) + " ms");
  return LogReadBackOutcome(rb);
}

}  // namespace quarnel
