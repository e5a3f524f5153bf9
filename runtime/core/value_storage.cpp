#include "runtime/core/value_storage.h"

#include <algorithm>
#include <cmath>

namespace cinevo {

float LoadSReal(const uint8_t* p) {
  uint32_t bits = LoadU32(p);
  float v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

double LoadReal(const uint8_t* p) {
  uint64_t bits = static_cast<uint64_t>(LoadU32(p)) | (static_cast<uint64_t>(LoadU32(p + 4)) << 32);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

void StoreSReal(uint8_t* p, float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  StoreU32(p, bits);
}

void StoreReal(uint8_t* p, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  StoreU32(p, static_cast<uint32_t>(bits));
  StoreU32(p + 4, static_cast<uint32_t>(bits >> 32));
}

namespace {

// A non-IEEE float of `bytes` bytes: mantissa_bits = 8 * (bytes - 1) - 1 stored bits.
double LoadBFloat(const uint8_t* p, int bytes) {
  int exponent = p[bytes - 1];
  if (exponent == 0) return 0.0;
  bool negative = (p[bytes - 2] & 0x80) != 0;
  uint64_t mantissa = 0;
  for (int i = bytes - 2; i >= 0; --i) mantissa = (mantissa << 8) | p[i];
  int bits = 8 * (bytes - 1);
  mantissa |= uint64_t{1} << (bits - 1);  // the hidden leading 1 replaces the sign bit
  // value = 0.1mmm (binary) * 2^(exponent-128) = mantissa * 2^(exponent - 128 - bits)
  double v = std::ldexp(static_cast<double>(mantissa), exponent - 128 - bits);
  return negative ? -v : v;
}

void StoreBFloat(uint8_t* p, int bytes, double v) {
  std::fill(p, p + bytes, uint8_t{0});
  if (std::isnan(v) || v == 0.0) return;
  bool negative = v < 0;
  double magnitude = std::fabs(v);
  int bits = 8 * (bytes - 1);
  int e;
  double fraction = std::frexp(magnitude, &e);  // magnitude = fraction * 2^e, 0.5 <= fraction < 1
  uint64_t mantissa;
  if (std::isinf(magnitude)) {
    e = 127;
    mantissa = (uint64_t{1} << bits) - 1;  // bits is 24 or 56
  } else {
    double scaled = std::ldexp(fraction, bits);
    mantissa = static_cast<uint64_t>(std::llround(scaled));
    if (mantissa >> bits) {  // rounding carried into a new bit
      mantissa >>= 1;
      ++e;
    }
  }
  if (e + 128 <= 0) return;  // too small: zero
  if (e + 128 > 255) {       // too large: the largest magnitude
    e = 127;
    mantissa = (uint64_t{1} << bits) - 1;
  }
  for (int i = 0; i < bytes - 1; ++i) p[i] = static_cast<uint8_t>(mantissa >> (8 * i));
  p[bytes - 2] = static_cast<uint8_t>((p[bytes - 2] & 0x7F) | (negative ? 0x80 : 0));
  p[bytes - 1] = static_cast<uint8_t>(e + 128);
}

}  // namespace

double LoadBFloat4(const uint8_t* p) { return LoadBFloat(p, 4); }
double LoadBFloat8(const uint8_t* p) { return LoadBFloat(p, 8); }
void StoreBFloat4(uint8_t* p, double v) { StoreBFloat(p, 4, v); }
void StoreBFloat8(uint8_t* p, double v) { StoreBFloat(p, 8, v); }

void StoreString(char* dest, size_t size, std::string_view text) {
  size_t n = std::min(size, text.size());
  if (n) std::memmove(dest, text.data(), n);
  if (size > n) std::memset(dest + n, ' ', size - n);
}

void StoreCString(char* dest, size_t capacity, std::string_view text) {
  if (capacity == 0) return;
  size_t n = std::min(capacity - 1, text.size());
  if (n) std::memmove(dest, text.data(), n);
  dest[n] = '\0';
}

void StorePString(uint8_t* dest, size_t capacity, std::string_view text) {
  if (capacity == 0) return;
  size_t n = std::min({capacity - 1, text.size(), size_t{255}});
  if (n) std::memmove(dest + 1, text.data(), n);
  dest[0] = static_cast<uint8_t>(n);
}

std::string_view CStringValue(const char* field, size_t capacity) {
  const void* nul = std::memchr(field, 0, capacity);
  size_t n = nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : capacity;
  return {field, n};
}

std::string_view PStringValue(const uint8_t* field, size_t capacity) {
  if (capacity == 0) return {};
  size_t n = std::min<size_t>(field[0], capacity - 1);
  return {reinterpret_cast<const char*>(field + 1), n};
}

void ClearString(char* dest, size_t size, int direction) {
  char fill = direction == 0 ? ' ' : direction < 0 ? '\0' : static_cast<char>(0xFF);
  std::memset(dest, fill, size);
}

void ClearCString(char* dest, size_t capacity, int direction) {
  if (capacity == 0) return;
  size_t n = direction > 0 ? capacity - 1 : 0;
  std::memset(dest, 0xFF, n);
  dest[n] = '\0';
}

void ClearPString(uint8_t* dest, size_t capacity, int direction) {
  if (capacity == 0) return;
  size_t n = direction > 0 ? std::min<size_t>(capacity - 1, 255) : 0;
  std::memset(dest + 1, 0xFF, n);
  dest[0] = static_cast<uint8_t>(n);
}

void ClearDecimal(uint8_t* dest, size_t size, int direction) {
  if (size == 0) return;
  if (direction == 0) {
    std::memset(dest, 0, size);
    return;
  }
  std::memset(dest, 0x99, size);
  dest[0] &= direction > 0 ? 0x0F : 0x8F;  // sign nibble 0 (positive) or 8 (negative)
}

void ClearPDecimal(uint8_t* dest, size_t size, int direction) {
  if (size == 0) return;
  std::memset(dest, direction == 0 ? 0x00 : 0x99, size);
  dest[size - 1] = static_cast<uint8_t>((dest[size - 1] & 0xF0) | (direction < 0 ? 0x0D : 0x0F));
}

}  // namespace cinevo
