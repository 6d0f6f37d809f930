#include "base/System.h"

// <windows.h> first: the other SDK headers build on it.
// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <iomanip>
#include <sstream>

#include "base/WideText.h"

namespace quarnel {

namespace {
std::atomic<bool> stopSignal{false};
bool catching = false;

// Runs on a thread of its own that the console starts: only the flag is set.
BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  stopSignal = true;
  return TRUE;
}

class TDecimalSeparator : public std::numpunct<char> {
 public:
  explicit TDecimalSeparator(char separator) : separator_(separator) {}

 protected:
  char do_decimal_point() const override { return separator_; }

 private:
  char separator_;
};
}  // namespace

std::string GetAppDataFolder() {
  wchar_t path[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, path) != S_OK) return {};
  std::string folder = Utf8FromWide(path);
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

// Windows elevates the user's own account: the folder is already the user's.
bool StartedOnBehalfOfUser() { return false; }

bool IsInvokingUsersPrivateFolder(const std::string&) { return false; }

bool StartAsInvokingUser(const std::vector<std::string>&) { return false; }

bool RunAsInvokingUser(const std::function<bool()>& work) { return work(); }

namespace {
std::string Reason(DWORD code) {
  wchar_t text[512] = {};
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                     text, sizeof text / sizeof text[0], nullptr);
  if (length == 0) return "error " + std::to_string(code);
  std::wstring message(text, length);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r'))
    message.pop_back();
  return Utf8FromWide(message);
}

// A plain file on a disk: no device, pipe or console, no folder, no link.
bool IsRegularFile(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
         !(info.dwFileAttributes &
           (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
}

// Device names ("\\.\PhysicalDrive0") are never files to write.
bool IsDevicePath(const std::string& path) { return path.rfind("\\\\.\\", 0) == 0; }
}  // namespace

TKeptFile::~TKeptFile() { Close(); }

bool TKeptFile::Open(const std::string& path, bool replace, std::string* error) {
  Close();
  created_ = written_ = existed_ = false;
  if (IsDevicePath(path)) {
    *error = "it is not a regular file";
    return false;
  }
  const std::wstring wide = WideFromUtf8(path);
  constexpr DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            kFlags, nullptr);
  created_ = file != INVALID_HANDLE_VALUE;
  if (!created_ &&
      (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)) {
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    existed_ = attributes != INVALID_FILE_ATTRIBUTES &&
               !(attributes &
                 (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
    if (!existed_ || !replace) {
      *error = existed_ ? "it exists already" : "it is not a regular file";
      return false;
    }
    file = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, kFlags,
                       nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) {
    *error = Reason(GetLastError());
    return false;
  }
  if (!IsRegularFile(file)) {
    CloseHandle(file);
    *error = "it is not a regular file";
    return false;
  }
  // Another name of the same file would be overwritten with it.
  BY_HANDLE_FILE_INFORMATION info{};
  if (!created_ && (!GetFileInformationByHandle(file, &info) || info.nNumberOfLinks != 1)) {
    CloseHandle(file);
    *error = "it has other names (hard links): only a file with one name is replaced";
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  path_ = path;
  return true;
}

bool TKeptFile::Replace(const std::string& text, std::string* error) {
  HANDLE file = reinterpret_cast<HANDLE>(handle_);
  if (handle_ == -1) {
    *error = Reason(ERROR_INVALID_HANDLE);
    return false;
  }
  written_ = true;
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) {
    *error = Reason(GetLastError());
    return false;
  }
  size_t done = 0;
  while (done < text.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1 << 20));
    if (!WriteFile(file, text.data() + done, chunk, &written, nullptr) || written == 0) {
      *error = Reason(GetLastError());
      return false;
    }
    done += written;
  }
  if (!FlushFileBuffers(file)) {
    *error = Reason(GetLastError());
    return false;
  }
  return true;
}

void TKeptFile::Discard() {
  const bool remove = handle_ != -1 && created_ && !written_;
  Close();
  if (remove) DeleteFileW(WideFromUtf8(path_).c_str());
}

void TKeptFile::Close() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

bool ReadSmallFile(const std::string& path, size_t limit, std::string* content,
                   std::string* error) {
  content->clear();
  if (IsDevicePath(path)) {
    *error = "it is not a regular file";
    return false;
  }
  HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = Reason(GetLastError());
    return false;
  }
  LARGE_INTEGER size{};
  bool ok = IsRegularFile(file);
  if (!ok) *error = "it is not a regular file";
  if (ok && (!GetFileSizeEx(file, &size) || static_cast<uint64_t>(size.QuadPart) > limit)) {
    ok = false;
    *error = "it is larger than " + std::to_string(limit) + " bytes";
  }
  // By the file's size, one byte more: a file that grew meanwhile is read
  // on, and refused past the limit.
  std::string bytes(ok ? static_cast<size_t>(size.QuadPart) + 1 : 0, '\0');
  size_t done = 0;
  while (ok) {
    if (done == bytes.size()) {
      if (done > limit) break;
      bytes.resize(std::min(done * 2, limit + 1));
    }
    DWORD read = 0;
    if (!ReadFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read,
                  nullptr)) {
      ok = false;
      *error = Reason(GetLastError());
    }
    if (read == 0) break;
    done += read;
  }
  CloseHandle(file);
  if (ok && done > limit) {
    ok = false;
    *error = "it is larger than " + std::to_string(limit) + " bytes";
  }
  if (ok) content->assign(bytes, 0, done);
  return ok;
}

// Windows keeps no permission bits that others' access could be read from.
bool ReadPrivateFile(const std::string& path, size_t limit, std::string* content,
                     std::string* error) {
  return ReadSmallFile(path, limit, content, error);
}

std::string AdminRightsHint() { return "请右键单击 Quarnel，选择“以管理员身份运行”"; }

void CatchStopSignals(bool on) {
  if (on == catching) return;
  if (on) stopSignal = false;
  SetConsoleCtrlHandler(OnConsoleControl, on ? TRUE : FALSE);
  catching = on;
}

bool TakeStopSignal() { return stopSignal.exchange(false); }

namespace {
// One argument as the C runtime's parser reads it back: quoted when it has a
// blank or a quote, backslashes doubled only before a quote.
std::wstring QuotedArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}
}  // namespace

TChildProcess::~TChildProcess() {
  if (process_ != -1) Wait();
  if (pipe_ != -1) CloseHandle(reinterpret_cast<HANDLE>(pipe_));
}

bool TChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                          std::string* error) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
    *error = "CreatePipe failed (" + std::to_string(GetLastError()) + ")";
    return false;
  }
  // Only the child's end is inherited.
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);
  std::wstring line = QuotedArgument(WideFromUtf8(program));
  for (const std::string& a : args) line += L" " + QuotedArgument(WideFromUtf8(a));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION info = {};
  const std::wstring file = WideFromUtf8(program);
  // A process group of its own: Interrupt can reach it alone.
  const BOOL started = CreateProcessW(file.c_str(), line.data(), nullptr, nullptr, TRUE,
                                      CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &info);
  const DWORD code = GetLastError();
  CloseHandle(writeEnd);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (!started) {
    CloseHandle(readEnd);
    *error = "CreateProcess failed (" + std::to_string(code) + ")";
    return false;
  }
  CloseHandle(info.hThread);
  process_ = reinterpret_cast<intptr_t>(info.hProcess);
  id_ = static_cast<intptr_t>(info.dwProcessId);
  pipe_ = reinterpret_cast<intptr_t>(readEnd);
  return true;
}

int64_t TChildProcess::ReadAvailable(char* buffer, size_t size) {
  if (pipe_ == -1) return -1;
  const HANDLE pipe = reinterpret_cast<HANDLE>(pipe_);
  DWORD available = 0;
  if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return -1;
  if (available == 0) return 0;
  DWORD read = 0;
  const DWORD want =
      static_cast<DWORD>(std::min<size_t>({size, size_t{available}, size_t{1} << 20}));
  if (!ReadFile(pipe, buffer, want, &read, nullptr)) return -1;
  return read;
}

// Large pages on Windows need a privilege a program does not hold by default.
void OfferLargePages(void*, size_t) {}

// Committed read-only pages read as zeros; nothing can write them.
void* AllocateZeroBlock(size_t size) {
  return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READONLY);
}

void ReleaseZeroBlock(void* block, size_t) {
  if (block) VirtualFree(block, 0, MEM_RELEASE);
}

void PauseMs(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

// Ctrl+Break to the child's own process group: a group of its own does not
// get the Ctrl+C typed at the console, so this is how a stop reaches it.
void TChildProcess::Interrupt() {
  if (process_ != -1) GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(id_));
}

int TChildProcess::Wait() {
  if (process_ == -1) return -1;
  const HANDLE process = reinterpret_cast<HANDLE>(process_);
  DWORD code = 0;
  const bool known =
      WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
  CloseHandle(process);
  process_ = -1;
  return known ? static_cast<int>(code) : -1;
}

std::string OwnProgramFile() {
  std::wstring path(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (n == 0 || n >= path.size()) return {};
  path.resize(n);
  return Utf8FromWide(path);
}

void IgnoreBrokenPipes() {}  // a write to a closed pipe fails; nothing is ended

void EndProcessAsCrash() {
  // The status an access violation ends a process with.
  TerminateProcess(GetCurrentProcess(), 0xC0000005u);
  ExitProcess(0xC0000005u);
}

namespace {
bool IsConsole(DWORD stream) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(stream), &mode) != 0;
}
}  // namespace

bool StdInIsTerminal() { return IsConsole(STD_INPUT_HANDLE); }
bool StdOutIsTerminal() { return IsConsole(STD_OUTPUT_HANDLE); }
bool StdErrIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }

std::locale RegionalLocale() {
  // The runtime knows no locale but "C": only the decimal separator is taken
  // over; a separator beyond ASCII stays '.'.
  wchar_t separator[4] = {};
  char decimal = '.';
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 4) > 0 && separator[0] > 0 &&
      separator[0] < 0x80) {
    decimal = static_cast<char>(separator[0]);
  }
  return std::locale(std::locale::classic(), new TDecimalSeparator(decimal));
}

std::string RegionalDateTime(const std::tm& local) {
  SYSTEMTIME time = {};
  time.wYear = static_cast<WORD>(local.tm_year + 1900);
  time.wMonth = static_cast<WORD>(local.tm_mon + 1);
  time.wDayOfWeek = static_cast<WORD>(local.tm_wday);
  time.wDay = static_cast<WORD>(local.tm_mday);
  time.wHour = static_cast<WORD>(local.tm_hour);
  time.wMinute = static_cast<WORD>(local.tm_min);
  time.wSecond = static_cast<WORD>(local.tm_sec);
  wchar_t date[128] = {};
  wchar_t clock[128] = {};
  if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 128) > 0 &&
      GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, 128) > 0) {
    return Utf8FromWide(date) + " " + Utf8FromWide(clock);
  }
  std::ostringstream out;  // a date the system cannot write: the runtime's form
  out << std::put_time(&local, "%x %X");
  return out.str();
}

}  // namespace quarnel
