#include "classlib/message_set.h"

#include <array>
#include <cstddef>

namespace cinevo::classlib {
namespace {

struct Source {
  uint16_t id;
  uint8_t severity;
  std::string_view title;
  std::string_view text;
};

// The library's own messages. Texts are shown exactly as they stand, blanks included (two blanks
// after "failed." in 1, "opened." in 9, "Error." in 12 and "file." in 31; a blank before the
// colon in 44).
constexpr Source kDefault[] = {
    {18, 5, "Invalid Key", "%File key file is invalid. Key must be rebuilt."},
    {29, 3, "Key was not built", "Error: (%ErrorText) repairing key for %File."},
    {5, 3, "File Creation Error", "Error: (%ErrorText) creating %File."},
    {26, 5, "Procedure not defined", "The Procedure %Message has not been defined."},
    {24, 5, "Range Error", "The value of %Field must be lower than %Message."},
    {25, 5, "Range Error", "The value of %Field must be higher than %Message."},
    {23, 5, "Range Error", "The value of %Field must be between %Message."},
    {22, 5, "Field contents error", "The value of %Field must be found in the %Message file."},
    {33, 5, "Referential Integrity Update Error",
     "This record is referenced from the file %File. Linking field(s) have been restricted from "
     "change and have been reset to original values."},
    {32, 5, "Referential Integrity Delete Error",
     "This record is referenced from the file %File. This record cannot be deleted while these "
     "references exist."},
    {16, 5, "Record Insert Error",
     "An error was experienced during the creation of a record. Error: %ErrorText."},
    {30, 5, "Record Was Not Updated", "This record was changed by another station."},
    {14, 5, "Record Was Not Updated",
     "This record was changed by another station. Those changes will now be displayed. Use the "
     "Ditto Button or Ctrl+' to recall your changes."},
    {39, 1, "Record Update Error",
     "An error was experienced changing this record. Do you want to try to save again?"},
    {8, 1, "Record Delete Error",
     "An error was experienced deleting this record. Do you want to try to delete it again?"},
    {15, 5, "Invalid Request", "This form cannot be used to insert a record"},
    {38, 5, "Invalid Request", "This form cannot be used to update a record"},
    {7, 5, "Invalid Request", "This form cannot be used to delete a record"},
    {3, 1, "Changes will be lost!", "Are you sure you want to cancel?"},
    {10, 5, "Duplicate Key Error", "Adding this record creates a duplicate entry for the key: %Message"},
    {1, 1, "Auto Increment Error",
     "Attempts to automatically number this record have failed.  Error: %ErrorText. Try Again?"},
    {12, 5, "File Load Error", "%File File Load Error.  Error: %ErrorText."},
    {2, 1, "Beginning of File Error",
     "The beginning of the file was encountered. Do you want to start again from the end of the "
     "file?"},
    {11, 1, "End of File Error",
     "The end of the file was encountered. Do you want to start again from the beginning?"},
    {9, 3, "File Access Error", "File (%File) could not be opened.  Error: %ErrorText."},
    {28, 5, "Record was not updated",
     "An error (%ErrorText) was experienced when making changes to the %File file."},
    {27, 5, "Record was not deleted",
     "An error (%ErrorText) was experienced when deleting a record from the %File file."},
    {37, 1, "Confirm Delete", "Are you sure you want to delete the highlighted record?"},
    {36, 1, "Save Record", "Do you want to save the changes to this record?"},
    {19, 5, "Transaction cancelled",
     "Error: (%ErrorText) attempting to frame the transaction on %File."},
    {31, 5, "Record Retrieval Error",
     "Error: (%ErrorText) attempting to access a record from the %File file.  Returning to "
     "previous window."},
    {40, 5, "View Open Error",
     "Error: (%ErrorText) attempting to open the current VIEW. Filter and Range Limits ignored."},
    {21, 1, "Record Added",
     "This record has been added to the file. Do you want to add another record?"},
    {42, 5, "Record not read",
     "A record held by another station was encountered reading from the %File file."},
    {43, 5, "Add New Record?", "Record match not found, do you wish to add a new one?"},
    {44, 5, "Value Error", "The value of %Field must be in the list : %Message."},
};

constexpr size_t PackedSize() {
  size_t n = 2;
  for (const Source& s : kDefault) n += 2 + 1 + 1 + s.title.size() + 1 + s.text.size();
  return n;
}

// The set is packed at compile time, so the program carries exactly the stored bytes.
constexpr std::array<uint8_t, PackedSize()> Pack() {
  std::array<uint8_t, PackedSize()> out{};
  size_t o = 0;
  constexpr size_t count = std::size(kDefault);
  out[o++] = static_cast<uint8_t>(count & 0xFF);
  out[o++] = static_cast<uint8_t>(count >> 8);
  for (const Source& s : kDefault) {
    if (s.title.size() > 255 || s.text.size() > 255) throw "message too long";  // compile error
    out[o++] = static_cast<uint8_t>(s.id & 0xFF);
    out[o++] = static_cast<uint8_t>(s.id >> 8);
    out[o++] = s.severity;
    out[o++] = static_cast<uint8_t>(s.title.size());
    for (char c : s.title) out[o++] = static_cast<uint8_t>(c);
    out[o++] = static_cast<uint8_t>(s.text.size());
    for (char c : s.text) out[o++] = static_cast<uint8_t>(c);
  }
  return out;
}

constexpr std::array<uint8_t, PackedSize()> kDefaultSet = Pack();

std::string_view Bytes(std::span<const uint8_t> set, size_t at, size_t n) {
  return {reinterpret_cast<const char*>(set.data() + at), n};
}

}  // namespace

bool ReadMessageSet(std::span<const uint8_t> set, std::vector<MessageEntry>& out) {
  if (set.size() < 2) return false;
  size_t count = set[0] | (set[1] << 8);
  size_t at = 2;
  for (size_t i = 0; i < count; ++i) {
    MessageEntry e;
    if (set.size() - at < 4) return false;
    e.id = static_cast<uint16_t>(set[at] | (set[at + 1] << 8));
    e.severity = set[at + 2];
    size_t title = set[at + 3];
    at += 4;
    if (set.size() - at < title + 1) return false;
    e.title = Bytes(set, at, title);
    at += title;
    size_t text = set[at++];
    if (set.size() - at < text) return false;
    e.message = Bytes(set, at, text);
    at += text;
    out.push_back(e);
  }
  return true;
}

std::vector<uint8_t> PackMessageSet(std::span<const MessageEntry> entries) {
  std::vector<uint8_t> out;
  size_t count = entries.size() > 0xFFFF ? 0xFFFF : entries.size();
  out.push_back(static_cast<uint8_t>(count & 0xFF));
  out.push_back(static_cast<uint8_t>(count >> 8));
  for (size_t i = 0; i < count; ++i) {
    const MessageEntry& e = entries[i];
    out.push_back(static_cast<uint8_t>(e.id & 0xFF));
    out.push_back(static_cast<uint8_t>(e.id >> 8));
    out.push_back(e.severity);
    for (std::string_view part : {e.title, e.message}) {
      std::string_view cut = part.substr(0, 255);
      out.push_back(static_cast<uint8_t>(cut.size()));
      out.insert(out.end(), cut.begin(), cut.end());
    }
  }
  return out;
}

std::span<const uint8_t> DefaultMessages() { return kDefaultSet; }

}  // namespace cinevo::classlib
