#include "runtime/data/view/view_declaration.h"

#include "runtime/core/error_codes.h"

namespace cinevo {
namespace {

std::string FieldItem(const FileControlBlock& f, int field) {
  const FileDeclaration& d = *f.declaration;
  if (field > 0 && static_cast<size_t>(field) <= d.fields.size()) {
    return "FIELD(" + d.fields[field - 1].label + ")";
  }
  if (field < 0 && static_cast<size_t>(-field) <= d.memos.size()) {
    return "MEMO(" + d.memos[-field - 1].label + ")";
  }
  return "FIELD(?)";
}

void WriteProject(const FileControlBlock& f, const std::vector<int>& project, const std::string& indent,
                  std::string& out) {
  if (project.empty()) return;
  out += indent + "PROJECT(";
  for (size_t i = 0; i < project.size(); ++i) {
    if (i) out += ',';
    out += FieldItem(f, project[i]);
  }
  out += ")\r\n";
}

void WriteJoins(const std::vector<JoinDeclaration>& joins, const std::string& indent, std::string& out) {
  for (const JoinDeclaration& j : joins) {
    const FileDeclaration& d = *j.file->declaration;
    out += indent + "JOIN(";
    if (j.key != kNoKey) {
      out += d.keys[j.key].label;
      for (const ViewField& l : j.links) out += "," + FieldItem(*l.file, l.field);
    } else {
      out += d.label + ",'" + j.expression + "'";
    }
    out += ')';
    if (j.inner) out += ",INNER";
    out += "\r\n";
    WriteProject(*j.file, j.project, indent + "  ", out);
    WriteJoins(j.joins, indent + "  ", out);
    out += indent + "END\r\n";
  }
}

void CollectFiles(const std::vector<JoinDeclaration>& joins, std::vector<FileControlBlock*>& out) {
  for (const JoinDeclaration& j : joins) {
    out.push_back(j.file);
    CollectFiles(j.joins, out);
  }
}

bool ValidField(const FileControlBlock* f, int field) {
  if (f == nullptr) return false;
  const FileDeclaration& d = *f->declaration;
  if (field > 0) return static_cast<size_t>(field) <= d.fields.size();
  return field < 0 && static_cast<size_t>(-field) <= d.memos.size();
}

bool ValidProject(const FileControlBlock* f, const std::vector<int>& project) {
  for (int p : project) {
    if (!ValidField(f, p)) return false;
  }
  return true;
}

bool ValidJoins(const std::vector<JoinDeclaration>& joins) {
  for (const JoinDeclaration& j : joins) {
    if (j.file == nullptr || !ValidProject(j.file, j.project)) return false;
    const FileDeclaration& d = *j.file->declaration;
    if (j.key != kNoKey) {
      if (j.key < 0 || static_cast<size_t>(j.key) >= d.keys.size()) return false;
      if (j.links.size() > d.keys[j.key].components.size()) return false;
      for (const ViewField& l : j.links) {
        if (l.field <= 0 || !ValidField(l.file, l.field)) return false;
      }
    } else if (j.expression.empty()) {
      return false;
    }
    if (!ValidJoins(j.joins)) return false;
  }
  return true;
}

}  // namespace

std::string ViewSource(const ViewDeclaration& view) {
  std::string out = "VIEW(" + (view.primary ? view.primary->declaration->label : std::string()) + ")\r\n";
  if (view.primary) {
    WriteProject(*view.primary, view.project, "  ", out);
    WriteJoins(view.joins, "  ", out);
  }
  out += "END\r\n";
  return out;
}

std::vector<FileControlBlock*> ViewFiles(const ViewDeclaration& view) {
  std::vector<FileControlBlock*> files;
  if (view.primary) files.push_back(view.primary);
  CollectFiles(view.joins, files);
  return files;
}

int CheckViewDeclaration(const ViewDeclaration& view) {
  if (view.primary == nullptr || !ValidProject(view.primary, view.project)) return kErrInvalidRecordDeclaration;
  if (view.key != kNoKey && (view.key < 0 || static_cast<size_t>(view.key) >= view.primary->declaration->keys.size())) {
    return kErrInvalidRecordDeclaration;
  }
  return ValidJoins(view.joins) ? 0 : kErrInvalidRecordDeclaration;
}

}  // namespace cinevo
