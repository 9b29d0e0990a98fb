#pragma once
// The station's skins at run time: the names found in the skins folder, the skin loaded at start
// and the current one. Windows follow one of the two: the main window and the list editor (with
// the windows that share their look) follow the operator's choice at once; the lock window, the
// channel configuration dialog and the all-call windows keep the skin of the start until the
// next start. Scanning and loading run off the GUI thread; the result is applied on it.

#include "Skin.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <vector>

class QWidget;

namespace tessora {

class TSkinSet : public QObject {
    Q_OBJECT
public:
    enum class Follows { Current, Start };

    explicit TSkinSet(QString skinsFolder, QObject* parent = nullptr);

    QString Folder() const { return folder_; }
    // Lists the skin folders (ScanSkins); Scanned follows on the GUI thread.
    void Scan();
    QStringList Names() const { return names_; }

    // Makes `name` the current skin: it is stored at once, loaded off the GUI thread and then
    // applied to the windows that follow the current skin (a skin that cannot be loaded gives
    // them the plain look). The first selection is also the skin of the start.
    void Select(const QString& name);
    QString Name() const { return name_; }
    const TSkin& Current() const { return current_; }
    const TSkin& AtStart() const { return atStart_; }
    // True once the skin of the last Select has been applied.
    bool Settled() const { return pending_ == 0; }

    // `window` takes the skin it follows now and at every later change, until it is destroyed.
    void Follow(QWidget* window, Follows what);

signals:
    void Scanned(const QStringList& names);
    // After a selected skin was applied to its windows.
    void Applied(const QString& name);

private:
    void Loaded(int generation, const QString& name, const std::optional<TSkin>& skin);
    void ApplyTo(Follows what);

    struct Follower {
        QPointer<QWidget> window;
        Follows what;
    };

    QString folder_;
    QStringList names_;
    QString name_;
    TSkin current_;
    TSkin atStart_;
    bool startLoaded_ = false;
    int generation_ = 0;  // of the latest Select: older loads that finish later are dropped
    int pending_ = 0;
    std::vector<Follower> followers_;
};

}  // namespace tessora
