// The INI editor: reading keys the way the settings use them, and changing one key without
// touching any other byte of the file.
#include "config/IniFile.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace pavona {
namespace {

const std::string kBom = "\xEF\xBB\xBF";

TEST(IniFileTest, ReadsKeysLikeTheProfileReader) {
    const TIniFile ini(kBom + "top=outside\n"
                              "; comment=no\r\n"
                              "[Server]\n"
                              "  Base_URL  =  https://a.example  \r\n"
                              "store=\n"
                              "# store2=hidden\n"
                              "dup=first\n"
                              "dup=second\n"
                              "conn=Server=x;Pwd=한글\n"
                              "[server]\n"
                              "later=ignored\n"
                              "[pos]\n"
                              "conn=pos conn");
    struct Case {
        const char* Section;
        const char* Key;
        bool Found;
        const char* Value;
    };
    const Case cases[] = {
        {"server", "base_url", true, "https://a.example"}, // case, blanks around "=", CR LF, BOM before
        {"SERVER", "BASE_URL", true, "https://a.example"},
        {"server", "store", true, ""},                 // present but empty
        {"server", "dup", true, "first"},              // the first of two wins
        {"server", "conn", true, "Server=x;Pwd=한글"}, // only the first "=" separates
        {"server", "store2", false, ""},               // commented out
        {"server", "later", false, ""},                // a repeated section is not read
        {"server", "top", false, ""},                  // keys before any section belong to none
        {"pos", "conn", true, "pos conn"},             // last line without a line end
        {"pos", "missing", false, ""},
        {"nosuch", "conn", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Section) + "/" + c.Key);
        std::string value = "unchanged";
        EXPECT_EQ(ini.Read(c.Section, c.Key, value), c.Found);
        if (c.Found) {
            EXPECT_EQ(value, c.Value);
        }
        EXPECT_EQ(ini.ReadString(c.Section, c.Key, "def"), c.Found ? c.Value : "def");
    }
}

TEST(IniFileTest, LoadTellsMissingFromUnreadable) {
    test::TempDir dir;
    TIniFile ini("[old]\r\n");
    EXPECT_TRUE(ini.Load(dir.File("agent.ini")));
    EXPECT_EQ(ini.Text(), "");
    test::WriteFile(dir.File("agent.ini"), "\xEF\xBB\xBF[s]\nk=v\n");
    EXPECT_TRUE(ini.Load(dir.File("agent.ini")));
    EXPECT_EQ(ini.ReadString("s", "k"), "v");
    // A folder where the file should be is there but unreadable: writing over it would lose it.
    EXPECT_FALSE(ini.Load(dir.Path()));
}

TEST(IniFileTest, InvalidUtf8ReadsAsReplacementCharacter) {
    // A value saved in a legacy code page must not reach the rest of the agent as broken UTF-8.
    const TIniFile ini("[pos]\r\nconn=a\xB0\xA1z\r\n");
    EXPECT_EQ(ini.ReadString("pos", "conn"), "a\xEF\xBF\xBD\xEF\xBF\xBDz");
}

TEST(IniFileTest, WriteChangesOnlyTheOneKey) {
    struct Case {
        const char* Name;
        std::string Before;
        const char* Section;
        const char* Key;
        const char* Value;
        std::string After;
    };
    const Case cases[] = {
        {"replace in place, other LF lines kept", "x\n[server]\nbase_url = old\n; c\n[pos]\nconn=1\n",
         "server", "base_url", "new", "x\n[server]\nbase_url=new\r\n; c\n[pos]\nconn=1\n"},
        {"names compare without case, caller's spelling written", "[Server]\nBASE_URL=x\n", "server",
         "base_url", "y", "[Server]\nbase_url=y\r\n"},
        {"only the first of duplicate keys", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "3", "[s]\r\nk=3\r\nk=2\r\n"},
        {"new key after the section's last key, before blanks and comments",
         "[server]\r\nstore=1\r\n\r\n; next\r\n[pos]\r\n", "server", "key_dpapi", "K",
         "[server]\r\nstore=1\r\nkey_dpapi=K\r\n\r\n; next\r\n[pos]\r\n"},
        {"new key in a section without keys", "[state]\n\n[x]\n", "state", "seen_program", "P",
         "[state]\nseen_program=P\r\n\n[x]\n"},
        {"new key after a last line without line end", "[a]\nb=1", "a", "c", "2", "[a]\nb=1\r\nc=2\r\n"},
        {"replace a last line without line end", "[a]\nb=1", "a", "b", "2", "[a]\nb=2\r\n"},
        {"new section at the end", "[a]\nb=1", "limit", "caution_pct", "80",
         "[a]\nb=1\r\n[limit]\r\ncaution_pct=80\r\n"},
        {"new section goes after a repeated one", "[a]\r\nb=1\r\n[c]\r\n[a]\r\n", "c", "d", "2",
         "[a]\r\nb=1\r\n[c]\r\nd=2\r\n[a]\r\n"},
        {"empty file", "", "s", "k", "v", "[s]\r\nk=v\r\n"},
        {"byte-order mark only", kBom, "s", "k", "v", kBom + "[s]\r\nk=v\r\n"},
        {"byte-order mark kept before an edited first section", kBom + "[s]\nk=1\n", "s", "k", "2",
         kBom + "[s]\nk=2\r\n"},
        {"value trimmed, written without spaces", "[s]\n", "s", "k", "  v w  ", "[s]\nk=v w\r\n"},
        {"non-ASCII value stored as UTF-8", "[pos]\r\n", "pos", "conn", "서버=한글;x",
         "[pos]\r\nconn=서버=한글;x\r\n"},
        {"line breaks in a value cannot add lines", "[s]\r\n", "s", "k", "x\r\n[evil]\nz=1",
         "[s]\r\nk=x  [evil] z=1\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TIniFile ini(c.Before);
        ASSERT_TRUE(ini.Write(c.Section, c.Key, c.Value));
        EXPECT_EQ(ini.Text(), c.After);
        std::string back;
        ASSERT_TRUE(ini.Read(c.Section, c.Key, back));
        TIniFile written(c.After);
        EXPECT_EQ(back, written.ReadString(c.Section, c.Key, "?"));
        EXPECT_FALSE(ini.HasKey("evil", "z"));
    }
}

TEST(IniFileTest, NamesThatCannotBeOneLineAreRefused) {
    const std::string before = "[s]\r\nk=1\r\n";
    const std::pair<const char*, const char*> names[] = {
        {"", "k"},    {"s", ""},       {"  ", "k"},     {"a]b", "k"},
        {"s", "a=b"}, {"s\n[x]", "k"}, {"s", "k\r\nz"}, {"s", ";k"},
    };
    for (const auto& [section, key] : names) {
        SCOPED_TRACE(std::string(section) + "/" + key);
        TIniFile ini(before);
        EXPECT_FALSE(ini.Write(section, key, "v"));
        EXPECT_EQ(ini.Text(), before);
    }
}

} // namespace
} // namespace pavona
