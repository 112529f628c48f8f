// The whole program once: start, read a new line aloud, exit writing its settings.
#include <gtest/gtest.h>

#include "fixtures/im_client/control.h"
#include "e2e/support/murmuro_run.h"

namespace murmuro::e2e {
namespace {

TEST(Smoke, SpeaksANewLineAndExitsCleanly) {
  ASSERT_TRUE(RegisterRecordingVoice());
  auto client = im_client::ClientProcess::Launch(im_client::ClientExecutable(), L"smoke");
  ASSERT_TRUE(client);
  ASSERT_GT(client->Send("open bob title=IM with bob"), 0);
  ASSERT_EQ(client->Send("append bob 1 text=bob: already here"), 1);

  MurmuroRun run("1\r\n0\r\nlol,laughing out loud\r\n");
  ASSERT_TRUE(run.Start());
  Sleep(1500);
  ASSERT_EQ(client->Send("append bob 1 text=bob: lol"), 1);
  const auto spoken = run.WaitForSpoken(1);
  ASSERT_EQ(spoken.size(), 1u);
  EXPECT_EQ(spoken[0].Text, "bob says    laughing out loud\r\n");
  EXPECT_EQ(spoken[0].Flags, 1u | 16u);

  run.Close();
  EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_EQ(run.Settings(), "1\r\n0\r\nlol,laughing out loud\r\n");
}

}  // namespace
}  // namespace murmuro::e2e
