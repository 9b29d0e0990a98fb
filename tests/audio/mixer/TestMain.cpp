// Every mixer test plays to virtual outputs that capture into a folder of this process's own.
#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QTemporaryDir captures;
    qputenv("TESSORA_AUDIO", ("capture:" + captures.path()).toUtf8());
    qunsetenv("TESSORA_AUDIO_DEVICES");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
