#pragma once
// Gzip over byte streams, so tests and fuzz targets can feed it memory or a failing device: the
// work of Crushkit, and the program's own way to tell how large a packed configuration will be. The stick's
// configuration file is read by the robot's own gzip reader, so what is written here must stay a plain, standard gzip
// stream.
#include "platform/ByteStream.h"

// The levels accepted by GzipStream, as gzip numbers them.
constexpr int MinGzipLevel = 1;
constexpr int MaxGzipLevel = 9;

// Compresses everything the source yields into one gzip member. A short read from the source
// marks its end. False on a level outside 1 to 9, a zlib error or a short write.
bool GzipStream(ByteSource& source, ByteSink& sink, int level);

// Decompresses one or more concatenated gzip members. False unless the source holds only complete,
// valid members (header, data, CRC and length checked), with nothing after the last one; false on
// a short write too. What was written before a failure is not taken back.
bool GunzipStream(ByteSource& source, ByteSink& sink);
