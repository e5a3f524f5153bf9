// Enciphering of files declared with ENCRYPT.
//
// The file is enciphered in 64-byte blocks (the unit of every read and write) with AES-256 in
// XTS mode from OpenSSL's libcrypto; each block's tweak is its block number (file offset / 64)
// as a 16-byte little-endian number, so every block can be read and written on its own and
// equal plaintext blocks at different places encipher differently. The 64-byte XTS key is
// derived from the OWNER text with PBKDF2-HMAC-SHA256 (a fixed salt, 20,000 iterations): the
// format has no room for a per-file salt. The header is enciphered too, so a wrong password
// shows as a missing magic ("Invalid Data File").
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace cinevo::isam {

class PageCipher {
 public:
  // Derives the key from the owner text; ok() is false when libcrypto refused.
  explicit PageCipher(std::string_view owner);

  bool ok() const { return ok_; }

  // Enciphers or deciphers `data` in place; `offset` and the size are multiples of 64.
  bool Encrypt(uint64_t offset, std::string& data) const { return Apply(offset, data, true); }
  bool Decrypt(uint64_t offset, std::string& data) const { return Apply(offset, data, false); }

 private:
  bool Apply(uint64_t offset, std::string& data, bool encrypt) const;

  std::array<uint8_t, 64> key_{};
  bool ok_ = false;
};

}  // namespace cinevo::isam
