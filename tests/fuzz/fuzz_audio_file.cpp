// The audio file reader on any bytes: written to a file (the reader opens files by name), opened,
// read for a while, sought and read again. Every failure must be an EAudioReadError.
#include "AudioFileRead.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <vector>

#include <unistd.h>

namespace {

const QString& InputFile() {
    static const QString path = QDir::temp().filePath(QStringLiteral("tessora-fuzz-audio-%1").arg(::getpid()));
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessora;
    {
        QFile file(InputFile());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    try {
        TAudioFileReader reader(InputFile());
        std::vector<uint8_t> block(8192);
        for (int n = 0; n < 64 && reader.Read(block.data(), uint32_t(block.size())) != 0; ++n) {
        }
        reader.Seek(reader.Duration() / 2);
        reader.Read(block.data(), uint32_t(block.size()));
        reader.Seek(reader.Duration() - 1);
        reader.Read(block.data(), uint32_t(block.size()));
        reader.Seek(0);
        reader.Read(block.data(), uint32_t(block.size()));
    } catch (const EAudioReadError&) {
        // a refused file is a good outcome
    }
    return 0;
}
