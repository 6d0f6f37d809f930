// The seal of an erase record: a SHA-256 over the record's canonical form
// (RFC 8785: keys sorted, no white space) without the seal itself, the
// program's version, and where a key was given an Ed25519 signature of the
// same bytes (docs/erase-record.md says how another program checks it).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "record/RecordCrypto.h"

namespace quarnel {

/// The canonical form of a JSON value under RFC 8785 (the JSON
/// Canonicalization Scheme), as UTF-8 text.
std::string CanonicalJson(const nlohmann::json& value);

/// Numbers as RFC 8785 writes them (ECMAScript's shortest form); finite only.
std::string CanonicalNumber(double value);

/// Adds "seal" at the end of `record` (replacing one it holds): the hash of
/// its canonical form without "seal", the program's version, and a
/// signature with `key` when one is given. False with *error set, and
/// "seal" null, when the hash or the signature could not be made.
bool SealRecord(nlohmann::ordered_json& record, const TSigningKey* key, std::string* error);

enum class TSealResult { Intact, Altered, Unsealed };
enum class TSignatureResult { NotChecked, Good, Bad, Missing };

struct TSealCheck {
  TSealResult Seal = TSealResult::Altered;
  TSignatureResult Signature = TSignatureResult::NotChecked;
  std::string Reason;  // why it is not intact, in English
};

/// Checks a record file's text: its seal against its canonical form, and
/// with `key` its signature. A text that is no JSON object, holds a key twice
/// in one object, or whose seal does not match is altered.
TSealCheck CheckRecordSeal(const std::string& text, const TEd25519PublicKey* key);

/// Lowercase hexadecimal of bytes, and back (false on anything else).
std::string HexText(const uint8_t* bytes, size_t count);
bool HexBytes(const std::string& hex, std::string* bytes);

}  // namespace quarnel
