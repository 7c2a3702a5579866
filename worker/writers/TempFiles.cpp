#include "worker/writers/TempFiles.h"

#include "platform/sys/Files.h"
#include "platform/sys/TempPath.h"

std::u16string WriterTempPath()
{
    return sys::TempPath();
}

std::u16string DetachDirectory()
{
    const std::u16string base = WriterTempPath();
    if (base.empty()) return {};
    const std::u16string dir = base + u"temp/";
    return sys::CreateDirectory(dir) ? dir : std::u16string();
}

bool ReadBackFile(const std::u16string& path, std::string& bytes)
{
    bytes.clear();
    sys::CFile file;
    if (!file.OpenExisting(path)) return false;
    const uint64_t size = file.Size();
    bytes.resize(static_cast<size_t>(size));
    return size == 0 || file.ReadExact(bytes.data(), bytes.size());
}

CTempFileGuard::~CTempFileGuard()
{
    if (!path.empty() && sys::FileExists(path)) sys::DeleteFile(path);
}
