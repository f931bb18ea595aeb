#!/usr/bin/python3
# Prints the accessibility tree of a running program as a screen reader
# reads it over AT-SPI: one JSON object a line for each element, in document
# order, with its depth, role, name, states and number of children. Waits, up
# to the deadline, for the program to appear on the accessibility bus.
#   read-accessible-tree.py PID [SECONDS]
import json
import sys
import time

import pyatspi

STATES = ("selected", "checked", "focusable", "sensitive", "showing", "visible")


def application(pid, deadline):
    while True:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == pid:
                return app
        if time.monotonic() > deadline:
            return None
        time.sleep(0.05)


def walk(element, depth):
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
        if child is not None:
            walk(child, depth + 1)


def main():
    pid = int(sys.argv[1])
    deadline = time.monotonic() + (float(sys.argv[2]) if len(sys.argv) > 2 else 20)
    app = application(pid, deadline)
    if app is None:
        sys.exit("no program with process id %d on the accessibility bus" % pid)
    walk(app, 0)


main()
