#include "tests/support/harness.h"

#include <gtest/gtest.h>

namespace {

TEST(Launch, StartsClientWithUrlParameters) {
    qt::Installation inst(L"launch");
    inst.InstallClient(L"client.exe");
    inst.WriteConfig(qt::Installation::MakeConfig("client.exe", "demo", "QuendaTestPipe1", {"-x"}));
    const qt::RunResult run = inst.RunLauncher(L"\"demo://course=7\"");
    EXPECT_EQ(run.exit_code, 0u);
    ASSERT_TRUE(inst.WaitForClientStarts(L"client.exe", 1));
    qt::KillAll(L"client.exe");
    EXPECT_EQ(inst.ClientStarts(L"client.exe").at(0), L"course=7\" -x");
    EXPECT_NE(run.stderr_text.find("par: course=7\""), std::string::npos) << run.stderr_text;
}

}  // namespace
