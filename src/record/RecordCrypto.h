// The hash and the signature of an erase record's seal, from the system's
// well-kept cryptography: OpenSSL's libcrypto on Linux, the system's own
// (BCrypt) on Windows. Nothing here is computed by hand.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quarnel {

using TSha256 = std::array<uint8_t, 32>;
using TEd25519PublicKey = std::array<uint8_t, 32>;

/// SHA-256 of `data`. False when the system's cryptography could not give it.
bool ComputeSha256(std::string_view data, TSha256* digest);

/// Whether this build makes and checks Ed25519 signatures (the Windows build
/// does not: the system offers no Ed25519).
bool SignaturesAvailable();

/// An Ed25519 private key, kept as the PEM text it was read from, with its
/// public half.
struct TSigningKey {
  std::string Pem;
  TEd25519PublicKey PublicKey{};
};

/// Reads an Ed25519 private key from PEM text (PKCS#8, "BEGIN PRIVATE KEY";
/// no passphrase). False with *error set when it is no such key.
bool LoadSigningKey(const std::string& pemText, TSigningKey* key, std::string* error);

/// The 64-byte Ed25519 signature of `data`. False with *error set on failure.
bool SignEd25519(const TSigningKey& key, std::string_view data, std::string* signature,
                 std::string* error);

/// Reads an Ed25519 public key from PEM text (SubjectPublicKeyInfo, "BEGIN
/// PUBLIC KEY"). False with *error set when it is no such key.
bool LoadPublicKey(const std::string& pemText, TEd25519PublicKey* key, std::string* error);

/// Whether `signature` is a good Ed25519 signature of `data` under `key`.
bool VerifyEd25519(const TEd25519PublicKey& key, std::string_view data, std::string_view signature);

}  // namespace quarnel
