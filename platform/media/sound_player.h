// Playing a sound file to its end: PlaySoundFile, declared with the rest of the Qt-free media
// interface in media_interface.h.
#pragma once

#include "platform/media/media_interface.h"
