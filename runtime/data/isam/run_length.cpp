#include "runtime/data/isam/run_length.h"

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

std::optional<std::string> RunLengthEncode(std::string_view data) {
  std::string out;
  bool any_run = false;
  size_t literal_start = 0;  // first byte not yet emitted
  size_t i = 0;
  while (i < data.size()) {
    size_t j = i + 1;
    while (j < data.size() && data[j] == data[i]) ++j;
    size_t run = j - i;
    if (run >= 4) {
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
  AppendCount(out, static_cast<uint32_t>(data.size() - literal_start));
  out.append(data.substr(literal_start));
  return out;
}

std::optional<std::string> RunLengthDecode(std::string_view in, size_t unpacked_size) {
  std::string out;
  out.reserve(unpacked_size);
  size_t pos = 0;
  for (;;) {
    auto literal = ReadCount(in, pos, static_cast<uint32_t>(unpacked_size - out.size()));
    if (!literal || in.size() - pos < *literal) return std::nullopt;
    out.append(in.substr(pos, *literal));
    pos += *literal;
    if (out.size() == unpacked_size) break;
    auto repeat = ReadCount(in, pos, static_cast<uint32_t>(unpacked_size - out.size()));
    if (!repeat || out.empty()) return std::nullopt;
    out.append(*repeat, out.back());
    // A stream that stops making progress would loop forever on hostile input.
    if (*literal == 0 && *repeat == 0) return std::nullopt;
  }
  if (pos != in.size()) return std::nullopt;
  return out;
}

}  // namespace cinevo::isam
