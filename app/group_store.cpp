#include "app/group_store.h"

#include <algorithm>

#include "runtime/core/picture.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"
#include "runtime/ui/message_box.h"

namespace cinevo::app {
namespace {

// Read/write, deny none.
constexpr uint32_t kSharedReadWrite = 0x22;

// The declared field `label` of the file, or null.
const FieldDeclaration* FindField(const FileControlBlock& f, std::string_view label) {
  for (const FieldDeclaration& field : f.declaration->fields) {
    if (field.label == label) return &field;
  }
  return nullptr;
}

void StoreField(FileControlBlock& f, std::string_view label, std::string_view text) {
  const FieldDeclaration* field = FindField(f, label);
  if (field == nullptr || field->offset + field->size > f.record.size()) return;
  StoreString(reinterpret_cast<char*>(f.record.data() + field->offset), field->size, text);
}

// Blanks every string field and zeroes the rest of the record.
void ClearRecord(FileControlBlock& f) {
  std::fill(f.record.begin(), f.record.end(), 0);
  for (const FieldDeclaration& field : f.declaration->fields) {
    if (field.type == TypeCode::kString && field.offset + field.size <= f.record.size()) {
      std::fill_n(f.record.begin() + field.offset, field.size, ' ');
    }
  }
}

}  // namespace

std::string GroupNameFor(int32_t date, int32_t time) {
  static const CompiledPicture kDate = CompilePicture("@d5.");
  static const CompiledPicture kTime = CompilePicture("@t4");
  return Clip(Format(kDate, int64_t{date})) + " " + Clip(Format(kTime, int64_t{time}));
}

void DirectFavouritesWriter::OpenFiles() {
  if (!groups_.IsOpen()) Open(groups_, kSharedReadWrite);
  if (!movies_.IsOpen()) Open(movies_, kSharedReadWrite);
}

int DirectFavouritesWriter::AddGroup(std::string_view name) {
  ClearRecord(groups_);
  StoreField(groups_, "GRU:SIFRA", name);
  return Add(groups_);
}

int DirectFavouritesWriter::AddMovie(std::string_view group, std::string_view path) {
  ClearRecord(movies_);
  StoreField(movies_, "POD:SIFRA", group);
  StoreField(movies_, "POD:NASLOV", path);
  StoreField(movies_, "POD:NASLOV2", path.substr(0, std::min<size_t>(path.size(), 10)));
  StoreField(movies_, "POD:SFSEL", " ");
  return Add(movies_);
}

namespace {
// How long a transaction waits for another program's update to end.
constexpr int32_t kLogoutSeconds = 10;
}  // namespace

int DirectFavouritesWriter::BeginUpdate() {
  FileControlBlock* files[] = {&groups_, &movies_};
  return Logout(kLogoutSeconds, files);
}

int DirectFavouritesWriter::CommitUpdate() {
  FileControlBlock* files[] = {&groups_, &movies_};
  return Commit(files);
}

void DirectFavouritesWriter::RollbackUpdate() {
  FileControlBlock* files[] = {&groups_, &movies_};
  Rollback(files);
}

GroupStoreResult StorePlayListAsGroup(PlayList& play_list, FavouritesWriter& writer, int32_t date,
                                      int32_t time) {
  GroupStoreResult result;
  if (play_list.Empty()) return result;
  writer.OpenFiles();
  result.group = GroupNameFor(date, time);
  result.group_error = writer.AddGroup(result.group);
  if (result.group_error != 0) return result;
  for (int32_t i = 1, n = play_list.Count(); i <= n; ++i) {
    std::string path = AsciiLower(play_list.PathAt(i));
    if (path.size() > kStoredPathSize) {
      result.left_out.push_back(path);
      continue;
    }
    if (writer.AddMovie(result.group, path) == 0) ++result.movies_stored;
  }
  if (!result.left_out.empty()) {
    std::string text = "Group " + result.group + " was stored without these movies: their paths "
                       "are longer than " + std::to_string(kStoredPathSize) +
                       " characters, the most a favourite holds.|";
    for (const std::string& path : result.left_out) text += "|" + path;
    ShowMessageBox(text, "Add play list", box_icon::kExclamation);
  }
  return result;
}

}  // namespace cinevo::app
