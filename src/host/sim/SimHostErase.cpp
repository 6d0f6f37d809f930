// The simulated drive's own erase: SANITIZE through IOCTL_ATA_PASS_THROUGH,
// Format NVM and Sanitize through the hosts' NVMe erase request, the
// sanitize status log, and what a finished erase leaves on the medium.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "host/AtaRequests.h"
#include "host/Bytes.h"
#include "host/EraseRequests.h"
#include "host/HostConstants.h"
#include "host/sim/SimHost.h"

namespace quarnel {

namespace {

constexpr uint8_t kErrorAbort = 0x04;

bool Offers(const TSimFirmware& f, const std::string& method) {
  return std::find(f.Methods.begin(), f.Methods.end(), method) != f.Methods.end();
}

void SetBit(std::vector<uint8_t>& block, size_t byte, uint8_t bit) {
  if (block.size() > byte) block[byte] = static_cast<uint8_t>(block[byte] | bit);
}

// IDENTIFY DEVICE's word 255: signature A5h and a checksum that makes the
// block's bytes sum to zero; kept valid after a change.
void FixChecksum(std::vector<uint8_t>& id) {
  if (id.size() != 512 || id[510] != 0xA5) return;
  SetChecksumByte(id.data(), id.size());
}

void EraseImage(const TSimDrive& d) {
  std::error_code ec;
  const auto size = static_cast<int64_t>(std::filesystem::file_size(d.ImagePath, ec));
  if (ec) return;
  if (d.Firmware.ErasedFill == 0) {
    // Zeros: what a sparse file reads as.
    std::filesystem::resize_file(d.ImagePath, 0, ec);
    std::filesystem::resize_file(d.ImagePath, static_cast<uintmax_t>(size), ec);
    return;
  }
  std::fstream image(d.ImagePath, std::ios::in | std::ios::out | std::ios::binary);
  std::vector<char> chunk(1 << 20);
  for (int64_t at = 0; at < size && image; at += static_cast<int64_t>(chunk.size())) {
    const auto n = static_cast<size_t>(std::min<int64_t>(size - at, chunk.size()));
    for (size_t i = 0; i < n; ++i) {
      chunk[i] =
          static_cast<char>(d.Firmware.ErasedFill < 0 ? SimEraseNoise(at + static_cast<int64_t>(i))
                                                      : d.Firmware.ErasedFill);
    }
    image.seekp(at);
    image.write(chunk.data(), static_cast<std::streamsize>(n));
  }
}

void Finish(TSimDrive& d) {
  TSimFirmware& f = d.Firmware;
  f.Outcome = f.Failed ? 3 : 1;
  const std::string method = f.Running;
  f.Running.clear();
  if (f.Failed || f.NoChange) return;
  const bool crypto = method == "crypto" || method == "format-crypto";
  const bool nvme = !d.NvmeController.empty();
  f.ErasedFill = crypto ? -1 : (nvme && f.Dlfeat == 2 ? 0xFF : 0x00);
  f.Erased = true;
  d.Written.clear();  // nothing written before the erase is left
  if (!d.ImagePath.empty()) EraseImage(d);
}

void AtaReply(const TAtaTaskFile& r, const uint8_t* in, uint8_t* out, uint32_t* returned) {
  std::memmove(out, in, win::kATA_PASS_THROUGH_EX_SIZE);
  PutTaskFile(out, r);
  *returned = win::kATA_PASS_THROUGH_EX_SIZE;
}

}  // namespace

uint8_t SimEraseNoise(int64_t offset) {
  uint64_t x = static_cast<uint64_t>(offset) * 0x9E3779B97F4A7C15ull;
  x ^= x >> 29;
  return static_cast<uint8_t>(x * 0xBF58476D1CE4E5B9ull >> 56);
}

std::string LoadSimFirmwareErase(const nlohmann::json& j, TSimDrive& d) {
  if (!j.is_object()) return "must be an object";
  static const std::set<std::string> keys = {"methods", "seconds", "all_namespaces", "dlfeat",
                                             "faults"};
  for (const auto& item : j.items()) {
    if (!keys.count(item.key())) return "unknown key \"" + item.key() + "\"";
  }
  TSimFirmware& f = d.Firmware;
  f.Configured = true;
  try {
    if (j.contains("methods")) f.Methods = j.at("methods").get<std::vector<std::string>>();
    f.Seconds = j.value("seconds", 10.0);
    f.AllNamespaces = j.value("all_namespaces", false);
    f.Dlfeat = j.value("dlfeat", uint8_t{1});
    if (j.contains("faults")) {
      const nlohmann::json& faults = j.at("faults");
      if (faults.contains("refused")) f.Refused = faults.at("refused").get<uint32_t>();
      f.Failed = faults.value("failed", false);
      f.Frozen = faults.value("frozen", false);
      if (faults.contains("stall_at")) f.StallAt = faults.at("stall_at").get<double>();
      f.NoChange = faults.value("no_change", false);
    }
  } catch (const nlohmann::json::exception&) {
    return "a value has the wrong type";
  }
  const bool nvme = !d.NvmeController.empty();
  for (const std::string& m : f.Methods) {
    const bool ataMethod = m == "block" || m == "crypto" || m == "overwrite";
    const bool nvmeMethod = ataMethod || m == "format-user" || m == "format-crypto";
    if (!(nvme ? nvmeMethod : ataMethod)) return "method \"" + m + "\" is not one this drive has";
  }
  if (f.Seconds < 0 || f.Dlfeat > 2) return "\"seconds\" or \"dlfeat\" out of range";
  // What the drive announces follows the methods it has, exactly.
  auto clear = [](std::vector<uint8_t>& block, size_t byte, uint8_t bits) {
    if (block.size() > byte) block[byte] = static_cast<uint8_t>(block[byte] & ~bits);
  };
  if (nvme) {
    clear(d.NvmeController, 256, 0x02);
    clear(d.NvmeController, 524, 0x07);
    clear(d.NvmeController, 328, 0x07);
    if (Offers(f, "format-user") || Offers(f, "format-crypto")) SetBit(d.NvmeController, 256, 0x02);
    if (Offers(f, "format-crypto")) SetBit(d.NvmeController, 524, 0x04);
    if (f.AllNamespaces) SetBit(d.NvmeController, 524, 0x03);
    if (Offers(f, "crypto")) SetBit(d.NvmeController, 328, 0x01);
    if (Offers(f, "block")) SetBit(d.NvmeController, 328, 0x02);
    if (Offers(f, "overwrite")) SetBit(d.NvmeController, 328, 0x04);
    if (d.NvmeNamespace.size() > 33) {
      d.NvmeNamespace[33] = static_cast<uint8_t>((d.NvmeNamespace[33] & ~0x7) | f.Dlfeat);
    }
  } else {
    clear(d.Identify, 119, 0xF0);
  }
  if (!nvme && !f.Methods.empty()) {
    SetBit(d.Identify, 119, 0x10);  // word 59 bit 12: the SANITIZE feature set
    if (Offers(f, "crypto")) SetBit(d.Identify, 119, 0x20);
    if (Offers(f, "overwrite")) SetBit(d.Identify, 119, 0x40);
    if (Offers(f, "block")) SetBit(d.Identify, 119, 0x80);
  }
  if (!nvme) FixChecksum(d.Identify);
  return "";
}

uint32_t SimHost::AdvanceErase(TSimDrive& d) {
  TSimFirmware& f = d.Firmware;
  if (f.Running.empty()) return f.Outcome == 1 ? 65535 : 0;
  const double total = std::max(1.0, f.Seconds * 1000.0);
  double done = static_cast<double>(clockMs_ - f.StartMs) / total;
  if (f.StallAt && done >= *f.StallAt) done = *f.StallAt;
  if (done >= 1.0 && !f.StallAt) {
    Finish(d);
    return 65535;
  }
  return static_cast<uint32_t>(std::min(done, 1.0) * 65535.0);
}

void SimHost::SanitizeLog(TSimDrive& d, uint8_t* log) {
  const uint32_t progress = AdvanceErase(d);
  const TSimFirmware& f = d.Firmware;
  const bool running = !f.Running.empty();
  PutU16(log, 0, static_cast<uint16_t>(running ? progress : 0xFFFF));
  PutU16(log, 2, static_cast<uint16_t>(running ? 2 : f.Outcome));
}

bool SimHost::EraseRequest(TSimDrive& d, uint32_t code, const uint8_t* in, uint32_t inSize,
                           uint8_t* out, uint32_t outSize, uint32_t* returned) {
  TSimFirmware& f = d.Firmware;
  const bool nvme = !d.NvmeController.empty();
  if (code == win::kQUARNEL_IOCTL_NVME_ERASE) {
    TNvmeErase e;
    if (const uint32_t refused = ParseNvmeEraseRequest(in, inSize, outSize, &e)) {
      return Fail(refused);
    }
    if (!nvme || !f.Configured) return Fail(win::kERROR_NOT_SUPPORTED);
    const bool format = e.Opcode == kNvmeAdminFormatNvm;
    const uint32_t action = e.Cdw10 & 0x7, ses = (e.Cdw10 >> 9) & 0x7;
    std::string method = format        ? (ses == 2   ? "format-crypto"
                                          : ses == 1 ? "format-user"
                                                     : "")
                         : action == 2 ? "block"
                         : action == 3 ? "overwrite"
                         : action == 4 ? "crypto"
                                       : "";
    uint32_t status = 0;
    ++f.EraseCommands;
    if (!f.Running.empty()) {
      status = 0x1D;  // sanitize in progress
    } else if (method.empty() || !Offers(f, method)) {
      status = 0x02;  // invalid field in command
    } else if (f.Refused) {
      status = *f.Refused;
    } else {
      f.Running = method;
      f.StartMs = clockMs_;
      f.Outcome = 0;
      if (format) {
        // A format runs to its end inside the command.
        clockMs_ += static_cast<int64_t>(f.Seconds * 1000);
        if (f.StallAt) return Fail(win::kERROR_SEM_TIMEOUT);
        Finish(d);
        if (f.Outcome == 3) status = 0x06;  // internal error
      }
    }
    PutU32(out, 0, status);
    PutU32(out, 4, 0);
    *returned = win::kNVME_ERASE_OUT_SIZE;
    return Succeed();
  }
  TAtaPassThroughRequest request;
  if (const uint32_t refused = ParseAtaEraseRequest(in, inSize, outSize, &request)) {
    return Fail(refused);
  }
  if (nvme || d.Identify.empty()) return Fail(win::kERROR_NOT_SUPPORTED);
  const TAtaTaskFile& c = request.TaskFile;
  const uint16_t features = c.Features16();
  const uint64_t lba = c.Lba48();
  TAtaTaskFile r;
  r.Ext = true;
  r.Current.Command = kAtaStatusDrdy;
  auto abort = [&](uint8_t reason) {
    r.Current.Command = kAtaStatusDrdy | kAtaStatusErr;
    r.Current.Features = kErrorAbort;  // the error register
    r.SetLba48(reason);
  };
  const bool sanitize = f.Configured && !f.Methods.empty();
  if (c.Current.Command != kAtaSanitizeDevice || !sanitize) {
    abort(0);
  } else if (features == 0x0000) {
    const uint32_t progress = AdvanceErase(d);
    const bool running = !f.Running.empty();
    r.SetCount16(static_cast<uint16_t>((running ? 0x4000 : 0) | (f.Frozen ? 0x2000 : 0) |
                                       (!running && f.Outcome == 1 ? 0x8000 : 0)));
    r.SetLba48(running ? progress : 0xFFFF);
    if (!running && f.Outcome == 3) abort(1);
  } else {
    ++f.EraseCommands;
    const std::string method = features == 0x0011   ? "crypto"
                               : features == 0x0012 ? "block"
                               : features == 0x0014 ? "overwrite"
                                                    : "";
    const uint64_t key = features == 0x0011   ? 0x43727970
                         : features == 0x0012 ? 0x426B4572
                                              : (uint64_t{0x4F57} << 32);
    const bool keyOk = features == 0x0014 ? (lba >> 32) == 0x4F57 : lba == key;
    if (method.empty() || !Offers(f, method) || !keyOk) {
      abort(2);
    } else if (f.Frozen) {
      abort(3);
    } else if (f.Refused) {
      abort(static_cast<uint8_t>(*f.Refused));
    } else {
      f.Running = method;
      f.StartMs = clockMs_;
      f.Outcome = 0;
    }
  }
  AtaReply(r, in, out, returned);
  return Succeed();
}

}  // namespace quarnel
