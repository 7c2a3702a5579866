#include "viewer/ViewerCommandLine.h"

namespace {

// Cuts the text between `from` and the next `marker`; false when the marker
// is missing. `from` moves past the marker.
bool CutBefore(std::u16string_view line, size_t& from, std::u16string_view marker, std::u16string& value) {
    const size_t at = line.find(marker, from);
    if (at == std::u16string_view::npos) return false;
    value.assign(line.substr(from, at - from));
    from = at + marker.size();
    return true;
}

uint8_t ModeOf(std::u16string_view text) {
    if (text == u"1") return 1;
    if (text == u"2") return 2;
    if (text == u"3") return 3;
    return 0;
}

}  // namespace

ViewerCommandLine ParseViewerCommandLine(std::u16string_view line) {
    ViewerCommandLine cmd;
    size_t from = 0;
    std::u16string modeText;
    if (!CutBefore(line, from, u"/D ", cmd.nsfPath)) return cmd;
    if (!CutBefore(line, from, u"/C ", cmd.serverName)) return cmd;
    if (!CutBefore(line, from, u"/P ", modeText)) return cmd;
    cmd.mode = ModeOf(modeText);
    if (!CutBefore(line, from, u"/F", cmd.pstText)) return cmd;
    cmd.workDir.assign(line.substr(from));
    return cmd;
}
