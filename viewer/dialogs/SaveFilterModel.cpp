#include "viewer/dialogs/SaveFilterModel.h"

#include "platform/sys/Files.h"
#include "viewer/dialogs/PredefinedPeriods.h"

CSaveFilterModel::CSaveFilterModel(ExportSettings& s, Clock clock) : settings(s), now(std::move(clock)) {}

void CSaveFilterModel::Initialize() {
    periodChoice = EPeriodChoice::Predefined;
    period = kAllTimePeriod;
    rows.clear();
    settings.dateRanges.clear();
}

CSaveFilterModel::EAddResult CSaveFilterModel::Add(const sys::CSystemTime& start, const sys::CSystemTime& end,
                                                   bool startValid, bool endValid) {
    DateRange range;
    range.start = sys::ToOleDate(start);
    range.startStatus = startValid ? DateValid : DateInvalid;
    range.end = sys::ToOleDate(end);
    range.endStatus = endValid ? DateValid : DateInvalid;
    if (startValid && endValid && range.end < range.start) return EAddResult::EndBeforeStart;
    ManualRangeRow row{DayText(start), DayText(end)};
    for (const ManualRangeRow& existing : rows)
        if (existing == row) return EAddResult::Duplicate;
    rows.push_back(std::move(row));
    settings.dateRanges.push_back(range);
    return EAddResult::Added;
}

void CSaveFilterModel::Remove(int row) {
    if (row < 0 || static_cast<size_t>(row) >= rows.size()) return;
    rows.erase(rows.begin() + row);
    if (static_cast<size_t>(row) < settings.dateRanges.size())
        settings.dateRanges.erase(settings.dateRanges.begin() + row);
}

std::u16string CSaveFilterModel::Confirm(const std::u16string& pathText) {
    settings.exportRequested = 1;
    if (!sys::FileExists(pathText) && !sys::DirectoryExists(pathText)) return kInvalidDestinationMessage;
    std::u16string folder = pathText;
    if (folder.back() != u'/') folder += u'/';
    settings.destinationFolder = folder;
    if (periodChoice == EPeriodChoice::Manual && settings.dateRanges.empty()) return kNoDateRangeMessage;
    if (periodChoice == EPeriodChoice::Predefined) {
        settings.dateRanges.clear();
        if (auto range = PredefinedRange(period, now())) settings.dateRanges.push_back(*range);
    }
    return {};
}
