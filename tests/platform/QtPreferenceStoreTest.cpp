#include "WaitHelpers.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace kvt::platform::qt {
namespace {

using test::scopedEnv;

const std::string kApp = "KVT Control Terminal";

TEST(QtPreferenceStore, DefaultsRoundTripAndPersistence) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    {
        QtPreferenceStore store(folder);
        EXPECT_EQ(store.get(kApp, "Properties", "Interface", "True"), "True");

        store.save(kApp, "Properties", "Settings", "19200,e,7,1.5");
        store.save(kApp, "Ports", "Com3", "/dev/pts/7");
        // Bytes above 127 are Latin-1 characters and must come back as the same bytes.
        store.save(kApp, "Properties", "Odd", "5 \xB5m; \"quoted\" @at");
        EXPECT_EQ(store.lastError(), "");
        // Same key in another section is another value.
        EXPECT_EQ(store.get(kApp, "Ports", "Settings", "none"), "none");
        EXPECT_EQ(store.get("Another Program", "Properties", "Settings", "1"), "1");
    }

    // A new store (a new run) reads what the first one wrote.
    QtPreferenceStore again(folder);
    EXPECT_EQ(again.get(kApp, "Properties", "Settings", ""), "19200,e,7,1.5");
    EXPECT_EQ(again.get(kApp, "Ports", "Com3", "/dev/ttyS2"), "/dev/pts/7");
    EXPECT_EQ(again.get(kApp, "Properties", "Odd", ""), "5 \xB5m; \"quoted\" @at");

    // Written by hand, without the quotes the store itself would put around a text with commas.
    QFile file(dir.path() + "/KVT Control Terminal/preferences.ini");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Properties]\nSettings=4800,o,7,2\n\n[Ports]\nCom2=/dev/ttyUSB0\n");
    file.close();
    QtPreferenceStore edited(folder);
    EXPECT_EQ(edited.get(kApp, "Properties", "Settings", ""), "4800,o,7,2");
    EXPECT_EQ(edited.get(kApp, "Ports", "Com2", ""), "/dev/ttyUSB0");
}

TEST(QtPreferenceStore, FolderFromEnvironment) {
    QTemporaryDir xdg;
    QTemporaryDir home;
    ASSERT_TRUE(xdg.isValid() && home.isValid());
    const QString homeConfig = home.path() + "/.config/KVT Control Terminal/preferences.ini";
    const QString xdgConfig = xdg.path() + "/KVT Control Terminal/preferences.ini";
    const auto homeEnv = scopedEnv("HOME", home.path().toLocal8Bit());
    {
        const auto xdgEnv = scopedEnv("XDG_CONFIG_HOME", xdg.path().toLocal8Bit());
        QtPreferenceStore store;
        store.save(kApp, "Properties", "Echo", "True");
        EXPECT_EQ(store.filePath(kApp), xdgConfig.toStdString());
        EXPECT_TRUE(QFileInfo::exists(xdgConfig));
        EXPECT_FALSE(QFileInfo::exists(homeConfig));
    }
    // Empty or unset, it is the home folder's; not the value saved under XDG_CONFIG_HOME above.
    std::string echo = "False";
    for (auto xdgValue : {std::optional<QByteArray>(QByteArray()), std::optional<QByteArray>()}) {
        const auto xdgEnv = scopedEnv("XDG_CONFIG_HOME", xdgValue);
        QtPreferenceStore store;
        EXPECT_EQ(store.filePath(kApp), homeConfig.toStdString());
        EXPECT_EQ(store.get(kApp, "Properties", "Echo", "False"), echo);
        store.save(kApp, "Properties", "Echo", "True");
        echo = "True";
        EXPECT_TRUE(QFileInfo::exists(homeConfig));
    }
}

TEST(QtPreferenceStore, WriteFailureIsReported) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The application's folder is taken by a plain file: nothing can be written, even as root.
    QFile blocker(dir.path() + "/KVT Control Terminal");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QtPreferenceStore store(dir.path().toStdString());
    store.save(kApp, "Properties", "Cur_unit", "3");
    EXPECT_NE(store.lastError().find("preferences.ini"), std::string::npos);

    // Another application's file is fine, and a good save clears the error.
    store.save("Other", "Properties", "Cur_unit", "3");
    EXPECT_EQ(store.lastError(), "");
}

} // namespace
} // namespace kvt::platform::qt
