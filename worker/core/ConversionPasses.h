// Where the two kinds of run do their work: a mail run converts one folder
// from its saved position, a calendar run the entries of cal.txt. The dialog
// calls these on the conversion thread once the store and the database are
// open.
#pragma once
#include <cstdint>
#include <string>

#include "platform/store/Dispatch.h"

class CNsfConverter;

struct MailRunInput {
    uint32_t startIndex = 0;
    std::u16string folderPath;
    uint32_t folderNoteId = 0;
};

class IConversionPasses {
public:
    virtual ~IConversionPasses() = default;
    virtual void RunMailFolder(CNsfConverter& converter, const MailRunInput& input,
                               const store::DispatchPtr& session) = 0;
    virtual void RunCalendar(CNsfConverter& converter, const store::DispatchPtr& session) = 0;
};

// The mail-folder pass and the calendar pass.
class CConversionPasses : public IConversionPasses {
public:
    void RunMailFolder(CNsfConverter& converter, const MailRunInput& input,
                       const store::DispatchPtr& session) override;
    void RunCalendar(CNsfConverter& converter, const store::DispatchPtr& session) override;
};
