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
/// signature with `key` when one is given. Integers of 2^53 or more, which
/// the canonical form cannot tell apart, become their decimal text first.
/// False with *error set, and "seal" null, when the hash or the signature
/// could not be made.
bool SealRecord(nlohmann::ordered_json& record, const TSigningKey* key, std::string* error);

enum class TSealResult { Intact, Altered, Unsealed };
enum class TSignatureResult { NotChecked, Good, Bad, Missing };

/// Signature: Missing when the record holds none; NotChecked when this build
/// cannot check signatures; Good when it verifies with the key given, or
/// without one with the record's own public key; Bad when it verifies with
/// the record's own public key only, not with the key given.
struct TSealCheck {
  TSealResult Seal = TSealResult::Altered;
  TSignatureResult Signature = TSignatureResult::NotChecked;
  std::string Reason;  // why it is not intact, or not signed with the key, in English
};

/// Checks a record file's text: its seal against its canonical form, a
/// signature it holds against the record's own public key, and with `key`
/// against that key too. A text that is no JSON object, holds a key twice in
/// one object or a number of 2^53 or more, whose seal does not match, or
/// whose signature does not verify with its own public key is altered.
TSealCheck CheckRecordSeal(const std::string& text, const TEd25519PublicKey* key);

/// Whether every number in `value` is below 2^53 in magnitude: the integers
/// a double, and so the canonical form, holds exactly.
bool NumbersExact(const nlohmann::json& value);

/// Lowercase hexadecimal of bytes, and back (false on anything else).
std::string HexText(const uint8_t* bytes, size_t count);
bool HexBytes(const std::string& hex, std::string* bytes);

}  // namespace quarnel
