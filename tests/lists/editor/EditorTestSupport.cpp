#include "EditorTestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cmath>

namespace tessora::test {

EditorDialogs FakeDialogs::Dialogs() {
    EditorDialogs dialogs;
    dialogs.showMessage = [this](QWidget*, const QString& text) { messages << text; };
    const auto file = [this](const QString& kind) {
        return [this, kind](QWidget*, const QString& title, const QString& folder, const QString& filter) {
            asked << QString("%1 %2 %3 %4").arg(kind, title, folder, filter);
            if (whileUp) whileUp();
            return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
        };
    };
    dialogs.chooseOpenFile = file("open");
    dialogs.chooseSaveFile = file("save");
    dialogs.chooseFolder = [this](QWidget*, const QString&) {
        return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
    };
    dialogs.askYesNo = [this](QWidget*, const QString& text) {
        questions << text;
        return yesNoAnswers.isEmpty() ? true : yesNoAnswers.takeFirst();
    };
    return dialogs;
}

namespace {

void Put(QByteArray& bytes, uint32_t value, int size) { bytes.append(reinterpret_cast<const char*>(&value), size); }

constexpr uint32_t kRate = 8000;
constexpr int kBaseLevel = 1000;
constexpr int kLevelStep = 10;

}  // namespace

int16_t LevelOfBlock(uint32_t block) { return static_cast<int16_t>(kBaseLevel + kLevelStep * block); }

int64_t BlockOfLevel(int16_t level) {
    if (level < kBaseLevel - kLevelStep / 2) return -1;
    return std::lround(double(level - kBaseLevel) / kLevelStep);
}

QString WriteLevelWav(const QString& path, uint32_t ms) {
    const uint32_t frames = static_cast<uint32_t>(uint64_t(ms) * kRate / 1000);
    QByteArray data;
    data.reserve(frames * 2);
    for (uint32_t frame = 0; frame < frames; ++frame) Put(data, uint16_t(LevelOfBlock(frame / (kRate / 10))), 2);
    QByteArray file("RIFF");
    Put(file, 36 + uint32_t(data.size()), 4);
    file.append("WAVEfmt ");
    Put(file, 16, 4);
    Put(file, 1, 2);
    Put(file, 1, 2);
    Put(file, kRate, 4);
    Put(file, kRate * 2, 4);
    Put(file, 2, 2);
    Put(file, 16, 2);
    file.append("data");
    Put(file, uint32_t(data.size()), 4);
    file.append(data);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size()) qFatal("cannot write %s", qPrintable(path));
    return path;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

}  // namespace tessora::test
