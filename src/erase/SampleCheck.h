// The check of a drive's own erase: sectors read before the command (the
// first and the last MiB and sectors spread over the drive), read again
// after it and compared.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "erase/EraseRecord.h"
#include "host/Host.h"

namespace quarnel {

inline constexpr int64_t kSampleEdgeBytes = 1048576;
inline constexpr int64_t kSampleSpreadSectors = 1024;

struct TSampledSector {
  int64_t Sector = 0;
  bool Read = false;
  bool Blank = false;  // read as the erased pattern (or, unspecified, all zeros or all ones)
  uint64_t Hash = 0;
};

/// The sectors to sample on a drive of `sectors` sectors: the first and last
/// MiB and kSampleSpreadSectors spread evenly between, ascending, no repeats.
std::vector<int64_t> SampleSectors(int64_t sectors, int64_t sectorSize);

/// Reads the sample through `handle`.
std::vector<TSampledSector> ReadSample(Host& host, THandle handle,
                                       const std::vector<int64_t>& sectors, int64_t sectorSize,
                                       TErasedPattern expected);

/// Compares a sample taken before with one taken after: the counts and the
/// result of TSampleCheck.
TSampleCheck CompareSamples(const std::vector<TSampledSector>& before,
                            const std::vector<TSampledSector>& after, TErasedPattern expected);

}  // namespace quarnel
