// Sets TZ for the lifetime of the object and restores the previous zone.
#pragma once
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

class CScopedTimeZone {
public:
    explicit CScopedTimeZone(const char* zone)
    {
        if (const char* old = std::getenv("TZ")) previous = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~CScopedTimeZone()
    {
        if (previous) {
            setenv("TZ", previous->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    CScopedTimeZone(const CScopedTimeZone&) = delete;
    CScopedTimeZone& operator=(const CScopedTimeZone&) = delete;

private:
    std::optional<std::string> previous;
};
