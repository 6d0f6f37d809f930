// The simulated drive's medium: what a write leaves on it and what a read
// finds there.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host/HostConstants.h"
#include "host/sim/SimHost.h"

namespace quarnel {

namespace {

// What a drive without an image holds where nothing was written: the old
// data, which is not zero.
constexpr uint8_t kOldData = 0xA5;

void AddWritten(std::vector<std::pair<int64_t, int64_t>>& ranges, int64_t begin, int64_t end) {
  ranges.emplace_back(begin, end);
  std::sort(ranges.begin(), ranges.end());
  std::vector<std::pair<int64_t, int64_t>> merged;
  for (const auto& r : ranges) {
    if (!merged.empty() && r.first <= merged.back().second) {
      merged.back().second = std::max(merged.back().second, r.second);
    } else {
      merged.push_back(r);
    }
  }
  ranges = std::move(merged);
}

// [begin, end) without the ranges in `holes`.
std::vector<std::pair<int64_t, int64_t>> Without(
    int64_t begin, int64_t end, const std::vector<std::pair<int64_t, int64_t>>& holes) {
  std::vector<std::pair<int64_t, int64_t>> pieces{{begin, end}};
  for (const auto& [hb, he] : holes) {
    std::vector<std::pair<int64_t, int64_t>> next;
    for (const auto& [pb, pe] : pieces) {
      if (he <= pb || hb >= pe) {
        next.emplace_back(pb, pe);
        continue;
      }
      if (pb < hb) next.emplace_back(pb, hb);
      if (he < pe) next.emplace_back(he, pe);
    }
    pieces = std::move(next);
  }
  return pieces;
}

void Pace(const TSimDrive& d, uint32_t length) {
  if (d.WriteMBPerSecond > 0) {
    std::this_thread::sleep_for(std::chrono::duration<double>(length / (d.WriteMBPerSecond * 1e6)));
  }
}

}  // namespace

bool SimImageUsable(const std::string& path) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  return status.type() == std::filesystem::file_type::not_found ||
         (!ec && status.type() == std::filesystem::file_type::regular);
}

bool SimHost::Store(TSimDrive& d, int64_t begin, const void* buffer, uint32_t length) {
  if (length == 0) return true;
  const auto* bytes = static_cast<const char*>(buffer);
  // A FIFO or a device put in the image's place would block or be written.
  if (!d.ImagePath.empty() && !SimImageUsable(d.ImagePath)) return false;
  std::fstream image;
  if (!d.ImagePath.empty()) {
    image.open(d.ImagePath, std::ios::in | std::ios::out | std::ios::binary);
    if (!image) {
      image.open(d.ImagePath, std::ios::out | std::ios::binary);
      image.close();
      image.open(d.ImagePath, std::ios::in | std::ios::out | std::ios::binary);
    }
  }
  for (const auto& [pb, pe] : Without(begin, begin + length, d.SilentLoss)) {
    if (image.is_open()) {
      image.seekp(pb);
      image.write(bytes + (pb - begin), pe - pb);
    }
    AddWritten(d.Written, pb, pe);
  }
  return d.ImagePath.empty() || static_cast<bool>(image);
}

// The drive's bytes at `begin`: 0 with *read set, or the code of the
// refusal or fault. Neither the handle's position nor the last error moves,
// so a lane thread may call it beside the calling thread's requests.
uint32_t SimHost::ReadMedium(const TOpen& open, void* buffer, uint32_t size, int64_t begin,
                             uint32_t* read) {
  if (!(open.Access & win::kGENERIC_READ) || open.IsVolume) return win::kERROR_ACCESS_DENIED;
  const TSimDrive* d = Drive(open.Drive);
  if (!d || d->Vanished || Detached(*d)) return win::kERROR_DEV_NOT_EXIST;
  if (d->BytesPerSector != 0 && (begin % d->BytesPerSector != 0 || size % d->BytesPerSector != 0)) {
    return win::kERROR_INVALID_PARAMETER;
  }
  const auto length = static_cast<uint32_t>(std::clamp<int64_t>(d->Length - begin, 0, size));
  for (const TSimWriteFault& f : d->ReadErrors) {
    if (f.Offset >= begin && f.Offset < begin + length) return f.Code;
  }
  auto* out = static_cast<char*>(buffer);
  if (!d->ImagePath.empty() && !SimImageUsable(d->ImagePath)) return win::kERROR_IO_DEVICE;
  if (!d->ImagePath.empty()) {
    // Past the image file's end the drive reads as zeros, as a sparse file does.
    std::memset(out, 0, length);
    std::ifstream image(d->ImagePath, std::ios::binary);
    if (image) {
      image.seekg(begin);
      image.read(out, length);
    }
  } else {
    const TSimFirmware& f = d->Firmware;
    if (!f.Erased) {
      std::memset(out, kOldData, length);
    } else if (f.ErasedFill >= 0) {
      std::memset(out, f.ErasedFill, length);
    } else {
      // A crypto erase's noise, different in every byte's place.
      for (uint32_t i = 0; i < length; ++i) out[i] = static_cast<char>(SimEraseNoise(begin + i));
    }
    for (const auto& [wb, we] : d->Written) {
      const int64_t b = std::max(wb, begin), e = std::min<int64_t>(we, begin + length);
      if (b < e) std::memset(out + (b - begin), 0, e - b);
    }
  }
  Pace(*d, length);
  *read = length;
  return 0;
}

bool SimHost::ReadFile(THandle handle, void* buffer, uint32_t size, uint32_t* read) {
  *read = 0;
  TOpen* open = Find(handle);
  if (!open) return Fail(win::kERROR_INVALID_HANDLE);
  if (const uint32_t code = ReadMedium(*open, buffer, size, open->Position, read))
    return Fail(code);
  open->Position += *read;
  return Succeed();
}

// A read at an offset from a lane thread, one at a time as a drive takes them.
bool SimHost::ReadAt(THandle handle, void* buffer, uint32_t size, int64_t offset, uint32_t* read,
                     uint32_t* error) {
  TLock lock(readMutex_);
  *read = 0;
  const TOpen* open = Find(handle);
  *error = open ? ReadMedium(*open, buffer, size, offset, read) : win::kERROR_INVALID_HANDLE;
  return *error == 0;
}

}  // namespace quarnel
