#include "erase/SampleCheck.h"

#include <algorithm>
#include <memory>

#include "base/AlignedBlock.h"
#include "erase/FormatEngine.h"

namespace quarnel {

namespace {

uint64_t Fnv1a(const uint8_t* data, size_t size) {
  uint64_t hash = 1469598103934665603ull;
  for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 1099511628211ull;
  return hash;
}

bool AllBytes(const uint8_t* data, size_t size, uint8_t value) {
  return std::all_of(data, data + size, [value](uint8_t b) { return b == value; });
}

bool IsBlank(const uint8_t* data, size_t size, TErasedPattern expected) {
  if (expected == TErasedPattern::Zeros) return AllBytes(data, size, 0x00);
  if (expected == TErasedPattern::Ones) return AllBytes(data, size, 0xFF);
  return AllBytes(data, size, 0x00) || AllBytes(data, size, 0xFF);
}

// Reads `count` sectors from `first` into consecutive entries of `out`; a
// failed read marks them unread.
void ReadRun(Host& host, THandle handle, int64_t first, int64_t count, int64_t sectorSize,
             TErasedPattern expected, uint8_t* buffer, std::vector<TSampledSector>& out) {
  const int64_t bytes = count * sectorSize;
  uint32_t read = 0;
  const bool ok = SeekDevice(host, handle, first * sectorSize) == first * sectorSize &&
                  host.ReadFile(handle, buffer, static_cast<uint32_t>(bytes), &read) &&
                  read == bytes;
  for (int64_t i = 0; i < count; ++i) {
    TSampledSector s;
    s.Sector = first + i;
    s.Read = ok;
    if (ok) {
      const uint8_t* p = buffer + i * sectorSize;
      s.Hash = Fnv1a(p, static_cast<size_t>(sectorSize));
      s.Blank = IsBlank(p, static_cast<size_t>(sectorSize), expected);
    }
    out.push_back(s);
  }
}

}  // namespace

std::vector<int64_t> SampleSectors(int64_t sectors, int64_t sectorSize) {
  std::vector<int64_t> list;
  if (sectors <= 0 || sectorSize <= 0) return list;
  const int64_t edge = std::min(sectors, std::max<int64_t>(1, kSampleEdgeBytes / sectorSize));
  for (int64_t s = 0; s < edge; ++s) list.push_back(s);
  for (int64_t s = std::max(edge, sectors - edge); s < sectors; ++s) list.push_back(s);
  for (int64_t i = 0; i < kSampleSpreadSectors; ++i) {
    list.push_back(
        static_cast<int64_t>(static_cast<double>(sectors) * (i + 0.5) / kSampleSpreadSectors));
  }
  std::sort(list.begin(), list.end());
  list.erase(std::unique(list.begin(), list.end()), list.end());
  return list;
}

std::vector<TSampledSector> ReadSample(Host& host, THandle handle,
                                       const std::vector<int64_t>& sectors, int64_t sectorSize,
                                       TErasedPattern expected) {
  std::vector<TSampledSector> out;
  if (sectorSize <= 0) return out;
  constexpr int64_t kRunBytes = 1048576;
  const int64_t runMax = std::max<int64_t>(1, kRunBytes / sectorSize);
  std::unique_ptr<void, TAlignedBlockDeleter> block(
      AllocateAlignedBlock(static_cast<size_t>(runMax * sectorSize)));
  if (!block) return out;
  auto* buffer = static_cast<uint8_t*>(block.get());
  // Consecutive sectors are read together, up to 1 MiB at a time.
  for (size_t i = 0; i < sectors.size();) {
    size_t j = i + 1;
    while (j < sectors.size() && sectors[j] == sectors[j - 1] + 1 &&
           static_cast<int64_t>(j - i) < runMax) {
      ++j;
    }
    ReadRun(host, handle, sectors[i], static_cast<int64_t>(j - i), sectorSize, expected, buffer, out);
    i = j;
  }
  return out;
}

TSampleCheck CompareSamples(const std::vector<TSampledSector>& before,
                            const std::vector<TSampledSector>& after, TErasedPattern expected) {
  TSampleCheck c;
  c.Ran = true;
  c.Expected = expected;
  c.Sectors = static_cast<int64_t>(before.size());
  const bool patternKnown = expected != TErasedPattern::Unspecified;
  for (size_t i = 0; i < before.size(); ++i) {
    const TSampledSector& b = before[i];
    if (i >= after.size() || !b.Read || !after[i].Read || after[i].Sector != b.Sector) {
      ++c.Unreadable;
      continue;
    }
    const TSampledSector& a = after[i];
    if (b.Blank) {
      // It read as erased before: nothing it reads now proves the erase.
      ++c.BlankBefore;
    } else if (a.Hash == b.Hash) {
      ++c.Unchanged;
    } else if (patternKnown && !a.Blank) {
      ++c.WrongPattern;
    } else {
      ++c.Changed;
    }
  }
  if (c.Unchanged > 0 || c.WrongPattern > 0) {
    c.Result = TSampleResult::NotErased;
  } else if (c.Changed == 0) {
    c.Result = TSampleResult::Inconclusive;
  } else {
    c.Result = TSampleResult::Erased;
  }
  return c;
}

}  // namespace quarnel
