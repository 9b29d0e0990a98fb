// tessora-cli: the station's files and sound from the command line.
#include "AudioOutput.h"
#include "Command.h"

#include <QCoreApplication>
#include <QString>
#include <QTextStream>

#include <cstdio>

using namespace tessora::cli;

namespace {

std::vector<CliCommand> allCommands() {
    auto commands = listCommands();
    for (auto& c : audioCommands()) commands.push_back(std::move(c));
    for (auto& c : stationCommands()) commands.push_back(std::move(c));
    for (auto& c : airingCommands()) commands.push_back(std::move(c));
    for (auto& c : tokenCommands()) commands.push_back(std::move(c));
    for (auto& c : calendarCommands()) commands.push_back(std::move(c));
    return commands;
}

QString helpText(const std::vector<CliCommand>& commands) {
    QString text =
        "Usage: tessora-cli COMMAND [ARGUMENTS]\n"
        "The command-line companion of the Tessora broadcasting station.\n"
        "Output is UTF-8, one record per line, fields separated by one TAB.\n"
        "On an error one line goes to stderr, nothing is written, and the exit status is 1.\n\n"
        "Commands:\n";
    for (const auto& c : commands) {
        text += "  tessora-cli " + c.synopsis + "\n";
        for (const auto& line : c.description.split('\n')) text += "      " + line + "\n";
        text += "\n";
    }
    text += "  tessora-cli --help\n      Shows this text.\n";
    return text;
}

void printError(const QString& message) {
    QTextStream err(stderr);
    err.setEncoding(QStringConverter::Utf8);
    err << "tessora-cli: " << message << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // A command answers now: it does not wait for a sound server that is not up.
    tessora::AudioOutput::SetDefaultWaitSeconds(0);
    QStringList args = app.arguments().mid(1);
    const auto commands = allCommands();

    if (args.isEmpty() || args.first() == "--help" || args.first() == "-h" || args.first() == "help") {
        QTextStream(stdout) << helpText(commands);
        return args.isEmpty() ? 1 : 0;
    }

    const QString name = args.takeFirst();
    for (const auto& command : commands) {
        if (command.name != name) continue;
        QTextStream in(stdin);
        in.setEncoding(QStringConverter::Utf8);
        QString buffered;
        QTextStream bufferedOut(&buffered);
        QTextStream liveOut(stdout);
        liveOut.setEncoding(QStringConverter::Utf8);
        CliIO io{in, command.streams ? liveOut : bufferedOut};
        try {
            const int status = command.run(args, io);
            io.out.flush();
            if (!command.streams) {
                liveOut << buffered;
                liveOut.flush();
            }
            return status;
        } catch (const std::exception& e) {
            liveOut.flush();
            printError(QString::fromStdString(e.what()));
            return 1;
        }
    }
    printError(QString("unknown command \"%1\"; see tessora-cli --help").arg(name));
    return 1;
}
