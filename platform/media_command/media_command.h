// The media command language: one line of text such as "play /movies/a b.avi from 0".
//
// A command is a verb, a device name and trailing keywords. Device names are file paths and may
// contain blanks, so a command is read from both ends: the verb is the first word, the keywords
// are matched against the last words, and everything in between is the device name (clipped of
// blanks at both ends). A device name may also be written in double quotes, in which case it
// ends at the closing quote. Verbs and keywords are matched without regard to case; the device
// name keeps its spelling. The name "all" (any case) addresses every open device.
//
// Grammar (N is a signed decimal number that fits an int):
//   open DEVICE [parent N]            close DEVICE        stop DEVICE
//   play DEVICE [from N]              pause DEVICE        resume DEVICE
//   put DEVICE window [at N N N N]    where DEVICE destination
//   status DEVICE mode|length|position|time format
//   info DEVICE window text|version|product
//   capability DEVICE has audio|has video
//   set DEVICE time format milliseconds|ms|frames
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace cinevo::platform {

enum class MediaVerb { kOpen, kClose, kPlay, kStop, kPause, kResume, kPut, kWhere, kStatus, kInfo,
                       kCapability, kSet };

// What a command asks for or changes beyond its verb.
enum class MediaItem {
  kNone,
  kParent,            // open ... parent N            (number[0])
  kFrom,              // play ... from N              (number[0])
  kWindow,            // put ... window
  kWindowAt,          // put ... window at X Y W H    (number[0..3])
  kDestination,       // where ... destination
  kMode, kLength, kPosition, kTimeFormat,             // status
  kWindowText, kVersion, kProduct,                    // info
  kHasAudio, kHasVideo,                               // capability
  kTimeMilliseconds, kTimeFrames,                     // set ... time format
};

struct MediaCommand {
  MediaVerb verb = MediaVerb::kOpen;
  std::string device;  // as written (without quotes)
  bool all = false;    // device is "all"
  MediaItem item = MediaItem::kNone;
  int number[4] = {0, 0, 0, 0};
};

// Tells whether a device of this name is open; lets the parser tell "status NAME" (a missing
// keyword) from "status NAME bogus" (an unknown keyword) when names contain blanks.
using MediaDeviceKnown = std::function<bool(std::string_view name)>;

// Parses `text` into `out`. Returns kMediaOk, or kMediaUnknownCommand, kMediaUnknownKeyword,
// kMediaMissingParameter or kMediaBadParameter; `out` is unspecified after a failure.
int ParseMediaCommand(std::string_view text, MediaCommand& out,
                      const MediaDeviceKnown& known = nullptr);

// Case-insensitive equality of two ASCII texts.
bool MediaEqualNoCase(std::string_view a, std::string_view b);

}  // namespace cinevo::platform
