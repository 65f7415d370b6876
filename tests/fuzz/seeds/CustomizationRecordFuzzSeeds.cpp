#include "SeedRegistry.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<Seed> RecordSeeds() {
    std::string longest = "wake*=" + std::string(116, 'n') + ".wav";
    return std::vector<Seed>{
        {"crlf", Bytes("wake*=hello.wav\r\nhakken_ball=Tune.MID\r\n")},
        {"lf", Bytes("wake*=hello.wav\nsit_happy_joy3_t?s=a=b.wav\n")},
        {"empty", {}},
        {"comments", Bytes("; by hand\r\n;" + std::string(200, '-') + "\r\nwake*=x.wav\r\n")},
        {"longest-line", Bytes(longest + "\r\n")},
        {"too-long-line", Bytes(longest + "x\r\n")},
        {"blank-line", Bytes("wake*=hello.wav\r\n\r\nx=y\r\n")},
        {"no-line-end", Bytes("wake*=hello.wav\r\nhakken_ball=Tune.MID")},
        {"no-equals", Bytes("wake*hello.wav\r\n")},
        {"zero-bytes", Bytes(std::string("\0wake*=a.wav\r\n", 14) + std::string("b=c\0d\r\n", 7))},
        {"lone-carriage-returns", Bytes("=\r\r\n\rk=v\r\r\r\n")},
        {"empty-key-and-value", Bytes("=\r\n=hello.wav\r\nwake*=\r\n")},
    };
}

} // namespace

TW_REGISTER_SEEDS(CustomizationRecordFuzz, RecordSeeds);
