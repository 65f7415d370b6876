// The record reader over arbitrary bytes. Every line it hands on must be one that the writer's
// form carries back unchanged: written again as "key=value" with CR LF, it reads back the same.
#include "writer/CustomizationRecord.h"

#include "FuzzCheck.h"
#include "platform/ByteStream.h"
#include "platform/Prompt.h"

#include <string>
#include <utility>
#include <vector>

namespace {

using Lines = std::vector<std::pair<std::string, std::string>>;

bool Read(const void* data, size_t size, Lines& lines) {
    MemorySource source(data, size);
    return ReadCustomizationRecord(source, [&](const std::string& key, const std::string& value) {
        lines.emplace_back(key, value);
        // Refusing every other line exercises the warning as well as the assignment.
        return lines.size() % 2 == 0;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool scripted = (PromptScript::Activate(), true);
    (void)scripted;
    PromptScript::Clear();

    Lines lines;
    bool loaded = Read(data, size, lines);

    size_t warnings = lines.size() / 2 + lines.size() % 2;
    std::vector<std::string> shown = PromptScript::ShownTexts();
    Check(shown.size() == warnings + (loaded ? 0 : 1));
    Check(loaded || shown.back() == "Bad format .UNS file");

    std::string again;
    for (const auto& [key, value] : lines) {
        Check(key.find_first_of(std::string("=\n\0", 3)) == std::string::npos);
        Check(value.find_first_of(std::string("\n\0", 2)) == std::string::npos);
        Check(key.empty() || key[0] != ';');
        Check(key.size() + 1 + value.size() <= RecordLineLimit);
        again += key + "=" + value + "\r\n";
    }
    Lines reread;
    Check(Read(again.data(), again.size(), reread));
    Check(reread == lines);
    return 0;
}
