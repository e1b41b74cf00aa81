#pragma once
// A stand-in for the desktop portal on the test's private session bus, on a connection of its
// own: records every call and answers as scripted. Like the real one, it answers a request
// through the Response signal of the Request object named by the caller's token; it sends that
// signal before the method's reply, so a caller that listens only after the reply misses it.

#include <map>
#include <memory>
#include <vector>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>

#include "platform/wayland/FrameStream.h"

namespace testing_support {

class FakePortal : public QDBusVirtualObject {
    Q_OBJECT
public:
    enum class Answer { Success, Cancelled, Failed, Never };
    struct Call {
        QString path, interface, method;
        QVariantList arguments;
        QString requestPath;  // for methods answered through a Request
    };

    bool hasScreenCast = true;
    bool hasScreenshot = true;
    std::map<QString, Answer> answers;  // by method name; Success when not named
    QVariantMap startResults;           // what a successful ScreenCast.Start gives
    QString screenshotUri;              // what a successful Screenshot gives
    std::vector<Call> calls;

    // Takes the portal's name on a connection of its own. False when it cannot (no session
    // bus, or a real portal owns the name).
    bool registerOnBus();
    ~FakePortal() override;

    // Sends the session's Closed signal, as when the user ends the sharing from the desktop.
    void closeFromDesktop(const QString& sessionPath);
    // Answers a request left unanswered (Answer::Never) now.
    void respond(const QString& requestPath, uint response, const QVariantMap& results);
    // The calls of `method` so far.
    std::vector<Call> callsOf(const QString& method) const;
    // The options map (the last argument) of the latest call of `method`.
    QVariantMap optionsOf(const QString& method) const;
    bool closed(const QString& objectPath) const;  // Close was called on it

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    QVariantMap resultsFor(const QString& method, const QString& sender,
                           const QVariantMap& options) const;

    QDBusConnection connection_{QString()};
    bool registered_ = false;
};

// A screen stream with a canned frame, or none.
struct FakeStreamScript {
    QImage frame;             // what every frame shows; null: no frame ever comes
    QString openProblem;      // non-empty: opening fails with it
    bool ended = false;       // the stream has ended (yet `frame` is still there to be misused)
    std::vector<uint> nodes;  // the nodes opened
    int alive = 0;            // streams not yet destroyed
    platform::wayland::FrameStream::Arrivals arrivals;  // none: pictures never wait
};

class FakeFrameStream : public platform::wayland::FrameStream {
public:
    explicit FakeFrameStream(FakeStreamScript& script) : script_(script) { ++script_.alive; }
    ~FakeFrameStream() override { --script_.alive; }
    void open(int fd, std::uint32_t node) override;
    bool ended() override { return script_.ended; }
    QImage newestFrame() override { return script_.frame; }
    Arrivals arrivals() override { return script_.arrivals; }

private:
    FakeStreamScript& script_;
};

}  // namespace testing_support
