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

int CheckRecords(const TCliOptions& options, std::ostream& out, std::ostream& err) {
  const std::vector<std::string> files(options.Arguments.begin() + 1, options.Arguments.end());
  if (files.empty()) {
    err << "quarnel-cli: record check needs at least one record file\n";
    return kExitUsage;
  }
  TEd25519PublicKey key{};
  const bool withKey = !options.PublicKeyFile.empty();
  if (withKey) {
    if (!SignaturesAvailable()) {
      err << "quarnel-cli: cannot check signatures: Ed25519 signatures are not available in this "
             "build (the seals can still be checked without --key)\n";
      return kExitNoSignatures;
    }
    std::string pem, error;
    if (!ReadSmallFile(options.PublicKeyFile, kLargestKey, &pem, &error) ||
        !LoadPublicKey(pem, &key, &error)) {
      err << "quarnel-cli: the key " << options.PublicKeyFile << " cannot be used: " << error
          << "\n";
      return kExitUsage;
    }
  }
  int status = 0;
  for (const std::string& file : files) {
    std::string text, error;
    if (!ReadSmallFile(file, kLargestRecord, &text, &error)) {
      out << file << ": cannot be read - " << error << "\n";
      status = 1;
      continue;
    }
    const TSealCheck check = CheckRecordSeal(text, withKey ? &key : nullptr);
    if (check.Seal != TSealResult::Intact) {
      out << file << ": altered (" << check.Reason << ")\n";
      status = 1;
    } else if (withKey && check.Signature != TSignatureResult::Good) {
      out << file << ": intact, but " << check.Reason << "\n";
      status = 1;
    } else {
      out << file << ": intact" << (withKey ? ", signed with this key" : "") << "\n";
    }
  }
  return status;
}

int MakeCertificate(const TCliOptions& options, std::ostream& out, std::ostream& err) {
  if (options.Arguments.size() != 2) {
    err << "quarnel-cli: record certificate takes one record file\n";
    return kExitUsage;
  }
  const std::string& file = options.Arguments[1];
  std::string text, error;
  if (!ReadSmallFile(file, kLargestRecord, &text, &error)) {
    err << "quarnel-cli: " << file << " cannot be read: " << error << "\n";
    return 1;
  }
  // A certificate vouches for the record: none for one that is not intact.
  const TSealCheck check = CheckRecordSeal(text, nullptr);
  if (check.Seal != TSealResult::Intact) {
    err << "quarnel-cli: " << file << " is altered (" << check.Reason
        << "); no certificate is made for it\n";
    return 1;
  }
  const std::string html = CertificateHtml(nlohmann::json::parse(text), true);
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
