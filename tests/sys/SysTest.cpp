#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "platform/sys/Files.h"
#include "platform/sys/TempPath.h"
#include "platform/sys/Text.h"
#include "platform/sys/Time.h"

namespace {

class CScopedEnv {
public:
    CScopedEnv(const char* n, const char* value) : name(n) {
        if (const char* old = std::getenv(n)) previous = old, hadValue = true;
        value ? setenv(n, value, 1) : unsetenv(n);
    }
    ~CScopedEnv() { hadValue ? setenv(name, previous.c_str(), 1) : unsetenv(name); }

private:
    const char* name;
    std::string previous;
    bool hadValue = false;
};

sys::CSystemTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    sys::CSystemTime t;
    t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s;
    return t;
}

// A scratch directory of the test's own, removed at the end.
class CScratch {
public:
    CScratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "sys-test-XXXXXX").string();
        dir = mkdtemp(pattern.data()) ? pattern : "";
    }
    ~CScratch() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string Path(const std::string& name) const { return dir + "/" + name; }
    std::string dir;
};

std::string Content(const std::string& path) {
    std::string bytes;
    return sys::ReadWholeFile(sys::Utf8ToUtf16(path), bytes) ? bytes : "<unreadable>";
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Files of another user can only be made by root; elsewhere those cases are left out.
bool CanGiveAway() { return geteuid() == 0; }

}  // namespace

TEST(OleDate, KnownValues) {
    struct Case {
        sys::CSystemTime time;
        double ole;
    };
    const Case cases[] = {
        {At(1899, 12, 30), 0.0},
        {At(1900, 1, 1), 2.0},
        {At(2000, 1, 1, 12), 36526.5},
        {At(2024, 2, 3, 12, 5, 9), 45325.0 + (12 * 3600 + 5 * 60 + 9) / 86400.0},
        {At(1899, 12, 29, 6), -1.25},  // before the epoch the fraction still counts forward
        {At(1800, 3, 1, 18), -36463.75},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(sys::ToOleDate(c.time), c.ole);
        sys::CSystemTime back = sys::FromOleDate(c.ole);
        EXPECT_EQ(back.year, c.time.year);
        EXPECT_EQ(back.month, c.time.month);
        EXPECT_EQ(back.day, c.time.day);
        EXPECT_EQ(back.hour, c.time.hour);
        EXPECT_EQ(back.minute, c.time.minute);
        EXPECT_EQ(back.second, c.time.second);
    }
}

TEST(MonthFirstDate, ParsesTheDateTextsOfTheReaders) {
    struct Case {
        const char16_t* text;
        bool valid;
        sys::CSystemTime expected;
    };
    const Case cases[] = {
        {u"2/5/2018 9:7:30", true, At(2018, 2, 5, 9, 7, 30)},
        {u"02/05/2018 09:07:30", true, At(2018, 2, 5, 9, 7, 30)},
        {u"12/31/1999", true, At(1999, 12, 31)},
        {u"3/4/2020 1:02 PM", true, At(2020, 3, 4, 13, 2, 0)},
        {u"3/4/2020 12:00:00 AM", true, At(2020, 3, 4, 0, 0, 0)},
        {u"2/29/2024 0:0:0", true, At(2024, 2, 29)},
        {u"2/29/2023 0:0:0", false, {}},
        {u"13/1/2020", false, {}},
        {u"1/32/2020", false, {}},
        {u"1/1/2020 24:00:00", false, {}},
        {u"", false, {}},
        {u"0/0/0 0:0:0", false, {}},
        {u"1/1/2020 10:00 xyz", false, {}},
    };
    for (const Case& c : cases) {
        auto parsed = sys::ParseMonthFirstDate(c.text);
        ASSERT_EQ(parsed.has_value(), c.valid) << sys::Utf16ToUtf8(c.text);
        if (!c.valid) continue;
        EXPECT_EQ(sys::ToOleDate(*parsed), sys::ToOleDate(c.expected)) << sys::Utf16ToUtf8(c.text);
    }
}

TEST(TextConversion, AnsiCodePageFollowsTheSetting) {
    {
        CScopedEnv cp("NSF2PST_CODEPAGE", "windows-1252");
        EXPECT_EQ(sys::Utf16ToAnsi(u"Müller €"), std::string("M\xFCller \x80"));
        EXPECT_EQ(sys::Utf16ToAnsi(u"Жук"), "???");
        EXPECT_EQ(sys::AnsiToUtf16("M\xFCller"), u"Müller");
    }
    {
        CScopedEnv cp("NSF2PST_CODEPAGE", "UTF-8");
        EXPECT_EQ(sys::Utf16ToAnsi(u"Жук"), "Жук");
    }
}

TEST(TextConversion, LmbcsRoundTripsEveryScript) {
    for (std::u16string text : {u"plain ASCII", u"Grüße, Müller", u"Отчёт за квартал", u"四半期報告書", u"보고서"}) {
        std::string lmbcs = sys::Utf16ToLmbcs(text);
        EXPECT_FALSE(lmbcs.empty());
        EXPECT_EQ(sys::LmbcsToUtf16(lmbcs), text);
    }
    EXPECT_EQ(sys::Utf16ToLmbcs(u"abc"), "abc");
}

TEST(TextConversion, LmbcsControlCodesAndPlainAscii) {
    struct Case {
        std::u16string text;
        std::string lmbcs;
    };
    // Tab, CR, LF and printable ASCII are their own bytes; other control codes
    // go into group 0x0F, offset by 0x20.
    const Case cases[] = {
        {u"", ""},
        {u"Tab\tCR\rLF\n ~\x7f", "Tab\tCR\rLF\n ~\x7f"},
        {u"a\x01z", "a\x0f\x21z"},
        {u"\x1f", "\x0f\x3f"},
        {u"line\r\n\x02", "line\r\n\x0f\x22"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sys::Utf16ToLmbcs(c.text), c.lmbcs);
        EXPECT_EQ(sys::LmbcsToUtf16(c.lmbcs), c.text);
    }
}

TEST(TempPathTest, FollowsTmpdirAndEndsWithSlash) {
    CScopedEnv tmp("TMPDIR", "/var/tmp");
    EXPECT_EQ(sys::TempPath(), u"/var/tmp/");
}

TEST(TempPathTest, PrivateDirectoryWithoutTmpdir) {
    CScopedEnv tmp("TMPDIR", nullptr);
    std::u16string path = sys::TempPath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.back(), u'/');
    struct stat st;
    ASSERT_EQ(stat(sys::Utf16ToUtf8(path).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(SafeFileNameTest, NeverLeavesTheDirectory) {
    struct Case {
        const char16_t* name;
        const char16_t* safe;
    };
    const Case cases[] = {
        {u"report.pdf", u"report.pdf"},      {u"a/b:c?.txt", u"a_b_c_.txt"}, {u"../../etc/passwd", u".._.._etc_passwd"},
        {u"..", u"_"},                       {u"", u"_"},                    {u"tab\there\nline", u"tab_here_line"},
        {u"Отчёт.docx", u"Отчёт.docx"},
    };
    for (const Case& c : cases) EXPECT_EQ(sys::SafeFileName(c.name), c.safe);
}

// What may already lie at a temporary file's path when the worker creates it:
// only a file of our own is truncated; a planted link is never followed and
// another user's file keeps its content.
TEST(CreateOrTruncateTest, WritesOnlyIntoAFileOfOurOwn) {
    CScratch scratch;
    ASSERT_FALSE(scratch.dir.empty());
    const std::string victim = scratch.Path("victim.txt");
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> plant;
        bool created;
    };
    const Case cases[] = {
        {"nothing", [](const std::string&) {}, true},
        {"an old file of ours", [](const std::string& p) { sys::WriteWholeFile(sys::Utf8ToUtf16(p), "old tail"); }, true},
        {"a link to another file", [&](const std::string& p) { ASSERT_EQ(symlink(victim.c_str(), p.c_str()), 0); }, false},
        {"a link to a missing file",
         [&](const std::string& p) { ASSERT_EQ(symlink(scratch.Path("made-through-link").c_str(), p.c_str()), 0); },
         false},
        {"a directory", [](const std::string& p) { ASSERT_EQ(mkdir(p.c_str(), 0700), 0); }, false},
        {"another user's file",
         [](const std::string& p) {
             sys::WriteWholeFile(sys::Utf8ToUtf16(p), "theirs");
             ASSERT_EQ(chown(p.c_str(), 65534, 65534), 0);
         },
         false},
    };
    int n = 0;
    for (const Case& c : cases) {
        if (std::string(c.what) == "another user's file" && !CanGiveAway()) continue;
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(sys::WriteWholeFile(sys::Utf8ToUtf16(victim), "keep me"));
        const std::string path = scratch.Path(std::to_string(++n) + ".eml");
        c.plant(path);
        const std::string before = std::filesystem::is_regular_file(path) ? Content(path) : "";
        sys::CFile file;
        EXPECT_EQ(file.CreateOrTruncate(sys::Utf8ToUtf16(path)), c.created);
        if (c.created) {
            EXPECT_TRUE(file.Write(std::string_view("new")));
            file.Close();
            EXPECT_EQ(Content(path), "new");
            EXPECT_EQ(ModeOf(path), 0600u);
        } else if (!before.empty()) {
            EXPECT_EQ(Content(path), before);
        }
        EXPECT_EQ(Content(victim), "keep me");
        EXPECT_FALSE(std::filesystem::exists(scratch.Path("made-through-link")));
    }
}

// The private temporary directories are taken only when nobody else can
// place anything in them.
TEST(CreateDirectoryTest, TakesOnlyAPrivateDirectoryOfOurOwn) {
    CScratch scratch;
    ASSERT_FALSE(scratch.dir.empty());
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> prepare;
        bool taken;
    };
    auto withMode = [](mode_t mode) {
        return [mode](const std::string& p) {
            ASSERT_EQ(mkdir(p.c_str(), 0700), 0);
            ASSERT_EQ(chmod(p.c_str(), mode), 0);
        };
    };
    const Case cases[] = {
        {"missing", [](const std::string&) {}, true},
        {"ours, 0700", withMode(0700), true},
        {"ours, readable by others", withMode(0755), true},
        {"ours, writable by everyone", withMode(0777), false},
        {"ours, sticky and writable by everyone", withMode(01777), false},
        {"ours, writable by the group", withMode(0770), false},
        {"a link to a private directory",
         [&](const std::string& p) {
             ASSERT_EQ(mkdir(scratch.Path("elsewhere").c_str(), 0700), 0);
             ASSERT_EQ(symlink(scratch.Path("elsewhere").c_str(), p.c_str()), 0);
         },
         false},
        {"a file", [](const std::string& p) { sys::WriteWholeFile(sys::Utf8ToUtf16(p), ""); }, false},
        {"another user's",
         [](const std::string& p) {
             ASSERT_EQ(mkdir(p.c_str(), 0700), 0);
             ASSERT_EQ(chown(p.c_str(), 65534, 65534), 0);
         },
         false},
    };
    int n = 0;
    for (const Case& c : cases) {
        if (std::string(c.what) == "another user's" && !CanGiveAway()) continue;
        SCOPED_TRACE(c.what);
        const std::string path = scratch.Path("dir" + std::to_string(++n));
        c.prepare(path);
        const mode_t before = ModeOf(path);
        EXPECT_EQ(sys::CreateDirectory(sys::Utf8ToUtf16(path + "/")), c.taken);
        if (c.taken) {
            EXPECT_EQ(ModeOf(path), 0700u);
        } else if (before != 0) {
            EXPECT_EQ(ModeOf(path), before);
        }
    }
}
