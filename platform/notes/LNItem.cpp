#include "platform/notes/LNItem.h"

#include <algorithm>
#include <cstring>

#include "platform/notes/NotesState.h"
#include "platform/notes/TimeDate.h"

using notes::CItemData;

LNItem::LNItem() = default;
LNItem::~LNItem() = default;
LNItem::LNItem(const LNItem&) = default;
LNItem& LNItem::operator=(const LNItem&) = default;

bool LNItem::Accepts(WORD) const { return true; }

LNSTATUS LNItem::Assign(std::shared_ptr<const CItemData> value) {
    if (value && !Accepts(value->Type())) return ERR_ITEM_DATATYPE;
    data = std::move(value);
    return LNNOERROR;
}

bool LNItem::IsNull() const { return !data; }
LNString LNItem::GetName() const { return data ? LNString(data->name) : LNString(); }
WORD LNItem::GetDataType() const { return data ? data->Type() : static_cast<WORD>(TYPE_ERROR); }
WORD LNItem::GetFlags() const { return data ? data->flags : 0; }

LNITEMTYPE LNItem::GetType() const {
    switch (GetDataType()) {
    case TYPE_TEXT:
    case TYPE_TEXT_LIST: return LNITEMTYPE_TEXT;
    case TYPE_TIME:
    case TYPE_TIME_RANGE: return LNITEMTYPE_DATETIMES;
    case TYPE_NUMBER:
    case TYPE_NUMBER_RANGE: return LNITEMTYPE_NUMBERS;
    // A native MIME body reads as rich text, as Notes presents it.
    case TYPE_MIME_PART: return LNITEMTYPE_RICHTEXT;
    default: return static_cast<LNITEMTYPE>(GetDataType());
    }
}

LNINT LNItem::GetValueSize() const { return data ? static_cast<LNINT>(data->raw.size()) : 0; }

LNSTATUS LNItem::Read(void* buffer, LNINT bufferSize) const {
    if (!data) return ERR_ITEM_NOT_FOUND;
    if (!buffer || bufferSize < 0) return ERR_BAD_PARAM;
    size_t n = std::min(static_cast<size_t>(bufferSize), data->raw.size());
    std::memcpy(buffer, data->raw.data(), n);
    return LNNOERROR;
}

std::string LNItem::GetRawValue() const { return data ? data->raw : std::string(); }

namespace {
template <class T>
void AssignOrThrow(T& target, const LNItem& item) {
    if (LNSTATUS s = target.Assign(item.Data())) throw s;
}

std::vector<std::string> TextValues(const std::shared_ptr<const CItemData>& data) {
    if (!data) return {};
    auto values = notes::DecodeTextValues(data->raw);
    if (!values) throw static_cast<LNSTATUS>(ERR_ITEM_DATATYPE);
    return *values;
}

notes::CTimeValues TimeValues(const std::shared_ptr<const CItemData>& data) {
    if (!data) return {};
    auto values = notes::DecodeTimes(data->raw);
    if (!values) throw static_cast<LNSTATUS>(ERR_ITEM_DATATYPE);
    return *values;
}
}  // namespace

LNText::LNText(const LNItem& item) { AssignOrThrow(*this, item); }
LNText& LNText::operator=(const LNItem& item) {
    AssignOrThrow(*this, item);
    return *this;
}
bool LNText::Accepts(WORD t) const { return t == TYPE_TEXT || t == TYPE_TEXT_LIST; }
LNINT LNText::GetCount() const { return static_cast<LNINT>(TextValues(data).size()); }

LNString LNText::operator[](LNINT index) const {
    auto values = TextValues(data);
    if (index < 0 || static_cast<size_t>(index) >= values.size()) throw static_cast<LNSTATUS>(ERR_RANGE);
    return LNString(values[static_cast<size_t>(index)]);
}

LNString LNText::GetText() const {
    std::string joined;
    auto values = TextValues(data);
    for (size_t i = 0; i < values.size(); ++i) joined += (i ? ";" : "") + values[i];
    return LNString(joined);
}

LNNumbers::LNNumbers(const LNItem& item) { AssignOrThrow(*this, item); }
LNNumbers& LNNumbers::operator=(const LNItem& item) {
    AssignOrThrow(*this, item);
    return *this;
}
bool LNNumbers::Accepts(WORD t) const { return t == TYPE_NUMBER || t == TYPE_NUMBER_RANGE; }

LNINT LNNumbers::GetCount() const {
    if (!data) return 0;
    auto n = notes::DecodeNumbers(data->raw);
    if (!n) throw static_cast<LNSTATUS>(ERR_ITEM_DATATYPE);
    return static_cast<LNINT>(n->size());
}

double LNNumbers::operator[](LNINT index) const {
    auto n = data ? notes::DecodeNumbers(data->raw) : std::nullopt;
    if (!n || index < 0 || static_cast<size_t>(index) >= n->size()) throw static_cast<LNSTATUS>(ERR_RANGE);
    return (*n)[static_cast<size_t>(index)];
}

bool LNDatetime::HasDate() const { return valid && value.Innards[1] != ANYDAY; }
bool LNDatetime::HasTime() const { return valid && value.Innards[0] != ALLDAY; }

LNSTATUS LNDatetime::GetDate(LNINT* month, LNINT* day, LNINT* year) const {
    notes::CTimeParts p = valid ? notes::DecodeTime(value) : notes::CTimeParts{};
    if (month) *month = p.month;
    if (day) *day = p.day;
    if (year) *year = p.year;
    return LNNOERROR;
}

LNSTATUS LNDatetime::GetTime(LNINT* hour, LNINT* minute, LNINT* second, LNINT* hundredth) const {
    notes::CTimeParts p = valid ? notes::DecodeTime(value) : notes::CTimeParts{};
    if (hour) *hour = p.hour;
    if (minute) *minute = p.minute;
    if (second) *second = p.second;
    if (hundredth) *hundredth = p.hundredth;
    return LNNOERROR;
}

LNINT LNDatetime::GetTimeZone() const {
    if (!valid) return 0;
    int east = notes::DecodeTime(value).zoneMinutesEast;
    int west = -east;
    int a = west < 0 ? -west : west;
    int notesZone = (a % 60 == 0) ? a / 60 : (a / 60) * 100 + a % 60;
    return west < 0 ? -notesZone : notesZone;
}

bool LNDatetime::GetIsDST() const { return valid && notes::DecodeTime(value).dst; }

LNSTATUS LNDatetime::AdjustTimeZone(LNINT zone, LNBOOL dst) {
    if (!valid) return ERR_TIME_CONVERSION;
    int a = zone < 0 ? -zone : zone;
    int minutes = a >= 100 ? (a / 100) * 60 + a % 100 : a * 60;
    value = notes::WithZone(value, zone < 0 ? minutes : -minutes, dst != 0);
    return LNNOERROR;
}

LNString LNDatetime::GetText() const { return valid ? LNString(notes::NotesTimeText(value)) : LNString(); }

LNDatetimes::LNDatetimes(const LNItem& item) { AssignOrThrow(*this, item); }
LNDatetimes& LNDatetimes::operator=(const LNItem& item) {
    AssignOrThrow(*this, item);
    return *this;
}
bool LNDatetimes::Accepts(WORD t) const { return t == TYPE_TIME || t == TYPE_TIME_RANGE; }
LNINT LNDatetimes::GetCount() const { return static_cast<LNINT>(TimeValues(data).times.size()); }

LNDatetime LNDatetimes::operator[](LNINT index) const {
    auto v = TimeValues(data);
    if (index < 0 || static_cast<size_t>(index) >= v.times.size()) throw static_cast<LNSTATUS>(ERR_RANGE);
    return LNDatetime(v.times[static_cast<size_t>(index)]);
}

LNINT LNDatetimes::GetRangeCount() const { return static_cast<LNINT>(TimeValues(data).ranges.size()); }

LNDatetimeRange LNDatetimes::GetRange(LNINT index) const {
    auto v = TimeValues(data);
    if (index < 0 || static_cast<size_t>(index) >= v.ranges.size()) throw static_cast<LNSTATUS>(ERR_RANGE);
    const auto& r = v.ranges[static_cast<size_t>(index)];
    return LNDatetimeRange(LNDatetime(r.Lower), LNDatetime(r.Upper));
}

LNString LNDatetimes::GetText() const {
    auto v = TimeValues(data);
    std::string out;
    for (const auto& t : v.times) out += (out.empty() ? "" : ";") + notes::NotesTimeText(t);
    for (const auto& r : v.ranges)
        out += (out.empty() ? "" : ";") + notes::NotesTimeText(r.Lower) + " - " + notes::NotesTimeText(r.Upper);
    return LNString(out);
}
