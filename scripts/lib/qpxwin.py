#!/usr/bin/python3
"""Reads and drives the KOVA QPX window through the accessibility bus, the way a screen reader
or desktop automation does: objects are found by their accessible names.

Usage (inside a session with an accessibility bus, the program started with
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1):
    qpxwin.py wait REGEX [REGEX...]   wait until, for every REGEX, an object's name matches it;
                                      print the names found, one a line
    qpxwin.py press NAME              press the button whose accessible name is NAME
Options: --timeout SECONDS (default 60). Exit status 0 on success, 1 otherwise.
"""
import re
import sys
import time

import pyatspi

APP_NAME = "KOVA QPX"


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == APP_NAME:
            return app
    return None


def walk(node, depth=0):
    """Every object below node. Hidden pages are left out: a screen reader does not see them."""
    if node is None or depth > 60:
        return
    yield node
    try:
        count = node.childCount
    except Exception:  # the object went away while we looked
        return
    for i in range(count):
        try:
            child = node.getChildAtIndex(i)
            if child is not None and child.getState().contains(pyatspi.STATE_SHOWING):
                yield from walk(child, depth + 1)
        except Exception:
            continue


def names():
    app = application()
    if app is None:
        return []
    out = []
    for obj in walk(app):
        try:
            if obj.name:
                out.append(obj.name)
        except Exception:
            continue
    return out


def wait(patterns, timeout):
    regexes = [re.compile(p) for p in patterns]
    deadline = time.monotonic() + timeout
    found = []
    while True:
        current = names()
        found = [next((n for n in current if r.search(n)), None) for r in regexes]
        if all(f is not None for f in found):
            print("\n".join(found))
            return 0
        if time.monotonic() > deadline:
            missing = [p for p, f in zip(patterns, found) if f is None]
            print("not shown: " + ", ".join(missing), file=sys.stderr)
            print("the window shows: " + " | ".join(current), file=sys.stderr)
            return 1
        time.sleep(0.5)


def press(name, timeout):
    deadline = time.monotonic() + timeout
    while True:
        app = application()
        for obj in walk(app) if app else []:
            try:
                if obj.name == name and obj.getRole() == pyatspi.ROLE_PUSH_BUTTON:
                    action = obj.queryAction()
                    for i in range(action.nActions):
                        if action.getName(i) in ("Press", "press", "click"):
                            action.doAction(i)
                            return 0
                    action.doAction(0)
                    return 0
            except Exception:
                continue
        if time.monotonic() > deadline:
            print(f"no button named {name!r}", file=sys.stderr)
            return 1
        time.sleep(0.5)


def main(argv):
    timeout = 60.0
    if len(argv) > 2 and argv[1] == "--timeout":
        timeout = float(argv[2])
        argv = argv[:1] + argv[3:]
    if len(argv) >= 3 and argv[1] == "wait":
        return wait(argv[2:], timeout)
    if len(argv) == 3 and argv[1] == "press":
        return press(argv[2], timeout)
    print(__doc__, file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
