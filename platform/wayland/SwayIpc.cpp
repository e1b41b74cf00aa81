#include "platform/wayland/SwayIpc.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <QJsonArray>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform::wayland {
namespace {

// The i3 IPC framing: this magic, the payload's length and the message type, both 32-bit in
// the machine's byte order, then the payload.
constexpr std::array<char, 6> kMagic{'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t kHeaderSize = kMagic.size() + 2 * sizeof(std::uint32_t);
constexpr std::uint32_t kRunCommand = 0;
constexpr std::uint32_t kGetTree = 4;
// A layout tree is a few kilobytes per window; anything this large is not an answer.
constexpr std::uint32_t kLargestAnswer = 64u << 20;
// A compositor that does not answer, or answers slowly, must not hold up the picture: the whole
// exchange gets this long.
constexpr int kTimeoutMs = 1000;

// One connection to the compositor, closed with it.
class Connection {
public:
    explicit Connection(const QString& path) : deadline_(kTimeoutMs) {
        const QByteArray name = path.toLocal8Bit();
        sockaddr_un address{};
        if (name.isEmpty() || std::size_t(name.size()) >= sizeof(address.sun_path)) {
            return;
        }
        fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) {
            return;
        }
        const timeval timeout{kTimeoutMs / 1000, (kTimeoutMs % 1000) * 1000};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
        // Sending and connecting are bounded here; every read waits in poll() for the deadline.
        if (setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout) != 0 ||
            connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }

    // Sends one message and returns the answer's payload; nullopt when the exchange failed.
    std::optional<QByteArray> ask(std::uint32_t type, const QByteArray& payload) {
        if (fd_ < 0) {
            return std::nullopt;
        }
        QByteArray message(kMagic.data(), qsizetype(kMagic.size()));
        const auto length = std::uint32_t(payload.size());
        message.append(reinterpret_cast<const char*>(&length), sizeof length);
        message.append(reinterpret_cast<const char*>(&type), sizeof type);
        message.append(payload);
        if (!writeAll(message)) {
            return std::nullopt;
        }
        QByteArray header(qsizetype(kHeaderSize), '\0');
        if (!readAll(header.data(), kHeaderSize) ||
            std::memcmp(header.constData(), kMagic.data(), kMagic.size()) != 0) {
            return std::nullopt;
        }
        std::uint32_t answerLength = 0;
        std::uint32_t answerType = 0;
        std::memcpy(&answerLength, header.constData() + kMagic.size(), sizeof answerLength);
        std::memcpy(&answerType, header.constData() + kMagic.size() + sizeof answerLength,
                    sizeof answerType);
        if (answerType != type || answerLength > kLargestAnswer) {
            return std::nullopt;
        }
        QByteArray answer(qsizetype(answerLength), '\0');
        if (!readAll(answer.data(), answerLength)) {
            return std::nullopt;
        }
        return answer;
    }

private:
    // Waits until the socket is ready for `events`; false once the deadline has passed.
    bool ready(short events) {
        for (;;) {
            pollfd entry{fd_, events, 0};
            const int n = poll(&entry, 1, int(deadline_.remainingTime()));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return n > 0;
        }
    }

    bool writeAll(const QByteArray& bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            if (!ready(POLLOUT)) {
                return false;
            }
            const ssize_t n = send(fd_, bytes.constData() + done, std::size_t(bytes.size() - done),
                                   MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            done += n;
        }
        return true;
    }

    bool readAll(char* into, std::size_t size) {
        std::size_t done = 0;
        while (done < size) {
            if (!ready(POLLIN)) {
                return false;  // no answer in time
            }
            const ssize_t n = recv(fd_, into + done, size - done, MSG_DONTWAIT);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                continue;
            }
            if (n <= 0) {
                return false;  // closed, or no answer in time
            }
            done += std::size_t(n);
        }
        return true;
    }

    QDeadlineTimer deadline_;
    int fd_ = -1;
};

// Only windows carry the process that shows them; workspaces, outputs and split containers
// have names of their own, which must not be taken for titles.
bool isWindow(const QJsonObject& node) {
    const QString type = node.value(QLatin1String("type")).toString();
    return (type == QLatin1String("con") || type == QLatin1String("floating_con")) &&
           node.contains(QLatin1String("pid"));
}

struct Matches {
    std::optional<qint64> exact;
    std::optional<qint64> prefix;
};

void search(const QJsonObject& node, const QString& title, Matches& found) {
    if (found.exact) {
        return;
    }
    if (isWindow(node)) {
        const QString name = node.value(QLatin1String("name")).toString();
        const qint64 id = node.value(QLatin1String("id")).toInteger(-1);
        if (id >= 0 && name == title) {
            found.exact = id;
            return;
        }
        if (id >= 0 && !found.prefix && name.startsWith(title)) {
            found.prefix = id;
        }
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node.value(QLatin1String(children)).toArray()) {
            search(child.toObject(), title, found);
        }
    }
}

}  // namespace

QString swaySocketPath() {
    return qEnvironmentVariable("SWAYSOCK");
}

std::optional<qint64> findWindow(const QJsonObject& tree, const QString& title) {
    if (title.isEmpty()) {
        return std::nullopt;
    }
    Matches found;
    search(tree, title, found);
    return found.exact ? found.exact : found.prefix;
}

bool activateWindow(const QString& socketPath, const QString& title) {
    Connection connection(socketPath);
    const std::optional<QByteArray> tree = connection.ask(kGetTree, {});
    if (!tree) {
        return false;
    }
    const std::optional<qint64> id = findWindow(QJsonDocument::fromJson(*tree).object(), title);
    if (!id) {
        return false;
    }
    // By its id, not by a title pattern: no pattern characters to escape, and a window that
    // closed since the tree was read matches nothing, which the answer then says.
    const std::optional<QByteArray> answer =
        connection.ask(kRunCommand, QStringLiteral("[con_id=%1] focus").arg(*id).toUtf8());
    if (!answer) {
        return false;
    }
    const QJsonArray results = QJsonDocument::fromJson(*answer).array();
    return !results.isEmpty() &&
           results.first().toObject().value(QLatin1String("success")).toBool();
}

}  // namespace platform::wayland
