// tessora-cli devices, probe and play: the sound outputs and the mixer channel from the shell.
#include "Command.h"

#include "SoundMixer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <memory>
#include <optional>

namespace tessora::cli {

namespace {

int runDevices(const QStringList& args, CliIO& io) {
    if (!args.isEmpty()) throw CliError("devices takes no arguments");
    for (int i = 0; i < TSoundMixer::DeviceCount(); ++i) io.out << i << '\t' << TSoundMixer::DeviceName(i) << '\n';
    return 0;
}

// Opens as the station does, off this thread: a file on a share that stopped answering fails
// after the channel's time-out instead of hanging the command.
void OpenOrFail(TSoundMixerChannel& channel, const QString& file) {
    QEventLoop loop;
    TOpenResult result;
    channel.OpenAsync(file, [&](const TOpenResult& done) {
        result = done;
        loop.quit();
    });
    loop.exec();
    if (!result.error.isEmpty()) throw CliError(result.error);
}

int runProbe(const QStringList& args, CliIO& io) {
    if (args.size() != 1) throw CliError("usage: tessora-cli probe FILE");
    TSoundMixer mixer;
    auto* channel = new TSoundMixerChannel(&mixer);  // freed with the mixer
    OpenOrFail(*channel, args.first());
    io.out << channel->SampleRate() << '\t' << channel->Channels() << '\t' << channel->BitsPerSample() << '\t'
           << channel->Length() << '\n';
    return 0;
}

struct PlayOptions {
    QString file;
    int device = 0;
    bool loop = false;
    int volume = 0;
    std::optional<double> seconds;
};

int intOption(const QString& name, const QString& text, int min, int max) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < min || value > max)
        throw CliError(QString("%1 wants a whole number from %2 to %3, not \"%4\"").arg(name).arg(min).arg(max).arg(text));
    return value;
}

PlayOptions parsePlay(const QStringList& args) {
    PlayOptions options;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const auto value = [&]() -> QString {
            if (i + 1 >= args.size()) throw CliError(arg + " needs a value");
            return args[++i];
        };
        if (arg == "--device") {
            options.device = intOption(arg, value(), 0, 1 << 20);
        } else if (arg == "--loop") {
            options.loop = true;
        } else if (arg == "--volume") {
            options.volume = intOption(arg, value(), -10000, 0);
        } else if (arg == "--seconds") {
            const QString text = value();
            bool ok = false;
            const double seconds = text.toDouble(&ok);
            if (!ok || seconds <= 0) throw CliError("--seconds wants a positive number, not \"" + text + "\"");
            options.seconds = seconds;
        } else if (arg.startsWith("--")) {
            throw CliError("unknown option " + arg);
        } else if (options.file.isEmpty()) {
            options.file = arg;
        } else {
            throw CliError("play takes one FILE");
        }
    }
    if (options.file.isEmpty())
        throw CliError("usage: tessora-cli play FILE [--device N] [--loop] [--volume V] [--seconds S]");
    if (options.device >= TSoundMixer::DeviceCount())
        throw CliError(QString("there is no output %1; see tessora-cli devices").arg(options.device));
    return options;
}

int runPlay(const QStringList& args, CliIO& io) {
    const PlayOptions options = parsePlay(args);
    TSoundMixer mixer;
    mixer.SetDeviceIndex(options.device);
    auto* channel = new TSoundMixerChannel(&mixer);  // freed with the mixer
    QString failure;
    std::atomic<bool> lost{false};
    QTimer progress;
    QTimer limit;
    bool finished = false;
    const auto finish = [&](const QString& error) {
        if (finished) return;
        finished = true;
        progress.stop();  // nothing more is printed after the last record
        limit.stop();
        failure = error;
        QCoreApplication::exit(error.isEmpty() ? 0 : 1);
    };
    // Exceptions must not cross Qt's event loop: each step reports through `finish`.
    const auto guarded = [&](auto step) {
        try {
            step();
        } catch (const std::exception& e) {
            finish(QString::fromStdString(e.what()));
        }
    };
    channel->OnEnd = [&](TSoundMixerChannel*) {
        if (finished) return;
        io.out << "end\n";
        io.out.flush();
        finish(QString());
    };
    channel->OnError = [&](TSoundMixerChannel*, const QString& error) { finish(error); };
    channel->OnBufferLost = [&](TSoundMixerChannel*) { lost = true; };

    OpenOrFail(*channel, options.file);
    channel->SetLoop(options.loop);
    channel->Play();
    channel->SetVolume(options.volume);

    QObject::connect(&progress, &QTimer::timeout, [&] {
        guarded([&] {
            if (lost) throw CliError("the output device went away");
            io.out << "pos\t" << channel->Position() << '\n';
            io.out.flush();
        });
    });
    progress.start(400);
    if (options.seconds) {
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, [&] {
            guarded([&] {
                channel->Stop();
                io.out << "stopped\n";
                io.out.flush();
                finish(QString());
            });
        });
        limit.start(int(*options.seconds * 1000));
    }
    QCoreApplication::exec();
    if (!failure.isEmpty()) throw CliError(failure);
    return 0;
}

}  // namespace

std::vector<CliCommand> audioCommands() {
    return {
        {"devices", "devices", "Lists the sound outputs in index order: Index, Name. Index 0 is the default output.",
         runDevices},
        {"probe", "probe FILE",
         "Opens FILE as a mixer channel does and prints SampleRate, Channels, BitsPerSample and Length "
         "(milliseconds).",
         runProbe},
        {"play", "play FILE [--device N] [--loop] [--volume V] [--seconds S]",
         "Plays FILE on output N (default 0) at volume V (hundredths of a decibel, -10000 to 0, default 0),\n"
         "looping with --loop. Prints \"pos MS\" every 400 ms, \"end\" when the file has played to its end,\n"
         "and \"stopped\" when S seconds have passed.",
         runPlay, true},
    };
}

}  // namespace tessora::cli
