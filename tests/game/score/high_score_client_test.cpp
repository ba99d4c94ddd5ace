// The online high-score client: without its library (the usual case) every operation does
// nothing; a library that lacks the service's functions counts as absent; with a library the
// calls reach it, and shutting down closes it once.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "game/score/high_score_client.h"
#include "platform/system/shared_library.h"
#include "support/child_process.h"
#include "support/scoped_env.h"
#include "support/temp_files.h"

namespace {

// What the stand-in library has been asked so far (it stays loaded while `keep` lives).
std::string StubCalls(const platform::SharedLibrary& keep)
{
    const char* (*calls)() = nullptr;
    return keep.Find("score_stub_calls", calls) ? calls() : "";
}

TEST(HighScoreClient, WithoutItsLibraryEveryOperationDoesNothing)
{
    GHighScoreClient& client = GHighScoreClient::Get();
    // Absent, and present but not a score service (the maths library exports none of it).
    for (const char* name : {"libtolvanrise-absent-library.so", "libm.so.6", ""}) {
        EXPECT_EQ(client.Init(nullptr, name), 0) << name;
        EXPECT_FALSE(client.IsAvailable());
        client.SetGameMode(2);
        EXPECT_EQ(client.GetGameMode(), 2);
        EXPECT_EQ(client.SubmitScore("Ann", 100), 0);
        client.Shutdown();
        client.Shutdown();
    }
    client.SetGameMode(0);
}

TEST(HighScoreClient, WithItsLibraryTheCallsReachTheService)
{
    auto keep = platform::SharedLibrary::Open(TOLVANRISE_SCORE_STUB);
    ASSERT_NE(keep, nullptr);
    GHighScoreClient& client = GHighScoreClient::Get();
    client.SetGameMode(1);
    ASSERT_EQ(client.Init(nullptr, TOLVANRISE_SCORE_STUB), 1);
    EXPECT_TRUE(client.IsAvailable());
    client.SetGameMode(2);
    EXPECT_EQ(client.SubmitScore("Ann", 120), 1);
    EXPECT_EQ(client.SubmitScore("Bob", -1), 0); // refused by the service
    EXPECT_EQ(client.SubmitScore(nullptr, 5), 0);
    // Starting again closes the first session.
    ASSERT_EQ(client.Init(nullptr, TOLVANRISE_SCORE_STUB), 1);
    client.Shutdown();
    client.Shutdown();
    EXPECT_FALSE(client.IsAvailable());
    EXPECT_EQ(client.SubmitScore("Ann", 1), 0);
    EXPECT_EQ(StubCalls(*keep),
              "open;mode 1;mode 2;submit Ann 120;submit Bob -1;close;open;mode 2;close;");

    // A service that does not start counts as absent and is not closed.
    tolvanrise::test::ScopedEnvVar refuse("TOLVANRISE_SCORE_STUB_REFUSE", "1");
    EXPECT_EQ(client.Init(nullptr, TOLVANRISE_SCORE_STUB), 0);
    client.Shutdown();
    EXPECT_EQ(StubCalls(*keep),
              "open;mode 1;mode 2;submit Ann 120;submit Bob -1;close;open;mode 2;close;open;");
    client.SetGameMode(0);
}

// The service is closed when the program ends without shutting the client down itself.
TEST(HighScoreClient, AtExitTheServiceIsClosed)
{
    tolvanrise::test::TempFolder folder("tolvanrise_scores_");
    tolvanrise::test::ScopedEnvVar log("TOLVANRISE_SCORE_STUB_LOG", folder.Path("calls"));
    const int status = tolvanrise::test::RunInChild([] {
        GHighScoreClient::Get().SetGameMode(1);
        if (GHighScoreClient::Get().Init(nullptr, TOLVANRISE_SCORE_STUB) != 1)
            return 3;
        std::exit(0); // the way a program ends: static objects go
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(tolvanrise::test::ReadFileBytes(folder.Path("calls")), "open;mode 1;close;");
}

} // namespace
