// The Save as PST dialog without its window: the choice between one
// predefined period and a list of manual date ranges, the rows of that list
// paired with the ranges in the export settings, and the checks and stores of
// OK (destination folder, date ranges). Local time comes from an injectable
// clock so that the periods can be computed for any day.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/sys/Time.h"
#include "worker/core/ExportSettings.h"

inline constexpr char16_t kEndBeforeStartMessage[] = u"End date should be greater than Start date";
inline constexpr char16_t kInvalidDestinationMessage[] = u"Please select valid folder path to save the pst file(s).";
inline constexpr char16_t kNoDateRangeMessage[] = u"Please add at least one date range for saving.";

struct ManualRangeRow {
    std::u16string startText;
    std::u16string endText;
    bool operator==(const ManualRangeRow&) const = default;
};

class CSaveFilterModel {
public:
    enum class EPeriodChoice { Predefined, Manual };
    enum class EAddResult { Added, EndBeforeStart, Duplicate };
    using Clock = std::function<sys::CSystemTime()>;

    explicit CSaveFilterModel(ExportSettings& settings, Clock now = sys::LocalNow);

    // Opening the dialog: predefined period "All Time", no date ranges.
    void Initialize();

    void SetChoice(EPeriodChoice choice) { periodChoice = choice; }
    EPeriodChoice Choice() const { return periodChoice; }
    void SelectPeriod(int index) { period = index; }
    int SelectedPeriod() const { return period; }

    // Controls enabled in the current choice: the drop-down list in the
    // predefined one; the date pickers, the list, Add and Remove in the manual one.
    bool PeriodListEnabled() const { return periodChoice == EPeriodChoice::Predefined; }
    bool ManualControlsEnabled() const { return periodChoice == EPeriodChoice::Manual; }

    // Add: a picked start and end (date with the picker's time of day).
    // An invalid picker value is not compared.
    EAddResult Add(const sys::CSystemTime& start, const sys::CSystemTime& end, bool startValid = true,
                   bool endValid = true);
    // Remove: the row with that index and its range; nothing for -1.
    void Remove(int row);
    const std::vector<ManualRangeRow>& Rows() const { return rows; }

    // OK with the text of the path edit: empty text when the dialog may
    // close, otherwise the message to show (the dialog stays).
    std::u16string Confirm(const std::u16string& pathText);

private:
    ExportSettings& settings;
    Clock now;
    EPeriodChoice periodChoice = EPeriodChoice::Predefined;
    int period = 0;
    std::vector<ManualRangeRow> rows;
};
