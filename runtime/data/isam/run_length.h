// The run-length code of a page's record bytes, and its variable-length counts.
//
// A compressed stream is a sequence of (literal count, literal bytes, repeat count) followed by
// a final literal count and bytes. A count below 0x80 is one byte; a larger one is written low
// 7 bits first, each byte with its top bit set when another follows (128 -> 80 01).
// Decoding copies n literal bytes, stops once the output is complete, else writes r copies of
// the last byte written, and repeats. Encoding emits only runs of 4 or more equal bytes (as the
// run's first byte in the literal part plus a repeat count of length - 1); when no such run
// exists the data is left uncompressed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cinevo::isam {

void AppendCount(std::string& out, uint32_t count);

// Reads a count at `pos`, advancing it; nullopt when the input ends or the count exceeds
// `limit` (a bound taken from the caller's remaining output).
std::optional<uint32_t> ReadCount(std::string_view in, size_t& pos, uint32_t limit);

// The compressed form of `data`, or nullopt when it contains no run of 4 equal bytes.
std::optional<std::string> RunLengthEncode(std::string_view data);

// Expands `in` to exactly `unpacked_size` bytes; nullopt when the stream is malformed (it runs
// out, overshoots, repeats before any byte, or has bytes left over).
std::optional<std::string> RunLengthDecode(std::string_view in, size_t unpacked_size);
// The same into `out` (whose buffer is reused); false when the stream is malformed.
bool RunLengthDecode(std::string_view in, size_t unpacked_size, std::string& out);

}  // namespace cinevo::isam
