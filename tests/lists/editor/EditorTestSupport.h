#pragma once
// Fakes of the editors' dialogs and small helpers of their tests.

#include "EditorDialogs.h"
#include "SettingsStore.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

namespace tessora::test {

// Dialogs that answer from queues and remember what they were asked and shown.
struct FakeDialogs {
    QStringList messages;
    QStringList fileAnswers;    // popped by each open or save dialog; none left is a cancel
    QStringList folderAnswers;
    QStringList asked;          // "open|save title folder filter" per file dialog shown
    QStringList questions;      // the 是/否 questions put
    QList<bool> yesNoAnswers;   // popped by each question; none left is 是
    // Runs while a file dialog is up, as a press over the accessibility bus can come then.
    std::function<void()> whileUp;
    EditorDialogs Dialogs();
};

// Keeps the preview volume in `settings`, as the station does in its own.
inline std::function<void(int32_t)> KeepIn(SystemSettings& settings) {
    return [&settings](int32_t volume) { settings.PreviewVolume = volume; };
}

// A 16-bit mono WAV of `ms` milliseconds at 8000 Hz whose level tells the position: every
// 100 ms block b holds the constant LevelOfBlock(b), so a capture shows which part was played.
QString WriteLevelWav(const QString& path, uint32_t ms);
int16_t LevelOfBlock(uint32_t block);
// The block a captured level stands for, or -1 for silence.
int64_t BlockOfLevel(int16_t level);

// Processes events until `done` or the timeout; returns done().
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

}  // namespace tessora::test
