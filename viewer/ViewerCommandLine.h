// The viewer's command line: NSF path, "/D " server, "/C " mode, "/P " PST
// path (read and ignored), "/F" work directory. The line is cut at the
// markers by plain substring search, each marker looked for only after the
// previous one; values keep every blank.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

struct ViewerCommandLine {
    std::u16string nsfPath;
    std::u16string serverName;   // empty = local file
    uint8_t mode = 0;            // 1, 2 or 3; anything else 0
    std::u16string pstText;      // ignored by the viewer
    std::u16string workDir;      // file names are appended directly
    bool operator==(const ViewerCommandLine&) const = default;
};

// A value is cut only when the marker that ends it is found (the work
// directory runs to the end of the line); once a marker is missing, that
// value and all later ones stay empty and the mode stays 0.
ViewerCommandLine ParseViewerCommandLine(std::u16string_view line);
