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

bool ReadBackFile(const std::u16string& path, sys::CBytes& bytes)
{
    bytes = sys::CBytes();
    sys::CFile file;
    return file.OpenExisting(path) && file.ReadWhole(bytes);
}

CTempFileGuard::~CTempFileGuard()
{
    if (!path.empty() && sys::FileExists(path)) sys::DeleteFile(path);
}
