#pragma once
// The media control command strings that preview plays sounds with. Three forms are understood,
// keywords and aliases without regard to letter case:
//
//   open "<path>" alias NAME     (or open <path> alias NAME for a path without spaces)
//   play NAME wait
//   close NAME
//
// Opening decodes the whole file, so a file that cannot be played is refused at once: a wave
// file (.wav) through SDL, a MIDI file (.mid) through the General MIDI synthesizer. The device
// follows the file's extension, in any letter case. Play returns when the sound has ended.
#include <string>

enum MediaError : int {
    MediaOk = 0,
    MediaUnrecognizedCommand = 1,
    MediaAliasInUse = 2,
    MediaUnknownAlias = 3,
    MediaFileNotFound = 4,
    MediaUnknownDeviceType = 5, // an extension no device plays
    MediaCannotDecode = 6,      // not a file of its type, or no soundfont for MIDI
    MediaPlaybackFailed = 7,    // no audio device, or it stopped taking samples
};

// Carries out one command; MediaOk (0) on success, otherwise the reason it failed.
int mciSendString(const std::string& command);
