// The system's word that a disk came or went: the disk interface's arrival
// and removal notifications, sent to a message-only window of this thread
// and taken from its queue without waiting.
#include <windows.h>
#include <dbt.h>

#include <memory>
#include <string>

#include "host/MachineHost.h"

namespace quarnel {

namespace {

// GUID_DEVINTERFACE_DISK, written out so that no GUID library is needed.
constexpr GUID kDiskInterface = {0x53f56307, 0xb6bf, 0x11d0,
                                 {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};
constexpr wchar_t kClassName[] = L"QuarnelDiskEvents";

LRESULT CALLBACK EventsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DEVICECHANGE &&
      (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
    auto* changed = reinterpret_cast<bool*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (changed) *changed = true;
    return TRUE;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class TWinDiskEvents : public TMachineDiskEvents {
 public:
  ~TWinDiskEvents() override {
    if (notify_) UnregisterDeviceNotification(notify_);
    if (window_) DestroyWindow(window_);
  }

  bool Open(std::string* error) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = EventsProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);  // fails harmlessly when already registered
    window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, nullptr);
    if (!window_) {
      *error = "no window for the device notifications (error " +
               std::to_string(GetLastError()) + ")";
      return false;
    }
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&changed_));
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kDiskInterface;
    notify_ = RegisterDeviceNotificationW(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!notify_) {
      *error = "the system refused the disk notifications (error " +
               std::to_string(GetLastError()) + ")";
      return false;
    }
    return true;
  }

  bool Changed() override {
    MSG message;
    while (PeekMessageW(&message, window_, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    const bool changed = changed_;
    changed_ = false;
    return changed;
  }

 private:
  HWND window_ = nullptr;
  HDEVNOTIFY notify_ = nullptr;
  bool changed_ = false;
};

}  // namespace

std::unique_ptr<TMachineDiskEvents> OpenMachineDiskEvents(std::string* error) {
  auto events = std::make_unique<TWinDiskEvents>();
  std::string why;
  if (!events->Open(&why)) {
    if (error) *error = why;
    return nullptr;
  }
  return events;
}

}  // namespace quarnel
