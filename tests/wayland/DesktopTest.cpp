#include "DesktopTest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace waylandtest {
namespace {

void collect(const QJsonObject& node, SwayWindows& windows) {
    // Only windows carry a process; workspaces and outputs have names too.
    if (node.contains(QLatin1String("pid"))) {
        const QString name = node.value(QLatin1String("name")).toString();
        windows.titles.append(name);
        if (node.value(QLatin1String("focused")).toBool()) {
            windows.focused = name;
        }
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node.value(QLatin1String(children)).toArray()) {
            collect(child.toObject(), windows);
        }
    }
}

}  // namespace

SwayWindows swayWindows(const Session& session) {
    QByteArray json;
    EXPECT_EQ(session.run(QStringLiteral("swaymsg"),
                          {QStringLiteral("-s"), session.value(QStringLiteral("SWAYSOCK")),
                           QStringLiteral("-t"), QStringLiteral("get_tree"), QStringLiteral("-r")},
                          &json),
              0);
    SwayWindows windows;
    collect(QJsonDocument::fromJson(json).object(), windows);
    return windows;
}

}  // namespace waylandtest
