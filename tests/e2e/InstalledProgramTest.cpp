// What an installed program relies on: where setup.dat comes from when the program's folder is not
// writable, and the answers that need no display.

#include "app/TerminalApplication.h"
#include "support/TempFolder.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using kvt::test::readFile;

const std::string kTable = "\"1\",\"01\",\"KVT\",0,1,1,0,0,0,0,10,10000,0,0,2,0,0,0,0,0,1,1,0\r\n";

// A copy is the whole table; a user file that exists is never replaced; the file beside the
// program stays as it was.
TEST(InstalledProgram, SetupFileComesFromBesideTheProgramOnce) {
    struct Case {
        const char* what;
        bool writable, besideExists, userExists;
        bool userFolderBlocked; // the per-user folder cannot be made
        bool userFile;          // the file chosen is the per-user one
        const char* notice;     // text the notice starts with ("" : none)
    };
    const Case cases[] = {
        {"writable program folder", true, true, false, false, false, ""},
        {"first run of an installed program", false, true, false, false, true,
         "setup.dat copied from "},
        {"later runs", false, true, true, false, true, ""},
        {"nothing beside the program", false, false, false, false, true, ""},
        {"per-user folder cannot be made", false, true, false, true, false,
         "setup.dat could not be copied to "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        kvt::test::TempFolder folder;
        const std::string program = folder.file("bin"),
                          data = folder.file("data/KVT Control Terminal");
        const std::string beside = program + "/setup.dat", user = data + "/setup.dat";
        std::filesystem::create_directories(program);
        if (c.userFolderBlocked)
            std::ofstream(folder.file("data")) << "a file where the folder should be";
        else
            std::filesystem::create_directories(data);
        if (c.besideExists)
            std::ofstream(beside, std::ios::binary) << kTable;
        if (c.userExists)
            std::ofstream(user, std::ios::binary) << "\"2\",\"02\"\r\n";

        const auto choice = kvt::app::chooseSetupFile(program, c.writable, data);
        EXPECT_EQ(choice.path, c.userFile ? user : beside);
        EXPECT_EQ(choice.notice.rfind(c.notice, 0), 0u) << choice.notice;
        EXPECT_EQ(choice.notice.empty(), *c.notice == '\0') << choice.notice;
        EXPECT_EQ(readFile(user), c.userExists                   ? "\"2\",\"02\"\r\n"
                                  : c.userFile && c.besideExists ? kTable
                                                                 : "");
        EXPECT_EQ(readFile(beside), c.besideExists ? kTable : "");
        if (c.userFolderBlocked) {
            EXPECT_NE(choice.notice.find(user), std::string::npos) << choice.notice;
        }
    }
}

// kvt-ctl answers the same without a display in its own tests.
TEST(InstalledProgram, VersionAndHelpNeedNoDisplay) {
    const std::pair<const char*, const char*> cases[] = {
        {"--version", "kvt-terminal " KVT_VERSION_EXPECTED "\n"},
        {"--help", "Usage: kvt-terminal"}};
    for (const auto& [option, starts] : cases) {
        SCOPED_TRACE(option);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(display);
        p.setProcessEnvironment(env);
        p.start(KVT_TERMINAL_PATH, {option});
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        const std::string out = p.readAllStandardOutput().toStdString();
        EXPECT_EQ(out.rfind(starts, 0), 0u) << out;
    }
}

} // namespace
