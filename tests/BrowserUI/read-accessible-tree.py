#!/usr/bin/python3
# Prints the accessibility tree of a running program as a screen reader
# reads it over AT-SPI: one JSON object a line for each element, in document
# order, with its depth, role, name, states and number of children. Waits, up
# to the deadline, for the program to appear on the accessibility bus.
# Elements that other processes put in the tree (a web page's content, which
# the page's web process serves) are left out: they may go at any moment.
#   read-accessible-tree.py PID [SECONDS]
import json
import sys
import time

import pyatspi
from gi.repository import GLib


def process_of(element):
    """The element's process id, or None when that process is gone."""
    try:
        return element.get_process_id()
    except GLib.GError:
        return None

STATES = ("selected", "checked", "focusable", "sensitive", "showing", "visible")


def application(pid, deadline):
    while True:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and process_of(app) == pid:
                return app
        if time.monotonic() > deadline:
            return None
        time.sleep(0.05)


def walk(element, depth, pid):
    states = [pyatspi.stateToString(state) for state in element.getState().getStates()]
    print(json.dumps({
        "depth": depth,
        "role": element.getRoleName(),
        "name": element.name,
        "states": [name for name in states if name in STATES],
        "children": element.childCount,
    }))
    for index in range(element.childCount):
        child = element.getChildAtIndex(index)
        if child is not None and process_of(child) == pid:
            walk(child, depth + 1, pid)


def main():
    pid = int(sys.argv[1])
    deadline = time.monotonic() + (float(sys.argv[2]) if len(sys.argv) > 2 else 20)
    app = application(pid, deadline)
    if app is None:
        sys.exit("no program with process id %d on the accessibility bus" % pid)
    walk(app, 0, pid)


main()
