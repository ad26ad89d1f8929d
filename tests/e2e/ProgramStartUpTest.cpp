// The real program, offscreen, against kvt-devsim on a pseudo-terminal: what the devices receive
// while the terminal starts up.

#include "support/DevSimProcess.h"
#include "support/TempFolder.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using kvt::test::readFile;

TEST(ProgramStartUp, DevicesReceiveTheLoaderSequence) {
    kvt::test::TempFolder folder;
    ASSERT_TRUE(folder.valid());
    // The program keeps setup.dat in its own folder: run a copy from the temporary folder.
    std::string program = folder.file("kvt-terminal");
    std::filesystem::copy_file(KVT_TERMINAL_PATH, program);
    {
        std::ofstream setup(folder.file("setup.dat"), std::ios::binary);
        for (auto [number, address, enabled] :
             {std::tuple{"1", "01", 1}, {"2", "02", 0}, {"3", "1A", 1}})
            setup << '"' << number << "\",\"" << address
                  << "\",\"KVT\",0,1,1,0,0,0,0,10,10000,0,0,2,"
                  << "2,1,0,0,0,1,1," << enabled << "\r\n";
    }
    std::string simLog = folder.file("devsim.log");
    kvt::testing::DevSimProcess sim(KVT_DEVSIM_PATH,
                                    {"--rs485", "01,1A", "--baud", "38400", "--verbose"}, simLog);
    std::string configHome = folder.file("config");
    std::filesystem::create_directories(configHome + "/KVT Control Terminal");
    std::ofstream(configHome + "/KVT Control Terminal/preferences.ini")
        << "[Properties]\nInterface=False\nSettings=38400,n,8,1\nCommPort=1\nCur_unit=1\n\n"
        << "[Ports]\nCom1=" << sim.path() << "\n";

    QProcess terminal;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(configHome));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    terminal.setProcessEnvironment(env);
    terminal.setProcessChannelMode(QProcess::MergedChannels);
    terminal.setStandardOutputFile(QString::fromStdString(folder.file("terminal.log")));
    terminal.start(QString::fromStdString(program), {});
    ASSERT_TRUE(terminal.waitForStarted());
    std::vector<std::string> expected = {
        "!01,g,0",   "!01,MR,100", "!01,u,SLPM", "!01,V,C",   "!01,M,A", "!01,r,1,N",
        "!01,r,2,N", "!01,k,d",    "!01,e",      "!01,z,s",   "!01,f",   "!01,e",
        "!01,m,s",   "!01,v,s",    "!01,r,1,s",  "!01,r,2,s", "!01,z,s", "!01,a,s",
        "!01,t,r",   "!01,MR,100", "!01,e",      "!1A,e"};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline &&
           kvt::testing::receivedCommands(readFile(simLog)).size() < expected.size())
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // Nothing more is sent once the loader has finished.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    auto got = kvt::testing::receivedCommands(readFile(simLog));
    terminal.terminate();
    terminal.waitForFinished();
    EXPECT_EQ(got, expected) << readFile(folder.file("terminal.log"));
}
