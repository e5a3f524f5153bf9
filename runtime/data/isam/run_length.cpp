#include "runtime/data/isam/run_length.h"

#include <cstring>

namespace cinevo::isam {

void AppendCount(std::string& out, uint32_t count) {
  while (count >= 0x80) {
    out.push_back(static_cast<char>(0x80 | (count & 0x7F)));
    count >>= 7;
  }
  out.push_back(static_cast<char>(count));
}

std::optional<uint32_t> ReadCount(std::string_view in, size_t& pos, uint32_t limit) {
  uint64_t value = 0;
  for (int shift = 0; shift < 35; shift += 7) {
    if (pos >= in.size()) return std::nullopt;
    auto b = static_cast<uint8_t>(in[pos++]);
    value |= static_cast<uint64_t>(b & 0x7F) << shift;
    if (value > limit) return std::nullopt;
    if ((b & 0x80) == 0) return static_cast<uint32_t>(value);
  }
  return std::nullopt;
}

namespace {

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// 0x80 in every byte of the result where the bytes of x and y are equal, 0 elsewhere.
uint64_t EqualBytes(uint64_t x, uint64_t y) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  uint64_t z = x ^ y;
  return ~(((z & kLow7) + kLow7) | z | kLow7);
}

}  // namespace

// The encoder walks the maximal runs of equal bytes and emits those of 4 or more. Where the
// data has no such run it moves 6 bytes at a time: comparing 8 bytes with the 8 bytes one
// further on tells, for each of the first 6 positions, whether 4 equal bytes start there.
std::optional<std::string> RunLengthEncode(std::string_view data) {
  const auto* p = reinterpret_cast<const uint8_t*>(data.data());
  const size_t n = data.size();
  std::string out;
  bool any_run = false;
  size_t literal_start = 0;  // first byte not yet emitted
  size_t i = 0;              // the start of a maximal run, or inside one shorter than 4
  while (i < n) {
    while (i + 9 <= n) {
      uint64_t eq = EqualBytes(Load64(p + i), Load64(p + i + 1));
      uint64_t starts = eq & (eq >> 8) & (eq >> 16);
      if (starts != 0) {
        i += static_cast<size_t>(__builtin_ctzll(starts)) / 8;
        break;
      }
      i += 6;
    }
    if (i >= n) break;
    const uint8_t c = p[i];
    size_t j = i + 1;
    const uint64_t pattern = 0x0101010101010101ull * c;
    while (j + 8 <= n && Load64(p + j) == pattern) j += 8;
    while (j < n && p[j] == c) ++j;
    size_t run = j - i;
    if (run >= 4) {
      if (!any_run) out.reserve(n / 2 + 16);
      any_run = true;
      size_t literal = i + 1 - literal_start;
      AppendCount(out, static_cast<uint32_t>(literal));
      out.append(data.substr(literal_start, literal));
      AppendCount(out, static_cast<uint32_t>(run - 1));
      literal_start = j;
    }
    i = j;
  }
  if (!any_run) return std::nullopt;
  AppendCount(out, static_cast<uint32_t>(n - literal_start));
  out.append(data.substr(literal_start));
  return out;
}

std::optional<std::string> RunLengthDecode(std::string_view in, size_t unpacked_size) {
  std::string out;
  if (!RunLengthDecode(in, unpacked_size, out)) return std::nullopt;
  return out;
}

bool RunLengthDecode(std::string_view in, size_t unpacked_size, std::string& out) {
  // Short literals and runs, the common case, are written as one 16-byte piece each, which may
  // reach past their end into bytes written later or into this slack, cut off at the end.
  constexpr size_t kPiece = 16;
  out.resize(unpacked_size + kPiece);
  char* dst = out.data();
  const char* src = in.data();
  size_t done = 0;
  size_t pos = 0;
  // A count below 0x80 is its own single byte; longer ones take the general reader.
  auto read_count = [&](size_t limit) -> std::optional<uint32_t> {
    if (pos < in.size() && static_cast<uint8_t>(src[pos]) < 0x80) {
      uint32_t c = static_cast<uint8_t>(src[pos]);
      if (c > limit) return std::nullopt;
      ++pos;
      return c;
    }
    return ReadCount(in, pos, static_cast<uint32_t>(limit));
  };
  bool ok = true;
  for (;;) {
    auto literal = read_count(unpacked_size - done);
    if (!literal || in.size() - pos < *literal) {
      ok = false;
      break;
    }
    size_t n = *literal;
    if (n <= kPiece && in.size() - pos >= kPiece) {
      std::memcpy(dst + done, src + pos, kPiece);
    } else if (n > 0) {
      std::memcpy(dst + done, src + pos, n);
    }
    done += n;
    pos += n;
    if (done == unpacked_size) break;
    auto repeat = read_count(unpacked_size - done);
    // A stream that stops making progress would loop forever on hostile input.
    if (!repeat || done == 0 || (n == 0 && *repeat == 0)) {
      ok = false;
      break;
    }
    size_t r = *repeat;
    if (r <= kPiece) {
      std::memset(dst + done, dst[done - 1], kPiece);
    } else {
      std::memset(dst + done, dst[done - 1], r);
    }
    done += r;
  }
  out.resize(unpacked_size);
  return ok && pos == in.size();
}

}  // namespace cinevo::isam
