// The thread tests need an event loop, and play to virtual outputs that discard what they get.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("TESSORA_AUDIO", "null");
    qunsetenv("TESSORA_AUDIO_DEVICES");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
