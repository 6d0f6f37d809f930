#include "record/RecordSeal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>
#include <vector>

namespace quarnel {

namespace {

using json = nlohmann::json;

// RFC 8785 sorts keys by their UTF-16 code units.
std::u16string Utf16(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < text.size(); ++k) {
      cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    i += 1 + extra;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

void AppendString(const std::string& text, std::string& out) {
  static const char* const kHex = "0123456789abcdef";
  out += '"';
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

void Append(const json& v, std::string& out) {
  switch (v.type()) {
    case json::value_t::object: {
      std::vector<std::pair<std::u16string, const std::string*>> keys;
      for (auto it = v.begin(); it != v.end(); ++it) keys.emplace_back(Utf16(it.key()), &it.key());
      std::sort(keys.begin(), keys.end());
      out += '{';
      for (size_t i = 0; i < keys.size(); ++i) {
        if (i > 0) out += ',';
        AppendString(*keys[i].second, out);
        out += ':';
        Append(v.at(*keys[i].second), out);
      }
      out += '}';
      break;
    }
    case json::value_t::array:
      out += '[';
      for (size_t i = 0; i < v.size(); ++i) {
        if (i > 0) out += ',';
        Append(v[i], out);
      }
      out += ']';
      break;
    case json::value_t::string:
      AppendString(v.get_ref<const std::string&>(), out);
      break;
    case json::value_t::boolean:
      out += v.get<bool>() ? "true" : "false";
      break;
    case json::value_t::number_integer:
    case json::value_t::number_unsigned:
    case json::value_t::number_float:
      // Every JSON number is an IEEE 754 double in RFC 8785.
      out += CanonicalNumber(v.get<double>());
      break;
    default:
      out += "null";
  }
}

std::string Hex(const TSha256& digest) { return HexText(digest.data(), digest.size()); }

// No record nests deeper; the canonical form recurses over the nesting.
constexpr int kDeepest = 32;

// Notes a key given twice in one object (readers would disagree on which one
// counts) and a nesting deeper than any record's, building nothing. (A parse
// with a callback looks through the parent at each object's end: quadratic
// in a long list of objects.)
class TStrictSax : public nlohmann::json_sax<json> {
 public:
  bool Duplicate = false, TooDeep = false;

  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override {
    open_.emplace_back();
    return Enter();
  }
  bool key(string_t& name) override {
    if (!open_.back().insert(name).second) Duplicate = true;
    return true;
  }
  bool end_object() override {
    open_.pop_back();
    --depth_;
    return true;
  }
  bool start_array(std::size_t) override { return Enter(); }
  bool end_array() override {
    --depth_;
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  bool Enter() {
    TooDeep = TooDeep || ++depth_ > kDeepest;
    return !TooDeep;
  }
  std::vector<std::set<std::string>> open_;
  int depth_ = 0;
};

json ParseStrict(const std::string& text, bool* duplicate, bool* tooDeep) {
  TStrictSax sax;
  const bool wellFormed = json::sax_parse(text, &sax);
  *duplicate = sax.Duplicate;
  *tooDeep = sax.TooDeep;
  if (!wellFormed) return json(json::value_t::discarded);
  return json::parse(text, nullptr, false);
}

// Above 2^53 doubles skip integers: two records would share one canonical form.
constexpr double kExactLimit = 9007199254740992.0;

template <typename Json>
bool Exact(const Json& v) {
  if (v.is_structured()) {
    for (const auto& item : v) {
      if (!Exact(item)) return false;
    }
    return true;
  }
  if (v.is_number_unsigned()) return v.template get<uint64_t>() < 9007199254740992ull;
  if (v.is_number_integer()) {
    const auto n = v.template get<int64_t>();
    return n < 9007199254740992ll && n > -9007199254740992ll;
  }
  return !v.is_number() || std::fabs(v.template get<double>()) < kExactLimit;
}

// Such integers are kept exact as their decimal text.
void LargeIntegersAsText(nlohmann::ordered_json& v) {
  if (v.is_structured()) {
    for (auto& item : v) LargeIntegersAsText(item);
  } else if ((v.is_number_integer() || v.is_number_unsigned()) && !Exact(v)) {
    v = v.dump();
  }
}

// The signature a sealed record holds: checked against the record's own
// public key always (one that fails there makes the record altered), and
// against `key` when one is given.
void CheckSignature(const json& seal, const std::string& canonical, const TEd25519PublicKey* key,
                    TSealCheck* check) {
  const auto sig = seal.find("signature");
  if (sig == seal.end() || sig->is_null()) {
    check->Signature = TSignatureResult::Missing;
    if (key) check->Reason = "not signed";
    return;
  }
  std::string own, value;
  const bool readable = sig->is_object() && sig->value("algorithm", "") == "ed25519" &&
                        sig->contains("public_key") && sig->at("public_key").is_string() &&
                        HexBytes(sig->at("public_key").get<std::string>(), &own) &&
                        own.size() == 32 && sig->contains("value") &&
                        sig->at("value").is_string() &&
                        HexBytes(sig->at("value").get<std::string>(), &value);
  if (!readable) {
    check->Seal = TSealResult::Altered;
    check->Reason = "its signature cannot be read";
    return;
  }
  if (!SignaturesAvailable()) {
    check->Signature = TSignatureResult::NotChecked;
    check->Reason = "its signature cannot be checked in this build";
    return;
  }
  TEd25519PublicKey ownKey{};
  std::copy(own.begin(), own.end(), ownKey.begin());
  if (!VerifyEd25519(ownKey, canonical, value)) {
    check->Seal = TSealResult::Altered;
    check->Signature = TSignatureResult::Bad;
    check->Reason = "the signature does not match the content";
    return;
  }
  const bool good = !key || VerifyEd25519(*key, canonical, value);
  check->Signature = good ? TSignatureResult::Good : TSignatureResult::Bad;
  if (!good) check->Reason = "the signature was not made with this key";
}

}  // namespace

bool NumbersExact(const json& value) { return Exact(value); }

std::string HexText(const uint8_t* bytes, size_t count) {
  static const char* const kHex = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    out += kHex[bytes[i] >> 4];
    out += kHex[bytes[i] & 15];
  }
  return out;
}

bool HexBytes(const std::string& hex, std::string* bytes) {
  if (hex.size() % 2 != 0) return false;
  auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
  };
  bytes->clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    *bytes += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

std::string CanonicalNumber(double value) {
  if (value == 0 || !std::isfinite(value)) return "0";
  if (value < 0) return "-" + CanonicalNumber(-value);
  // The shortest digits that read back as the value, then ECMAScript's
  // choice between plain and exponent notation.
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  const std::string text(buf, res.ptr);
  const size_t e = text.find('e');
  std::string digits = text.substr(0, e);
  digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
  const int k = static_cast<int>(digits.size());
  const int n = std::stoi(text.substr(e + 1)) + 1;
  if (k <= n && n <= 21) return digits + std::string(n - k, '0');
  if (0 < n && n <= 21) return digits.substr(0, n) + "." + digits.substr(n);
  if (-6 < n && n <= 0) return "0." + std::string(-n, '0') + digits;
  const int exponent = n - 1;
  std::string out = digits.substr(0, 1);
  if (k > 1) out += "." + digits.substr(1);
  return out + "e" + (exponent < 0 ? "-" : "+") + std::to_string(std::abs(exponent));
}

std::string CanonicalJson(const json& value) {
  std::string out;
  Append(value, out);
  return out;
}

bool SealRecord(nlohmann::ordered_json& record, const TSigningKey* key, std::string* error) {
  record.erase("seal");
  LargeIntegersAsText(record);
  // The seal covers the record as a reader will parse it from the file.
  const std::string canonical = CanonicalJson(
      json::parse(record.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)));
  TSha256 digest;
  if (!ComputeSha256(canonical, &digest)) {
    *error = "the system's cryptography gave no SHA-256";
    record["seal"] = nullptr;
    return false;
  }
  nlohmann::ordered_json seal = {
      {"algorithm", "sha-256"}, {"sha256", Hex(digest)}, {"version", QUARNEL_VERSION}};
  seal["signature"] = nullptr;
  if (key) {
    std::string signature;
    if (!SignEd25519(*key, canonical, &signature, error)) {
      record["seal"] = nullptr;
      return false;
    }
    const auto* s = reinterpret_cast<const uint8_t*>(signature.data());
    seal["signature"] = {{"algorithm", "ed25519"},
                         {"public_key", HexText(key->PublicKey.data(), key->PublicKey.size())},
                         {"value", HexText(s, signature.size())}};
  }
  record["seal"] = std::move(seal);
  return true;
}

TSealCheck CheckRecordSeal(const std::string& text, const TEd25519PublicKey* key) {
  TSealCheck check;
  bool duplicate = false, tooDeep = false;
  json record = ParseStrict(text, &duplicate, &tooDeep);
  if (tooDeep) {
    check.Reason = "nested deeper than any record";
    return check;
  }
  if (record.is_discarded() || !record.is_object()) {
    check.Reason = "not a JSON object";
    return check;
  }
  if (duplicate) {
    check.Reason = "a key appears twice in one object";
    return check;
  }
  const auto sealAt = record.find("seal");
  if (sealAt == record.end() || !sealAt->is_object()) {
    check.Seal = TSealResult::Unsealed;
    check.Reason = "no seal";
    return check;
  }
  const json seal = *sealAt;
  record.erase("seal");
  if (!Exact(record)) {
    check.Reason = "it holds a number of 2^53 or more, which its seal cannot tell apart";
    return check;
  }
  const std::string canonical = CanonicalJson(record);
  TSha256 digest;
  if (!ComputeSha256(canonical, &digest)) {
    check.Reason = "the system's cryptography gave no SHA-256";
    return check;
  }
  const auto hash = seal.find("sha256");
  if (seal.value("algorithm", "") != "sha-256" || hash == seal.end() || !hash->is_string() ||
      *hash != Hex(digest)) {
    check.Reason = "the content does not match its seal";
    return check;
  }
  check.Seal = TSealResult::Intact;
  CheckSignature(seal, canonical, key, &check);
  return check;
}

}  // namespace quarnel
