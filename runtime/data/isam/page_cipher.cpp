#include "runtime/data/isam/page_cipher.h"

#include <openssl/evp.h>

#include <memory>

namespace cinevo::isam {
namespace {

constexpr unsigned char kSalt[] = "cinevo-isam-owner-key-v1";
constexpr int kIterations = 20000;
constexpr size_t kBlock = 64;

struct CtxFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

}  // namespace

PageCipher::PageCipher(std::string_view owner) {
  ok_ = PKCS5_PBKDF2_HMAC(owner.data(), static_cast<int>(owner.size()), kSalt, sizeof(kSalt) - 1, kIterations,
                          EVP_sha256(), static_cast<int>(key_.size()), key_.data()) == 1;
  // XTS refuses two equal key halves; PBKDF2 output makes that practically impossible.
}

bool PageCipher::Apply(uint64_t offset, std::string& data, bool encrypt) const {
  if (!ok_ || offset % kBlock != 0 || data.size() % kBlock != 0) return false;
  std::unique_ptr<EVP_CIPHER_CTX, CtxFree> ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return false;
  auto* bytes = reinterpret_cast<unsigned char*>(data.data());
  for (size_t pos = 0; pos < data.size(); pos += kBlock) {
    uint64_t block = (offset + pos) / kBlock;
    unsigned char tweak[16] = {};
    for (int i = 0; i < 8; ++i) tweak[i] = static_cast<unsigned char>(block >> (8 * i));
    if (EVP_CipherInit_ex(ctx.get(), EVP_aes_256_xts(), nullptr, key_.data(), tweak, encrypt ? 1 : 0) != 1) return false;
    int out_len = 0;
    if (EVP_CipherUpdate(ctx.get(), bytes + pos, &out_len, bytes + pos, static_cast<int>(kBlock)) != 1 ||
        out_len != static_cast<int>(kBlock)) {
      return false;
    }
  }
  return true;
}

}  // namespace cinevo::isam
