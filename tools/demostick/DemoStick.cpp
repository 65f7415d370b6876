#include "DemoStick.h"

#include "catalog/SoundCatalogs.h"

#include <cstring>

namespace {

constexpr uint32_t SettingKind = 0x1000;
constexpr uint32_t MotionKind = 0x1101;
constexpr uint32_t TriggerKind = 0x2001;
constexpr uint32_t SoundEchoKind = 0x2011; // carries a sound's name but does not play it
constexpr uint32_t LedKind = 0x3000;

MwcRecord Record(uint32_t kind, std::string text, uint32_t serial) {
    MwcRecord record;
    record.kind = kind;
    record.text = std::move(text);
    // Priority, volume, repeat count and a serial number, as the details of a real record vary.
    record.details = {static_cast<uint8_t>(serial % 7),
                      0x00,
                      static_cast<uint8_t>(0x40 + serial % 0x40),
                      0x00,
                      static_cast<uint8_t>(serial % 3),
                      0x00,
                      0x00,
                      0x00,
                      static_cast<uint8_t>(serial),
                      static_cast<uint8_t>(serial >> 8),
                      0x00,
                      0x00,
                      0xFF,
                      0xFF,
                      0x00,
                      0x00};
    return record;
}

// The names under which the robot software plays one stock sound. A "?" stands for a variant
// digit and a "*" for any ending; every third key gets a third form.
std::vector<std::string> SoundNames(const std::string& key, int position) {
    const bool three = position % 3 == 0;
    size_t any = key.find('?');
    if (any != std::string::npos) {
        std::vector<std::string> names;
        for (char digit : std::string(three ? "123" : "12")) {
            std::string name = key;
            name[any] = digit;
            names.push_back(name);
        }
        return names;
    }
    size_t rest = key.find('*');
    if (rest != std::string::npos) {
        const std::string prefix = key.substr(0, rest);
        std::vector<std::string> names = {prefix + "_nxs", prefix + "2_tcs"};
        if (three) {
            names.push_back(prefix);
        }
        return names;
    }
    return {key};
}

// A trigger name from a catalog label: "Wave 'Hi' 1" becomes "on_wave_hi_1".
std::string TriggerName(const char* label) {
    std::string name = "on_";
    for (const char* p = label; *p != '\0' && name.size() < 40; ++p) {
        char c = *p;
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            name += c;
        } else if (name.back() != '_') {
            name += '_';
        }
    }
    while (name.back() == '_') {
        name.pop_back();
    }
    return name;
}

} // namespace

MwcContainer DemoContainer(const ModelProfile& profile) {
    MwcContainer container;
    container.reserved = 0x00020001;
    uint32_t serial = 1;

    MwcBlock settings;
    settings.blockId = 0x0001;
    settings.records.push_back(Record(SettingKind, "mw_config_version_2", serial++));
    settings.records.push_back(Record(SettingKind, std::string("profile_") + profile.name, serial++));
    settings.records.push_back(Record(SettingKind, "sound_volume_mid", serial++));
    settings.records.push_back(Record(MotionKind, "motion_sit_down", serial++));
    settings.records.push_back(Record(MotionKind, "motion_stand_up", serial++));
    settings.records.push_back(Record(LedKind, "led_eyes_green", serial++));
    container.blocks.push_back(settings);

    MwcBlock* category = nullptr;
    std::string firstExact;
    for (int i = 0; i < profile.catalogCount; ++i) {
        const CatalogEntry& entry = profile.catalog[i];
        if (!IsStockSound(entry) || category == nullptr) {
            MwcBlock block;
            block.blockId = 0x0100 + static_cast<uint32_t>(container.blocks.size());
            container.blocks.push_back(block);
            category = &container.blocks.back();
            if (!IsStockSound(entry)) {
                continue;
            }
        }
        category->records.push_back(Record(TriggerKind, TriggerName(entry.label), serial++));
        const std::vector<std::string> names = SoundNames(entry.key, i);
        if (firstExact.empty() && std::strpbrk(entry.key, "?*") == nullptr) {
            firstExact = entry.key;
        }
        for (const std::string& name : names) {
            category->records.push_back(Record(SoundRecordKind, name, serial++));
        }
        if (i % 4 == 1) {
            category->records.push_back(Record(SoundEchoKind, names.front(), serial++));
        }
        if (i % 5 == 2) {
            category->records.push_back(Record(MotionKind, "motion_" + TriggerName(entry.label).substr(3), serial++));
        }
    }

    // The software's own sounds, which no stock sound entry stands for, and one stock sound that
    // a second behaviour plays as well.
    MwcBlock system;
    system.blockId = 0x0900;
    system.records.push_back(Record(TriggerKind, "on_battery_low", serial++));
    system.records.push_back(Record(SoundRecordKind, "sys_battery_low", serial++));
    system.records.push_back(Record(TriggerKind, "on_shutdown", serial++));
    system.records.push_back(Record(SoundRecordKind, "sys_shutdown_x1d", serial++));
    system.records.push_back(Record(SoundRecordKind, "bgm_theme01", serial++));
    system.records.push_back(Record(SoundRecordKind, "ok", serial++));
    system.records.push_back(Record(LedKind, "led_blink_red", serial++));
    if (!firstExact.empty()) {
        system.records.push_back(Record(TriggerKind, "on_greeting_again", serial++));
        system.records.push_back(Record(SoundRecordKind, firstExact, serial++));
    }
    container.blocks.push_back(system);
    return container;
}

StickBuilder DemoStick(const ModelProfile& profile) {
    StickBuilder stick(profile);
    VersionLayout version;
    version.code = profile.softwareCode;
    version.comment = "Tonewright demo stick";
    stick.Version(version);
    stick.MemstickName("memstick.ind");
    stick.Container(DemoContainer(profile));
    return stick;
}

const ModelProfile* FindProfile(const std::string& name) {
    for (const ModelProfile& profile : ProfileTable) {
        if (name == profile.name) {
            return &profile;
        }
    }
    return nullptr;
}
