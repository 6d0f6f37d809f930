#include "host/win/WinHost.h"

#include <windows.h>

#include <cstring>

#include "base/WideText.h"
#include "host/AtaRequests.h"
#include "host/EraseRequests.h"
#include "host/HostConstants.h"
#include "host/MachineHost.h"

namespace quarnel {

namespace {

HANDLE Native(THandle handle) { return reinterpret_cast<HANDLE>(handle); }

constexpr int kMaxDriveNumber = 255;
constexpr uint32_t kNotListed = 0xFFFFFFFFu;
constexpr size_t kMaxListedDevices = 16;

// A function looked up at run time, for those that older systems lack.
template <typename TFunction>
TFunction ProcAddress(HMODULE module, const char* name) {
  return reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

bool IsDevicePath(const std::string& path) {
  return path.size() > 4 && path.compare(0, 4, "\\\\.\\") == 0;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

bool CheckWindowsDevicePaths(const std::vector<std::string>& paths, std::string* error) {
  for (size_t i = 0; i < paths.size(); ++i) {
    if (!IsDevicePath(paths[i])) {
      *error = paths[i] + " is no Windows device path (\\\\.\\PhysicalDriveN or \\\\.\\X:)";
      return false;
    }
    for (size_t j = 0; j < i; ++j) {
      if (Upper(paths[j]) == Upper(paths[i])) {
        *error = paths[i] + " is listed twice";
        return false;
      }
    }
  }
  return true;
}

// Windows paths name drive numbers, which open or not as disks come and go:
// a listed path that is not there yet needs nothing more.
std::unique_ptr<Host> CreateMachineHost(const std::vector<std::string>& devices, std::string* error,
                                        std::string* notice, bool) {
  if (!CheckWindowsDevicePaths(devices, error)) return nullptr;
  std::vector<std::string> listed = devices;
  if (listed.size() > kMaxListedDevices) listed.resize(kMaxListedDevices);
  // IsUserAnAdmin is looked up: it is not a documented export on every version.
  using TIsUserAnAdmin = BOOL(WINAPI*)();
  if (HMODULE shell = ::LoadLibraryW(L"shell32.dll")) {
    auto isAdmin = ProcAddress<TIsUserAnAdmin>(shell, "IsUserAnAdmin");
    if (isAdmin && !isAdmin()) *notice = "drives cannot be opened without administrator rights";
    ::FreeLibrary(shell);
  }
  return std::make_unique<WinHost>(std::move(listed));
}

WinHost::WinHost(std::vector<std::string> devices) : devices_(std::move(devices)) {}

bool WinHost::Keep(bool ok) {
  lastError_ = ok ? 0 : ::GetLastError();
  return ok;
}

std::string WinHost::DrivePath(int n) {
  if (n < 0 || n > kMaxDriveNumber) return {};
  if (!devices_.empty()) return static_cast<size_t>(n) < devices_.size() ? devices_[n] : "";
  return "\\\\.\\PhysicalDrive" + std::to_string(n);
}

THandle WinHost::CreateFileU8(const std::string& path, uint32_t access, uint32_t shareMode,
                              uint32_t disposition, uint32_t flags) {
  // What CreateFileW leaves in the error code on success is kept too: the
  // program's open reads it.
  ::SetLastError(0);
  const HANDLE handle = ::CreateFileW(WideFromUtf8(path).c_str(), access, shareMode, nullptr,
                                      disposition, flags, nullptr);
  lastError_ = ::GetLastError();
  if (handle != INVALID_HANDLE_VALUE && !devices_.empty())
    paths_[reinterpret_cast<THandle>(handle)] = path;
  return reinterpret_cast<THandle>(handle);
}

bool WinHost::CloseHandle(THandle handle) {
  paths_.erase(handle);
  return Keep(::CloseHandle(Native(handle)) != FALSE);
}

uint32_t WinHost::ListedDriveOf(const std::string& volumePath, uint32_t systemNumber) const {
  const std::string disk = "\\\\.\\PHYSICALDRIVE" + std::to_string(systemNumber);
  for (size_t i = 0; i < devices_.size(); ++i) {
    if (Upper(devices_[i]) == Upper(volumePath)) return static_cast<uint32_t>(i);
  }
  for (size_t i = 0; i < devices_.size(); ++i) {
    if (Upper(devices_[i]) == disk) return static_cast<uint32_t>(i);
  }
  return kNotListed;
}

bool WinHost::DeviceIoControl(THandle handle, uint32_t code, const void* in, uint32_t inSize,
                              void* out, uint32_t outSize, uint32_t* bytesReturned) {
  if (code == win::kQUARNEL_IOCTL_GET_DISK_SEQUENCE) {
    // The program's own code, not the system's: Windows has no disk sequence
    // number, and the drive is compared by model, serial and length instead.
    if (bytesReturned) *bytesReturned = 0;
    lastError_ = win::kERROR_NOT_SUPPORTED;
    return false;
  }
  if (code == win::kQUARNEL_IOCTL_NVME_SELF_TEST) {
    // No system request this build knows carries Device Self-test: say so
    // rather than hand the program's own code to a driver.
    if (bytesReturned) *bytesReturned = 0;
    lastError_ = win::kERROR_NOT_SUPPORTED;
    return false;
  }
  if (code == win::kQUARNEL_IOCTL_NVME_ERASE)
    return NvmeErase(handle, in, inSize, out, outSize, bytesReturned);
  if (code == win::kIOCTL_ATA_PASS_THROUGH) {
    // The driver carries any ATA command: the same two allow-lists as the
    // other hosts' keep it to the read-only queries and SANITIZE.
    const uint32_t refused =
        AtaPassThroughRefusal(static_cast<const uint8_t*>(in), inSize, outSize);
    if (refused != win::kERROR_SUCCESS) {
      if (bytesReturned) *bytesReturned = 0;
      lastError_ = refused;
      return false;
    }
  }
  DWORD returned = 0;
  const bool ok = ::DeviceIoControl(Native(handle), code, const_cast<void*>(in), inSize, out,
                                    outSize, &returned, nullptr) != FALSE;
  if (bytesReturned) *bytesReturned = returned;
  // With a --devices list the program numbers drives by their place in it:
  // a volume must name that number, or a format would lock the volumes of
  // the system's drive of the same number instead of its own.
  auto open = paths_.find(handle);
  if (ok && code == win::kIOCTL_STORAGE_GET_DEVICE_NUMBER && open != paths_.end() &&
      returned >= 12 && out) {
    auto* number = static_cast<uint8_t*>(out);
    DWORD type = 0, system = 0;
    std::memcpy(&type, number, 4);
    std::memcpy(&system, number + 4, 4);
    if (type == win::kFILE_DEVICE_DISK) {
      const uint32_t listed = ListedDriveOf(open->second, system);
      std::memcpy(number + 4, &listed, 4);
    }
  }
  return Keep(ok);
}

bool WinHost::WriteFile(THandle handle, const void* buffer, uint32_t size, uint32_t* written) {
  DWORD done = 0;
  const bool ok = ::WriteFile(Native(handle), buffer, size, &done, nullptr) != FALSE;
  if (written) *written = done;
  return Keep(ok);
}

bool WinHost::ReadFile(THandle handle, void* buffer, uint32_t size, uint32_t* read) {
  DWORD done = 0;
  const bool ok = ::ReadFile(Native(handle), buffer, size, &done, nullptr) != FALSE;
  if (read) *read = done;
  return Keep(ok);
}

bool WinHost::FlushFileBuffers(THandle handle) {
  return Keep(::FlushFileBuffers(Native(handle)) != FALSE);
}

bool WinHost::SetFilePointerEx(THandle handle, int64_t distance, int64_t* newPosition,
                               uint32_t moveMethod) {
  LARGE_INTEGER move{};
  move.QuadPart = distance;
  LARGE_INTEGER position{};
  const bool ok = ::SetFilePointerEx(Native(handle), move, &position, moveMethod) != FALSE;
  if (ok && newPosition) *newPosition = position.QuadPart;
  return Keep(ok);
}

uint32_t WinHost::GetLastError() { return lastError_; }

std::string WinHost::ErrorText(uint32_t code) {
  wchar_t text[1024];
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       text, sizeof text / sizeof text[0], nullptr);
  if (length == 0) return "Unknown error " + std::to_string(code);
  std::wstring message(text, length);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r'))
    message.pop_back();
  return Utf8FromWide(message);
}

uint32_t WinHost::GetLogicalDriveStringsU8(uint32_t capacity, char* buffer) {
  std::wstring roots(capacity + 1, L'\0');
  const DWORD length = ::GetLogicalDriveStringsW(capacity, roots.data());
  Keep(length != 0);
  if (length == 0 || length > capacity) return length;
  // Roots are NUL-separated: convert them with their terminators.
  const std::string narrow = Utf8FromWide(roots.substr(0, length + 1));
  if (narrow.size() > capacity) return static_cast<uint32_t>(narrow.size());
  std::copy(narrow.begin(), narrow.end(), buffer);
  return static_cast<uint32_t>(narrow.size() - 1);
}

TPlatformVersion WinHost::GetVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  TPlatformVersion version;
  if (!Keep(::GetVersionExW(&info) != FALSE)) return version;
  version.PlatformId = info.dwPlatformId;
  version.Major = info.dwMajorVersion;
  version.Minor = info.dwMinorVersion;
  version.Build = info.dwBuildNumber;
  version.ServicePack = Utf8FromWide(info.szCSDVersion);
  return version;
}

bool WinHost::IsWow64() {
  // A 64-bit program runs only on a 64-bit Windows, and is no WOW64 process.
  if constexpr (sizeof(void*) == 8) return true;
  // Looked up at run time: XP before SP2 has no IsWow64Process.
  using TIsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32");
  auto isWow64Process = kernel ? ProcAddress<TIsWow64Process>(kernel, "IsWow64Process") : nullptr;
  BOOL wow64 = FALSE;
  if (!isWow64Process || !Keep(isWow64Process(::GetCurrentProcess(), &wow64) != FALSE))
    return false;
  return wow64 != FALSE;
}

bool WinHost::SetupApiPresent() {
  // The entry points a program enumerating devices through the setup library
  // needs, in their ANSI and wide forms: all present since Windows 2000.
  static const char* const kEntryPoints[] = {"SetupDiGetClassDevsA",
                                             "SetupDiGetClassDevsW",
                                             "SetupDiGetClassDevsExA",
                                             "SetupDiGetClassDevsExW",
                                             "SetupDiEnumDeviceInfo",
                                             "SetupDiEnumDeviceInterfaces",
                                             "SetupDiGetDeviceInterfaceDetailA",
                                             "SetupDiGetDeviceInterfaceDetailW",
                                             "SetupDiGetDeviceRegistryPropertyA",
                                             "SetupDiGetDeviceRegistryPropertyW",
                                             "SetupDiGetDeviceInstanceIdA",
                                             "SetupDiGetDeviceInstanceIdW",
                                             "SetupDiGetClassDescriptionA",
                                             "SetupDiGetClassDescriptionW",
                                             "SetupDiClassGuidsFromNameA",
                                             "SetupDiClassGuidsFromNameW",
                                             "SetupDiOpenDeviceInfoA",
                                             "SetupDiOpenDeviceInfoW",
                                             "SetupDiSetClassInstallParamsA",
                                             "SetupDiSetClassInstallParamsW",
                                             "SetupDiCreateDeviceInfoList",
                                             "SetupDiDestroyDeviceInfoList",
                                             "SetupDiOpenDevRegKey",
                                             "SetupDiCallClassInstaller",
                                             "SetupDiChangeState"};
  const HMODULE library = ::LoadLibraryW(L"SetupApi.dll");
  if (!library) return false;
  bool all = true;
  for (const char* name : kEntryPoints) all = all && ::GetProcAddress(library, name) != nullptr;
  ::FreeLibrary(library);
  return all;
}

bool WinHost::ClaimDrive(THandle, std::vector<std::string>*) { return Keep(true); }

void WinHost::ReleaseDrive(THandle) {}

void WinHost::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

bool WinHost::NvmeErase(THandle handle, const void* in, uint32_t inSize, void* out,
                        uint32_t outSize, uint32_t* bytesReturned) {
  // Windows has no request for a chosen NVMe admin command; a Sanitize block
  // or crypto erase goes through the system's own erase request, which
  // returns when the drive is done. Format NVM and overwrite cannot be sent.
  if (bytesReturned) *bytesReturned = 0;
  TNvmeErase erase;
  const uint32_t refused =
      ParseNvmeEraseRequest(static_cast<const uint8_t*>(in), inSize, outSize, &erase);
  uint8_t media[win::kSTORAGE_REINITIALIZE_MEDIA_SIZE];
  if (refused != 0 || !ReinitializeMediaFor(erase, media)) {
    lastError_ = refused != 0 ? refused : win::kERROR_NOT_SUPPORTED;
    return false;
  }
  DWORD returned = 0;
  const bool ok = ::DeviceIoControl(Native(handle), win::kIOCTL_STORAGE_REINITIALIZE_MEDIA, media,
                                    sizeof media, nullptr, 0, &returned, nullptr) != FALSE;
  if (!Keep(ok)) return false;
  std::memset(out, 0, win::kNVME_ERASE_OUT_SIZE);  // completed: status 0
  if (bytesReturned) *bytesReturned = win::kNVME_ERASE_OUT_SIZE;
  return true;
}

}  // namespace quarnel
