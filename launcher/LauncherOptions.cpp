#include "launcher/LauncherOptions.h"

#include <algorithm>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "platform/sys/Text.h"
#include "platform/sys/Time.h"
#include "viewer/dialogs/PredefinedPeriods.h"

namespace fs = std::filesystem;

std::string LauncherUsage() {
    return R"USAGE(Usage: nsf2pst [options] DATABASE.nsf [OUTPUT-DIR | OUTPUT.pst]
       nsf2pst [options] DATABASE.nsf|FOLDER... OUTPUT-DIR

Converts a Notes database into OUTPUT-DIR/NAME.pst (NAME from the database
file's name; OUTPUT-DIR defaults to the current directory), or into the file
OUTPUT.pst: mail, tasks, calendar entries, contacts and groups, folder by
folder.

A batch: with several databases, or a folder (every *.nsf in it, in name
order), the last argument is the output folder (created when missing). Each
database becomes its own NAME.pst there; when two databases share a name
(a.nsf from two folders), the first in the order given keeps "a.pst" and the
others become "a (2).pst", "a (3).pst", ... Each database converts in a
process of its own, up to --jobs at once, and the batch goes on when one
fails. Their console output goes to OUTPUT-DIR/batch-logs/NAME.log, a table
of how each ended to the console and OUTPUT-DIR/batch-summary.csv. A batch
stopped or killed resumes with the same command: databases that ended
converted or not all converted are not redone (unless the file changed),
the others convert again from the start.

Options:
  --gui                 choose folders, destination and options in the viewer
                        window (needs a display); otherwise every folder is
                        converted with the options given here; without a
                        database an open dialog asks for one
  --from DATE           convert only documents created on or after DATE
                        (YYYY-MM-DD or "YYYY-MM-DD HH:MM")
  --to DATE             ... and on or before DATE (the whole day counts)
  --period P            convert only a predefined period: 1w, 2w, 3w (whole
                        weeks up to last Sunday), 3m, 6m, 9m (whole months
                        before this one), 1y, 2y, 3y (whole years before
                        this one), or all
  --include-all         also convert the "($All)" view, which holds every
                        document a second time (left out by default)
  --include-system-views  also list views that are not folders
  --remove-encryption   decrypt encrypted documents (needs the user's Notes ID)
  --doclinks            keep document links as .ndl attachments
  --internet-headers    keep the Internet headers of each mail
  --smtp-pattern N      translate Notes names into SMTP addresses with pattern
                        N (1-8, see the README) ...
  --domain D            ... in the mail domain D (example.com)
  --csv FILE            translate names by a CSV file of name,address lines
  --names FILE          translate names by the Person documents of a Names.nsf
  --map-folder FROM=TO  put the folder FROM into the PST folder TO (repeatable)
  --overwrite           replace an existing PST file of the same name (also
                        one that appears while the conversion runs)
  --keep-work           keep the work directory and print its path
  --quiet               print only errors and the summary
  --split-size SIZE     start NAME-2.pst, NAME-3.pst, ... before a PST would
                        pass SIZE bytes (K, M, G: 1024, 1024^2, 1024^3; at
                        least 300K); items are never split, each part has
                        the whole folder tree; default 50G, the largest
                        Unicode PST Outlook accepts unless configured
  --stats FILE          write the time and peak memory of each phase (viewer,
                        mail runs, calendar runs, PST writing) as JSON
  --jobs N              a batch converts up to N databases at once (1)
  --summary-row FILE    append this conversion's batch summary row to the CSV
                        FILE (locked, so parallel conversions can share it)
  --help                show this text
  --version             print the version and exit

Next to the PST, NAME.report.csv and NAME.report.json say for every
document of the database what became of it: converted, merged, incomplete,
skipped (by choice) or not converted, and why.

Exit status:
  0    every document was converted, merged or skipped by choice
  3    finished, but documents were not converted or are incomplete, or a
       folder failed (see the report)
  1    failed (the message says why); also when a file took the PST's name
       during the conversion: the PST is then written as "NAME (2).pst"
  2    bad command line or input
  130  stopped on request
A batch ends with 1 when a database failed, else 3 when a database was not
all converted, else 0 (130 when stopped, 2 for a bad command line).
)USAGE";
}

std::optional<uint64_t> ParseByteSize(const std::string& text) {
    size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
    if (digits == 0 || digits > 15) return std::nullopt;
    std::string unit = text.substr(digits);
    std::transform(unit.begin(), unit.end(), unit.begin(), [](unsigned char c) { return std::toupper(c); });
    static const std::map<std::string, int> shifts = {{"", 0},   {"B", 0},   {"K", 10}, {"KB", 10},
                                                      {"M", 20}, {"MB", 20}, {"G", 30}, {"GB", 30}};
    auto shift = shifts.find(unit);
    if (shift == shifts.end()) return std::nullopt;
    uint64_t n = std::stoull(text.substr(0, digits));
    if (n == 0 || n > (UINT64_MAX >> shift->second) >> 1) return std::nullopt;
    return n << shift->second;
}

std::optional<double> ParseIsoDate(const std::string& text, bool endOfDay) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char tail = 0;
    int n = std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail);
    if (n != 3 && n != 5 && n != 6) return std::nullopt;
    if (n == 3 && endOfDay) h = 23, mi = 59, s = 59;
    std::string mdy = std::to_string(mo) + "/" + std::to_string(d) + "/" + std::to_string(y) + " " +
                      std::to_string(h) + ":" + std::to_string(mi) + ":" + std::to_string(s);
    auto parsed = sys::ParseMonthFirstDate(sys::Widen(mdy));
    if (!parsed) return std::nullopt;
    return sys::ToOleDate(*parsed);
}

namespace {

struct CParser {
    LauncherOptions o;
    std::string error;
    std::optional<double> from, to;
    int period = -1;

    bool Value(const std::vector<std::string>& args, size_t& i, std::string& out) {
        if (i + 1 >= args.size()) {
            error = args[i] + " needs a value";
            return false;
        }
        out = args[++i];
        return true;
    }

    bool Option(const std::vector<std::string>& args, size_t& i) {
        const std::string& a = args[i];
        ExportSettings& s = o.settings;
        static const std::map<std::string, std::function<void(CParser&)>> flags = {
            {"--gui", [](CParser& p) { p.o.gui = true; }},
            {"--keep-work", [](CParser& p) { p.o.keepWork = true; }},
            {"--overwrite", [](CParser& p) { p.o.overwrite = true; }},
            {"--quiet", [](CParser& p) { p.o.quiet = true; }},
            {"--include-all", [](CParser& p) { p.o.settings.includeAllView = 1; }},
            {"--include-system-views", [](CParser& p) { p.o.settings.includeSystemViews = 1; }},
            {"--remove-encryption", [](CParser& p) { p.o.settings.removeEncryption = 1; }},
            {"--doclinks", [](CParser& p) { p.o.settings.saveDocLinks = 1; }},
            {"--internet-headers", [](CParser& p) { p.o.settings.saveInternetHeaders = 1; }},
        };
        if (auto f = flags.find(a); f != flags.end()) {
            f->second(*this);
            return true;
        }
        std::string v;
        if (a == "--from" || a == "--to") {
            if (!Value(args, i, v)) return false;
            auto date = ParseIsoDate(v, a == "--to");
            if (!date) {
                error = "not a date: " + v + " (use YYYY-MM-DD)";
                return false;
            }
            (a == "--from" ? from : to) = date;
            return true;
        }
        if (a == "--period") {
            if (!Value(args, i, v)) return false;
            static const std::vector<std::string> names = {"all", "1w", "2w", "3w", "3m", "6m", "9m", "1y", "2y", "3y"};
            auto found = std::find(names.begin(), names.end(), v);
            if (found == names.end()) {
                error = "--period takes one of all, 1w, 2w, 3w, 3m, 6m, 9m, 1y, 2y, 3y";
                return false;
            }
            period = static_cast<int>(found - names.begin());
            return true;
        }
        if (a == "--stats") return Value(args, i, o.statsPath);
        if (a == "--split-size") {
            if (!Value(args, i, v)) return false;
            auto size = ParseByteSize(v);
            // Below this even a PST with only the folder tree may not fit.
            constexpr uint64_t kSmallest = 300 << 10;
            if (!size || *size < kSmallest) {
                error = "--split-size takes a size of at least 300K, such as 500M or 20G (not " + v + ")";
                return false;
            }
            o.splitSize = *size;
            return true;
        }
        if (a == "--summary-row") return Value(args, i, o.summaryRowPath);
        if (a == "--jobs") {
            if (!Value(args, i, v)) return false;
            char* end = nullptr;
            long n = std::strtol(v.c_str(), &end, 10);
            if (*end != '\0' || n < 1 || n > 64) {
                error = "--jobs takes a number from 1 to 64";
                return false;
            }
            o.jobs = static_cast<int>(n);
            return true;
        }
        if (a == "--smtp-pattern") {
            if (!Value(args, i, v)) return false;
            char* end = nullptr;
            long n = std::strtol(v.c_str(), &end, 10);
            if (*end != '\0' || n < 1 || n > 8) {
                error = "--smtp-pattern takes a number from 1 to 8";
                return false;
            }
            s.translateAddresses = 1;
            s.useSmtpPattern = 1;
            s.smtpPatternIndex = static_cast<uint32_t>(n - 1);
            return true;
        }
        if (a == "--domain") {
            if (!Value(args, i, v)) return false;
            s.smtpDomain = sys::Utf8ToUtf16(v);
            return true;
        }
        if (a == "--csv" || a == "--names") {
            if (!Value(args, i, v)) return false;
            (a == "--csv" ? o.csvPath : o.namesPath) = v;
            s.translateAddresses = 1;
            (a == "--csv" ? s.useCsvMap : s.useNamesNsf) = 1;
            return true;
        }
        if (a == "--map-folder") {
            if (!Value(args, i, v)) return false;
            size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == v.size()) {
                error = "--map-folder takes FROM=TO";
                return false;
            }
            s.useFolderMapping = 1;
            s.folderMapping.emplace(sys::Utf8ToUtf16(v.substr(0, eq)), sys::Utf8ToUtf16(v.substr(eq + 1)));
            return true;
        }
        error = "unknown option " + a;
        return false;
    }

    bool Finish(const std::vector<std::string>& positional) {
        if (positional.empty() && o.gui) {
            o.chooseDatabase = true;  // started from the desktop menu: ask for it
        } else if (positional.empty()) {
            error = "no database given";
            return false;
        } else if (!Sources(positional)) {
            return false;
        }
        ExportSettings& s = o.settings;
        if (s.useSmtpPattern && s.smtpDomain.empty()) {
            error = "--smtp-pattern needs --domain";
            return false;
        }
        if (!s.smtpDomain.empty() && !s.useSmtpPattern) {
            error = "--domain needs --smtp-pattern";
            return false;
        }
        if (period >= 0 && (from || to)) {
            error = "--period cannot be combined with --from or --to";
            return false;
        }
        if (period >= 0) {
            if (auto range = PredefinedRange(period, sys::LocalNow())) s.dateRanges.push_back(*range);
        }
        if (from || to) {
            // An open end reaches to the first or last day an OLE date can hold.
            DateRange range;
            range.start = from.value_or(-657434.0);  // 1/1/100
            range.end = to.value_or(2958465.99998);  // 12/31/9999 23:59:59
            if (range.end < range.start) {
                error = "--to lies before --from";
                return false;
            }
            s.dateRanges.push_back(range);
        }
        return true;
    }

    // One database into a folder or FILE.pst, or a batch: several databases,
    // or a folder of them, into the output folder named last.
    bool Sources(const std::vector<std::string>& positional) {
        std::error_code ec;
        o.batch = positional.size() > 2 || fs::is_directory(positional[0], ec);
        if (o.batch) {
            o.databasePaths.assign(positional.begin(), positional.end() - (positional.size() > 1 ? 1 : 0));
            if (positional.size() > 1) o.outputDir = positional.back();
            if (o.gui) return Refuse("--gui converts one database at a time");
            if (!o.statsPath.empty()) return Refuse("--stats is for one database");
            if (!o.summaryRowPath.empty())
                return Refuse("--summary-row is for one database (a batch writes OUTPUT-DIR/batch-summary.csv)");
            return true;
        }
        o.databasePath = positional[0];
        if (positional.size() < 2) return true;
        const std::string& out = positional[1];
        if (HasExtension(out, ".nsf"))
            return Refuse("the last argument is the output folder, not a database: " + out +
                          " (name the output folder after the databases)");
        if (HasExtension(out, ".pst") && !fs::is_directory(out, ec)) {
            fs::path file(out);
            o.outputDir = file.has_parent_path() ? file.parent_path().string() : ".";
            o.pstName = file.stem().string();
            return true;
        }
        o.outputDir = out;
        return true;
    }

    bool Refuse(std::string why) {
        error = std::move(why);
        return false;
    }

    static bool HasExtension(const std::string& path, const std::string& extension) {
        if (path.size() <= extension.size()) return false;
        std::string tail = path.substr(path.size() - extension.size());
        std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
        return tail == extension;
    }
};

}  // namespace

std::string PstStem(const LauncherOptions& options) {
    return options.pstName.empty() ? fs::path(options.databasePath).stem().string() : options.pstName;
}

ParseResult ParseLauncherOptions(const std::vector<std::string>& args) {
    ParseResult result;
    CParser parser;
    // Headless conversions leave "($All)" out unless asked for: it holds every
    // document a second time.
    parser.o.settings.includeAllView = 0;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            result.help = true;
            return result;
        }
        if (a == "--version") {
            result.version = true;
            return result;
        }
        if (a.size() > 1 && a[0] == '-' ) {
            size_t first = i;
            if (!parser.Option(args, i)) {
                result.error = parser.error;
                return result;
            }
            // Each conversion of a batch gets the options, but runs alone.
            if (a != "--jobs") parser.o.passOn.insert(parser.o.passOn.end(), args.begin() + first, args.begin() + i + 1);
        } else {
            positional.push_back(a);
        }
    }
    if (!parser.Finish(positional)) {
        result.error = parser.error;
        return result;
    }
    result.options = std::move(parser.o);
    return result;
}
