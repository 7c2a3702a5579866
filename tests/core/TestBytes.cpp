#include "tests/core/TestBytes.h"

#include <cstdlib>
#include <filesystem>

#include "platform/sys/Text.h"

namespace testbytes {

CScratchDir::CScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "nsf2pst-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    path = sys::Utf8ToUtf16(made ? std::string(made) + "/" : std::string());
}

CScratchDir::~CScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(sys::Utf16ToUtf8(path), ignored);
}

}  // namespace testbytes
