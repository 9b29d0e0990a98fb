#include "SkinSet.h"

#include <QFutureWatcher>
#include <QWidget>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace tessora {

namespace {

// Runs `work` on the thread pool and hands its result to `done` on `owner`'s thread; nothing
// arrives once `owner` is gone.
template <typename Work, typename Done>
void RunOffGuiThread(QObject* owner, Work work, Done done) {
    using Result = decltype(work());
    auto* watcher = new QFutureWatcher<Result>(owner);
    QObject::connect(watcher, &QFutureWatcher<Result>::finished, owner, [watcher, done] {
        done(watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run(std::move(work)));
}

}  // namespace

TSkinSet::TSkinSet(QString skinsFolder, QObject* parent) : QObject(parent), folder_(std::move(skinsFolder)) {}

void TSkinSet::Scan() {
    RunOffGuiThread(
        this, [folder = folder_] { return ScanSkins(folder); },
        [this](const QStringList& names) {
            names_ = names;
            emit Scanned(names_);
        });
}

void TSkinSet::Select(const QString& name) {
    name_ = name;
    const int generation = ++generation_;
    ++pending_;
    RunOffGuiThread(
        this, [folder = folder_, name] { return LoadSkin(folder, name); },
        [this, generation, name](const std::optional<TSkin>& skin) { Loaded(generation, name, skin); });
}

void TSkinSet::Loaded(int generation, const QString& name, const std::optional<TSkin>& skin) {
    --pending_;
    if (!startLoaded_) {
        // The first selection is the start's, whatever came after it.
        startLoaded_ = true;
        atStart_ = skin.value_or(TSkin{});
        ApplyTo(Follows::Start);
    }
    if (generation != generation_) return;
    current_ = skin.value_or(TSkin{});
    ApplyTo(Follows::Current);
    emit Applied(name);
}

void TSkinSet::ApplyTo(Follows what) {
    const TSkin& skin = what == Follows::Start ? atStart_ : current_;
    std::erase_if(followers_, [](const Follower& f) { return f.window.isNull(); });
    for (const Follower& follower : followers_)
        if (follower.what == what) ApplySkin(*follower.window, skin);
}

void TSkinSet::Follow(QWidget* window, Follows what) {
    followers_.push_back({window, what});
    ApplySkin(*window, what == Follows::Start ? atStart_ : current_);
}

}  // namespace tessora
