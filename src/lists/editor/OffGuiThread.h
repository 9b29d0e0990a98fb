#pragma once
// File work of the editors runs on a pool thread, so a slow or hung file system never freezes
// the window; the result comes back on the window's own thread.

#include <QFutureWatcher>
#include <QObject>
#include <QtConcurrent/QtConcurrentRun>

#include <type_traits>
#include <utility>

namespace tessora {

// Runs `work` (which must own everything it touches) on a pool thread, then `done(result)` on
// `context`'s thread. Nothing is delivered once `context` is gone.
template <typename Work, typename Done>
void RunOffGuiThread(QObject* context, Work work, Done done) {
    using Result = std::invoke_result_t<Work>;
    auto* watcher = new QFutureWatcher<Result>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context, [watcher, done = std::move(done)] {
        done(watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run(std::move(work)));
}

}  // namespace tessora
