// Result codes of the media command interface and their texts.
//
// Every command returns one of these; 0 is success and every failure has its own code so that a
// caller (or a user of the command-line tool) can tell what went wrong.
#pragma once

#include <string_view>

namespace cinevo::platform {

enum MediaResult : int {
  kMediaOk = 0,
  kMediaUnknownCommand = 1,    // the first word is not a command
  kMediaUnknownKeyword = 2,    // the words after the device name are not understood
  kMediaUnknownDevice = 3,     // no device is open under that name
  kMediaAlreadyOpen = 4,       // "open" of a name that is open already
  kMediaFileNotFound = 5,      // the file does not exist (or is a directory)
  kMediaCannotPlay = 6,        // the file exists but cannot be decoded
  kMediaMissingParameter = 7,  // a device name or keyword is missing
  kMediaBadParameter = 8,      // a number is malformed or out of range, a quote is unterminated
  kMediaNotForAll = 9,         // a query was sent to "all"
  kMediaNoVideo = 10,          // the device has no video (window or frame based commands)
  kMediaReplyTooLong = 11,     // the reply did not fit the caller's buffer; it was cut
  kMediaBadWindow = 12,        // "parent" names no window
  kMediaUnavailable = 13,      // the playback engine could not be started
};

// The text of a result code; "Unknown result code" for a number that is not one of them.
std::string_view MediaResultText(int code);

}  // namespace cinevo::platform
