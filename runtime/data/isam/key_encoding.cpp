#include "runtime/data/isam/key_encoding.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/code_page.h"
#include "runtime/core/locale_tables.h"
#include "runtime/core/type_code.h"
#include "runtime/data/isam/byte_order.h"

namespace cinevo::isam {
namespace {

void AppendReversed(std::span<const uint8_t> f, std::string& out) {
  for (size_t i = f.size(); i-- > 0;) out.push_back(static_cast<char>(f[i]));
}

void InvertFrom(std::string& out, size_t from) {
  for (size_t i = from; i < out.size(); ++i) out[i] = static_cast<char>(0xFF - static_cast<uint8_t>(out[i]));
}

// The text of a string component: CSTRING up to its zero byte, PSTRING by its length byte,
// STRING and GROUP whole. Its bytes after `used` count as zeros, up to the field's size.
struct StringPart {
  const uint8_t* data;
  size_t used;
};
StringPart TextOf(uint8_t type, std::span<const uint8_t> f) {
  if (type == static_cast<uint8_t>(TypeCode::kCString)) {
    size_t n = 0;
    while (n < f.size() && f[n] != 0) ++n;
    return {f.data(), n};
  }
  if (type == static_cast<uint8_t>(TypeCode::kPString)) {
    return {f.empty() ? f.data() : f.data() + 1, f.empty() ? 0 : std::min<size_t>(f[0], f.size() - 1)};
  }
  return {f.data(), f.size()};
}

uint8_t UpperOf(const LocaleTables& loc, uint8_t c) { return (loc.char_class[c] & kCharLower) ? loc.case_partner[c] : c; }

// Appends the collation weights of `text` (upper-cased first for a NOCASE key), expanding
// digraphs, and never more bytes than the text has.
void EncodeText(std::string& text, bool nocase, const KeyCodec& codec, std::string& out) {
  const LocaleTables& loc = Locale();
  if (nocase) {
    for (char& ch : text) ch = static_cast<char>(UpperOf(loc, static_cast<uint8_t>(ch)));
  }
  if (codec.oem) text = platform::AnsiToOem(text);
  const auto& weights = codec.oem ? loc.other_collation : loc.collation;
  const auto& digraphs = codec.oem ? loc.digraphs_oem : loc.digraphs;
  size_t size = text.size();
  size_t start = out.size();
  for (size_t i = 0; i < size && out.size() - start < size; ++i) {
    uint8_t c = static_cast<uint8_t>(text[i]);
    const DigraphEntry* d = nullptr;
    for (const DigraphEntry& e : digraphs) {
      if (e.ch == 0) break;
      if (static_cast<uint8_t>(e.ch) == c) {
        d = &e;
        break;
      }
    }
    if (d == nullptr) {
      out.push_back(static_cast<char>(weights[c]));
      continue;
    }
    out.push_back(static_cast<char>(weights[static_cast<uint8_t>(d->expands[0])]));
    if (out.size() - start < size) out.push_back(static_cast<char>(weights[static_cast<uint8_t>(d->expands[1])]));
  }
}

}  // namespace

struct TextWeights {
  // The locale's tables as they stood when `nocase` was made; `collation` is also the weight of
  // each byte value.
  std::array<uint8_t, 256> collation;
  std::array<uint8_t, 256> char_class;
  std::array<uint8_t, 256> case_partner;
  // The weight of each byte value's upper-case partner, for NOCASE keys.
  std::array<uint8_t, 256> nocase;

  bool MadeFrom(const LocaleTables& loc) const {
    return collation == loc.collation && char_class == loc.char_class && case_partner == loc.case_partner;
  }
  void Make(const LocaleTables& loc) {
    collation = loc.collation;
    char_class = loc.char_class;
    case_partner = loc.case_partner;
    for (size_t c = 0; c < 256; ++c) nocase[c] = loc.collation[UpperOf(loc, static_cast<uint8_t>(c))];
  }
};

namespace {

// The weights for the one-byte-one-weight case (an ANSI file whose locale has no digraphs),
// checked against the locale's tables; null when the text must take the general path.
const TextWeights* DirectWeights(const KeyCodec& codec) {
  const LocaleTables& loc = Locale();
  if (codec.oem || loc.digraphs[0].ch != 0) return nullptr;
  if (!codec.weights) {
    codec.weights = std::make_shared<TextWeights>();
  } else if (codec.weights->MadeFrom(loc)) {
    return codec.weights.get();
  }
  codec.weights->Make(loc);
  return codec.weights.get();
}

// The length of `data` without its trailing blanks.
size_t WithoutTrailingBlanks(const uint8_t* data, size_t n) {
  constexpr uint64_t kBlanks = 0x2020202020202020ull;
  while (n >= 8) {
    uint64_t word;
    std::memcpy(&word, data + n - 8, 8);
    if (word != kBlanks) break;
    n -= 8;
  }
  while (n > 0 && data[n - 1] == ' ') --n;
  return n;
}

// The common case of EncodeText without a copy: each byte of the component (its first `used`
// bytes; zeros after them) maps to one weight. The blanks that pad most text fields all weigh
// the same and are filled in at once.
void EncodeTextDirect(const TextWeights& w, const uint8_t* data, size_t used, size_t size, bool nocase,
                      std::string& out) {
  size_t start = out.size();
  out.resize(start + size);
  auto* dst = reinterpret_cast<uint8_t*>(out.data() + start);
  const uint8_t* table = nocase ? w.nocase.data() : w.collation.data();
  size_t text = WithoutTrailingBlanks(data, used);
  size_t i = 0;
  for (; i + 8 <= text; i += 8) {  // eight loads before eight stores: no store can alias a load
    uint8_t b[8];
    for (size_t j = 0; j < 8; ++j) b[j] = table[data[i + j]];
    std::memcpy(dst + i, b, 8);
  }
  for (; i < text; ++i) dst[i] = table[data[i]];
  if (text < used) std::memset(dst + text, table[static_cast<uint8_t>(' ')], used - text);
  if (used < size) std::memset(dst + used, w.collation[0], size - used);
}

void EncodeString(uint8_t type, std::span<const uint8_t> f, bool nocase, const KeyCodec& codec,
                  const TextWeights* direct, std::string& out) {
  StringPart part = TextOf(type, f);
  if (direct) return EncodeTextDirect(*direct, part.data, part.used, f.size(), nocase, out);
  std::string text(f.size(), '\0');
  if (part.used) std::memcpy(text.data(), part.data, part.used);
  EncodeText(text, nocase, codec, out);
}

bool AllZero(std::span<const uint8_t> f) {
  return std::all_of(f.begin(), f.end(), [](uint8_t b) { return b == 0; });
}

}  // namespace

size_t KeyValueSize(const TableDeclaration& decl, const StreamKey& key) {
  size_t n = 0;
  for (const StreamKeyComponent& c : key.components) {
    if (c.field < decl.fields.size()) n += decl.fields[c.field].length;
  }
  return n;
}

namespace {

bool IsText(uint8_t type) {
  switch (static_cast<TypeCode>(type)) {
    case TypeCode::kString:
    case TypeCode::kGroup:
    case TypeCode::kCString:
    case TypeCode::kPString:
      return true;
    default:
      return false;
  }
}

// EncodeComponent with the text weights already looked up (`direct`, null for the general path).
void EncodeWith(uint8_t type, std::span<const uint8_t> f, bool nocase, bool descending, const KeyCodec& codec,
                const TextWeights* direct, std::string& out) {
  size_t start = out.size();
  switch (static_cast<TypeCode>(type)) {
    case TypeCode::kString:
    case TypeCode::kGroup:
    case TypeCode::kCString:
    case TypeCode::kPString:
      EncodeString(type, f, nocase, codec, direct, out);
      break;
    case TypeCode::kUShort:
    case TypeCode::kULong:
    case TypeCode::kDate:
    case TypeCode::kTime:
      AppendReversed(f, out);
      break;
    case TypeCode::kShort:
    case TypeCode::kLong:
      AppendReversed(f, out);
      if (out.size() > start) out[start] = static_cast<char>(static_cast<uint8_t>(out[start]) ^ 0x80);
      break;
    case TypeCode::kSReal:
    case TypeCode::kReal: {
      AppendReversed(f, out);
      if (out.size() == start) break;
      bool negative = (static_cast<uint8_t>(out[start]) & 0x80) != 0;
      bool zero = std::all_of(out.begin() + static_cast<std::ptrdiff_t>(start) + 1, out.end(), [](char c) { return c == 0; }) &&
                  (static_cast<uint8_t>(out[start]) & 0x7F) == 0;
      if (negative && (!zero || codec.distinct_negative_zero)) {
        InvertFrom(out, start);
      } else {
        out[start] = static_cast<char>((static_cast<uint8_t>(out[start]) & 0x7F) | 0x80);  // -0.0 as +0.0
      }
      break;
    }
    case TypeCode::kDecimal: {
      out.append(reinterpret_cast<const char*>(f.data()), f.size());
      if (out.size() == start) break;
      uint8_t& first = reinterpret_cast<uint8_t&>(out[start]);
      bool negative = (first & 0xF0) != 0;
      first &= 0x0F;
      bool keep_sign = codec.distinct_negative_zero;
      bool zero = std::all_of(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), [](char c) { return c == 0; });
      first ^= 0x80;
      if (negative && (!zero || keep_sign)) InvertFrom(out, start);  // -0 encodes as +0
      break;
    }
    default:
      out.append(reinterpret_cast<const char*>(f.data()), f.size());
      break;
  }
  if (descending) InvertFrom(out, start);
}

}  // namespace

void EncodeComponent(uint8_t type, std::span<const uint8_t> f, bool nocase, bool descending, const KeyCodec& codec,
                     std::string& out) {
  EncodeWith(type, f, nocase, descending, codec, IsText(type) ? DirectWeights(codec) : nullptr, out);
}

std::string EncodeKeyValue(const TableDeclaration& decl, const StreamKey& key, std::span<const uint8_t> record,
                           const KeyCodec& codec) {
  std::string out;
  out.reserve(KeyValueSize(decl, key));
  AppendKeyValue(decl, key, record, codec, out);
  return out;
}

void AppendKeyValue(const TableDeclaration& decl, const StreamKey& key, std::span<const uint8_t> record,
                    const KeyCodec& codec, std::string& out) {
  bool nocase = (key.flags & 0x04) != 0;
  const TextWeights* direct = nullptr;
  bool looked_up = false;
  for (const StreamKeyComponent& c : key.components) {
    if (c.field >= decl.fields.size()) continue;
    const StreamField& fd = decl.fields[c.field];
    if (!looked_up && IsText(fd.type)) {
      direct = DirectWeights(codec);  // once per key value: the locale does not change meanwhile
      looked_up = true;
    }
    if (size_t{fd.offset} + fd.length <= record.size()) {
      EncodeWith(fd.type, record.subspan(fd.offset, fd.length), nocase, c.descending != 0, codec, direct, out);
      continue;
    }
    // A field beyond the end of a short record reads as zeros.
    std::string bytes(fd.length, '\0');
    if (fd.offset < record.size()) {
      size_t n = std::min<size_t>(fd.length, record.size() - fd.offset);
      std::memcpy(bytes.data(), record.data() + fd.offset, n);
    }
    EncodeWith(fd.type, std::span<const uint8_t>(Bytes(bytes), bytes.size()), nocase, c.descending != 0, codec, direct,
               out);
  }
}

bool KeyIsNull(const TableDeclaration& decl, const StreamKey& key, std::span<const uint8_t> record) {
  for (const StreamKeyComponent& c : key.components) {
    if (c.field >= decl.fields.size()) continue;
    const StreamField& fd = decl.fields[c.field];
    if (fd.offset >= record.size()) continue;
    std::span<const uint8_t> f = record.subspan(fd.offset, std::min<size_t>(fd.length, record.size() - fd.offset));
    switch (static_cast<TypeCode>(fd.type)) {
      case TypeCode::kString:
      case TypeCode::kGroup:
        if (!std::all_of(f.begin(), f.end(), [](uint8_t b) { return b == ' '; })) return false;
        break;
      case TypeCode::kCString:
      case TypeCode::kPString:
        if (!f.empty() && f[0] != 0) return false;
        break;
      default:
        if (!AllZero(f)) return false;
        break;
    }
  }
  return true;
}

std::string KeyEntryKey(uint32_t table, uint8_t key_number, std::string_view value, bool dup, uint32_t record_number) {
  std::string k;
  k.reserve(4 + 1 + value.size() + 4);
  AppendBe32(k, table);
  k.push_back(static_cast<char>(key_number));
  k.append(value);
  if (dup) AppendBe32(k, record_number);
  return k;
}

}  // namespace cinevo::isam
