// The argument list that the dispatch hands to a driver with each operation. One record serves
// every operation; each operation reads only the members it documents below, and a driver
// returns its results in the result members.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace cinevo {

inline constexpr int kNoKey = -1;

// A test the caller of NEXT in file order offers the driver (DriverArgs::screen): records whose
// text field at `offset` (`size` bytes) ranks strictly above `bound` (strictly below it, with
// `skip_below`) need not be delivered, and the driver may step over them, counting them in
// `skipped`. A field ranks by its first eight characters, each weighed through `weights` (256
// entries), as a big-endian number; a field shorter than eight is filled with blanks. A driver
// that cannot judge a record as the caller would (it converts the record when reading it, say)
// delivers it; the caller judges every record delivered.
struct RowScreen {
  bool on = false;  // the screen applies to the next NEXT
  uint32_t offset = 0;
  uint32_t size = 0;
  const uint8_t* weights = nullptr;
  uint64_t bound = 0;
  bool skip_below = false;
  uint64_t skipped = 0;

  // The rank of a text: its first eight characters (blanks past its end) weighed through
  // `weights`, as a big-endian number.
  static uint64_t Rank(std::string_view text, const uint8_t* weights) {
    uint64_t rank = 0;
    for (size_t k = 0; k < 8; ++k) rank = (rank << 8) | weights[k < text.size() ? static_cast<uint8_t>(text[k]) : uint8_t{' '}];
    return rank;
  }
};

struct DriverArgs {
  // Key operations: the key as a 0-based index into FileDeclaration::keys (kNoKey: none).
  int key = kNoKey;
  // SETkeykey / SETkeykeyptr / SETfilekey: the key whose component values give the start.
  int key2 = kNoKey;
  // GET/SET/PUT/REGET by record pointer, SKIP count, record length of the *len operations.
  int64_t pointer = 0;
  uint32_t length = 0;
  int64_t count = 0;
  // OPEN/SHARE access mode.
  uint32_t mode = 0;
  // HOLD/LOCK with seconds.
  int32_t seconds = 0;
  // RESET/REGET position string, SEND option, SET_PROPERTY value, COPY/RENAME target name,
  // BUILDdyn component list, LOGOUT timeout text ...
  std::string_view text;
  // BUILDdynfilter filter expression.
  std::string_view text2;
  // BLOB operations: BLOB number (1-based over FileDeclaration::memos), the bytes to read into
  // (BLOB_YIELD) or to write (BLOB_TAKE), and the offset in the BLOB.
  // REGETfile may carry in `data` the record's bytes as the caller read them while the file's
  // change stamp (kPropChangeStamp) was `count`: a driver may deliver them instead of reading the
  // record again when the stamp has not moved since. A driver that ignores them reads as usual.
  // With `kept_only` set the driver delivers those bytes or nothing: when it cannot tell, without
  // reading the file's records, that the stamp still stands and that no other user has committed
  // a change since it last looked, it answers 89 and changes nothing. With `same_read` as well,
  // the caller's current read (one operation, see View::ExpectReads) made the copy under the
  // file's lock: the copy stands while the stamp does, and the driver does not look for other
  // users' commits.
  int blob = 0;
  std::span<uint8_t> buffer;
  std::span<const uint8_t> data;
  bool kept_only = false;
  bool same_read = false;
  int64_t offset = 0;
  // Property operations: property number and index (field number, component number, -n for
  // the contents of memo/BLOB n).
  uint32_t property = 0;
  int32_t index = 0;
  // NEXT in file order: records the caller need not see (RowScreen); null or off: none.
  RowScreen* screen = nullptr;

  // Results. String results (GET_PROPERTY, GETPROPERTYkey, BLOB_SET_PROP, NAME, POSITIONfile,
  // POSITIONkey, SEND) go to `text_result`; numbers (RECORDS, POINTER, BYTES, BOF, EOF,
  // DUPLICATE, BLOB_SIZE, BLOB_YIELD's byte count, NULL) to `number_result`.
  std::string text_result;
  int64_t number_result = 0;
};

}  // namespace cinevo
