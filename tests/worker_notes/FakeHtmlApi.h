// A scripted stand-in for the Notes HTML conversion functions, used to drive
// the rich-text conversion through its call sequence, its failures and its
// image references without a database. It records every call and counts
// what was created and released.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/notes/HtmlApi.h"

namespace fake {

struct Reference {
    HTMLAPI_REF_TYPE type = HTMLAPI_REF_IMG;
    std::string text;                                   // as it stands in the HTML
    std::vector<std::pair<UAT, std::string>> targets;   // name components
};

struct Script {
    std::string noteHtml;        // LMBCS text of the whole-note conversion
    std::string itemHtml;        // LMBCS text of the "Body" conversion
    std::vector<Reference> references;
    // (item name, index, offset) -> image bytes
    std::map<std::tuple<std::string, DWORD, DWORD>, std::string> images;
    bool bodyPresent = true;
    STATUS initStatus = 0;
    int failCreateAt = -1;       // 0-based number of the converter creation that fails
    STATUS optionsStatus = 0;
    STATUS convertNoteStatus = 0;
    STATUS convertItemStatus = 0;
    STATUS getReferenceStatus = 0;
    STATUS lockStatus = 0;
    STATUS setReferenceStatus = 0;
    STATUS textLengthStatus = 0;
};

struct Record {
    int processStarts = 0, processEnds = 0;
    int convertersCreated = 0, convertersDestroyed = 0;
    int referencesGot = 0, referencesFreed = 0, locks = 0, unlocks = 0;
    std::vector<std::string> options;
    std::vector<std::string> calls;                 // "note", "item Body", "element Body 0 1c4"
    std::vector<size_t> translatedLengths;          // bytes per OSTranslate call
    std::map<DWORD, std::string> referenceTexts;    // index -> text set
};

// Resets the script and the record.
void Reset(const Script& script);
Record& Recorded();

}  // namespace fake
