#pragma once
// The built-in tables of stock sounds, one per kind of robot software. A row's position (its
// CatalogIndex) is its only identity: tree item data, assignment slot and stock library id.

// A stock sound when `key` is set; a category header when it is null.
struct CatalogEntry {
    const char* key;
    const char* label;
};

constexpr int AiboLife1CatalogCount = 51;
constexpr int Ers310CatalogCount = 22;
constexpr int Ers220CatalogCount = 14;
constexpr int RecognitionCatalogCount = 174;

extern const CatalogEntry AiboLife1Catalog[AiboLife1CatalogCount];
// Row for row the same sounds as AiboLife1Catalog.
// The 210 software plays the same sounds under the same names; only its profile and stock library
// differ, so it shares the rows. A constant expression, so the profile table needs no start-up code.
inline constexpr const CatalogEntry* Ers210Catalog = AiboLife1Catalog;
constexpr int Ers210CatalogCount = AiboLife1CatalogCount;
extern const CatalogEntry Ers310Catalog[Ers310CatalogCount];
extern const CatalogEntry Ers220Catalog[Ers220CatalogCount];
extern const CatalogEntry RecognitionCatalog[RecognitionCatalogCount];

inline bool IsStockSound(const CatalogEntry& entry) {
    return entry.key != nullptr;
}
