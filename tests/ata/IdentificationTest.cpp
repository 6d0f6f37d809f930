#include <gtest/gtest.h>

#include <algorithm>

#include "app/StartUp.h"
#include "ata/Identification.h"
#include "base/Logging.h"
#include "host/HostConstants.h"
#include "support/TestSupport.h"
#include "ui/UiSeam.h"

namespace quarnel {
namespace {

using test::DebugTexts;
using test::UseSimHost;

// Identifies drive 0 of a machine holding only `drive` (a JSON object body).
struct Identified {
  int64_t status = 0;
  uint32_t refusal = 99;
  TIdentifyDeviceData record;
};

Identified IdentifyOnly(const std::string& driveBody, bool debug = true) {
  UseSimHost(R"({"drives": [{"number": 0, )" + driveBody + "}]}");
  DebugMode = debug;
  Identified result;
  result.record.Model = "previous";
  const THandle h = GetHost().CreateFileU8("\\\\.\\PhysicalDrive0", win::kGENERIC_READ, 3,
                                           win::kOPEN_EXISTING, 0);
  EXPECT_NE(h, kInvalidHandle);
  result.status = IdentifyDevice(h, result.record, &result.refusal);
  GetHost().CloseHandle(h);
  return result;
}

bool HasLine(const std::string& text) {
  const auto lines = DebugTexts();
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

TEST(IdentifyDevice, ReadsGeometryLengthAdapterAndDescriptor) {
  const auto r = IdentifyOnly(R"("length": 2000398934016, "bytes_per_sector": 4096,
      "bus_type": 7, "max_transfer": 131072, "vendor": "ATA", "product": "ST3500418AS",
      "revision": " CC38 ", "serial": "5VM1TEST", "removable": true)");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.record.LBA, 488378646);
  EXPECT_EQ(r.record.SectorSize, 4096);
  EXPECT_EQ(r.record.MaximumSectorsTransfer, 32);
  EXPECT_EQ(r.record.BusType, TBusType::Usb);
  EXPECT_EQ(r.record.Model, "ATA ST3500418AS");
  EXPECT_EQ(r.record.FW, "CC38");
  EXPECT_EQ(r.record.SN, "5VM1TEST");
  EXPECT_TRUE(r.record.RemovableMedia);
  EXPECT_EQ(r.record.IsIDESlave, 0);
  for (const char* line :
       {"Getting geometry...", "Done -1", "Sector size = 4096", "Media \"Length\" = 2000398934016",
        "VendorID: ATA ", "ProductID: ST3500418AS", "ProductRevision: CC38",
        "SerialNumber: 5VM1TEST", "Sectors: 488378646", "SectorSize: 4096", "MaxTransfer: 32",
        "Parsing data..."}) {
    EXPECT_TRUE(HasLine(line)) << line;
  }
}

TEST(IdentifyDevice, DumpsTheWholeReplyAreaAsThirtyTwoLines) {
  IdentifyOnly(R"("length": 1048576, "product": "P")");
  const auto lines = DebugTexts();
  auto it = std::find_if(lines.begin(), lines.end(),
                         [](const std::string& l) { return l.rfind("Buffer: ", 0) == 0; });
  ASSERT_NE(it, lines.end());
  const std::string& dump = *it;
  ASSERT_EQ(dump.rfind("Buffer: 512 bytes\r\n", 0), 0u);
  const std::string body = dump.substr(19);
  EXPECT_EQ(body.size(), 32u * (16 * 3 + 2));
  EXPECT_EQ(body.substr(0, 12), " 28 00 00 00");
  EXPECT_EQ(body.substr(body.size() - 5), " 00\r\n");
}

TEST(IdentifyDevice, SectorSizeAndTransferCorrections) {
  auto r = IdentifyOnly(R"("length": 1048576, "bytes_per_sector": 256)");
  EXPECT_EQ(r.record.LBA, 0);
  EXPECT_EQ(r.record.SectorSize, 512);
  EXPECT_TRUE(HasLine("SectorSize: 256"));

  r = IdentifyOnly(R"("length": 1048576, "max_transfer": 2097152)");
  EXPECT_EQ(r.record.MaximumSectorsTransfer, 250);

  r = IdentifyOnly(R"("length": 1048576, "max_transfer": 511)");
  EXPECT_EQ(r.record.MaximumSectorsTransfer, 0);
}

TEST(IdentifyDevice, TextDefaultsAndModelSpacing) {
  auto r = IdentifyOnly(R"("length": 1048576)");
  EXPECT_EQ(r.record.Model, "Storage Device");
  EXPECT_EQ(r.record.FW, "0000");
  EXPECT_EQ(r.record.SN, "000000");

  r = IdentifyOnly(R"("length": 1048576, "product": "ST3500418AS")");
  EXPECT_EQ(r.record.Model, " ST3500418AS");
}

TEST(IdentifyDevice, SerialBytesAreReadInWordOrder) {
  auto r = IdentifyOnly(R"("length": 1048576, "serial": "1234", "serial_raw": true)");
  EXPECT_EQ(r.record.SN, "2143");
  r = IdentifyOnly(R"("length": 1048576, "serial": "ABC", "serial_raw": true)");
  EXPECT_EQ(r.record.SN, "BA\\x00C");  // an inner zero byte is shown, not passed on
  // Bytes above 7Fh become the characters of the same code.
  r = IdentifyOnly(R"("length": 1048576, "serial": "Ü1")");
  EXPECT_EQ(r.record.SN, "Ü1");
}

TEST(IdentifyDevice, HexSerialsAreRecoveredInTwoStages) {
  auto r =
      IdentifyOnly(R"("length": 1048576, "serial": "424132314443343346453635484738374A493039")");
  EXPECT_EQ(r.record.SN, "AB12CD34EF56GH78IJ90");
  EXPECT_TRUE(HasLine("Performing the WinXP SN trick..."));
  EXPECT_TRUE(HasLine("Stage 1..."));
  EXPECT_FALSE(HasLine("Stage 2..."));

  r = IdentifyOnly(R"("length": 1048576, "serial": "02027502D2443475651423134333635383730393")");
  EXPECT_EQ(r.record.SN, "WD-WCAV1234567890");
  EXPECT_TRUE(HasLine("Stage 2..."));
}

TEST(RecoverHexSerial, AcceptsOnlyFortyHexDigitsAfterMapping) {
  ResetProcessState();
  // Lower case, "_" and " " stand for hex digits (2).
  EXPECT_EQ(RecoverHexSerial("424132314443343346453635484738374a493039"), "AB12CD34EF56GH78IJ90");
  EXPECT_EQ(RecoverHexSerial("4241323144433433464536354847383 4A4_3039"),
            RecoverHexSerial("424132314443343346453635484738324A423039"));
  const std::string withG = "424132314443343346453635484738374A49303G";
  EXPECT_EQ(RecoverHexSerial(withG), withG);
  const std::string lower39 = "42413231444334334645363548473837aa49303";
  EXPECT_EQ(RecoverHexSerial(lower39), lower39);
}

TEST(IdentifyDevice, OnlyFortyCharacterSerialsAreDecoded) {
  auto r =
      IdentifyOnly(R"("length": 1048576, "serial": "42413231444334334645363548473837AA49303")");
  EXPECT_EQ(r.record.SN, "42413231444334334645363548473837AA49303");
  EXPECT_FALSE(HasLine("Performing the WinXP SN trick..."));
  r = IdentifyOnly(R"("length": 1048576, "serial": "42413231444334334645363548473837AA4930391")");
  EXPECT_EQ(r.record.SN, "42413231444334334645363548473837AA4930391");
}

TEST(IdentifyDevice, RefusedGeometryOrLengthLeaveTheRecord) {
  auto r = IdentifyOnly(R"("length": 1048576, "faults": {"geometry": 5})");
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(r.record.Model, "previous");
  EXPECT_EQ(DebugTexts().back(), "Getting geometry...");

  r = IdentifyOnly(R"("length": 1048576, "faults": {"length": 21})");
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(r.record.Model, "previous");
  EXPECT_EQ(DebugTexts().back(), "Error accessing device: The device is not ready");
}

TEST(IdentifyDevice, RefusalsWithoutAnErrorCodeCountAsDone) {
  auto r = IdentifyOnly(R"("length": 1048576, "product": "P",
                           "faults": {"geometry": 0, "length": 0})");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.record.LBA, 0);
  EXPECT_EQ(r.record.SectorSize, 512);
  EXPECT_TRUE(HasLine("Done 0"));
  EXPECT_TRUE(HasLine("Media \"Length\" = 0"));

  r = IdentifyOnly(R"("length": 1048576, "product": "P", "faults": {"device": 0})");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.record.Model, "Storage Device");
  EXPECT_EQ(r.refusal, 0u);
}

TEST(IdentifyDevice, RefusedAdapterQueryUsesTheStandByDescriptor) {
  auto r = IdentifyOnly(R"("length": 1048576, "bus_type": 11, "ide_slave": true,
                           "identify_file": "drives/ST320410A--3.39/identify.bin",
                           "faults": {"adapter": 50})");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.record.BusType, TBusType::Flash);
  EXPECT_EQ(r.record.MaximumSectorsTransfer, 128);
  EXPECT_EQ(r.record.IsIDESlave, 0);
  EXPECT_TRUE(HasLine("Skipped 0"));
}

TEST(IdentifyDevice, RefusedDeviceQueryGivesItsError) {
  auto r = IdentifyOnly(R"("length": 1048576, "faults": {"device": 1117})");
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(r.refusal, 1117u);
  EXPECT_EQ(r.record.Model, "previous");
  r = IdentifyOnly(R"("length": 1048576, "faults": {"length": 21})");
  EXPECT_EQ(r.refusal, 0u);
}

TEST(IdentifyDevice, SlaveTestOnlyForAtaAndSata) {
  const std::string ata =
      R"("length": 1048576, "identify_file": "drives/ST320410A--3.39/identify.bin", )";
  EXPECT_EQ(IdentifyOnly(ata + R"("bus_type": 3, "ide_slave": true)").record.IsIDESlave, 1);
  EXPECT_EQ(IdentifyOnly(ata + R"("bus_type": 11, "ide_slave": true)").record.IsIDESlave, 1);
  EXPECT_EQ(IdentifyOnly(ata + R"("bus_type": 11, "ide_slave": false)").record.IsIDESlave, 0);
  EXPECT_EQ(IdentifyOnly(ata + R"("bus_type": 7, "ide_slave": true)").record.IsIDESlave, 0);
  // Without SMART_GET_VERSION the inquiry data's target id decides.
  EXPECT_EQ(
      IdentifyOnly(R"("length": 1048576, "bus_type": 3, "scsi_target_id": 3)").record.IsIDESlave,
      1);
  EXPECT_EQ(
      IdentifyOnly(R"("length": 1048576, "bus_type": 3, "scsi_target_id": 2)").record.IsIDESlave,
      0);
  EXPECT_EQ(IdentifyOnly(R"("length": 1048576, "bus_type": 3)").record.IsIDESlave, 0);
}

// A raw descriptor: Size at 4, vendor offset at 12, product at 16, revision at
// 20, serial at 24, texts behind.
std::string Descriptor(uint32_t size, uint32_t vendor, uint32_t product, const std::string& tail) {
  auto le = [](uint32_t v) {
    char b[9];
    std::snprintf(b, sizeof b, "%02x%02x%02x%02x", v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF,
                  v >> 24);
    return std::string(b);
  };
  return "28000000" + le(size) + "00000000" + le(vendor) + le(product) + "00000000" + "00000000" +
         "000000000000000000000000" + tail;
}

TEST(IdentifyDevice, DescriptorTextScanStaysInsideSizeAndArea) {
  // "VEND" at 40, "PROD" at 45; Size 43 cuts the vendor after index 43.
  const std::string texts = "56454e440050524f4400";
  auto r = IdentifyOnly(R"("length": 1048576, "device_descriptor_hex": ")" +
                        Descriptor(43, 40, 45, texts) + "\"");
  EXPECT_EQ(r.record.Model, "VEND ");  // product offset 45 is past Size: no text
  r = IdentifyOnly(R"("length": 1048576, "device_descriptor_hex": ")" +
                   Descriptor(42, 40, 45, texts) + "\"");
  EXPECT_EQ(r.record.Model, "VEN ");
  // Offsets past the 512-byte area give nothing even when Size allows them.
  r = IdentifyOnly(R"("length": 1048576, "device_descriptor_hex": ")" +
                   Descriptor(4096, 600, 40, texts) + "\"");
  EXPECT_EQ(r.record.Model, " VEND");
}

TEST(ScanDescriptorText, BoundsOfTheScan) {
  uint8_t area[512];
  std::fill(std::begin(area), std::end(area), 'x');
  EXPECT_EQ(ScanDescriptorText(area, 0, 511), "");
  EXPECT_EQ(ScanDescriptorText(area, 10, 9), "");
  EXPECT_EQ(ScanDescriptorText(area, 10, 10), "x");
  EXPECT_EQ(ScanDescriptorText(area, 500, 0xFFFFFFFFu).size(), 12u);
  EXPECT_EQ(ScanDescriptorText(area, 512, 0xFFFFFFFFu), "");
  EXPECT_EQ(ScanDescriptorText(area, 0xFFFFFFFFu, 0xFFFFFFFFu), "");
  area[20] = 0;
  EXPECT_EQ(ScanDescriptorText(area, 10, 100).size(), 10u);
}

}  // namespace
}  // namespace quarnel
