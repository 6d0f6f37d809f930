#include "erase/FormatEngine.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "base/System.h"
#include "base/Logging.h"
#include "base/NumberTexts.h"
#include "base/Text.h"
#include "erase/DriveRun.h"
#include "erase/EraseRecord.h"
#include "host/HostConstants.h"
#include "ui/UiSeam.h"

namespace quarnel {

int64_t RoundEven(double value) { return static_cast<int64_t>(std::nearbyint(value)); }

void GrowBlockSize(const TDriveRun& run, int64_t blockCount, int64_t& lastStamp,
                   int64_t& blockSize) {
  if (blockCount % 10 != 0) return;
  const int64_t previous = lastStamp;
  lastStamp = run.FormatClockNow();
  if (previous != 0 && lastStamp - previous < 1000) {
    blockSize = std::min(blockSize * 2, kZeroBufferSize);
  }
}

void ShowRunProgress(TUiSeam& ui, int64_t done, int64_t total, int64_t reached,
                     int64_t sectorSize) {
  const int64_t percent = RoundEven(static_cast<double>(done) / static_cast<double>(total) * 100.0);
  ui.SetProgressPosition(static_cast<int>(percent));
  ui.SetCaption(TFormatLabel::lbCurrentPercent, DecText(percent) + "% 完成");
  const int64_t sector = RoundEven(static_cast<double>(reached) / static_cast<double>(sectorSize));
  ui.SetCaption(TFormatLabel::lbCurrentPosition, "当前扇区: " + IntToStrGrouped(sector));
  ui.ShowRunAmounts(done, total);
}

void ShowRunSpeed(TUiSeam& ui, int64_t bytes, int64_t elapsed) {
  if (elapsed <= 0) return;
  // "0.0": at least one integer digit, exactly one decimal, the locale's
  // decimal separator.
  const double speed = static_cast<double>(bytes) / static_cast<double>(elapsed) / 1000.0;
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, speed, std::chars_format::fixed, 1);
  ui.SetCaption(TFormatLabel::lbSpeed, WithLocaleDecimalPoint(std::string(buf, res.ptr)) + " MB/s");
}

namespace {

const char* WriteErrorText(uint32_t code) {
  switch (code) {
    case win::kERROR_FILE_NOT_FOUND:
    case win::kERROR_DEV_NOT_EXIST:
      return "媒体被拔掉";
    case win::kERROR_WRITE_PROTECT:
      return "媒体是写保护";
    case win::kERROR_NOT_READY:
    case win::kERROR_SEM_TIMEOUT:
      return "设备未就绪（超时）";
    case win::kERROR_IO_DEVICE:
      return "设备 I/O 错误";
    default:
      return nullptr;
  }
}

struct TRun {
  explicit TRun(TDriveRun& drive) : Drive(drive) {}
  TDriveRun& Drive;
  int64_t Now() const { return Drive.FormatClockNow(); }
  int64_t Position = 0;
  int64_t TotalBytes = 0;
  int64_t BlockSize = kFirstBlockSize;
  int64_t BlockCount = 0;
  int64_t StartStamp = 0;
  int64_t LastStamp = 0;
  bool Aborted = false;
  int64_t FailedBlocks = 0;  // passed over by a seek or write failure
  int64_t FailedBytes = 0;
  bool Wrote = false;
  int64_t SampledAt = 0;  // milliseconds into the run of the last speed sample
};

// The record's speed samples: one at the first write, then one per second or
// per percent of the run, whichever comes less often, and one at the end.
// Taken from the wall clock, which may step back: a sample never does.
void SampleSpeed(TRun& run, bool end) {
  TEraseRecord* record = run.Drive.ActiveEraseRecord();
  if (!record) return;
  std::vector<TSpeedSample>& samples = record->SpeedSamples;
  const int64_t at = samples.empty() ? 0 : std::max(run.Now() - run.StartStamp, run.SampledAt);
  const int64_t bytes = record->BytesWritten;
  if (!samples.empty()) {
    const int64_t lastBytes = samples.back().Bytes;
    const bool due = at - run.SampledAt >= 1000 && (bytes - lastBytes) * 100 >= run.TotalBytes;
    if (!(due || (end && (bytes != lastBytes || at != run.SampledAt)))) return;
  }
  run.SampledAt = at;
  samples.push_back({static_cast<double>(at) / 1000.0, bytes});
}

// The block in hand is passed over unwritten.
void PassOver(TRun& run) {
  ++run.FailedBlocks;
  run.FailedBytes += run.BlockSize;
  run.Position += run.BlockSize;
}

// One block at run.Position: seek, write, classify a failure. Returns false
// when the drive has gone and the run must end at once.
bool WriteBlock(TRun& run, const void* zeros) {
  Host& host = run.Drive.GetHost();
  const THandle handle = run.Drive.DeviceHandle();
  if (SeekDevice(host, handle, run.Position) != run.Position) {
    AddLog("在偏移发生寻找错误 " + IntToStrGrouped(run.Position));
    run.Drive.NoteFailedBlock(run.Position, run.BlockSize, host.GetLastError());
    PassOver(run);
    return true;
  }
  uint32_t written = 0;
  const auto size = static_cast<uint32_t>(run.BlockSize);
  const bool ok = host.WriteFile(handle, zeros, size, &written);
  if (written > 0) run.Wrote = true;
  run.Drive.NoteBytesWritten(written);
  if (ok && written == size) {
    run.Position += run.BlockSize;
    return true;
  }
  const uint32_t code = host.GetLastError();
  std::string line =
      "在偏移发生格式错误 " + IntToStrGrouped(run.Position) + ":   " + DecTextU(code);
  if (const char* text = WriteErrorText(code)) line += std::string(" - ") + text;
  AddLog(line);
  run.Drive.NoteFailedBlock(run.Position, run.BlockSize, code);
  if (code == win::kERROR_FILE_NOT_FOUND || code == win::kERROR_DEV_NOT_EXIST) {
    AddLog("设备已拔下，中止...");
    run.Aborted = true;
    return false;
  }
  PassOver(run);
  return true;
}

// The outcome line; true for a complete run with every block on the drive.
// `flushed` is false when the drive could not confirm what was written.
bool LogOutcome(TRun& run, int64_t sectorSize, bool flushed) {
  TDriveRun& drive = run.Drive;
  const auto lba = [&] {
    return IntToStrGrouped(
        RoundEven(static_cast<double>(run.Position) / static_cast<double>(sectorSize)));
  };
  if (run.Aborted) {
    AddLog("操作以偏移方式终止 " + IntToStrGrouped(run.Position) + "    LBA " + lba());
    drive.NoteOutcome(TEraseOutcome::Aborted);
    return false;
  }
  if (drive.StopRequested()) {
    AddLog("在偏移时取消操作" + IntToStrGrouped(run.Position) + "    LBA " + lba());
    drive.ClearStopRequest();
    drive.NoteOutcome(TEraseOutcome::Cancelled);
    return false;
  }
  if (!flushed) return false;  // its own line says why; no completion line
  drive.Ui().SetProgressPosition(100);
  if (run.FailedBlocks > 0) {
    AddLog("低级格式化结束，但有 " + IntToStrGrouped(run.FailedBlocks) + " 个块写入失败，" +
           IntToStrGrouped(run.FailedBytes) + " 字节未被擦除。");
    return false;
  }
  AddLog("低级格式完成。");
  drive.NoteOutcome(TEraseOutcome::Complete);
  return true;
}

// What was reported written must be on the drive before the outcome is told.
bool FlushDrive(TDriveRun& drive) {
  Host& host = drive.GetHost();
  if (host.FlushFileBuffers(drive.DeviceHandle())) {
    drive.NoteFlush(true, 0);
    return true;
  }
  const uint32_t code = host.GetLastError();
  drive.NoteFlush(false, code);
  AddLog("刷新设备缓存失败: " + DecTextU(code) + " - " + host.ErrorText(code));
  return false;
}

// The quick wipe's last block: the end of the drive, where a GPT keeps its
// backup table, through the same seek, write and error handling. A stop
// before it skips it; its failure counts like any block's.
void WriteQuickWipeTail(TRun& run, const void* zeros, int64_t driveBytes) {
  if (driveBytes <= kQuickWipeBytes + kQuickWipeTailBytes || run.Aborted) return;
  run.Drive.Ui().ProcessMessages();
  if (run.Drive.StopRequested()) return;
  TRun tail(run.Drive);
  tail.Position = driveBytes - kQuickWipeTailBytes;
  tail.BlockSize = kQuickWipeTailBytes;
  AddDebugLog("Quick wipe: clearing the last " + DecText(kQuickWipeTailBytes) +
              " bytes at offset " + DecText(tail.Position));
  WriteBlock(tail, zeros);
  run.Wrote = run.Wrote || tail.Wrote;
  run.FailedBlocks += tail.FailedBlocks;
  run.FailedBytes += tail.FailedBytes;
  if (tail.Aborted) {
    run.Aborted = true;
    run.Position = tail.Position;  // where the drive went
  }
}

}  // namespace

int64_t SeekDevice(Host& host, THandle handle, int64_t offset) {
  int64_t position = 0;
  if (!host.SetFilePointerEx(handle, offset, &position, win::kFILE_BEGIN)) return -1;
  return position;
}

bool RunLowLevelFormat(TDriveRun& driveRun, bool quickWipe) {
  const TIdentifyDeviceData& drive = driveRun.Drive().IdentifyData;
  TUiSeam& ui = driveRun.Ui();
  void* raw = driveRun.AllocateZeroBuffer(kZeroBufferSize);
  if (!raw) {
    AddLog("无法分配内存缓冲区。");
    return false;
  }
  const auto release = [](void* block) { ReleaseZeroBlock(block, kZeroBufferSize); };
  std::unique_ptr<void, decltype(release)> zeros(raw, release);
  ui.ProcessMessages();

  TRun run(driveRun);
  int64_t driveBytes = 0;
  if (drive.LBA > 0 && drive.SectorSize > 0) {
    if (drive.LBA > INT64_MAX / drive.SectorSize) {
      // No drive is that large: the record is corrupt, and no end of it can be trusted.
      AddLog("设备容量超出范围，未写入任何数据。");
      return false;
    }
    driveBytes = drive.LBA * drive.SectorSize;
  }
  run.TotalBytes = quickWipe ? std::min(driveBytes, kQuickWipeBytes) : driveBytes;
  run.StartStamp = run.Now();
  SampleSpeed(run, false);

  while (run.Position < run.TotalBytes && !driveRun.StopRequested()) {
    ++run.BlockCount;
    GrowBlockSize(driveRun, run.BlockCount, run.LastStamp, run.BlockSize);
    if (run.Position + run.BlockSize > run.TotalBytes)
      run.BlockSize = run.TotalBytes - run.Position;
    const int64_t reached = run.Position + run.BlockSize;
    ShowRunProgress(ui, reached, run.TotalBytes, reached, drive.SectorSize);
    ui.ProcessMessages();
    if (!WriteBlock(run, zeros.get())) break;
    ShowRunSpeed(ui, run.Position, run.Now() - run.StartStamp);
    SampleSpeed(run, false);
  }
  if (quickWipe && !driveRun.StopRequested()) WriteQuickWipeTail(run, zeros.get(), driveBytes);
  SampleSpeed(run, true);
  zeros.reset();

  AddLog("平均速度: " + ui.Caption(TFormatLabel::lbSpeed));
  const bool flushed = !run.Wrote || FlushDrive(driveRun);
  return LogOutcome(run, drive.SectorSize, flushed);
}

}  // namespace quarnel
