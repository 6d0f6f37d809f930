#include "frontend/DesktopProgram.h"

#include <locale>

#include "app/MainState.h"
#include "base/System.h"
#include "frontend/HostChoice.h"
#include "record/EraseRecordFile.h"

namespace quarnel {

int RunDesktopProgram(TWindowFactory& windows, const std::vector<std::string>& arguments,
                      const THostOptions& host, const std::string& programFile,
                      bool station) {
  // Dates, times and numbers follow the user's regional settings.
  try {
    std::locale::global(RegionalLocale());
  } catch (const std::exception&) {
    windows.ShowStartNotice("the locale of the environment is not available; using \"C\"");
  }
  std::string error;
  std::string notice;
  if (!InstallHost(host, &error, &notice)) {
    windows.ShowStartError(error);
    return 2;
  }
  if (!notice.empty()) windows.ShowStartNotice(notice);
  // Every run past the confirmation leaves a record in the user's data folder.
  SetMainEraseRecordWriter(EraseRecordWriter("", host.Simulate));
  TDesktop desktop(windows, arguments, programFile, station);
  return desktop.Run();
}

}  // namespace quarnel
