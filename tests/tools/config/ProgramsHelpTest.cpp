#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

namespace
{
struct ProgramRun
{
    int status = -1;
    std::string output;
};

// The program with its arguments; standard output and error together.
ProgramRun RunProgram(const std::string& command)
{
    ProgramRun run;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return run;
    std::array<char, 256> buffer;
    size_t read = 0;
    while ((read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        run.output.append(buffer.data(), read);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
}

TEST(ProgramHelp, TheToolPrintsItsUsageAndExitCodes)
{
    for (const char* option : {" --help", " -h"})
    {
        const ProgramRun run = RunProgram(std::string(QOR_CONFIG_PROGRAM) + option);
        EXPECT_EQ(run.status, 0) << option;
        EXPECT_EQ(run.output.rfind("Usage: qor-config [DATA_FOLDER]", 0), 0u) << run.output;
        EXPECT_NE(run.output.find("GameResource.grc"), std::string::npos);
        EXPECT_NE(run.output.find("Exit status"), std::string::npos);
    }
    // An option it does not know is not taken for a data folder.
    const ProgramRun unknown = RunProgram(std::string(QOR_CONFIG_PROGRAM) + " --halp");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.output.find("unexpected argument \"--halp\""), std::string::npos) << unknown.output;
    const ProgramRun two = RunProgram(std::string(QOR_CONFIG_PROGRAM) + " a b");
    EXPECT_EQ(two.status, 2);
}

TEST(ProgramHelp, TheDataKitPrintsItsUsageAndRefusesADashFolder)
{
    const ProgramRun help = RunProgram(std::string(DATAKIT_PROGRAM) + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("Usage: datakit FOLDER", 0), 0u) << help.output;
    EXPECT_NE(help.output.find("Exit status"), std::string::npos);

    const std::string folder = (std::filesystem::temp_directory_path() / "-kvr-dash-folder").string();
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    const ProgramRun dash = RunProgram(std::string(DATAKIT_PROGRAM) + " -kvr-dash-folder");
    std::filesystem::current_path(cwd);
    EXPECT_EQ(dash.status, 2);
    EXPECT_NE(dash.output.find("unknown option \"-kvr-dash-folder\""), std::string::npos) << dash.output;
    EXPECT_FALSE(std::filesystem::exists(folder));

    const ProgramRun none = RunProgram(DATAKIT_PROGRAM);
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.output.find("Usage: datakit FOLDER"), std::string::npos);
}
