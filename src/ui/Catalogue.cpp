#include "ui/Catalogue.h"

#include "base/ProgramInfo.h"

namespace quarnel {

namespace mainwindow {

std::string MakerLineText() { return std::string("Quarnel 由 Zelmora 开发，访问 ") + kMakerUrl; }

std::optional<TFormatControl> DefaultButton(int page) {
  if (page == kFormatPage) return TFormatControl::btRunBenchmarks;
  if (page == kSmartPage) return TFormatControl::btGetSmart;
  return std::nullopt;
}

std::optional<TFormatControl> EnterPresses(int page) {
  const std::optional<TFormatControl> button = DefaultButton(page);
  if (button && Ui().ControlEnabled(*button)) return button;
  return std::nullopt;
}

}  // namespace mainwindow

}  // namespace quarnel
