#include "viewer/dialogs/AdvanceSettingModel.h"

#include <unistd.h>

#include "platform/sys/Files.h"
#include "platform/sys/Text.h"
#include "viewer/dialogs/AddressSources.h"

namespace {

const std::array<const char16_t*, kSmtpPatternCount> smtpPatterns = {
    u"Firstname@domainname",          u"Lastname@domainname",    u"Firstname.Lastname@domainname",
    u"Lastname.Firstname@domainname", u"FI.Lastname@domainname", u"Lastname.FI@domainname",
    u"Firstname.LI@domainname",       u"LI.Firstname@domainname"};

const std::array<const char16_t*, kMappableFolderCount> mappableFolders = {
    u"Inbox", u"Drafts", u"Sent Items", u"Trash", u"Junk E-mail", u"Tasks", u"Contacts", u"Calendar", u"Journal"};

bool IsValidFolderName(const std::u16string& name) {
    return !name.empty() && name.find_first_of(u"/:*?<>|\"\\") == std::u16string::npos;
}

bool ValidFolderIndex(int index) { return index >= 0 && index < kMappableFolderCount; }

}  // namespace

const std::array<const char16_t*, kSmtpPatternCount>& SmtpPatternNames() { return smtpPatterns; }
const std::array<const char16_t*, kMappableFolderCount>& MappableFolderNames() { return mappableFolders; }

std::u16string SampleCsvPath() {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    std::string exe = n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    const size_t slash = exe.rfind('/');
    std::string dir = slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
    return sys::Utf8ToUtf16(dir) + u"sample.csv";
}

CAdvanceSettingModel::CAdvanceSettingModel(ExportSettings& s, LNNotesSession& session, LNDatabase& database,
                                           std::function<void()> wait)
    : settings(s), namesSession(session), namesDatabase(database), pleaseWait(std::move(wait)) {}

void CAdvanceSettingModel::Initialize() {
    checks = AdvanceSettingChecks{};
    checks.excludeAllFolder = settings.includeSystemViews != 1;
    checks.addNsf = checks.addCsv = checks.smtpManual = true;
    settings.translateAddresses = 0;
    settings.useSmtpPattern = 0;
    settings.useCsvMap = 0;
    settings.useNamesNsf = 0;
    settings.useFolderMapping = 0;
    settings.smtpPatternIndex = 0;
    settings.smtpDomain.clear();
    settings.addressMap.clear();
    settings.folderMapping.clear();
    for (const char16_t* folder : mappableFolders) settings.folderMapping[folder] = u"";
}

AdvanceSettingEnabling CAdvanceSettingModel::Enabling() const {
    AdvanceSettingEnabling e;
    e.excludeAllFolder = settings.includeSystemViews != 1;
    e.sourceChecks = checks.translation;
    e.nsfControls = checks.translation && checks.addNsf;
    e.csvControls = checks.translation && checks.addCsv;
    e.smtpControls = checks.translation && checks.smtpManual;
    e.mappingControls = checks.folderMapping;
    return e;
}

std::u16string CAdvanceSettingModel::MappedName(int folderIndex) const {
    if (!ValidFolderIndex(folderIndex)) return {};
    auto it = settings.folderMapping.find(mappableFolders[folderIndex]);
    return it == settings.folderMapping.end() ? std::u16string() : it->second;
}

std::u16string CAdvanceSettingModel::SaveMapping(int folderIndex, const std::u16string& name) {
    if (!ValidFolderIndex(folderIndex)) return {};
    if (!IsValidFolderName(name)) return kInvalidFolderNameMessage;
    settings.folderMapping[mappableFolders[folderIndex]] = name;
    return kMappingSavedMessage;
}

std::u16string CAdvanceSettingModel::Confirm(const AdvanceSettingInputs& inputs) {
    if (settings.includeSystemViews == 0) settings.includeAllView = checks.excludeAllFolder ? 0 : 1;
    settings.removeEncryption = checks.removeEncryption ? 1 : 0;
    settings.saveDocLinks = checks.saveDocLink ? 1 : 0;
    settings.saveInternetHeaders = checks.saveInternetHeader ? 1 : 0;
    if (checks.translation) {
        std::u16string message = ConfirmTranslation(inputs);
        if (!message.empty()) return message;
    }
    if (checks.folderMapping) {
        bool anyMapped = false;
        for (const auto& [folder, name] : settings.folderMapping) anyMapped = anyMapped || !name.empty();
        if (!anyMapped) return kNoFolderMappingMessage;
        settings.useFolderMapping = 1;
    }
    return {};
}

std::u16string CAdvanceSettingModel::ConfirmTranslation(const AdvanceSettingInputs& inputs) {
    settings.translateAddresses = 1;
    if (checks.smtpManual) {
        if (!IsValidDomainName(inputs.domain)) return kInvalidDomainMessage;
        settings.smtpPatternIndex = static_cast<uint32_t>(inputs.patternIndex);
        settings.useSmtpPattern = 1;
        settings.smtpDomain = inputs.domain;
    }
    if (checks.addCsv) {
        switch (ReadCsvFile(inputs.csvPath, settings.addressMap, settings.useCsvMap)) {
        case ECsvResult::CannotOpen: return kCsvCannotOpenMessage;
        case ECsvResult::NotValid: return kCsvNotValidMessage;
        case ECsvResult::Read: break;
        }
    }
    if (checks.addNsf) {
        if (!sys::FileExists(inputs.nsfPath)) return kNsfCannotAccessMessage;
        if (pleaseWait) pleaseWait();
        ReadNamesAddressBook(namesSession, namesDatabase, inputs.nsfPath, settings.addressMap, settings.useNamesNsf);
    }
    if (settings.useSmtpPattern == 0 && settings.useCsvMap == 0 && settings.useNamesNsf == 0)
        return kNoTranslationOptionMessage;
    return {};
}
