// The advanced settings dialog without its window: its check boxes and the
// controls they enable, the reset of translation and folder mapping at every
// opening, the saving of one folder mapping, and the steps of OK that store
// the database options, load the address translation sources and switch the
// folder mapping on.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "worker/core/ExportSettings.h"

class LNNotesSession;
class LNDatabase;

inline constexpr char16_t kInvalidFolderNameMessage[] = u"please enter valid folder name";
inline constexpr char16_t kMappingSavedMessage[] = u" Folder mapping saved Successfully";
inline constexpr char16_t kInvalidDomainMessage[] = u"Please enter valid domain name";
inline constexpr char16_t kCsvCannotOpenMessage[] = u"Csv file cannot be opened";
inline constexpr char16_t kCsvNotValidMessage[] = u"This is not a valid CSV File";
inline constexpr char16_t kNsfCannotAccessMessage[] = u"Nsf file cannot be accessed";
inline constexpr char16_t kNoTranslationOptionMessage[] = u"Please select at least one option for translation.";
inline constexpr char16_t kNoFolderMappingMessage[] =
    u"Folder mapping cannot be applied.Please Select folder for mapping";
inline constexpr char16_t kPleaseWaitMessage[] = u"Please wait for the process to complete";

inline constexpr int kSmtpPatternCount = 8;
inline constexpr int kMappableFolderCount = 9;
const std::array<const char16_t*, kSmtpPatternCount>& SmtpPatternNames();
const std::array<const char16_t*, kMappableFolderCount>& MappableFolderNames();

// program directory + "sample.csv"
std::u16string SampleCsvPath();

struct AdvanceSettingChecks {
    bool excludeAllFolder = false;
    bool removeEncryption = false;
    bool saveDocLink = false;
    bool saveInternetHeader = false;
    bool translation = false;   // "Email Address Translation:"
    bool addNsf = false;
    bool addCsv = false;
    bool smtpManual = false;
    bool folderMapping = false; // "Custom Folder(s) Mapping:"
};

// Which controls are enabled.
struct AdvanceSettingEnabling {
    bool excludeAllFolder = true;
    bool sourceChecks = false;     // the three source check boxes
    bool nsfControls = false;      // path edit and "..."
    bool csvControls = false;      // path edit, "..." and the format edit
    bool smtpControls = false;     // pattern list and domain edit
    bool mappingControls = false;  // folder list, name edit and Save
};

struct AdvanceSettingInputs {
    std::u16string nsfPath;
    std::u16string csvPath;
    std::u16string domain;
    int patternIndex = 0;
};

class CAdvanceSettingModel {
public:
    // The Names.nsf reading uses the application's second Notes session;
    // `pleaseWait` shows the plain message before it starts.
    CAdvanceSettingModel(ExportSettings& settings, LNNotesSession& namesSession, LNDatabase& namesDatabase,
                         std::function<void()> pleaseWait = {});

    // Opening: the check boxes' first states and the reset of the
    // translation and mapping settings (which a Cancel does not undo).
    void Initialize();

    AdvanceSettingChecks checks;
    AdvanceSettingEnabling Enabling() const;

    // The mapped name of a folder of the list (empty when none).
    std::u16string MappedName(int folderIndex) const;
    // Save: the message to show, or nothing when no folder is selected.
    std::u16string SaveMapping(int folderIndex, const std::u16string& name);

    // OK: empty when the dialog may close, else the message to show; the
    // settings stored before the failing step stay.
    std::u16string Confirm(const AdvanceSettingInputs& inputs);

private:
    std::u16string ConfirmTranslation(const AdvanceSettingInputs& inputs);

    ExportSettings& settings;
    LNNotesSession& namesSession;
    LNDatabase& namesDatabase;
    std::function<void()> pleaseWait;
};
