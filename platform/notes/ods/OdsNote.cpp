#include "platform/notes/ods/OdsNote.h"

#include <set>
#include <tuple>

#include "platform/notes/LNErrors.h"
#include "platform/notes/NotesState.h"

namespace notes::ods {

namespace {
constexpr uint16_t kNoteSignature = 0x0004;
constexpr size_t kNoteHeader = 100;
constexpr size_t kDeletionStubHeader = 42;   // signature to note class
constexpr size_t kItemEntry = 8;
constexpr size_t kNonSummaryHeader = 68;
// Note status flag: the non-summary values follow the summary values in the
// note's own record instead of a record of their own.
constexpr uint16_t kNonSummaryInline = 0x2000;
// Unused bytes a writer may leave at the end of either area.
constexpr size_t kAreaPadding = 64;
// Placements tried before a note counts as damaged: a sound note needs one
// per item, a damaged one must not make the search run for ever.
constexpr size_t kPlacementBudget = 20000;

constexpr uint16_t kTypeMimePart = 25;
constexpr uint16_t kNoteClassMask = 0x7FFF;   // without the "default design note" bit

// Flags kept for the LN classes; the seal flag only on encrypted notes,
// where it hides the sealed values.
constexpr uint16_t kKeptFlags = ITEM_SIGN | ITEM_SUMMARY | ITEM_READWRITERS | ITEM_NAMES | kItemProtected | kItemReaders;

bool KnownTypeWord(uint16_t word) {
    if (word >= 0x0001 && word <= 0x001F) return true;
    switch (word) {
        case 0x0100: case 0x0200: case 0x0300: case 0x0301: case 0x0400: case 0x0401:
        case 0x0500: case 0x0501: case 0x0502: case 0x0600: case 0x0700:
            return true;
        default:
            return false;
    }
}

// A type word whose low byte is that of the name's non-computable type
// (object, composite, ...) is taken as that type: the samples show objects
// with other bits in the high byte.
std::optional<uint16_t> TypeOfWord(uint16_t word, uint16_t nameType) {
    if (nameType < 0x0100 && (word & 0xFF) == nameType && word != 0) return nameType;
    if (KnownTypeWord(word)) return word;
    return std::nullopt;
}

bool PlausibleList(CBytes v, size_t entrySize) {
    if (v.Size() < 4) return false;
    size_t lists = v.U16(0), ranges = v.U16(2);
    return 4 + entrySize * lists + 2 * entrySize * ranges == v.Size() || (v.Size() - 4) % entrySize == 0;
}

bool PlausibleFirstCdRecord(CBytes v) {
    if (v.Size() == 0) return true;
    if (v.Size() < 2) return false;
    uint8_t kind = v.U8(1);
    if (kind == 0xFF) return v.Size() >= 4 && v.U16(2) >= 4 && v.U16(2) <= v.Size();
    if (kind == 0x00) return v.Size() >= 6 && v.U32(2) >= 6 && v.U32(2) <= v.Size();
    return kind >= 2 && kind <= v.Size();
}

class CPlacer {
public:
    // unreadNonSummary: the note has non-summary values that are not read;
    // every value without the summary flag lies there, unchecked.
    CPlacer(const std::vector<CItemEntry>& items, const std::vector<uint16_t>& types, CBytes summary,
            const CBytes* nonSummary, bool unreadNonSummary = false)
        : items(items), types(types), summary(summary), nonSummary(nonSummary), unread(unreadNonSummary),
          places(items.size()) {}

    bool Solve() { return Try(0, 0, 0); }
    std::vector<CValuePlace> Places() const { return places; }

private:
    bool Try(size_t i, size_t inSummary, size_t inNonSummary) {
        if (i == items.size())
            return summary.Size() - inSummary <= kAreaPadding &&
                   (unread || !nonSummary || nonSummary->Size() - inNonSummary <= kAreaPadding);
        if (tried.size() >= kPlacementBudget || !tried.insert({i, inSummary, inNonSummary}).second) return false;
        const CItemEntry& item = items[i];
        if (unread && !(item.flags & ITEM_SUMMARY)) {
            places[i] = CValuePlace{false, false};
            return Try(i + 1, inSummary, inNonSummary);
        }
        bool summaryFirst = (item.flags & ITEM_SUMMARY) || !nonSummary;
        for (int choice = 0; choice < 2; ++choice) {
            bool inS = choice == 0 ? summaryFirst : !summaryFirst;
            if (!inS && !nonSummary) continue;
            CBytes area = inS ? summary : *nonSummary;
            size_t at = inS ? inSummary : inNonSummary;
            if (!area.Has(at, item.size)) continue;
            CBytes value = area.Sub(at, item.size);
            // Only summary values carry type words; the flag says which.
            bool wordFirst = inS && !(item.flags & kItemTypeFromName);
            for (int w = 0; w < (inS ? 2 : 1); ++w) {
                bool word = w == 0 ? wordFirst : !wordFirst;
                if (!Fits(item, types[i], value, word)) continue;
                places[i] = CValuePlace{inS, word};
                if (Try(i + 1, inSummary + (inS ? item.size : 0), inNonSummary + (inS ? 0 : item.size)))
                    return true;
            }
        }
        return false;
    }

    static bool Fits(const CItemEntry& item, uint16_t nameType, CBytes value, bool word) {
        if (item.flags & kItemPlaceholder) return !word;
        if (!word) return PlausibleValue(nameType, value);
        if (value.Size() < 2) return false;
        auto type = TypeOfWord(value.U16(0), nameType);
        return type && PlausibleValue(*type, value.From(2));
    }

    const std::vector<CItemEntry>& items;
    const std::vector<uint16_t>& types;
    CBytes summary;
    const CBytes* nonSummary;
    bool unread;
    std::vector<CValuePlace> places;
    std::set<std::tuple<size_t, size_t, size_t>> tried;
};

[[noreturn]] void Damaged(NOTEID id, const std::string& why) {
    throw CNoteUnreadable("note " + std::to_string(id) + ": " + why, ERR_NOTE_DAMAGED);
}

TIMEDATE TimeAt(CBytes b, size_t at) { return TIMEDATE{{b.U32(at), b.U32(at + 4)}}; }

std::string TypeWord(uint16_t type) {
    return std::string{static_cast<char>(type & 0xFF), static_cast<char>(type >> 8)};
}

std::vector<CItemEntry> ItemTable(CBytes record) {
    size_t count = record.U16(50);
    std::vector<CItemEntry> items(count);
    for (size_t k = 0; k < count; ++k) {
        size_t e = kNoteHeader + kItemEntry * k;
        items[k] = CItemEntry{record.U16(e), record.U16(e + 2), record.U16(e + 4)};
    }
    return items;
}

// The note's record; an empty one when the ID names an object. A data RRV
// bucket lists only documents, so there anything but a note is damage.
CRecord NoteRecord(const COdsContainer& container, NOTEID id) {
    CRecord record = container.Record(id);
    // A shorter note record is the stub a deleted document leaves for
    // replication: no document any more.
    if (record.bytes.Size() >= kDeletionStubHeader && record.bytes.Size() < kNoteHeader &&
        record.bytes.U16(0) == kNoteSignature)
        return CRecord{};
    if (record.bytes.Size() < kNoteHeader || record.bytes.U16(0) != kNoteSignature) {
        auto entry = container.Rrv().find(id);
        if (entry != container.Rrv().end() && entry->second.dataNote) throw COdsDamage("its record is not a note");
        return CRecord{};
    }
    if (record.bytes.U32(6) != id) throw COdsDamage("record belongs to another note");
    return record;
}
}  // namespace

bool PlausibleValue(uint16_t type, CBytes v) {
    size_t n = v.Size();
    switch (type) {
        case TYPE_TEXT: case 0x0502: return true;
        case TYPE_TEXT_LIST: {
            if (n == 0) return true;
            if (n < 2) return false;
            size_t count = v.U16(0);
            if (2 + 2 * count > n) return false;
            size_t total = 2 + 2 * count;
            for (size_t k = 0; k < count; ++k) total += v.U16(2 + 2 * k);
            return total >= n;   // a list may be cut short by its writer
        }
        case TYPE_NUMBER: case TYPE_TIME: return n == 8 || n == 0;
        case TYPE_NUMBER_RANGE: case TYPE_TIME_RANGE: return n == 0 || PlausibleList(v, 8);
        case TYPE_COMPOSITE: return PlausibleFirstCdRecord(v);
        case kTypeMimePart: return n >= 20 && v.U16(0) == 2;
        case TYPE_OBJECT: return n >= 6;
        default: return true;
    }
}

std::optional<std::vector<CValuePlace>> PlaceValues(const std::vector<CItemEntry>& items,
                                                    const std::vector<uint16_t>& nameTypes, CBytes summary,
                                                    const CBytes* nonSummary, bool unreadNonSummary) {
    CPlacer placer(items, nameTypes, summary, nonSummary, unreadNonSummary);
    if (!placer.Solve()) return std::nullopt;
    return placer.Places();
}

int OdsNoteClass(const COdsContainer& container, NOTEID id) {
    try {
        CBytes record = NoteRecord(container, id).bytes;
        return record.Size() ? record.U16(40) & kNoteClassMask : 0;
    } catch (const CNsfError&) {
        // A document's header that cannot be read still names a document:
        // it must reach the conversion, where reading it fails with the reason.
        auto entry = container.Rrv().find(id);
        return entry != container.Rrv().end() && entry->second.dataNote ? kClassDocument : 0;
    }
}

namespace {
CNoteRow NoteHeader(CBytes record, NOTEID id) {
    CNoteRow row;
    row.id = id;
    row.unid.File = TimeAt(record, 10);
    row.unid.Note = TimeAt(record, 18);
    row.noteClass = record.U16(40) & kNoteClassMask;
    row.created = row.unid.Note;     // the note part of the UNID is its creation time
    row.modified = TimeAt(record, 30);
    return row;
}

// The two areas of values: the summary values after the item table, and the
// non-summary values in this record (status flag) or in a record of their
// own, which is fetched only when asked for.
struct CValueAreas {
    CBytes summary;
    std::optional<CBytes> nonSummary;
    CRecord held;
    bool unread = false;
};

CValueAreas Areas(const COdsContainer& container, CBytes record, NOTEID id, size_t valuesStart, bool readNonSummary) {
    CValueAreas a;
    a.summary = record.From(valuesStart);
    uint32_t where = record.U32(56);
    if (!where) return a;
    if (record.U16(38) & kNonSummaryInline) {
        if (where < valuesStart) Damaged(id, "its non-summary values overlap its item table");
        a.nonSummary = record.Sub(where, record.U32(60));
        a.summary = record.Sub(valuesStart, where - valuesStart);
    } else if (readNonSummary) {
        a.held = container.NonSummaryRecord(where, id);
        a.nonSummary = a.held.bytes.From(kNonSummaryHeader);
    } else {
        a.unread = true;
    }
    return a;
}

void MarkEncryption(CNoteRow& row, const std::vector<CItemEntry>& items, const std::vector<bool>& kept) {
    for (const auto& item : row.items) {
        if (SameName(item.name, "$Seal") || SameName(item.name, "$SealData")) row.encrypted = true;
        if (SameName(item.name, "$Signature")) row.isSigned = true;
    }
    if (!row.encrypted) return;
    for (size_t k = 0, out = 0; k < items.size(); ++k) {
        if (!kept[k]) continue;
        if (items[k].flags & ITEM_SEAL) row.items[out].flags |= ITEM_SEAL;
        ++out;
    }
}
}  // namespace

std::optional<CNoteRow> ReadOdsNote(const COdsContainer& container, NOTEID id, EOdsRead what) {
    try {
        CRecord held = NoteRecord(container, id);
        CBytes record = held.bytes;
        if (!record.Size()) return std::nullopt;
        CNoteRow row = NoteHeader(record, id);
        std::vector<CItemEntry> items = ItemTable(record);
        std::vector<uint16_t> types;
        for (const auto& item : items) {
            const CUniqueName* name = container.UniqueName(item.nameIndex);
            if (!name) Damaged(id, "item names an unknown item name");
            types.push_back(name->type);
        }
        CValueAreas areas = Areas(container, record, id, kNoteHeader + kItemEntry * items.size(),
                                  what == EOdsRead::AllItems);
        const CBytes* nonSummary = areas.nonSummary ? &*areas.nonSummary : nullptr;
        auto places = PlaceValues(items, types, areas.summary, nonSummary, areas.unread);
        if (!places) Damaged(id, "its item values do not fit its records");
        size_t inS = 0, inN = 0;
        std::vector<bool> kept(items.size(), false);
        for (size_t k = 0; k < items.size(); ++k) {
            const CItemEntry& item = items[k];
            const CValuePlace& place = (*places)[k];
            if (!place.summary && areas.unread) continue;
            CBytes value = place.summary ? areas.summary.Sub(inS, item.size) : nonSummary->Sub(inN, item.size);
            (place.summary ? inS : inN) += item.size;
            if (item.flags & kItemPlaceholder) continue;
            const CUniqueName* name = container.UniqueName(item.nameIndex);
            std::string raw = place.typeWord ? TypeWord(*TypeOfWord(value.U16(0), name->type)) + value.From(2).Str()
                                             : TypeWord(name->type) + value.Str();
            row.items.push_back(CItemRow{name->name, static_cast<WORD>(item.flags & kKeptFlags), std::move(raw)});
            kept[k] = true;
        }
        MarkEncryption(row, items, kept);
        return row;
    } catch (const CNoteUnreadable&) {
        throw;
    } catch (const CNsfError& damage) {
        Damaged(id, damage.what());
    }
}

}  // namespace notes::ods
