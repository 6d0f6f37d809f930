// Qt's own texts (standard buttons, its dialogs) in the interface's language.
#pragma once

class QTranslator;

namespace quarnel {

/// Loads Qt's Chinese translation (qtbase_zh_CN from Qt's translations
/// folder) into `translator` and installs it in the application. Returns
/// false when the file is missing; Qt's texts then stay English.
bool LoadQtTranslation(QTranslator& translator);

}  // namespace quarnel
