// Parsing of the option texts that SEND hands to a driver: a keyword at the start of the text,
// optionally followed by "=" and a value ("TCF=c:\log.tcf", "FULLBUILD", "FULLBUILD=ON",
// "FLAGS=12").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cinevo {

struct SendOption {
  bool has_value = false;  // the keyword was followed by "="
  std::string value;       // the text after "=", surrounding blanks removed
};

// Matches `keyword` (case-insensitive) at the start of `text` after leading blanks. The keyword
// must end the text or be followed by blanks or "="; otherwise (or on another keyword) nullopt.
std::optional<SendOption> MatchSendOption(std::string_view text, std::string_view keyword);

// "ON" sets a switch; any other value clears it.
bool SendValueIsOn(std::string_view value);
inline std::string_view SendOnOff(bool on) { return on ? "ON" : "OFF"; }

// A decimal number with an optional sign; nullopt for anything else or out of range.
std::optional<int64_t> ParseSendNumber(std::string_view value);

}  // namespace cinevo
