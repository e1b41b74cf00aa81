#include "Session.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace waylandtest {
namespace {

constexpr int kStartTimeoutMs = 60000;
constexpr int kStopTimeoutMs = 15000;
constexpr int kSkipExitCode = 77;

const char* nameOf(Desktop desktop) {
    switch (desktop) {
        case Desktop::Sway:
            return "sway";
        case Desktop::Mutter:
            return "mutter";
        case Desktop::NoPortal:
            return "bare";
        case Desktop::PipeWire:
            return "pipewire";
    }
    return "";
}

// What a client must not take over from the test's own environment.
const char* const kDesktopVariables[] = {"DISPLAY",
                                         "XAUTHORITY",
                                         "WAYLAND_DISPLAY",
                                         "SWAYSOCK",
                                         "DBUS_SESSION_BUS_ADDRESS",
                                         "XDG_RUNTIME_DIR",
                                         "XDG_CURRENT_DESKTOP",
                                         "XDG_SESSION_TYPE",
                                         "HOME",
                                         "XDG_CONFIG_HOME"};

}  // namespace

Session::Started Session::start(Desktop desktop) {
    Started started;
    std::unique_ptr<Session> session(new Session);
    QProcess& script = session->script_;
    script.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    script.start(QStringLiteral(KORONCAM_WAYLAND_SESSION_SCRIPT),
                 {QString::fromLatin1(nameOf(desktop))});
    if (!script.waitForStarted(10000)) {
        started.why = QStringLiteral("cannot run the session script: ") + script.errorString();
        return started;
    }
    QElapsedTimer waited;
    waited.start();
    QByteArray pending;
    while (waited.elapsed() < kStartTimeoutMs) {
        if (!script.canReadLine() && !script.waitForReadyRead(500)) {
            if (script.state() == QProcess::NotRunning) {
                break;
            }
            continue;
        }
        while (script.canReadLine()) {
            const QString line = QString::fromUtf8(script.readLine()).trimmed();
            if (line.startsWith(QLatin1String("ready "))) {
                session->startupMs_ = line.mid(6).toInt();
                const passwd* user = nullptr;
                if (geteuid() == 0 && (user = getpwnam("nobody")) != nullptr) {
                    session->user_ = user->pw_uid;
                    session->group_ = user->pw_gid;
                }
                started.session = std::move(session);
                return started;
            }
            session->lines_.append(line);
        }
    }
    script.waitForFinished(kStopTimeoutMs);
    started.skipped =
        script.exitStatus() == QProcess::NormalExit && script.exitCode() == kSkipExitCode;
    const QString said = QString::fromUtf8(script.readAll());
    started.why = session->lines_.join('\n') + said;
    if (started.why.trimmed().isEmpty()) {
        started.why =
            QStringLiteral("the desktop did not come up within %1 s").arg(kStartTimeoutMs / 1000);
    }
    return started;
}

Session::~Session() {
    // The script ends the desktop when its standard input closes.
    script_.closeWriteChannel();
    if (!script_.waitForFinished(kStopTimeoutMs)) {
        script_.terminate();  // it still ends everything on TERM
        if (!script_.waitForFinished(kStopTimeoutMs)) {
            script_.kill();
            script_.waitForFinished(kStopTimeoutMs);
        }
    }
}

QString Session::value(const QString& key) const {
    const QString prefix = key + QLatin1Char('=');
    for (const QString& line : lines_) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size());
        }
    }
    return {};
}

QProcessEnvironment Session::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : kDesktopVariables) {
        environment.remove(QString::fromLatin1(name));
    }
    for (const QString& line : lines_) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && !line.startsWith(QLatin1String("KORONCAM_"))) {
            environment.insert(line.left(equals), line.mid(equals + 1));
        }
    }
    return environment;
}

void Session::runAsUser(QProcess& process, const QProcessEnvironment& environment) const {
    process.setProcessEnvironment(environment);
    if (user_ == 0) {
        return;
    }
    const uid_t user = user_;
    const gid_t group = group_;
    // In the child, between fork and exec; only async-signal-safe calls.
    process.setChildProcessModifier([user, group] {
        if (setgroups(0, nullptr) != 0 || setgid(group) != 0 || setuid(user) != 0) {
            _exit(126);
        }
    });
}

int Session::run(const QString& program, const QStringList& arguments, QByteArray* output,
                 int timeoutMs) const {
    QProcess process;
    runAsUser(process);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setWorkingDirectory(QDir::tempPath());
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(kStopTimeoutMs);
        return -1;
    }
    if (output != nullptr) {
        *output = process.readAllStandardOutput();
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool Session::handOver(const QString& path) const {
    if (user_ == 0) {
        return true;
    }
    auto give = [this](const QString& entry) {
        return lchown(QFile::encodeName(entry).constData(), user_, group_) == 0;
    };
    bool all = give(path);
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        all = give(it.next()) && all;
    }
    return all;
}

QString Session::logs() const {
    QString text;
    const QDir folder(value(QStringLiteral("KORONCAM_SESSION_LOGS")));
    for (const QFileInfo& log : folder.entryInfoList({QStringLiteral("*.log")}, QDir::Files)) {
        QFile file(log.filePath());
        if (file.open(QIODevice::ReadOnly)) {
            text += QStringLiteral("--- %1 ---\n").arg(log.fileName()) +
                    QString::fromUtf8(file.readAll().right(4000));
        }
    }
    return text;
}

}  // namespace waylandtest
