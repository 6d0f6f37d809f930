// Request codes, access flags, Win32 error codes and structure offsets of the
// Windows device protocol that every host speaks. One place for all numbers.
// Every name is the SDK's name with a leading k: <windows.h> defines most SDK
// names as macros, and a k-name is never rewritten by one, so this header and
// the SDK can meet in one file (win::k##NAME == NAME checks a value there).
#pragma once

#include <cstdint>

namespace quarnel::win {

// CreateFile access, share mode and disposition.
inline constexpr uint32_t kGENERIC_READ = 0x80000000u;
inline constexpr uint32_t kGENERIC_WRITE = 0x40000000u;
inline constexpr uint32_t kFILE_SHARE_READ = 0x1u;
inline constexpr uint32_t kFILE_SHARE_WRITE = 0x2u;
inline constexpr uint32_t kOPEN_EXISTING = 3u;
inline constexpr uint32_t kFILE_BEGIN = 0u;
inline constexpr uint32_t kFILE_CURRENT = 1u;
inline constexpr uint32_t kFILE_END = 2u;

// Device-control request codes.
inline constexpr uint32_t kIOCTL_DISK_GET_DRIVE_GEOMETRY = 0x00070000u;
inline constexpr uint32_t kIOCTL_DISK_GET_LENGTH_INFO = 0x0007405Cu;
inline constexpr uint32_t kIOCTL_DISK_UPDATE_PROPERTIES = 0x00070140u;
inline constexpr uint32_t kIOCTL_STORAGE_QUERY_PROPERTY = 0x002D1400u;
inline constexpr uint32_t kIOCTL_STORAGE_GET_DEVICE_NUMBER = 0x002D1080u;
inline constexpr uint32_t kSMART_GET_VERSION = 0x00074080u;
inline constexpr uint32_t kSMART_SEND_DRIVE_COMMAND = 0x0007C084u;
inline constexpr uint32_t kSMART_RCV_DRIVE_DATA = 0x0007C088u;
inline constexpr uint32_t kIOCTL_SCSI_GET_INQUIRY_DATA = 0x0004100Cu;
inline constexpr uint32_t kIOCTL_SCSI_MINIPORT = 0x0004D008u;
inline constexpr uint32_t kIOCTL_SCSI_MINIPORT_IDENTIFY = 0x001B0501u;
inline constexpr uint32_t kFSCTL_LOCK_VOLUME = 0x00090018u;
inline constexpr uint32_t kFSCTL_DISMOUNT_VOLUME = 0x00090020u;
inline constexpr uint32_t kFSCTL_ALLOW_EXTENDED_DASD_IO = 0x00090083u;

// Not a Windows code: the hosts' own request for the kernel's disk sequence
// number, a counter raised for every medium the kernel attaches (Linux 5.15
// and later); the reply is 8 bytes. Built as a vendor code (device type
// 8000h, function 800h) so that no system driver answers it; WinHost refuses
// it with ERROR_NOT_SUPPORTED without asking the system.
inline constexpr uint32_t kQUARNEL_IOCTL_GET_DISK_SEQUENCE = 0x80002000u;

// The drive's own erase. IOCTL_ATA_PASS_THROUGH carries an ATA_PASS_THROUGH_EX
// (further below); IOCTL_STORAGE_REINITIALIZE_MEDIA an optional STORAGE_REINITIALIZE_MEDIA
// (Version, Size, TimeoutInSeconds, SanitizeOption: SanitizeMethod in bits 3:0,
// DisallowUnrestrictedSanitizeExit in bit 4), 16 bytes.
inline constexpr uint32_t kIOCTL_STORAGE_REINITIALIZE_MEDIA = 0x002D9640u;
inline constexpr uint32_t kSTORAGE_REINITIALIZE_MEDIA_SIZE = 16;
inline constexpr uint32_t kStorageSanitizeMethodBlockErase = 1;
inline constexpr uint32_t kStorageSanitizeMethodCryptoErase = 2;

// Not a Windows code: the hosts' own request for one NVMe admin command that
// erases (Format NVM, Sanitize). In: the 64-byte submission queue entry, then
// the time-out in milliseconds (4 bytes). Out: the completion's status field
// (bits 15:1 of its dword 3, shifted down) and its dword 0, 4 bytes each. The
// request succeeds when the command completed, whatever its status. Windows
// has no request for a chosen NVMe admin command: WinHost carries Sanitize
// block and crypto erase by IOCTL_STORAGE_REINITIALIZE_MEDIA and refuses the rest.
inline constexpr uint32_t kQUARNEL_IOCTL_NVME_ERASE = 0x80002004u;
inline constexpr uint32_t kNVME_ERASE_IN_SIZE = 68;
inline constexpr uint32_t kNVME_ERASE_OUT_SIZE = 8;

inline constexpr uint32_t kNVME_LOG_PAGE_SANITIZE_STATUS = 0x81;
inline constexpr uint32_t kNVME_LOG_PAGE_DEVICE_SELF_TEST = 0x06;
inline constexpr uint32_t kNVME_SELF_TEST_LOG_SIZE = 564;

// Not a Windows code either: the hosts' own request for NVMe Device Self-test
// (admin opcode 14h) to all namespaces. In: CDW10 (the self-test code in bits
// 3:0), 4 bytes. Out: the completion's status field, 4 bytes; the request
// succeeds when the command completed, whatever its status. Windows offers
// no request this build can carry it by: WinHost refuses it.
inline constexpr uint32_t kQUARNEL_IOCTL_NVME_SELF_TEST = 0x80002008u;
inline constexpr uint32_t kNVME_SELF_TEST_IN_SIZE = 4;
inline constexpr uint32_t kNVME_SELF_TEST_OUT_SIZE = 4;
inline constexpr uint32_t kNVME_SANITIZE_LOG_SIZE = 512;

// Win32 error codes the program and the hosts use.
inline constexpr uint32_t kERROR_SUCCESS = 0;
inline constexpr uint32_t kERROR_INVALID_FUNCTION = 1;
inline constexpr uint32_t kERROR_FILE_NOT_FOUND = 2;
inline constexpr uint32_t kERROR_ACCESS_DENIED = 5;
inline constexpr uint32_t kERROR_INVALID_HANDLE = 6;
inline constexpr uint32_t kERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr uint32_t kERROR_WRITE_PROTECT = 19;
inline constexpr uint32_t kERROR_NOT_READY = 21;
inline constexpr uint32_t kERROR_CRC = 23;
inline constexpr uint32_t kERROR_SHARING_VIOLATION = 32;
inline constexpr uint32_t kERROR_NOT_SUPPORTED = 50;
inline constexpr uint32_t kERROR_DEV_NOT_EXIST = 55;
inline constexpr uint32_t kERROR_INVALID_PARAMETER = 87;
inline constexpr uint32_t kERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr uint32_t kERROR_SEM_TIMEOUT = 121;
inline constexpr uint32_t kERROR_BUSY = 170;
inline constexpr uint32_t kERROR_IO_DEVICE = 1117;
inline constexpr uint32_t kERROR_SECTOR_NOT_FOUND = 27;
inline constexpr uint32_t kERROR_GEN_FAILURE = 31;
inline constexpr uint32_t kERROR_NEGATIVE_SEEK = 131;

// STORAGE_PROPERTY_QUERY (12 bytes): PropertyId, QueryType, AdditionalParameters.
inline constexpr uint32_t kStorageDeviceProperty = 0;
inline constexpr uint32_t kStorageAdapterProperty = 1;
inline constexpr uint32_t kPropertyStandardQuery = 0;
inline constexpr uint32_t kSTORAGE_PROPERTY_QUERY_SIZE = 12;

// DISK_GEOMETRY: Cylinders(8) MediaType(4) TracksPerCylinder(4) SectorsPerTrack(4)
// BytesPerSector(4).
inline constexpr uint32_t kDISK_GEOMETRY_SIZE = 24;
inline constexpr uint32_t kDISK_GEOMETRY_BytesPerSector = 20;

// GET_LENGTH_INFORMATION: Length (signed 64-bit) at 0.
inline constexpr uint32_t kGET_LENGTH_INFORMATION_SIZE = 8;

// STORAGE_ADAPTER_DESCRIPTOR (32 bytes).
inline constexpr uint32_t kADAPTER_Version = 0;
inline constexpr uint32_t kADAPTER_Size = 4;
inline constexpr uint32_t kADAPTER_MaximumTransferLength = 8;
inline constexpr uint32_t kADAPTER_MaximumPhysicalPages = 12;
inline constexpr uint32_t kADAPTER_AlignmentMask = 16;
inline constexpr uint32_t kADAPTER_AdapterUsesPio = 20;
inline constexpr uint32_t kADAPTER_AdapterScansDown = 21;
inline constexpr uint32_t kADAPTER_CommandQueueing = 22;
inline constexpr uint32_t kADAPTER_AcceleratedTransfer = 23;
inline constexpr uint32_t kADAPTER_BusType = 24;
inline constexpr uint32_t kADAPTER_BusMajorVersion = 26;
inline constexpr uint32_t kADAPTER_BusMinorVersion = 28;
inline constexpr uint32_t kSTORAGE_ADAPTER_DESCRIPTOR_SIZE = 32;

// STORAGE_DEVICE_DESCRIPTOR header (texts follow at their offsets).
inline constexpr uint32_t kDEVICE_Version = 0;
inline constexpr uint32_t kDEVICE_Size = 4;
inline constexpr uint32_t kDEVICE_DeviceType = 8;
inline constexpr uint32_t kDEVICE_DeviceTypeModifier = 9;
inline constexpr uint32_t kDEVICE_RemovableMedia = 10;
inline constexpr uint32_t kDEVICE_CommandQueueing = 11;
inline constexpr uint32_t kDEVICE_VendorIdOffset = 12;
inline constexpr uint32_t kDEVICE_ProductIdOffset = 16;
inline constexpr uint32_t kDEVICE_ProductRevisionOffset = 20;
inline constexpr uint32_t kDEVICE_SerialNumberOffset = 24;
inline constexpr uint32_t kDEVICE_BusType = 28;
inline constexpr uint32_t kDEVICE_RawPropertiesLength = 32;
inline constexpr uint32_t kDEVICE_RawDeviceProperties = 36;
inline constexpr uint32_t kSTORAGE_DEVICE_DESCRIPTOR_HEADER = 40;  // 37 bytes rounded to 4

// STORAGE_DEVICE_NUMBER: DeviceType, DeviceNumber, PartitionNumber (each 32-bit).
inline constexpr uint32_t kSTORAGE_DEVICE_NUMBER_SIZE = 12;
inline constexpr uint32_t kFILE_DEVICE_DISK = 7;

// GETVERSIONINPARAMS (24 bytes): bVersion, bRevision, bReserved, bIDEDeviceMap,
// fCapabilities(4), dwReserved[4].
inline constexpr uint32_t kGETVERSION_bVersion = 0;
inline constexpr uint32_t kGETVERSION_bRevision = 1;
inline constexpr uint32_t kGETVERSION_bIDEDeviceMap = 3;
inline constexpr uint32_t kGETVERSION_fCapabilities = 4;
inline constexpr uint32_t kGETVERSIONINPARAMS_SIZE = 24;
inline constexpr uint32_t kCAP_ATA_ID_CMD = 1;
inline constexpr uint32_t kCAP_ATAPI_ID_CMD = 2;
inline constexpr uint32_t kCAP_SMART_CMD = 4;

// SENDCMDINPARAMS: cBufferSize(4), IDEREGS(8), bDriveNumber, bReserved[3],
// dwReserved[4], bBuffer[1]: 33 bytes, 32 without the data byte.
inline constexpr uint32_t kSENDCMDIN_cBufferSize = 0;
inline constexpr uint32_t kSENDCMDIN_irDriveRegs = 4;
inline constexpr uint32_t kSENDCMDIN_bDriveNumber = 12;
inline constexpr uint32_t kSENDCMDINPARAMS_SIZE = 33;
// IDEREGS byte order inside irDriveRegs.
inline constexpr uint32_t kIDEREGS_bFeaturesReg = 0;
inline constexpr uint32_t kIDEREGS_bSectorCountReg = 1;
inline constexpr uint32_t kIDEREGS_bSectorNumberReg = 2;
inline constexpr uint32_t kIDEREGS_bCylLowReg = 3;
inline constexpr uint32_t kIDEREGS_bCylHighReg = 4;
inline constexpr uint32_t kIDEREGS_bDriveHeadReg = 5;
inline constexpr uint32_t kIDEREGS_bCommandReg = 6;

// SENDCMDOUTPARAMS: cBufferSize(4), DRIVERSTATUS(12), bBuffer at 16.
inline constexpr uint32_t kSENDCMDOUT_cBufferSize = 0;
inline constexpr uint32_t kSENDCMDOUT_DriverStatus = 4;
inline constexpr uint32_t kDRIVERSTATUS_bDriverError = 0;
inline constexpr uint32_t kDRIVERSTATUS_bIDEError = 1;
inline constexpr uint32_t kSENDCMDOUT_bBuffer = 16;

// SRB_IO_CONTROL (28 bytes) in front of the miniport request.
inline constexpr uint32_t kSRB_HeaderLength = 0;
inline constexpr uint32_t kSRB_Signature = 4;
inline constexpr uint32_t kSRB_Timeout = 12;
inline constexpr uint32_t kSRB_ControlCode = 16;
inline constexpr uint32_t kSRB_ReturnCode = 20;
inline constexpr uint32_t kSRB_Length = 24;
inline constexpr uint32_t kSRB_IO_CONTROL_SIZE = 28;

// Sizes of the SMART and miniport requests as the program sends them.
inline constexpr uint32_t kSMART_DATA_SIZE = 512;           // one data block
inline constexpr uint32_t kSENDCMDIN_SIZE_NO_DATA = 32;     // SENDCMDINPARAMS less bBuffer
inline constexpr uint32_t kSENDCMDOUT_HEADER_SIZE = 16;     // cBufferSize and DRIVERSTATUS
inline constexpr uint32_t kSENDCMDOUT_DATA_REPLY = 528;     // header and one data block
inline constexpr uint32_t kSMART_SEND_NO_DATA_OUT = 527;    // output area of a non-data command
inline constexpr uint32_t kSMART_BLOCK_OUT = 1039;          // output area of a data command
inline constexpr uint32_t kSMART_GET_VERSION_OUT = 28;      // output area of kSMART_GET_VERSION
inline constexpr uint8_t kATA_DRIVE_HEAD_BASE = 0xA0;       // drive/head of the master
inline constexpr uint8_t kATA_DRIVE_HEAD_SLAVE_BIT = 0x10;  // bit 4: the slave

// The miniport IDENTIFY request: SRB_IO_CONTROL, then SENDCMDINPARAMS (in)
// or SENDCMDOUTPARAMS (out) at 28, the data at 44.
inline constexpr uint32_t kMINIPORT_IDENTIFY_SIZE = 572;
inline constexpr uint32_t kMINIPORT_SENDCMD = kSRB_IO_CONTROL_SIZE;
inline constexpr uint32_t kMINIPORT_DATA = kMINIPORT_SENDCMD + kSENDCMDOUT_bBuffer;
inline constexpr uint32_t kMINIPORT_MIN_REPLY = kMINIPORT_DATA + kSMART_DATA_SIZE;  // 556
inline constexpr uint32_t kMINIPORT_TIMEOUT_SECONDS = 120;
inline constexpr char kSRB_SIGNATURE_SCSIDISK[8] = {'S', 'C', 'S', 'I', 'D', 'I', 'S', 'K'};

// ATA commands and SMART features.
inline constexpr uint8_t kATA_IDENTIFY_DEVICE = 0xEC;
inline constexpr uint8_t kATA_SMART = 0xB0;
inline constexpr uint8_t kSMART_READ_DATA = 0xD0;
inline constexpr uint8_t kSMART_READ_THRESHOLDS = 0xD1;
// EXECUTE OFF-LINE IMMEDIATE: the subcommand in the sector number register.
inline constexpr uint8_t kSMART_EXECUTE_OFFLINE_DIAGS = 0xD4;
// READ LOG: the log address in the sector number register, the count in sectors.
inline constexpr uint8_t kSMART_READ_LOG = 0xD5;
inline constexpr uint8_t kSMART_ENABLE_OPERATIONS = 0xD8;
inline constexpr uint8_t kSMART_DISABLE_OPERATIONS = 0xD9;
inline constexpr uint8_t kSMART_RETURN_STATUS = 0xDA;
inline constexpr uint8_t kSMART_CYL_LOW = 0x4F;
inline constexpr uint8_t kSMART_CYL_HI = 0xC2;
// RETURN STATUS of a drive whose attribute passed its threshold: F4h/2Ch in
// the cylinder registers instead of 4Fh/C2h.
inline constexpr uint8_t kSMART_CYL_LOW_EXCEEDED = 0xF4;
inline constexpr uint8_t kSMART_CYL_HI_EXCEEDED = 0x2C;
// The IDEREGS that SMART_SEND_DRIVE_COMMAND returns in bBuffer for RETURN STATUS.
inline constexpr uint32_t kIDEREGS_SIZE = 8;

// IOCTL_STORAGE_QUERY_PROPERTY for protocol-specific data (Windows 10): the
// query's AdditionalParameters hold a STORAGE_PROTOCOL_SPECIFIC_DATA, and the
// reply is a STORAGE_PROTOCOL_DATA_DESCRIPTOR followed by the data.
inline constexpr uint32_t kStorageAdapterProtocolSpecificProperty = 49;
inline constexpr uint32_t kStorageDeviceProtocolSpecificProperty = 50;
inline constexpr uint32_t kSTORAGE_PROPERTY_QUERY_AdditionalParameters = 8;
inline constexpr uint32_t kProtocolTypeNvme = 3;
inline constexpr uint32_t kNVMeDataTypeIdentify = 1;
inline constexpr uint32_t kNVMeDataTypeLogPage = 2;
inline constexpr uint32_t kNVME_IDENTIFY_CNS_SPECIFIC_NAMESPACE = 0;
inline constexpr uint32_t kNVME_IDENTIFY_CNS_CONTROLLER = 1;
inline constexpr uint32_t kNVME_LOG_PAGE_HEALTH_INFO = 2;
// STORAGE_PROTOCOL_SPECIFIC_DATA (40 bytes); ProtocolDataOffset counts from its start.
inline constexpr uint32_t kPROTOCOL_ProtocolType = 0;
inline constexpr uint32_t kPROTOCOL_DataType = 4;
inline constexpr uint32_t kPROTOCOL_ProtocolDataRequestValue = 8;
inline constexpr uint32_t kPROTOCOL_ProtocolDataRequestSubValue = 12;
inline constexpr uint32_t kPROTOCOL_ProtocolDataOffset = 16;
inline constexpr uint32_t kPROTOCOL_ProtocolDataLength = 20;
inline constexpr uint32_t kPROTOCOL_FixedProtocolReturnData = 24;
inline constexpr uint32_t kPROTOCOL_ProtocolDataRequestSubValue2 = 28;
inline constexpr uint32_t kPROTOCOL_ProtocolDataRequestSubValue3 = 32;
inline constexpr uint32_t kPROTOCOL_ProtocolDataRequestSubValue4 = 36;
inline constexpr uint32_t kSTORAGE_PROTOCOL_SPECIFIC_DATA_SIZE = 40;
// STORAGE_PROTOCOL_DATA_DESCRIPTOR: Version(4), Size(4), the specific data.
inline constexpr uint32_t kPROTOCOL_DESCRIPTOR_Version = 0;
inline constexpr uint32_t kPROTOCOL_DESCRIPTOR_Size = 4;
inline constexpr uint32_t kPROTOCOL_DESCRIPTOR_ProtocolSpecificData = 8;
inline constexpr uint32_t kSTORAGE_PROTOCOL_DATA_DESCRIPTOR_SIZE = 48;
// Sizes of the NVMe data the program asks for, and of the whole query buffer.
inline constexpr uint32_t kNVME_IDENTIFY_DATA_SIZE = 4096;
inline constexpr uint32_t kNVME_HEALTH_LOG_SIZE = 512;
inline constexpr uint32_t kNVME_QUERY_HEADER =
    kSTORAGE_PROPERTY_QUERY_AdditionalParameters + kSTORAGE_PROTOCOL_SPECIFIC_DATA_SIZE;  // 48

// IOCTL_ATA_PASS_THROUGH with ATA_PASS_THROUGH_EX: the header, then the data
// at DataBufferOffset in the same buffer (in and out). DataBufferOffset is a
// ULONG_PTR, so the offsets after it follow the program's pointer size.
inline constexpr uint32_t kIOCTL_ATA_PASS_THROUGH = 0x0004D02Cu;
inline constexpr uint32_t kATA_PT_Length = 0;              // USHORT
inline constexpr uint32_t kATA_PT_AtaFlags = 2;            // USHORT
inline constexpr uint32_t kATA_PT_DataTransferLength = 8;  // ULONG
inline constexpr uint32_t kATA_PT_TimeOutValue = 12;       // ULONG, seconds
inline constexpr uint32_t kATA_PT_DataBufferOffset = sizeof(void*) == 8 ? 24 : 20;
inline constexpr uint32_t kATA_PT_PreviousTaskFile =
    kATA_PT_DataBufferOffset + static_cast<uint32_t>(sizeof(void*));
inline constexpr uint32_t kATA_PT_CurrentTaskFile = kATA_PT_PreviousTaskFile + 8;
inline constexpr uint32_t kATA_PASS_THROUGH_EX_SIZE = kATA_PT_CurrentTaskFile + 8;
// The task files hold the registers in IDEREGS order (the kIDEREGS_ offsets);
// on return byte 0 is the error register and byte 6 the status.
inline constexpr uint16_t kATA_FLAGS_DRDY_REQUIRED = 0x01;
inline constexpr uint16_t kATA_FLAGS_DATA_IN = 0x02;
inline constexpr uint16_t kATA_FLAGS_DATA_OUT = 0x04;
inline constexpr uint16_t kATA_FLAGS_48BIT_COMMAND = 0x08;
inline constexpr uint16_t kATA_FLAGS_USE_DMA = 0x10;

// Platform id of the NT family (OSVERSIONINFO.dwPlatformId).
inline constexpr uint32_t kVER_PLATFORM_WIN32_NT = 2;

}  // namespace quarnel::win
