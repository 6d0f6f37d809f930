// The seal's cryptography on Windows: SHA-256 from the system's own
// cryptography, BCrypt (Vista on), looked up at run time so that the program
// still starts on XP, where the older CryptoAPI gives it (XP SP3 on).
// Windows offers no Ed25519, Debian ships no Windows build of a library that
// does, and cryptography is never written by hand here: the Windows build
// neither makes nor checks signatures, and says so.
#include "record/RecordCrypto.h"

#include <windows.h>

// After windows.h, whose types it uses.
#include <wincrypt.h>

#include <algorithm>

// XP SP3 has SHA-256 in its AES provider; the headers show it only to
// builds for later systems.
#ifndef CALG_SHA_256
#define CALG_SHA_256 (ALG_CLASS_HASH | ALG_TYPE_ANY | 12)
#endif

namespace quarnel {

namespace {

const char* const kNoSignatures =
    "Ed25519 signatures are not available in the Windows build (the system offers no Ed25519)";

using TOpen = LONG(WINAPI*)(void**, LPCWSTR, LPCWSTR, ULONG);
using TClose = LONG(WINAPI*)(void*, ULONG);
using TGetProperty = LONG(WINAPI*)(void*, LPCWSTR, PUCHAR, ULONG, ULONG*, ULONG);
using TCreateHash = LONG(WINAPI*)(void*, void**, PUCHAR, ULONG, PUCHAR, ULONG, ULONG);
using THashData = LONG(WINAPI*)(void*, PUCHAR, ULONG, ULONG);
using TFinishHash = LONG(WINAPI*)(void*, PUCHAR, ULONG, ULONG);
using TDestroyHash = LONG(WINAPI*)(void*);

// Data is hashed in pieces a ULONG can count.
constexpr size_t kPiece = 1u << 30;

// BCrypt, or 0 (not there) / -1 (there, but it failed).
int BCryptSha256(std::string_view data, TSha256* digest) {
  HMODULE dll = LoadLibraryW(L"bcrypt.dll");
  if (!dll) return 0;
  auto open = reinterpret_cast<TOpen>(
      reinterpret_cast<void*>(GetProcAddress(dll, "BCryptOpenAlgorithmProvider")));
  auto close = reinterpret_cast<TClose>(
      reinterpret_cast<void*>(GetProcAddress(dll, "BCryptCloseAlgorithmProvider")));
  auto property = reinterpret_cast<TGetProperty>(
      reinterpret_cast<void*>(GetProcAddress(dll, "BCryptGetProperty")));
  auto create = reinterpret_cast<TCreateHash>(
      reinterpret_cast<void*>(GetProcAddress(dll, "BCryptCreateHash")));
  auto hash =
      reinterpret_cast<THashData>(reinterpret_cast<void*>(GetProcAddress(dll, "BCryptHashData")));
  auto finish = reinterpret_cast<TFinishHash>(
      reinterpret_cast<void*>(GetProcAddress(dll, "BCryptFinishHash")));
  auto destroy = reinterpret_cast<TDestroyHash>(
      reinterpret_cast<void*>(GetProcAddress(dll, "BCryptDestroyHash")));
  if (!open || !close || !property || !create || !hash || !finish || !destroy) {
    FreeLibrary(dll);
    return 0;
  }
  int result = -1;
  void* algorithm = nullptr;
  if (open(&algorithm, L"SHA256", nullptr, 0) == 0) {
    ULONG objectSize = 0, got = 0;
    if (property(algorithm, L"ObjectLength", reinterpret_cast<PUCHAR>(&objectSize),
                 sizeof objectSize, &got, 0) == 0) {
      std::string object(objectSize, '\0');  // Vista wants the caller's buffer
      void* h = nullptr;
      if (create(algorithm, &h, reinterpret_cast<PUCHAR>(object.data()), objectSize, nullptr, 0,
                 0) == 0) {
        bool ok = true;
        for (size_t at = 0; ok && at < data.size(); at += kPiece) {
          const size_t n = std::min(kPiece, data.size() - at);
          ok = hash(h, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data() + at)),
                    static_cast<ULONG>(n), 0) == 0;
        }
        if (ok && finish(h, digest->data(), static_cast<ULONG>(digest->size()), 0) == 0) {
          result = 1;
        }
        destroy(h);
      }
    }
    close(algorithm, 0);
  }
  FreeLibrary(dll);
  return result;
}

bool CryptoApiSha256(std::string_view data, TSha256* digest) {
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
    return false;
  }
  bool ok = false;
  HCRYPTHASH h = 0;
  if (CryptCreateHash(provider, CALG_SHA_256, 0, 0, &h)) {
    ok = true;
    for (size_t at = 0; ok && at < data.size(); at += kPiece) {
      const size_t n = std::min(kPiece, data.size() - at);
      ok = CryptHashData(h, reinterpret_cast<const BYTE*>(data.data() + at), static_cast<DWORD>(n),
                         0) != 0;
    }
    DWORD length = static_cast<DWORD>(digest->size());
    ok = ok && CryptGetHashParam(h, HP_HASHVAL, digest->data(), &length, 0) &&
         length == digest->size();
    CryptDestroyHash(h);
  }
  CryptReleaseContext(provider, 0);
  return ok;
}

}  // namespace

bool ComputeSha256(std::string_view data, TSha256* digest) {
  const int viaBCrypt = BCryptSha256(data, digest);
  if (viaBCrypt != 0) return viaBCrypt > 0;
  return CryptoApiSha256(data, digest);
}

bool SignaturesAvailable() { return false; }

bool LoadSigningKey(const std::string&, TSigningKey*, std::string* error) {
  *error = kNoSignatures;
  return false;
}

bool SignEd25519(const TSigningKey&, std::string_view, std::string*, std::string* error) {
  *error = kNoSignatures;
  return false;
}

bool LoadPublicKey(const std::string&, TEd25519PublicKey*, std::string* error) {
  *error = kNoSignatures;
  return false;
}

bool VerifyEd25519(const TEd25519PublicKey&, std::string_view, std::string_view) { return false; }

}  // namespace quarnel
