#pragma once
// A headless Wayland desktop of a test's own, started by tests/wayland/session.sh as an
// unprivileged user, in its own D-Bus session, with a fresh runtime folder and home; it ends
// with this object, and also when the test program dies (the script's standard input closes).

#include <memory>
#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace waylandtest {

enum class Desktop {
    Sway,      // sway with the portal's wlr and gtk backends (the Screenshot portal works)
    Mutter,    // mutter with the portal's GNOME backend and a restore token in the store
    NoPortal,  // sway with a session bus that starts nothing
    PipeWire,  // PipeWire and WirePlumber, no desktop
};

class Session {
public:
    struct Started;
    // Starts `desktop` and waits until it is ready (at most 60 s).
    static Started start(Desktop desktop);
    ~Session();  // ends the desktop and everything it started
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // A KEY=VALUE line of the script (WAYLAND_DISPLAY, DISPLAY, SWAYSOCK,
    // KORONCAM_RESTORE_TOKEN, ...); empty when there is none.
    QString value(const QString& key) const;
    // How long the desktop took to come up, in milliseconds, as the script measured it.
    int startupMs() const { return startupMs_; }
    // The environment of a client of this desktop: the test's own, with the desktop's display,
    // bus, runtime folder and home in place of any the test had.
    QProcessEnvironment environment() const;
    // Makes `process` start as the desktop's user, with environment(): a root test program
    // may not use the desktop's X display or D-Bus session.
    void runAsUser(QProcess& process, const QProcessEnvironment& environment) const;
    void runAsUser(QProcess& process) const { runAsUser(process, environment()); }
    // Runs a command as the desktop's user; its exit code (-1 when it did not end in
    // `timeoutMs`), its standard output in `output` when given.
    int run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr,
            int timeoutMs = 20000) const;
    // Gives a file or folder that the test made (and all in it) to the desktop's user; false
    // when some of it could not be given.
    bool handOver(const QString& path) const;
    // The logs of the desktop's programs, for the reader of a failure.
    QString logs() const;

private:
    Session() = default;
    QProcess script_;
    QStringList lines_;
    int startupMs_ = 0;
    unsigned user_ = 0;
    unsigned group_ = 0;
};

struct Session::Started {
    std::unique_ptr<Session> session;
    bool skipped = false;  // the desktop cannot run here (`why` says why): skip, not fail
    QString why;
};

}  // namespace waylandtest
