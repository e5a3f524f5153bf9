#include "app/play_list.h"

#include <algorithm>

#include "runtime/core/value_storage.h"

namespace cinevo::app {

std::string Clip(std::string_view text) {
  size_t end = text.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string EntryPath(std::string_view entry) {
  std::string text = Clip(entry);
  std::string_view view(text);
  if (view.size() >= 2 && view.substr(view.size() - 2) == " ,") {
    return Clip(view.substr(0, view.size() - 2));  // the mode came back empty
  }
  size_t at = view.rfind(" , ");
  if (at == std::string_view::npos) return text;  // a bare path (an entry cut before its mode)
  return Clip(view.substr(0, at));
}

std::string MakeEntry(std::string_view path, std::string_view mode) {
  std::string entry = Clip(path) + " , " + Clip(mode);
  entry = Clip(entry);
  if (entry.size() > kEntrySize) entry.resize(kEntrySize);
  return entry;
}

PlayList::PlayList() : queue_(record_.data(), kEntrySize) {}

int32_t PlayList::Count() { return QueueRecords(&queue_); }

std::string PlayList::Get(int32_t position) {
  if (position < 1 || position > Count()) return {};
  QueueGetAt(&queue_, position);
  return Clip(std::string_view(record_.data(), record_.size()));
}

std::string PlayList::PathAt(int32_t position) { return EntryPath(Get(position)); }

void PlayList::Append(std::string_view entry) {
  StoreString(record_.data(), record_.size(), entry);
  QueueAdd(&queue_);
}

void PlayList::Put(int32_t position, std::string_view entry) {
  if (position < 1 || position > Count()) return;
  StoreString(record_.data(), record_.size(), entry);
  QueuePutAt(&queue_, position);
}

void PlayList::Delete(int32_t position) {
  if (position < 1 || position > Count()) return;
  QueueDeleteAt(&queue_, position);
}

void PlayList::Clear() { QueueFree(&queue_); }

int32_t PlayList::FindPath(std::string_view path) {
  std::string wanted = Clip(path);
  for (int32_t i = 1, n = Count(); i <= n; ++i) {
    if (PathAt(i) == wanted) return i;
  }
  return 0;
}

}  // namespace cinevo::app
