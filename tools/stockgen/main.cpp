// Builds the program's stock sound libraries from the tune source: each tune becomes a MIDI file,
// each library a scrambled container of those files, and all four a C++ source compiled into
// the program.
//
//   stockgen <tunes.txt> <StockLibraryData.cpp>
#include "MidiFileWriter.h"
#include "Tune.h"
#include "sounds/StockLibraryFormat.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

// The libraries the program declares, in the order they are written out.
const char* const kLibraries[] = {"AiboLife1", "Ers310", "Ers210", "Ers220"};

// A stock sound is heard as a short call: well under the three seconds a preview may last once
// its last notes have rung out, and long enough to be more than a click.
constexpr double kShortestTune = 0.2;
constexpr double kLongestTune = 2.6;

int Fail(const std::string& message) {
    std::fprintf(stderr, "stockgen: %s\n", message.c_str());
    return 1;
}

bool IsKnownLibrary(const std::string& name) {
    for (const char* known : kLibraries) {
        if (name == known) {
            return true;
        }
    }
    return false;
}

void WriteByteArray(std::ostream& out, const std::string& name, const std::vector<uint8_t>& bytes) {
    out << "const uint8_t " << name << "[] = {";
    for (size_t i = 0; i < bytes.size(); ++i) {
        out << (i % 16 == 0 ? "\n    " : " ") << static_cast<int>(bytes[i]) << ",";
    }
    out << "\n};\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return Fail("usage: stockgen <tunes.txt> <output.cpp>");
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        return Fail(std::string("cannot read ") + argv[1]);
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    std::optional<TuneSource> source = ParseTuneSource(text.str(), error);
    if (!source) {
        return Fail(std::string(argv[1]) + ": " + error);
    }

    std::map<std::string, std::vector<StockRecord>> records;
    std::map<std::string, std::set<int32_t>> ids;
    for (const Tune& tune : source->tunes) {
        std::string where = std::string(argv[1]) + ": line " + std::to_string(tune.lineNumber) + ": ";
        if (!IsKnownLibrary(tune.library)) {
            return Fail(where + "unknown library " + tune.library);
        }
        if (!ids[tune.library].insert(tune.index).second) {
            return Fail(where + "a second tune for " + tune.library + " " + std::to_string(tune.index));
        }
        if (tune.Seconds() < kShortestTune || tune.Seconds() > kLongestTune) {
            return Fail(where + "the tune lasts " + std::to_string(tune.Seconds()) + " s");
        }
        records[tune.library].push_back({tune.index, WriteMidiFile(tune)});
    }
    for (const auto& [target, from] : source->copies) {
        if (!IsKnownLibrary(target) || !IsKnownLibrary(from) || !records[target].empty()) {
            return Fail("cannot copy " + from + " into " + target);
        }
        records[target] = records[from];
    }

    std::ostringstream out;
    out << "// Made by stockgen from tools/stockgen/tunes.txt at build time; edit the tunes, not this file.\n"
        << "#include \"sounds/StockLibrary.h\"\n\nnamespace {\n";
    for (const char* library : kLibraries) {
        WriteByteArray(out, std::string("k") + library, BuildStockLibrary(records[library]));
    }
    out << "} // namespace\n\n";
    for (const char* library : kLibraries) {
        out << "const StockSoundLibrary " << library << "Library{k" << library << ", sizeof k" << library << "};\n";
    }

    // Written beside the target and renamed, so a failed run never leaves half a source behind.
    std::filesystem::path target(argv[2]);
    std::filesystem::path partial = target;
    partial += ".partial";
    {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        file << out.str();
        if (!file.flush()) {
            return Fail("cannot write " + partial.string());
        }
    }
    std::error_code renameError;
    std::filesystem::rename(partial, target, renameError);
    if (renameError) {
        return Fail("cannot write " + target.string() + ": " + renameError.message());
    }
    return 0;
}
