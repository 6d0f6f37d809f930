#include "ui/qt/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace quarnel {

bool LoadQtTranslation(QTranslator& translator) {
  // The interface is Chinese whatever the system's language, so Qt's texts
  // follow it rather than the locale.
  if (!translator.load(QStringLiteral("qtbase_zh_CN"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    return false;
  }
  return QCoreApplication::installTranslator(&translator);
}

}  // namespace quarnel
