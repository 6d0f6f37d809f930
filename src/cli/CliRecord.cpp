// The record command: check the seals of erase records, and make the
// certificate of one. Neither touches a drive.
#include <ostream>

#include "base/System.h"
#include "cli/CliApp.h"
#include "record/Certificate.h"
#include "record/RecordSeal.h"

namespace quarnel {

namespace {

constexpr size_t kLargestRecord = 64 * 1024 * 1024;
constexpr size_t kLargestKey = 64 * 1024;

// The public key of --key into *key: 0 when read or none was given, else
// the exit status.
int ReadPublicKey(const TCliOptions& options, TEd25519PublicKey* key, std::ostream& err) {
  if (options.PublicKeyFile.empty()) return 0;
  if (!SignaturesAvailable()) {
    err << "quarnel-cli: cannot check signatures: Ed25519 signatures are not available in this "
           "build (the seals can still be checked without --key)\n";
    return kExitNoSignatures;
  }
  std::string pem, error;
  if (!ReadSmallFile(options.PublicKeyFile, kLargestKey, &pem, &error) ||
      !LoadPublicKey(pem, key, &error)) {
    err << "quarnel-cli: the key " << options.PublicKeyFile << " cannot be used: " << error << "\n";
    return kExitUsage;
  }
  return 0;
}

// The line for one record that was read, and whether it counts as good.
bool CheckLine(const std::string& file, const TSealCheck& check, bool withKey, std::ostream& out) {
  if (check.Seal != TSealResult::Intact) {
    out << file << ": altered (" << check.Reason << ")\n";
    return false;
  }
  const bool signedWithKey = check.Signature == TSignatureResult::Good;
  if (check.Signature == TSignatureResult::NotChecked || (withKey && !signedWithKey)) {
    out << file << ": intact, but " << check.Reason << "\n";
    return false;
  }
  out << file << ": intact"
      << (withKey         ? ", signed with this key"
          : signedWithKey ? ", signed with the public key it names (--key checks who signed it)"
                          : "")
      << "\n";
  return true;
}

int CheckRecords(const TCliOptions& options, std::ostream& out, std::ostream& err) {
  const std::vector<std::string> files(options.Arguments.begin() + 1, options.Arguments.end());
  if (files.empty()) {
    err << "quarnel-cli: record check needs at least one record file\n";
    return kExitUsage;
  }
  TEd25519PublicKey key{};
  const bool withKey = !options.PublicKeyFile.empty();
  if (const int status = ReadPublicKey(options, &key, err); status != 0) return status;
  int status = 0;
  for (const std::string& file : files) {
    std::string text, error;
    if (!ReadSmallFile(file, kLargestRecord, &text, &error)) {
      out << file << ": cannot be read - " << error << "\n";
      status = 1;
    } else if (!CheckLine(file, CheckRecordSeal(text, withKey ? &key : nullptr), withKey, out)) {
      status = 1;
    }
  }
  return status;
}

// The page of an intact record, signed with `key` where one is given.
bool CertificateOf(const std::string& file, const TEd25519PublicKey* key, std::string* html,
                   std::ostream& err) {
  std::string text, error;
  if (!ReadSmallFile(file, kLargestRecord, &text, &error)) {
    err << "quarnel-cli: " << file << " cannot be read: " << error << "\n";
    return false;
  }
  // A certificate vouches for the record: none for one that is not intact.
  const TSealCheck check = CheckRecordSeal(text, key);
  if (check.Seal != TSealResult::Intact) {
    error = "is altered (" + check.Reason + ")";
  } else if (key && check.Signature != TSignatureResult::Good) {
    error = "is intact, but " + check.Reason;
  } else if (CertificateHtml(nlohmann::json::parse(text), check, key != nullptr, html, &error)) {
    return true;
  } else {
    error = "cannot be shown: " + error;
  }
  err << "quarnel-cli: " << file << " " << error << "; no certificate is made for it\n";
  return false;
}

int MakeCertificate(const TCliOptions& options, std::ostream& out, std::ostream& err) {
  if (options.Arguments.size() != 2) {
    err << "quarnel-cli: record certificate takes one record file\n";
    return kExitUsage;
  }
  TEd25519PublicKey key{};
  if (const int status = ReadPublicKey(options, &key, err); status != 0) return status;
  const bool withKey = !options.PublicKeyFile.empty();
  std::string html, error;
  if (!CertificateOf(options.Arguments[1], withKey ? &key : nullptr, &html, err)) return 1;
  if (options.OutFile.empty()) {
    out << html;
    return 0;
  }
  TKeptFile page;
  if (!page.Open(options.OutFile, options.Force, &error) || !page.Replace(html, &error)) {
    err << "quarnel-cli: cannot write " << options.OutFile << ": " << error
        << (page.Existed() && !options.Force ? " (--force replaces it)" : "") << "\n";
    page.Discard();
    return 1;
  }
  page.Close();
  return 0;
}

}  // namespace

int CommandRecord(const TCliOptions& options, std::ostream& out, std::ostream& err) {
  const std::string what = options.Arguments.empty() ? "" : options.Arguments[0];
  if (what == "check") return CheckRecords(options, out, err);
  if (what == "certificate") return MakeCertificate(options, out, err);
  err << "quarnel-cli: record needs check or certificate\n";
  return kExitUsage;
}

}  // namespace quarnel
