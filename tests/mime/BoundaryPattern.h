// Recognises a generated boundary: "__=_Part_Boundary_00N_dddddd.dddddd"
// with N from 1 to 9.
#pragma once
#include <string>

inline bool IsGeneratedBoundary(const std::string& text)
{
    const std::string prefix = "__=_Part_Boundary_00";
    if (text.size() != prefix.size() + 15 || !text.starts_with(prefix)) return false;
    auto digits = [&](size_t from, size_t count) {
        for (size_t i = from; i < from + count; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
        }
        return true;
    };
    const size_t at = prefix.size();
    return text[at] >= '1' && text[at] <= '9' && text[at + 1] == '_' && digits(at + 2, 6) &&
           text[at + 8] == '.' && digits(at + 9, 6);
}
