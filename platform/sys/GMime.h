// GMime for the modules that parse MIME (the store's RFC 822 import, the
// Notes stand-in's native MIME bodies): an owning pointer to a GObject and
// the library's one-time start. Include only with GMime on the include path.
#pragma once
#include <gmime/gmime.h>

#include <memory>
#include <mutex>

namespace sys {

struct CGObjectDeleter {
    void operator()(void* p) const {
        if (p) g_object_unref(p);
    }
};
template <class T>
using GPtr = std::unique_ptr<T, CGObjectDeleter>;

inline void InitGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

}  // namespace sys
