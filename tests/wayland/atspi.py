#!/usr/bin/python3
# Reads and presses what a program shows through the accessibility bus, as a screen reader
# does; it works whatever the window system. Debian's own python3 (python3-pyatspi).
# Usage: atspi.py press APP NAME   presses the button or menu item NAME of the application APP
#        atspi.py show APP         prints, per window of APP, its title and then its texts
# Exits 1 when APP or NAME is not there (yet).
import sys

import pyatspi


def application(name):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == name:
            return app
    return None


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def press(app, name):
    for node in walk(app):
        if node.name == name and node.getRoleName() in ("push button", "menu item"):
            node.queryAction().doAction(0)
            return True
    return False


def show(app):
    for window in app:
        print("window:", window.name)
        for node in walk(window):
            if node.getRoleName() in ("label", "text") and node.name:
                print(node.name)


def main():
    command, app = sys.argv[1], application(sys.argv[2])
    if app is None:
        return 1
    if command == "press":
        return 0 if press(app, sys.argv[3]) else 1
    show(app)
    return 0


sys.exit(main())
