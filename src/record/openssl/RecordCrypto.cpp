// The seal's cryptography on OpenSSL's libcrypto.
#include "record/RecordCrypto.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>

namespace quarnel {

namespace {

struct TFreeKey {
  void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct TFreeContext {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
struct TFreeBio {
  void operator()(BIO* b) const { BIO_free(b); }
};
using TKey = std::unique_ptr<EVP_PKEY, TFreeKey>;
using TContext = std::unique_ptr<EVP_MD_CTX, TFreeContext>;

// A key file with a passphrase is refused rather than asked for: the
// program may run unattended.
int NoPassphrase(char*, int, int, void*) { return 0; }

std::string LastError() {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return "no key found";
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

TKey ReadPem(const std::string& pem, bool privateKey, std::string* error) {
  ERR_clear_error();
  std::unique_ptr<BIO, TFreeBio> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) {
    *error = "out of memory";
    return nullptr;
  }
  TKey key(privateKey ? PEM_read_bio_PrivateKey(bio.get(), nullptr, NoPassphrase, nullptr)
                      : PEM_read_bio_PUBKEY(bio.get(), nullptr, NoPassphrase, nullptr));
  if (!key) {
    *error = LastError();
    return nullptr;
  }
  if (EVP_PKEY_id(key.get()) != EVP_PKEY_ED25519) {
    *error = "not an Ed25519 key";
    return nullptr;
  }
  return key;
}

bool RawPublicKey(EVP_PKEY* key, TEd25519PublicKey* raw) {
  size_t length = raw->size();
  return EVP_PKEY_get_raw_public_key(key, raw->data(), &length) == 1 && length == raw->size();
}

}  // namespace

bool ComputeSha256(std::string_view data, TSha256* digest) {
  unsigned int length = 0;
  return EVP_Digest(data.data(), data.size(), digest->data(), &length, EVP_sha256(), nullptr) ==
             1 &&
         length == digest->size();
}

bool SignaturesAvailable() { return true; }

bool LoadSigningKey(const std::string& pemText, TSigningKey* key, std::string* error) {
  TKey k = ReadPem(pemText, true, error);
  if (!k) return false;
  if (!RawPublicKey(k.get(), &key->PublicKey)) {
    *error = "the key's public half cannot be read";
    return false;
  }
  key->Pem = pemText;
  return true;
}

bool SignEd25519(const TSigningKey& key, std::string_view data, std::string* signature,
                 std::string* error) {
  TKey k = ReadPem(key.Pem, true, error);
  if (!k) return false;
  TContext context(EVP_MD_CTX_new());
  unsigned char out[64];
  size_t length = sizeof out;
  if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, k.get()) != 1 ||
      EVP_DigestSign(context.get(), out, &length,
                     reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1 ||
      length != sizeof out) {
    *error = LastError();
    return false;
  }
  signature->assign(reinterpret_cast<const char*>(out), length);
  return true;
}

bool LoadPublicKey(const std::string& pemText, TEd25519PublicKey* key, std::string* error) {
  TKey k = ReadPem(pemText, false, error);
  if (!k) return false;
  if (!RawPublicKey(k.get(), key)) {
    *error = "the key cannot be read";
    return false;
  }
  return true;
}

bool VerifyEd25519(const TEd25519PublicKey& key, std::string_view data,
                   std::string_view signature) {
  TKey k(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key.data(), key.size()));
  TContext context(EVP_MD_CTX_new());
  const bool good =
      k && context && signature.size() == 64 &&
      EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, k.get()) == 1 &&
      EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                       signature.size(), reinterpret_cast<const unsigned char*>(data.data()),
                       data.size()) == 1;
  ERR_clear_error();
  return good;
}

}  // namespace quarnel
