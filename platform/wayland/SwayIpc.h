#pragma once
// Brings a window to the front on sway and the other compositors that speak its IPC protocol
// (the socket named by $SWAYSOCK). Wayland itself gives a program no way to raise another
// program's window; these compositors take the request from their IPC.

#include <QJsonObject>
#include <QString>
#include <optional>

namespace platform::wayland {

// The socket of the compositor this program runs under: $SWAYSOCK, or an empty text.
QString swaySocketPath();

// The id of the window titled `title` in a compositor's layout tree (GET_TREE's answer): the
// first whose title is exactly `title`, else the first whose title begins with it. Workspaces,
// outputs and split containers are not windows.
std::optional<qint64> findWindow(const QJsonObject& tree, const QString& title);

// Gives the focus to the window titled `title` (exactly, else the first whose title begins with
// it) through the compositor's socket at `socketPath`, which brings it to the front and shows
// its workspace. False when there is no such window, the window closed before the request, or
// the compositor does not answer within a second; never reports.
bool activateWindow(const QString& socketPath, const QString& title);

}  // namespace platform::wayland
