#include "runtime/data/send_options.h"

#include <charconv>

namespace cinevo {
namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\0')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<SendOption> MatchSendOption(std::string_view text, std::string_view keyword) {
  text = Trim(text);
  if (keyword.empty() || text.size() < keyword.size()) return std::nullopt;
  for (size_t i = 0; i < keyword.size(); ++i) {
    if (Upper(text[i]) != Upper(keyword[i])) return std::nullopt;
  }
  std::string_view rest = text.substr(keyword.size());
  std::string_view after = Trim(rest);
  SendOption option;
  if (after.empty()) return option;
  if (rest.front() != ' ' && rest.front() != '\t' && rest.front() != '=') return std::nullopt;
  if (after.front() != '=') return std::nullopt;
  option.has_value = true;
  option.value = std::string(Trim(after.substr(1)));
  return option;
}

bool SendValueIsOn(std::string_view value) {
  value = Trim(value);
  return value.size() == 2 && Upper(value[0]) == 'O' && Upper(value[1]) == 'N';
}

std::optional<int64_t> ParseSendNumber(std::string_view value) {
  value = Trim(value);
  if (!value.empty() && value.front() == '+') value.remove_prefix(1);
  if (value.empty()) return std::nullopt;
  int64_t n = 0;
  auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
  if (ec != std::errc() || end != value.data() + value.size()) return std::nullopt;
  return n;
}

}  // namespace cinevo
