#include "app/EraseContextForm.h"

#include <filesystem>
#include <vector>

#include "base/System.h"
#include "ui/Catalogue.h"

namespace quarnel {

namespace {

constexpr size_t kLargestFile = 16 * 1024;
constexpr const char* kKeys[] = {"operator", "organisation", "location"};

std::string* Field(TEraseContext& c, int k) {
  return k == 0 ? &c.Operator : k == 1 ? &c.Organisation : &c.Location;
}

}  // namespace

TFieldsDialogRequest EraseContextRequest() {
  using namespace contextform;
  TFieldsDialogRequest r;
  r.Title = kTitle;
  r.Text = kText;
  r.Labels = {kOperatorLabel, kOrganisationLabel, kLocationLabel, kAssetTagLabel};
  r.OkCaption = kOkCaption;
  r.CancelCaption = kCancelCaption;
  r.MaxLength = kMaxLength;
  r.FieldWidth = kFieldWidth;
  return r;
}

std::string CleanContextField(const std::string& text) {
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7F) out += c;
  }
  const size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

std::string RememberedContextText(const TEraseContext& context) {
  TEraseContext c = context;
  std::string text;
  for (int k = 0; k < 3; ++k)
    text += std::string(kKeys[k]) + "=" + CleanContextField(*Field(c, k)) + "\n";
  return text;
}

TEraseContext ReadRememberedContext(const std::string& text) {
  TEraseContext c;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    for (int k = 0; k < 3; ++k) {
      if (line.compare(0, eq, kKeys[k]) == 0 && eq == std::string(kKeys[k]).size()) {
        *Field(c, k) = CleanContextField(line.substr(eq + 1));
      }
    }
  }
  return c;
}

std::string RememberedContextPath() {
  const std::string folder = GetAppDataFolder();
  if (folder.empty()) return {};
  const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
  return folder + separator + "quarnel.erase-context";
}

bool AskEraseContext(TEraseContext* asked) {
  const std::string path = RememberedContextPath();
  TEraseContext context;
  if (!path.empty()) {
    // The user's file, also when the program runs as root on the user's behalf.
    RunAsInvokingUser([&] {
      std::string text, error;
      if (ReadSmallFile(path, kLargestFile, &text, &error)) context = ReadRememberedContext(text);
      return true;
    });
  }
  std::vector<std::string> values = {context.Operator, context.Organisation, context.Location, ""};
  if (!Ui().FieldsDialog(EraseContextRequest(), &values)) return false;
  values.resize(4);
  for (std::string& v : values) v = CleanContextField(v);
  context = {values[0], values[1], values[2], values[3]};
  if (!path.empty()) {
    RunAsInvokingUser([&] {
      std::error_code ignored;
      std::filesystem::create_directories(
          std::filesystem::path(std::u8string(path.begin(), path.end())).parent_path(), ignored);
      TKeptFile file;
      std::string error;
      return file.Open(path, true, &error) && file.Replace(RememberedContextText(context), &error);
    });
  }
  *asked = context;
  return true;
}

}  // namespace quarnel
