// The certificate as a file beside its record, for the desktop's button
// (without the JSON library, which the windows do not see).
#pragma once

#include <string>

namespace quarnel {

/// The desktop's button: writes the certificate of the record file
/// `recordFile` beside it (its name with ".html" for ".json"), with the
/// user's rights, and logs "擦除证书已保存: " and the page's path, or
/// "无法生成擦除证书: ", the path, " - " and the reason. Returns the page's
/// path, or "" when none was made (an altered record gets none).
std::string SaveCertificateFor(const std::string& recordFile);

}  // namespace quarnel
