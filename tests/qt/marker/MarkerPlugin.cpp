// A library that looks like a platform plugin named "marker" to Qt's plugin
// loader. When anything loads it, its constructor leaves the file named by
// QUARNEL_MARKER_FILE: the desktop program must never load it, whatever its
// command line says.
#include <QObject>
#include <cstdio>
#include <cstdlib>

namespace {
__attribute__((constructor)) void LeaveMarker() {
  if (const char* path = std::getenv("QUARNEL_MARKER_FILE")) {
    if (FILE* f = std::fopen(path, "w")) std::fclose(f);
  }
}
}  // namespace

class MarkerPlugin : public QObject {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface.5.3" FILE
                    "marker.json")
};

#include "MarkerPlugin.moc"
