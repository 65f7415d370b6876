// Crushkit: the gzip-compatible compressor that lies beside Tonewright. It is started with an
// option and one file and behaves as gzip does for them: "-d X.gz" leaves X, "-6 X" leaves X.gz,
// and the input is removed. It never asks anything; an existing output is replaced.
#include "platform/Gzip.h"
#include "CrushkitFiles.h"

#include <cstdio>
#include <string>

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr int CompressionLevel = 6;
const std::string GzipSuffix = ".gz";

int Usage() {
    std::fprintf(stderr, "usage: Crushkit -d FILE.gz | Crushkit -6 FILE\n");
    return ExitUsage;
}

int Fail(const std::string& reason) {
    std::fprintf(stderr, "Crushkit: %s\n", reason.c_str());
    return ExitFailure;
}

bool HasGzipSuffix(const std::string& path) {
    return path.size() >= GzipSuffix.size() &&
           path.compare(path.size() - GzipSuffix.size(), GzipSuffix.size(), GzipSuffix) == 0;
}

bool NamesAFile(const std::string& path) {
    return !path.empty() && path.back() != '/';
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return Usage();
    }
    const std::string option = argv[1];
    const std::string path = argv[2];
    if (!NamesAFile(path)) {
        return Usage();
    }

    std::string error;
    if (option == "-d") {
        // Stripping the suffix from a bare ".gz" (or "dir/.gz") would leave no file name.
        if (!HasGzipSuffix(path) || path.size() == GzipSuffix.size() ||
            path[path.size() - GzipSuffix.size() - 1] == '/') {
            return Fail(path + ": unknown suffix");
        }
        const std::string output = path.substr(0, path.size() - GzipSuffix.size());
        if (!TransformFile(path, output, GunzipStream, "not a complete gzip stream", error)) {
            return Fail(error);
        }
        return 0;
    }
    if (option == "-" + std::to_string(CompressionLevel)) {
        if (HasGzipSuffix(path)) {
            return Fail(path + ": already has " + GzipSuffix + " suffix");
        }
        auto compress = [](ByteSource& source, ByteSink& sink) { return GzipStream(source, sink, CompressionLevel); };
        if (!TransformFile(path, path + GzipSuffix, compress, "compression failed", error)) {
            return Fail(error);
        }
        return 0;
    }
    return Usage();
}
