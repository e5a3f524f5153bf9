#include "app/catalogue.h"

#include <filesystem>
#include <span>

#include "runtime/core/value_storage.h"

namespace cinevo::app {
namespace {

void ApplySettings(classlib::FileManager& m, const char* name) {
  m.fileNameValue = name;  // how messages name the file
  m.create = true;
  m.lockRecover = 10;
  m.lazyOpen = true;
  m.openMode = 0x42;  // read/write, deny none
}

}  // namespace

void StoreText(FileControlBlock& f, uint32_t offset, uint32_t size, std::string_view text) {
  if (offset > f.record.size() || size > f.record.size() - offset) return;
  StoreString(reinterpret_cast<char*>(f.record.data() + offset), size, text);
}

std::string LoadText(const FileControlBlock& f, uint32_t offset, uint32_t size) {
  if (offset > f.record.size() || size > f.record.size() - offset) return {};
  std::string s(reinterpret_cast<const char*>(f.record.data() + offset), size);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

FileDeclaration GroupDeclaration(const std::string& folder) {
  FileDeclaration d;
  d.label = "GRUPA";
  d.name = (std::filesystem::path(folder) / "GRUPA").string();
  d.driver = "TARVEX";
  d.prefix = "GRU";
  d.fields = {MakeField("GRU:SIFRA", TypeCode::kString, gru::kSifra, gru::kSifraSize),
              MakeField("GRU:SFSEL", TypeCode::kString, gru::kSfsel, gru::kSfselSize)};
  d.keys = {MakeKey("GRU:PRK", kKeyOpt | kKeyNoCase, {1})};
  return d;
}

FileDeclaration MovieDeclaration(const std::string& folder) {
  FileDeclaration d;
  d.label = "PODGRU";
  d.name = (std::filesystem::path(folder) / "PODGRU").string();
  d.driver = "TARVEX";
  d.prefix = "POD";
  d.fields = {MakeField("POD:SIFRA", TypeCode::kString, pod::kSifra, pod::kSifraSize),
              MakeField("POD:NASLOV", TypeCode::kString, pod::kNaslov, pod::kNaslovSize),
              MakeField("POD:NASLOV2", TypeCode::kString, pod::kNaslov2, pod::kNaslov2Size),
              MakeField("POD:SFSEL", TypeCode::kString, pod::kSfsel, pod::kSfselSize)};
  d.keys = {MakeKey("POD:PRK", kKeyDup | kKeyOpt | kKeyNoCase, {1, 3})};
  return d;
}

Catalogue::Catalogue(const std::string& folder)
    : folder_(folder), groupDecl_(GroupDeclaration(folder)), movieDecl_(MovieDeclaration(folder)) {
  groupFile_ = std::make_unique<FileControlBlock>(groupDecl_);
  movieFile_ = std::make_unique<FileControlBlock>(movieDecl_);
}

void Catalogue::InitGroups(classlib::ErrorClass& errors) {
  groups_.Init(*groupFile_, errors);
  ApplySettings(groups_, "Grupa");
  groups_.AddKey(0, "GRU:Prk", 0);
  groupRelations_.Init(groups_, true);
  groupRelations_.AddRelation(movieRelations_, classlib::kLinkCascade, classlib::kLinkCascade, 0);
  groupRelations_.AddRelationLink(std::span(groupFile_->record).subspan(gru::kSifra, gru::kSifraSize),
                                  std::span(movieFile_->record).subspan(pod::kSifra, pod::kSifraSize));
}

void Catalogue::InitMovies(classlib::ErrorClass& errors) {
  movies_.Init(*movieFile_, errors);
  ApplySettings(movies_, "PodGru");
  movies_.AddKey(0, "POD:Prk", 0);
  movieRelations_.Init(movies_, true);
  movieRelations_.AddRelation(groupRelations_);
}

}  // namespace cinevo::app
