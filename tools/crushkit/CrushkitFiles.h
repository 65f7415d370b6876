#pragma once
// How Crushkit puts its result on disk. The caller of the tool judges success only by whether the
// output file is there, so a half-written output must never appear under the output's name: the
// result goes to a temporary file beside it, reaches the device, and is then renamed into place.
#include "platform/ByteStream.h"

#include <functional>
#include <string>

using StreamTransform = std::function<bool(ByteSource&, ByteSink&)>;

// Runs `transform` from the file at inputPath into outputPath, replacing any file there, then
// removes the input. The output gets the input's permission bits and times, as gzip gives them.
// On failure returns false with a one-line reason in `error` (`refusal` when the transform itself
// gave up); the input is then untouched and no output or temporary file is left behind.
bool TransformFile(const std::string& inputPath, const std::string& outputPath, const StreamTransform& transform,
                   const std::string& refusal, std::string& error);
