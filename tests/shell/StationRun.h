#pragma once
// A station in a program folder of its own: the real tessora and tessora-cli copied in,
// sounds made with sox, timetables made with tessora-cli, and the program run offscreen on
// virtual capture outputs.

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <unistd.h>

namespace tessora {

class StationRun {
public:
    StationRun(const QString& program, const QString& cli) : program_(program), cli_(cli) {
        QDir().mkpath(Folder());
        QDir().mkpath(CaptureFolder());
        QDir().mkpath(root_.filePath("home/.config"));
        ok_ = root_.isValid() && QFile::copy(program_, Folder() + "tessora") && QFile::copy(cli_, Folder() + "tessora-cli");
    }
    ~StationRun() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    bool Ready() const { return ok_; }
    QString Folder() const { return root_.filePath("station") + "/"; }
    QString CaptureFolder() const { return root_.filePath("capture"); }
    QString PowerOffRecord() const { return root_.filePath("poweroff"); }

    static bool RunTool(const QString& program, const QStringList& args, const QByteArray& input = {}) {
        QProcess p;
        p.start(program, args);
        p.write(input);
        p.closeWriteChannel();
        return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
    // A sine tone in the program folder (44.1 kHz, 16-bit stereo).
    bool MakeTone(const QString& name, int hz, double seconds) const {
        QDir().mkpath(QFileInfo(Folder() + name).absolutePath());
        return RunTool("sox", {"-q", "-n", "-r", "44100", "-c", "2", "-b", "16", Folder() + name, "synth",
                               QString::number(seconds), "sine", QString::number(hz), "gain", "-6"});
    }
    bool Cli(const QStringList& args, const QString& input) const { return RunTool(Folder() + "tessora-cli", args, input.toUtf8()); }
    // Channels "一号" on output 1 and "二号" on output 2, each with a day list made from
    // `make-list` lines. The channel file is dated an hour back, so that a write at exit shows.
    bool MakeTwoChannels(const QString& oneItems, const QString& twoItems) const {
        const QString folder = Folder();
        if (!Cli({"make-list", folder + "one"}, oneItems) || !Cli({"make-list", folder + "two"}, twoItems) ||
            !Cli({"make-channels", folder + "tessora.cfg"},
                 QString("一号\t1\t0\t0\t0\t%1\t\n二号\t2\t0\t0\t0\t%2\t\n").arg(folder + "one.lst", folder + "two.lst")))
            return false;
        QFile cfg(folder + "tessora.cfg");
        return cfg.open(QIODevice::ReadWrite) &&
               cfg.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
    }

    // `channels` channels, channel c on output c + 1, each with `items` items of `lengthS`
    // seconds every `spacingS` seconds from `t0`, playing the program folder's `tone`.
    bool MakeEvenTimetables(int channels, int items, int spacingS, int lengthS, const QDateTime& t0, const QString& tone) const {
        const auto at = [&](int s) { return t0.addSecs(s).toString("hh:mm:ss"); };
        QString channelLines;
        for (int c = 0; c < channels; ++c) {
            QString list;
            for (int i = 0; i < items; ++i)
                list += QString("item %1\t%2\t%3\tfile\t%4\t0\t0\t\n").arg(i).arg(at(i * spacingS), at(i * spacingS + lengthS), Folder() + tone);
            const QString name = Folder() + QString("channel-%1").arg(c + 1);
            if (!Cli({"make-list", name}, list)) return false;
            channelLines += QString("ch%1\t%1\t0\t0\t0\t%2.lst\t\n").arg(c + 1).arg(name);
        }
        return Cli({"make-channels", Folder() + "tessora.cfg"}, channelLines);
    }

    // CPU time (ms) of a process's main thread, which is the GUI thread.
    static int64_t MainThreadCpuMs(qint64 pid) {
        QFile stat(QString("/proc/%1/task/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) return -1;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        const int64_t ticks = fields.value(11).toLongLong() + fields.value(12).toLongLong();  // utime + stime
        return ticks * 1000 / sysconf(_SC_CLK_TCK);
    }

    bool Start(int outputs) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TESSORA_AUDIO", "capture:" + CaptureFolder());
        env.insert("TESSORA_AUDIO_DEVICES", QString::number(outputs));
        env.insert("HOME", root_.filePath("home"));
        env.insert("XDG_CONFIG_HOME", root_.filePath("home/.config"));
        // A scheduled power-off is only ever recorded: no test may power the machine off.
        env.insert("TESSORA_POWEROFF", "record:" + PowerOffRecord());
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
        process_.start(Folder() + "tessora", {});
        return process_.waitForStarted(10000);
    }
    qint64 Pid() const { return process_.processId(); }
    // Ends the program as the system does, and waits for it.
    bool Terminate() {
        ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
        return process_.waitForFinished(20000) && process_.exitStatus() == QProcess::NormalExit;
    }

private:
    QTemporaryDir root_;
    QString program_, cli_;
    QProcess process_;
    bool ok_ = false;
};

}  // namespace tessora
