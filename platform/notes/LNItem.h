// Item classes of the Notes stand-in: the generic LNItem (type, size, raw
// value) and the typed views LNText, LNNumbers, LNDatetime(s) and
// LNDatetimeRange. Text values are Notes text (LNString, LMBCS).
//
// Typed classes are filled by LNNote::GetItem(name, &typed) or by
// assignment from an LNItem; a value of another type gives
// ERR_ITEM_DATATYPE (returned by GetItem, thrown by assignment).
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/notes/LNErrors.h"
#include "platform/notes/LNString.h"

namespace notes {
struct CItemData;
}

// Item types as LNItem::GetType reports them.
using LNITEMTYPE = WORD;
enum : WORD {
    LNITEMTYPE_UNAVAILABLE = 0,
    LNITEMTYPE_RICHTEXT = TYPE_COMPOSITE,      // 1: CD records, or the parts of a native MIME body
    LNITEMTYPE_OBJECT = TYPE_OBJECT,           // 3
    LNITEMTYPE_NOTELINKS = TYPE_NOTELINK_LIST, // 7
    LNITEMTYPE_HTML = TYPE_HTML,               // 21
    LNITEMTYPE_NUMBERS = TYPE_NUMBER,          // numbers and number ranges
    LNITEMTYPE_DATETIMES = TYPE_TIME_RANGE,    // 1025: single times, lists, ranges
    LNITEMTYPE_TEXT = TYPE_TEXT,               // 1280: text and text lists
    LNITEMTYPE_ANY = 0xFFFF,
};

class LNItem {
public:
    LNItem();
    virtual ~LNItem();
    LNItem(const LNItem&);
    LNItem& operator=(const LNItem&);

    bool IsNull() const;
    LNString GetName() const;
    LNITEMTYPE GetType() const;
    // The stored data-type word (TYPE_TIME, TYPE_TEXT_LIST, ...).
    WORD GetDataType() const;
    WORD GetFlags() const;
    // Size of the raw value: the 2-byte data-type word plus the data.
    LNINT GetValueSize() const;
    // Copies min(bufferSize, value size) bytes of the raw value (type word
    // first) into buffer.
    LNSTATUS Read(void* buffer, LNINT bufferSize) const;
    // The raw value (type word first).
    std::string GetRawValue() const;

    // Internal: binds the item to its data; accepts or refuses the type.
    LNSTATUS Assign(std::shared_ptr<const notes::CItemData> data);
    const std::shared_ptr<const notes::CItemData>& Data() const { return data; }

protected:
    // Whether this class can stand for an item of the given data type.
    virtual bool Accepts(WORD dataType) const;
    std::shared_ptr<const notes::CItemData> data;
};

class LNText : public LNItem {
public:
    LNText() = default;
    LNText(const LNItem& item);
    LNText& operator=(const LNItem& item);
    LNINT GetCount() const;
    LNString operator[](LNINT index) const;
    // All values joined with ";".
    LNString GetText() const;

protected:
    bool Accepts(WORD dataType) const override;
};

class LNNumbers : public LNItem {
public:
    LNNumbers() = default;
    LNNumbers(const LNItem& item);
    LNNumbers& operator=(const LNItem& item);
    LNINT GetCount() const;
    double operator[](LNINT index) const;

protected:
    bool Accepts(WORD dataType) const override;
};

class LNDatetime {
public:
    LNDatetime() = default;                 // no value: every part reads 0
    explicit LNDatetime(const TIMEDATE& td) : value(td), valid(true) {}

    bool IsNull() const { return !valid; }
    bool HasDate() const;
    bool HasTime() const;
    // Parts in the value's own zone; 0 for parts the value does not have.
    LNSTATUS GetDate(LNINT* month, LNINT* day, LNINT* year) const;
    LNSTATUS GetTime(LNINT* hour, LNINT* minute, LNINT* second, LNINT* hundredth = nullptr) const;
    // Zone in Notes' convention: hours west of Greenwich (5 = New York,
    // -1 = Berlin); zones with quarter hours give hours*100 + minutes with
    // the same sign (-530 = India).
    LNINT GetTimeZone() const;
    bool GetIsDST() const;
    // Moves the value into another zone (0 = Greenwich time, no DST); the
    // instant stays the same.
    LNSTATUS AdjustTimeZone(LNINT zone, LNBOOL dst = 0);
    // "MM/DD/YYYY HH:MM:SS" in the value's own zone, 24-hour; "MM/DD/YYYY"
    // for a date without time; "HH:MM:SS" for a time without date.
    LNString GetText() const;
    TIMEDATE GetTIMEDATE() const { return value; }

private:
    TIMEDATE value{};
    bool valid = false;
};

class LNDatetimeRange {
public:
    LNDatetimeRange() = default;
    LNDatetimeRange(const LNDatetime& begin, const LNDatetime& end) : begin(begin), end(end) {}
    LNDatetime GetBegin() const { return begin; }
    LNDatetime GetEnd() const { return end; }

private:
    LNDatetime begin, end;
};

// Time items: single times, time lists and time ranges.
class LNDatetimes : public LNItem {
public:
    LNDatetimes() = default;
    LNDatetimes(const LNItem& item);
    LNDatetimes& operator=(const LNItem& item);
    // Single times of the value (ranges not counted).
    LNINT GetCount() const;
    LNDatetime operator[](LNINT index) const;
    LNINT GetRangeCount() const;
    LNDatetimeRange GetRange(LNINT index) const;
    // Every value as LNDatetime::GetText, joined with ";"; a range gives
    // begin + " - " + end.
    LNString GetText() const;

protected:
    bool Accepts(WORD dataType) const override;
};
