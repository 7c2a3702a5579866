// The context of the contact, group and calendar writer tests (a database
// from this folder's data directory) and reads of what they write.
#pragma once
#include <string>
#include <vector>

#include "tests/writers_common/ConverterFixture.h"

class CPimFixture : public CConverterFixture {
protected:
    CPimFixture() : CConverterFixture("writers_pim") {}

    // A path below the test's temporary path.
    std::u16string TempFile(const std::string& name) const;
    std::string ReadBytes(const std::u16string& path) const;
    // Every file below the temporary path, relative to it.
    std::vector<std::string> TempFiles() const;
};
