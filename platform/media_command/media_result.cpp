#include "platform/media_command/media_result.h"

namespace cinevo::platform {

std::string_view MediaResultText(int code) {
  switch (code) {
    case kMediaOk: return "The command succeeded";
    case kMediaUnknownCommand: return "Unknown command";
    case kMediaUnknownKeyword: return "Unknown keyword after the device name";
    case kMediaUnknownDevice: return "No device is open under this name";
    case kMediaAlreadyOpen: return "The device is already open";
    case kMediaFileNotFound: return "The file does not exist";
    case kMediaCannotPlay: return "The file cannot be played";
    case kMediaMissingParameter: return "A parameter is missing";
    case kMediaBadParameter: return "A parameter is not valid";
    case kMediaNotForAll: return "This command cannot be sent to all devices";
    case kMediaNoVideo: return "The device has no video";
    case kMediaReplyTooLong: return "The reply was cut to fit the buffer";
    case kMediaBadWindow: return "The parent window does not exist";
    case kMediaUnavailable: return "The media engine is not available";
    default: return "Unknown result code";
  }
}

}  // namespace cinevo::platform
