// agent.ini as the agent uses it: defaults, saving and loading through real files, keeping what
// other parts and people wrote, the protected key, autostart, validation and write failures.
#include "config/AgentSettings.h"

#include "common/Text.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

namespace pavona {
namespace {

using test::ReadFile;
using test::WriteFile;

const std::string kBom = "\xEF\xBB\xBF";

TAgentSettings ValidSettings() {
    TAgentSettings s;
    DefaultSettings(s);
    s.BaseUrl = "https://assoc.example";
    s.Store = "1234567890";
    s.Key = "agent-key";
    return s;
}

TAgentSettings ChangedSettings() {
    TAgentSettings s;
    s.BaseUrl = "https://협회.example:9443";
    s.Store = "2208112345";
    s.Key = "K3y 인증키 with spaces and = sign";
    s.PosConnStr = "Provider=SQLOLEDB;Data Source=POS\\SQL;Initial Catalog=매장;User ID=ro;Password=p=w";
    s.CollectMinutes = 7;
    s.PolicyMinutes = 45;
    s.CautionPct = 70;
    s.ImminentPct = 90;
    s.SeenProgramCode = "NH-2026-R3";
    s.AutoStart = false;
    return s;
}

std::vector<std::string> LinesOf(const std::string& text) {
    return Split(text, '\n');
}

std::string KeyOf(const std::string& line) {
    const size_t eq = line.find('=');
    return eq == std::string::npos || StartsWith(Trim(line), ";") ? "" : LowerAscii(Trim(line.substr(0, eq)));
}

class AgentSettingsTest : public test::TempDataTest {};

TEST_F(AgentSettingsTest, PathsFollowTheDataFolderOnEachCall) {
    EXPECT_EQ(DataDir(), FRoot.File("local") + "/Pavona");
    EXPECT_EQ(SettingsPath(), FRoot.File("local") + "/Pavona/agent.ini");
    EXPECT_EQ(SpoolDir(), FRoot.File("local") + "/Pavona/spool");
    test::ScopedEnv other("LOCALAPPDATA", FRoot.File("other"));
    EXPECT_EQ(SettingsPath(), FRoot.File("other") + "/Pavona/agent.ini");
}

TEST_F(AgentSettingsTest, MissingFileGivesDefaultsWithAutoStart) {
    ASSERT_FALSE(platform::AutoStartEntryExists());
    const TAgentSettings s = LoadSettings();
    EXPECT_EQ(s.BaseUrl, kDefaultBaseUrl);
    EXPECT_EQ(std::string(kDefaultBaseUrl).rfind("https://", 0), 0u);
    EXPECT_EQ(s.Store, "");
    EXPECT_EQ(s.Key, "");
    EXPECT_EQ(s.PosConnStr, "");
    EXPECT_EQ(s.CollectMinutes, 10);
    EXPECT_EQ(s.PolicyMinutes, 30);
    EXPECT_EQ(s.CautionPct, 80);
    EXPECT_EQ(s.ImminentPct, 95);
    EXPECT_EQ(s.SeenProgramCode, "");
    EXPECT_TRUE(s.AutoStart);
    EXPECT_FALSE(platform::DirExists(DataDir())) << "loading must not create anything";
}

TEST_F(AgentSettingsTest, SavedSettingsLoadBackAndTheKeyIsNeverPlain) {
    const TAgentSettings saved = ChangedSettings();
    const Result<> result = SaveSettings(saved);
    ASSERT_TRUE(result.Ok()) << result.Error();
    EXPECT_EQ(result.Error(), "");

    const TAgentSettings loaded = LoadSettings();
    EXPECT_EQ(loaded.BaseUrl, saved.BaseUrl);
    EXPECT_EQ(loaded.Store, saved.Store);
    EXPECT_EQ(loaded.Key, saved.Key);
    EXPECT_EQ(loaded.PosConnStr, saved.PosConnStr);
    EXPECT_EQ(loaded.CollectMinutes, 7);
    EXPECT_EQ(loaded.PolicyMinutes, 45);
    EXPECT_EQ(loaded.CautionPct, 70);
    EXPECT_EQ(loaded.ImminentPct, 90);
    EXPECT_EQ(loaded.SeenProgramCode, saved.SeenProgramCode);
    EXPECT_FALSE(loaded.AutoStart);

    const std::string text = ReadFile(SettingsPath());
    EXPECT_EQ(text.find("K3y"), std::string::npos);
    EXPECT_EQ(text.find("인증키"), std::string::npos);
    std::set<std::string> keys;
    for (const std::string& line : LinesOf(text)) {
        ASSERT_TRUE(line.empty() || EndsWith(line, "\r")) << "every line ends with CR LF";
        keys.insert(KeyOf(line));
        if (KeyOf(line) != "key_dpapi") continue;
        std::string bytes;
        EXPECT_TRUE(Base64Decode(Trim(line.substr(10)), bytes));
        EXPECT_GT(bytes.size(), saved.Key.size());
    }
    for (const char* key : {"base_url", "store", "key_dpapi", "conn", "collect_min", "policy_min",
                            "caution_pct", "imminent_pct", "seen_program"})
        EXPECT_TRUE(keys.count(key)) << key;
}

TEST_F(AgentSettingsTest, SaveKeepsEverythingElseInTheFile) {
    // Written by hand in an editor: byte-order mark, LF line ends, comments, odd spacing and case,
    // keys of other parts and a section nobody knows.
    const std::string original = "; 농할 에이전트 설정\n"
                                 "[Server]\n"
                                 "Base_Url = https://old.example\n"
                                 "store=1111111111\n"
                                 "key_dpapi=\n"
                                 "\n"
                                 "[pos]\n"
                                 "conn=old conn\n"
                                 "; timing below\n"
                                 "[timing]\r\n"
                                 "collect_min=5\r\n"
                                 "policy_min=15\r\n"
                                 "[limit]\n"
                                 "caution_pct=60\n"
                                 "imminent_pct=85\n"
                                 "[state]\n"
                                 "sent_day=10/06/2026\n"
                                 "sent_count=1234\n"
                                 "seen_program=OLD\n"
                                 "last_send=10/06/2026 09:30:00\n"
                                 "[window]\n"
                                 "width=1024\n"
                                 "maximized=1\n"
                                 "[installer]\n"
                                 "note=keep me";
    WriteFile(SettingsPath(), kBom + original);

    const TAgentSettings loaded = LoadSettings();
    EXPECT_EQ(ReadFile(SettingsPath()), original) << "the byte-order mark is removed and nothing else";
    EXPECT_EQ(loaded.BaseUrl, "https://old.example");
    EXPECT_EQ(loaded.Store, "1111111111");
    EXPECT_EQ(loaded.CollectMinutes, 5);
    EXPECT_EQ(loaded.ImminentPct, 85);
    EXPECT_EQ(loaded.SeenProgramCode, "OLD");

    ASSERT_TRUE(SaveSettings(ChangedSettings()));
    const std::set<std::string> written = {"base_url",    "store",        "key_dpapi",
                                           "conn",        "collect_min",  "policy_min",
                                           "caution_pct", "imminent_pct", "seen_program"};
    const std::vector<std::string> before = LinesOf(original);
    const std::vector<std::string> after = LinesOf(ReadFile(SettingsPath()));
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        SCOPED_TRACE(before[i]);
        if (written.count(KeyOf(before[i]))) {
            EXPECT_EQ(KeyOf(after[i]), KeyOf(before[i]));
            EXPECT_TRUE(EndsWith(after[i], "\r"));
        } else {
            EXPECT_EQ(after[i], before[i]);
        }
    }
    EXPECT_EQ(ReadIniKey("state", "sent_count"), "1234");
    EXPECT_EQ(ReadIniKey("WINDOW", "Width"), "1024");
    EXPECT_EQ(ReadIniKey("installer", "note"), "keep me");
    EXPECT_EQ(LoadSettings().PosConnStr, ChangedSettings().PosConnStr);
}

TEST_F(AgentSettingsTest, LoadingTakesValuesAsTheyAre) {
    struct Case {
        const char* Name;
        std::string File;
        std::function<void(const TAgentSettings&)> Check;
    };
    const Case cases[] = {
        {"base_url present but empty", "[server]\r\nbase_url=\r\n",
         [](const TAgentSettings& s) {
             EXPECT_EQ(s.BaseUrl, "");
             const Result<> valid = ValidateSettings(s);
             EXPECT_FALSE(valid.Ok());
             EXPECT_EQ(valid.Error(), "협회 서버 주소를 넣어 주세요.");
         }},
        {"base_url missing keeps the default", "[server]\r\nstore=1\r\n",
         [](const TAgentSettings& s) { EXPECT_EQ(s.BaseUrl, kDefaultBaseUrl); }},
        {"numbers that are not whole numbers keep defaults",
         "[timing]\ncollect_min=10.5\npolicy_min=abc\n[limit]\ncaution_pct=\nimminent_pct=9x\n",
         [](const TAgentSettings& s) {
             EXPECT_EQ(s.CollectMinutes, 10);
             EXPECT_EQ(s.PolicyMinutes, 30);
             EXPECT_EQ(s.CautionPct, 80);
             EXPECT_EQ(s.ImminentPct, 95);
         }},
        {"out-of-range numbers are passed on",
         "[timing]\ncollect_min=0\npolicy_min= 2000 \n[limit]\ncaution_pct=-5\n",
         [](const TAgentSettings& s) {
             EXPECT_EQ(s.CollectMinutes, 0);
             EXPECT_EQ(s.PolicyMinutes, 2000);
             EXPECT_EQ(s.CautionPct, -5);
         }},
        {"a key_dpapi that does not open is an empty key",
         "[server]\nkey_dpapi=AQIDBAUGBwgJCgsMDQ4PEBESExQVFhcYGRo=\n",
         [](const TAgentSettings& s) { EXPECT_EQ(s.Key, ""); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteFile(SettingsPath(), c.File);
        c.Check(LoadSettings());
        EXPECT_EQ(ReadFile(SettingsPath()), c.File) << "loading never rewrites values";
    }
}

TEST_F(AgentSettingsTest, AutoStartFollowsTheSavedChoice) {
    const std::string exe = platform::ExecutablePath();
    ASSERT_FALSE(exe.empty());
    for (const bool enable : {true, false, true}) {
        SCOPED_TRACE(enable);
        TAgentSettings s = ValidSettings();
        s.AutoStart = enable;
        ASSERT_TRUE(SaveSettings(s));
        EXPECT_EQ(AutoStartEnabled(), enable);
        EXPECT_EQ(AutoStartCommand(), enable ? "\"" + exe + "\" /tray" : "");
        EXPECT_EQ(LoadSettings().AutoStart, enable);
    }
    SetAutoStart(true, "  /opt/파보나 에이전트/pavona-agent  ");
    EXPECT_EQ(AutoStartCommand(), "\"/opt/파보나 에이전트/pavona-agent\" /tray");
    // A path that would break out of its quotes is refused and the entry is left as it was.
    SetAutoStart(true, "/opt/x\" --evil \"y");
    EXPECT_EQ(AutoStartCommand(), "\"/opt/파보나 에이전트/pavona-agent\" /tray");
    SetAutoStart(false, "/anything");
    EXPECT_FALSE(AutoStartEnabled());
}

TEST_F(AgentSettingsTest, SaveFailsWithoutRaisingWhenTheFolderCannotBeMade) {
    WriteFile(FRoot.File("blocker"), "a regular file");
    test::ScopedEnv local("LOCALAPPDATA", FRoot.File("blocker/inside"));
    ASSERT_FALSE(platform::AutoStartEntryExists());
    const Result<> saved = SaveSettings(ValidSettings());
    EXPECT_FALSE(saved.Ok());
    EXPECT_EQ(saved.Error(), "설정 파일을 쓰지 못했습니다 — " + SettingsPath());
    EXPECT_FALSE(platform::AutoStartEntryExists()) << "a failed save changes nothing";
    const Result<> written = WriteIniKey("state", "sent_count", "1");
    EXPECT_FALSE(written.Ok());
    EXPECT_EQ(written.Error(), "설정 파일을 쓰지 못했습니다 — " + SettingsPath());
    EXPECT_EQ(ReadIniKey("state", "sent_count", "none"), "none");
}

TEST_F(AgentSettingsTest, KeyThatCannotBeProtectedLeavesTheStoredKey) {
    TAgentSettings s = ValidSettings();
    ASSERT_TRUE(SaveSettings(s));
    const std::string before = ReadFile(SettingsPath());
    // A damaged per-user secret makes protection fail.
    WriteFile(platform::JoinPath(DataDir(), "key.secret"), "short");

    s.Key = "new-key";
    s.Store = "9999999999";
    const Result<> refused = SaveSettings(s);
    EXPECT_FALSE(refused.Ok());
    EXPECT_EQ(refused.Error(), "인증키를 이 컴퓨터에 안전하게 저장하지 못했습니다.");
    EXPECT_EQ(ReadFile(SettingsPath()), before) << "nothing is written, the stored key survives";

    // Clearing the key on purpose is still saved.
    s.Key.clear();
    const Result<> cleared = SaveSettings(s);
    ASSERT_TRUE(cleared.Ok()) << cleared.Error();
    EXPECT_EQ(ReadIniKey("server", "key_dpapi", "missing"), "");
    EXPECT_EQ(ReadIniKey("server", "store"), "9999999999");
}

TEST_F(AgentSettingsTest, FolderInPlaceOfTheFileIsNeverReplaced) {
    // Something that is there but cannot be read as a file must not be taken for a missing file.
    ASSERT_TRUE(platform::MakeDirs(SettingsPath()));
    const Result<> saved = SaveSettings(ValidSettings());
    EXPECT_FALSE(saved.Ok());
    EXPECT_EQ(saved.Error(), "설정 파일을 쓰지 못했습니다 — " + SettingsPath());
    const Result<> written = WriteIniKey("state", "sent_count", "1");
    EXPECT_FALSE(written.Ok());
    EXPECT_EQ(written.Error(), "설정 파일을 쓰지 못했습니다 — " + SettingsPath());
    EXPECT_EQ(ReadIniKey("state", "sent_count", "none"), "none");
    ASSERT_EQ(::rmdir(SettingsPath().c_str()), 0);
}

TEST_F(AgentSettingsTest, FileWithoutReadRightIsNeverReplaced) {
    ASSERT_TRUE(SaveSettings(ChangedSettings()));
    const std::string before = ReadFile(SettingsPath());
    ASSERT_EQ(::chmod(SettingsPath().c_str(), 0200), 0);
    std::string probe;
    if (platform::ReadWholeFile(SettingsPath(), probe))
        GTEST_SKIP() << "running with rights that read any file";
    const Result<> saved = SaveSettings(ValidSettings());
    EXPECT_FALSE(saved.Ok());
    EXPECT_EQ(saved.Error(), "설정 파일을 쓰지 못했습니다 — " + SettingsPath());
    const Result<> written = WriteIniKey("state", "sent_count", "1");
    EXPECT_FALSE(written.Ok());
    EXPECT_EQ(written.Error(), "설정 파일을 쓰지 못했습니다 — " + SettingsPath());
    ASSERT_EQ(::chmod(SettingsPath().c_str(), 0600), 0);
    EXPECT_EQ(ReadFile(SettingsPath()), before);
}

TEST_F(AgentSettingsTest, SingleKeysOfOtherParts) {
    EXPECT_EQ(ReadIniKey("window", "width", "0"), "0");
    ASSERT_TRUE(WriteIniKey("window", "width", "1280"));
    ASSERT_TRUE(WriteIniKey("state", "last_send", "10/06/2026 09:30:00"));
    ASSERT_TRUE(WriteIniKey("window", "maximized", "1"));
    ASSERT_TRUE(WriteIniKey("WINDOW", "Width", "800"));
    EXPECT_EQ(ReadFile(SettingsPath()),
              "[window]\r\nWidth=800\r\nmaximized=1\r\n[state]\r\nlast_send=10/06/2026 09:30:00\r\n");
    EXPECT_EQ(ReadIniKey("window", "width"), "800");
    std::vector<std::string> names;
    ASSERT_TRUE(platform::ListFiles(DataDir(), names));
    EXPECT_EQ(names, std::vector<std::string>{"agent.ini"}) << "no temporary file is left behind";
}

TEST(ValidateSettingsTest, ChecksInOrderWithTheirMessages) {
    struct Case {
        const char* Name;
        std::function<void(TAgentSettings&)> Change;
        const char* Message;
    };
    const char* m1 = "협회 서버 주소를 넣어 주세요.";
    const char* m2 = "서버 주소는 https 로 시작해야 합니다.";
    const char* m3 = "사업자번호는 숫자 10자리입니다.";
    const char* m4 = "사업자번호는 숫자만 넣어 주세요.";
    const char* m5 = "협회에서 받은 인증키를 넣어 주세요.";
    const char* m6 = "수집 주기는 1분에서 1440분(하루) 사이입니다.";
    const char* m7 = "한도 확인 주기는 1분에서 1440분 사이입니다.";
    const char* m8 = "주의 기준은 1%에서 100% 사이입니다.";
    const char* m9 = "임박 기준은 1%에서 100% 사이입니다.";
    const char* m10 = "주의 기준은 임박 기준보다 낮아야 합니다 — 그렇지 않으면 주의 경고를 보실 수 없습니다.";
    const Case cases[] = {
        {"valid", [](TAgentSettings&) {}, ""},
        {"empty url", [](TAgentSettings& s) { s.BaseUrl = ""; }, m1},
        {"blank url", [](TAgentSettings& s) { s.BaseUrl = " \t\r\n"; }, m1},
        {"url first even with a bad store", [](TAgentSettings& s) { s.BaseUrl = "", s.Store = "x"; }, m1},
        {"http", [](TAgentSettings& s) { s.BaseUrl = "http://assoc.example"; }, m2},
        {"short scheme", [](TAgentSettings& s) { s.BaseUrl = "https:/"; }, m2},
        {"capital scheme", [](TAgentSettings& s) { s.BaseUrl = "HTTPS://ASSOC.EXAMPLE"; }, ""},
        {"url with blanks around", [](TAgentSettings& s) { s.BaseUrl = "  https://a  "; }, ""},
        {"store with blanks around", [](TAgentSettings& s) { s.Store = " 1234567890\t"; }, ""},
        {"store with dashes", [](TAgentSettings& s) { s.Store = "123-45-67890"; }, m3},
        {"store of nine digits", [](TAgentSettings& s) { s.Store = "123456789"; }, m3},
        {"store empty", [](TAgentSettings& s) { s.Store = ""; }, m3},
        {"store with a letter", [](TAgentSettings& s) { s.Store = "12345678a0"; }, m4},
        {"store of wide digits", [](TAgentSettings& s) { s.Store = "１２３４５６７８９０"; }, m4},
        {"store with an inner blank", [](TAgentSettings& s) { s.Store = "12345 7890"; }, m4},
        {"empty key", [](TAgentSettings& s) { s.Key = ""; }, m5},
        {"blank key", [](TAgentSettings& s) { s.Key = "  "; }, m5},
        {"collect 0", [](TAgentSettings& s) { s.CollectMinutes = 0; }, m6},
        {"collect 1441", [](TAgentSettings& s) { s.CollectMinutes = 1441; }, m6},
        {"collect bounds", [](TAgentSettings& s) { s.CollectMinutes = 1, s.PolicyMinutes = 1440; }, ""},
        {"policy 0", [](TAgentSettings& s) { s.PolicyMinutes = 0; }, m7},
        {"policy 1441", [](TAgentSettings& s) { s.PolicyMinutes = 1441; }, m7},
        {"caution 0", [](TAgentSettings& s) { s.CautionPct = 0; }, m8},
        {"caution 101", [](TAgentSettings& s) { s.CautionPct = 101; }, m8},
        {"imminent 101", [](TAgentSettings& s) { s.ImminentPct = 101; }, m9},
        {"imminent 0 before the order check", [](TAgentSettings& s) { s.ImminentPct = 0; }, m9},
        {"caution equal to imminent", [](TAgentSettings& s) { s.CautionPct = 95; }, m10},
        {"caution above imminent", [](TAgentSettings& s) { s.CautionPct = 96; }, m10},
        {"percent bounds", [](TAgentSettings& s) { s.CautionPct = 1, s.ImminentPct = 100; }, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TAgentSettings s = ValidSettings();
        c.Change(s);
        const Result<> valid = ValidateSettings(s);
        EXPECT_EQ(valid.Ok(), std::string(c.Message).empty());
        EXPECT_EQ(valid.Error(), c.Message);
    }
}

// The window writes its placement on its thread while the engine writes settings and counters on
// its own: every write must survive the other's, or a saved key or counter silently goes back.
TEST_F(AgentSettingsTest, WritesFromTwoThreadsAtOnceLoseNothing) {
    ASSERT_TRUE(WriteIniKey("state", "seed", "1"));
    std::atomic<int> lost{0};
    const auto writer = [&lost](const std::string& section) {
        for (int i = 0; i < 150; ++i) {
            const std::string value = std::to_string(i);
            if (!WriteIniKey(section, "n", value)) ++lost;
            // Nobody else writes this section, so it must read back what was just written.
            else if (ReadIniKey(section, "n") != value) ++lost;
        }
    };
    std::thread window(writer, "window");
    std::thread engine(writer, "state");
    window.join();
    engine.join();
    EXPECT_EQ(lost.load(), 0);
    EXPECT_EQ(ReadIniKey("window", "n"), "149");
    EXPECT_EQ(ReadIniKey("state", "n"), "149");
    EXPECT_EQ(ReadIniKey("state", "seed"), "1");
}

} // namespace
} // namespace pavona
