// The server tests need an event loop, and play to virtual outputs that capture what they get.
#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QTemporaryDir captures;
    qputenv("TESSORA_AUDIO", ("capture:" + captures.path()).toUtf8());
    qputenv("TESSORA_AUDIO_DEVICES", "3");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
