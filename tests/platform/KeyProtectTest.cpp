// Per-user key protection: a protected key opens only with the same secret, machine and user, and
// every failure gives an empty key rather than an error or wrong bytes.
#include "common/Text.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace pavona::platform {
namespace {

class KeyProtectTest : public ::testing::Test {
  protected:
    KeyScope Scope(const std::string& secretName = "secret/key.secret") const {
        return KeyScope{FDir.File(secretName), "3d1219c7c4c5404aaa1f6d2a48adfda4", "1000"};
    }
    test::TempDir FDir;
};

TEST_F(KeyProtectTest, RoundTripInOneLineAndASecretOnlyTheUserReads) {
    const KeyScope scope = Scope();
    for (const std::string& plain : std::vector<std::string>{
             "k", "agent-key-0123456789", "인증키 with = and spaces ", std::string(500, 'x')}) {
        SCOPED_TRACE(plain);
        const std::string text = ProtectKey(plain, scope);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
        std::string bytes;
        EXPECT_TRUE(Base64Decode(text, bytes));
        // A one-byte key turns up by chance among the random nonce and tag bytes about one time in
        // nine; only keys long enough not to occur by chance can show that nothing is kept in the clear.
        if (plain.size() >= 8) {
            EXPECT_EQ(bytes.find(plain), std::string::npos) << "the key is not kept in the clear";
        }
        EXPECT_EQ(UnprotectKey(text, scope), plain);
        EXPECT_EQ(UnprotectKey("  " + text + "\r\n", scope), plain) << "white space around is ignored";
        EXPECT_NE(ProtectKey(plain, scope), text) << "each protection uses a fresh nonce";
    }
    struct stat st;
    ASSERT_EQ(::stat(scope.SecretPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 32);
}

TEST_F(KeyProtectTest, AnythingOtherThanTheSameScopeOpensToEmpty) {
    const KeyScope scope = Scope();
    const std::string text = ProtectKey("agent-key", scope);
    ASSERT_FALSE(text.empty());
    ASSERT_FALSE(ProtectKey("x", Scope("other/key.secret")).empty()); // makes the other secret

    std::string blob;
    ASSERT_TRUE(Base64Decode(text, blob));
    std::string flipped = blob;
    flipped[blob.size() / 2] ^= 0x01;
    std::string otherVersion = blob;
    otherVersion[0] ^= 0x7F;

    struct Case {
        const char* Name;
        std::string Text;
        KeyScope Scope;
    };
    KeyScope otherMachine = scope, otherUser = scope, noSecret = scope;
    otherMachine.MachineId = "00000000000000000000000000000000";
    otherUser.UserId = "1001";
    noSecret.SecretPath = FDir.File("missing/key.secret");
    const Case cases[] = {
        {"another secret file", text, Scope("other/key.secret")},
        {"another machine", text, otherMachine},
        {"another user", text, otherUser},
        {"no secret file", text, noSecret},
        {"damaged Base64", text.substr(0, text.size() - 3) + "!!!", scope},
        {"not Base64 at all", "이건 키가 아님", scope},
        {"cut short", Base64Encode(blob.substr(0, 20)), scope},
        {"one bit changed", Base64Encode(flipped), scope},
        {"unknown format version", Base64Encode(otherVersion), scope},
        {"empty", "", scope},
        {"blank", " \r\n", scope},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(UnprotectKey(c.Text, c.Scope), "");
    }
    EXPECT_FALSE(FileExists(noSecret.SecretPath)) << "opening a key never makes a secret";
    EXPECT_EQ(UnprotectKey(text, scope), "agent-key") << "the right scope still opens it";
}

TEST_F(KeyProtectTest, ProtectionFailsToEmpty) {
    KeyScope noMachine = Scope(), noUser = Scope(), badSecret = Scope("bad.secret"),
             blocked = Scope("file/key.secret");
    noMachine.MachineId.clear();
    noUser.UserId.clear();
    test::WriteFile(badSecret.SecretPath, "too short");
    test::WriteFile(FDir.File("file"), "a regular file where the folder should be");
    for (const KeyScope& scope : {noMachine, noUser, badSecret, blocked}) {
        SCOPED_TRACE(scope.SecretPath + " / " + scope.MachineId + " / " + scope.UserId);
        EXPECT_EQ(ProtectKey("agent-key", scope), "");
    }
    EXPECT_EQ(ProtectKey("", Scope()), "");
    EXPECT_EQ(test::ReadFile(badSecret.SecretPath), "too short") << "a damaged secret is not replaced";
}

TEST(DefaultKeyScopeTest, BoundToThisUserAndMachineInTheDataFolder) {
    test::TempDir dir;
    test::ScopedEnv local("LOCALAPPDATA", dir.Path());
    const KeyScope scope = DefaultKeyScope();
    EXPECT_EQ(scope.SecretPath, JoinPath(AgentDataDir(), "key.secret"));
    EXPECT_EQ(scope.UserId, std::to_string(::getuid()));
    const std::string text = ProtectKey("agent-key", scope);
    if (scope.MachineId.empty()) {
        EXPECT_EQ(text, "") << "without a machine id nothing can be protected";
    } else {
        EXPECT_EQ(UnprotectKey(text, DefaultKeyScope()), "agent-key");
    }
}

} // namespace
} // namespace pavona::platform
