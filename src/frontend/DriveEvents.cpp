#include "frontend/DriveEvents.h"

#include "host/MachineHost.h"
#include "host/sim/SimHost.h"

namespace quarnel {

namespace {

class TSimEvents : public TDriveEvents {
 public:
  explicit TSimEvents(SimHost& host) : host_(host) { host_.ScheduleChanged(); }
  bool Changed() override { return host_.ScheduleChanged(); }

 private:
  SimHost& host_;
};

class TMachineEvents : public TDriveEvents {
 public:
  TMachineEvents(Host& host, std::unique_ptr<TMachineDiskEvents> events)
      : host_(host), events_(std::move(events)) {}
  bool Changed() override {
    if (!events_->Changed()) return false;
    host_.RefreshDrives();
    return true;
  }

 private:
  Host& host_;
  std::unique_ptr<TMachineDiskEvents> events_;
};

}  // namespace

std::unique_ptr<TDriveEvents> OpenDriveEvents(Host& host, std::string* error) {
  if (auto* sim = dynamic_cast<SimHost*>(&host)) return std::make_unique<TSimEvents>(*sim);
  std::string why;
  std::unique_ptr<TMachineDiskEvents> events = OpenMachineDiskEvents(&why);
  if (!events) {
    if (error) *error = why;
    return nullptr;
  }
  return std::make_unique<TMachineEvents>(host, std::move(events));
}

}  // namespace quarnel
