// The context of the contact, group and calendar writer tests (a database
// from this folder's data directory) and reads of what they write.
#pragma once
#include <string>
#include <vector>

#include "tests/writers_common/ConverterFixture.h"
#include "worker/writers/CalendarRecord.h"

class CPimFixture : public CConverterFixture {
protected:
    CPimFixture() : CConverterFixture("writers_pim") {}

    // A path below the test's temporary path.
    std::u16string TempFile(const std::string& name) const;
    std::string ReadBytes(const std::u16string& path) const;
    // Every file below the temporary path, relative to it.
    std::vector<std::string> TempFiles() const;
};

// Calendar entries of one database read into `record` and written as .ics.
class CCalendarFixture : public CPimFixture {
protected:
    explicit CCalendarFixture(std::string database) : database(std::move(database)) {}
    void SetUp() override;
    // Reads the entry, writes its .ics and answers the file's bytes.
    std::string Ics(LNNOTEID noteId);
    CalendarRecord record;

private:
    std::string database;
};
