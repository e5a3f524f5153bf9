// The catalogue's data dictionary: the two data files, their keys and the relation between them,
// and the class-library objects through which every window reaches them.
//
// GRUPA (groups), 21 bytes:  GRU:SIFRA STRING(20) the group's name; GRU:SFSEL STRING(1) spare.
//   Key GRU:PRK on GRU:SIFRA, OPT NOCASE, unique ("GRU:Prk").
// PODGRU (movies), 151 bytes: POD:SIFRA STRING(20) the group; POD:NASLOV STRING(120) the media
//   file's path; POD:NASLOV2 STRING(10) its first ten characters; POD:SFSEL STRING(1) spare.
//   Key POD:PRK on POD:SIFRA, POD:NASLOV2, DUP OPT NOCASE ("POD:Prk").
// A group has many movies: renaming a group renames its movies (Cascade), deleting a group
// deletes them (Cascade), each inside one transaction.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "classlib/error_class.h"
#include "classlib/file_manager.h"
#include "classlib/relation_manager.h"
#include "runtime/data/file_control_block.h"

namespace cinevo::app {

// Record layouts: offsets and sizes.
namespace gru {
inline constexpr uint32_t kSifra = 0, kSifraSize = 20;
inline constexpr uint32_t kSfsel = 20, kSfselSize = 1;
inline constexpr uint32_t kRecordSize = 21;
}  // namespace gru
namespace pod {
inline constexpr uint32_t kSifra = 0, kSifraSize = 20;
inline constexpr uint32_t kNaslov = 20, kNaslovSize = 120;
inline constexpr uint32_t kNaslov2 = 140, kNaslov2Size = 10;
inline constexpr uint32_t kSfsel = 150, kSfselSize = 1;
inline constexpr uint32_t kRecordSize = 151;
}  // namespace pod

// A STRING field of a record buffer: stored blank-padded (or cut), read without trailing blanks.
void StoreText(FileControlBlock& f, uint32_t offset, uint32_t size, std::string_view text);
std::string LoadText(const FileControlBlock& f, uint32_t offset, uint32_t size);

// The declarations, their files named inside `folder` (the driver adds ".TVX").
FileDeclaration GroupDeclaration(const std::string& folder);
FileDeclaration MovieDeclaration(const std::string& folder);

// The data files and their managers, created and destroyed by the main routine.
class Catalogue {
 public:
  explicit Catalogue(const std::string& folder);
  Catalogue(const Catalogue&) = delete;
  Catalogue& operator=(const Catalogue&) = delete;

  // The file manager and relation manager of GRUPA, with the relation to PODGRU; then those of
  // PODGRU with the relation back.
  void InitGroups(classlib::ErrorClass& errors);
  void InitMovies(classlib::ErrorClass& errors);
  // Each relation manager kills its file manager.
  void KillGroups() { groupRelations_.Kill(); }
  void KillMovies() { movieRelations_.Kill(); }

  classlib::RelationManager& GroupRelations() { return groupRelations_; }
  classlib::RelationManager& MovieRelations() { return movieRelations_; }
  classlib::FileManager& Groups() { return groups_; }
  classlib::FileManager& Movies() { return movies_; }
  FileControlBlock& GroupFile() { return *groupFile_; }
  FileControlBlock& MovieFile() { return *movieFile_; }
  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
  FileDeclaration groupDecl_, movieDecl_;
  std::unique_ptr<FileControlBlock> groupFile_, movieFile_;
  classlib::FileManager groups_, movies_;
  classlib::RelationManager groupRelations_, movieRelations_;
};

}  // namespace cinevo::app
