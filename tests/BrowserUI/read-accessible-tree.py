#!/usr/bin/python3
# Prints the accessibility tree of a running program as a screen reader
# reads it over AT-SPI: one JSON object a line for each element, in document
# order, with its depth, role, name, states, number of children, text and
# prompt (the placeholder of an empty field). Waits, up
# to the deadline, for the program to appear on the accessibility bus.
# Elements that other processes put in the tree (a web page's content, which
# the page's web process serves) are left out: they may go at any moment; so
# are elements that go while they are read (a window a page's popup leaves).
#   read-accessible-tree.py PID [SECONDS]
#
# The tree is asked for over D-Bus as it is read, not through libatspi: when a
# window of GTK 4.8 goes, GTK names its own root as the child that went, and
# libatspi's cache then drops the whole program while it is being read.
#
#   read-accessible-tree.py --follow PID [SECONDS]
# reads the program's tree through libatspi instead, as Orca and Accerciser
# do, keeping it in libatspi's cache, and prints "read". Then, for each line
# on its standard input, it takes in what the program told it meanwhile and
# prints whether it still finds the program: a JSON object with "found" and
# the names of the program's windows.
#
#   read-accessible-tree.py --focus PID [SECONDS]
# hears, as a screen reader does, each element of the program that takes the
# keyboard: prints "listening" once it listens, then for each such event one
# JSON object a line with the name, role and description of the element, read
# as the event arrives.
import json
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, Gio, GLib

ROOT = "/org/a11y/atspi/accessible/root"
STATES = ("selected", "checked", "focusable", "focused", "sensitive", "showing", "visible")


class Gone(Exception):
    """An element, or the program serving it, went while it was read."""


# What a program answers about an object it no longer has, and the bus about
# a program that left.
GONE = (Gio.DBusError.UNKNOWN_METHOD, Gio.DBusError.UNKNOWN_OBJECT, Gio.DBusError.SERVICE_UNKNOWN,
        Gio.DBusError.NAME_HAS_NO_OWNER)


def call(bus, name, path, interface, method, arguments=None, reply="(v)"):
    try:
        return bus.call_sync(name, path, interface, method, arguments, GLib.VariantType(reply),
                             Gio.DBusCallFlags.NONE, -1, None).unpack()
    except GLib.Error as error:
        if any(error.matches(Gio.dbus_error_quark(), code) for code in GONE):
            raise Gone(error.message)
        raise


def process_of(bus, name, known):
    """The process id serving a bus name, or None when it is gone."""
    if name not in known:
        try:
            known[name] = call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                               "GetConnectionUnixProcessID", GLib.Variant("(s)", (name,)), "(u)")[0]
        except Gone:
            known[name] = None
    return known[name]


def application(bus, pid, known):
    apps = call(bus, "org.a11y.atspi.Registry", ROOT, "org.a11y.atspi.Accessible", "GetChildren", None, "(a(so))")[0]
    for name, path in apps:
        if process_of(bus, name, known) == pid:
            return name, path
    return None


def read(bus, name, path, depth, pid, known, lines):
    """Reads an element and what it holds; an element that goes while it is
    read is left out, with what it holds."""
    accessible = "org.a11y.atspi.Accessible"
    try:
        role = call(bus, name, path, accessible, "GetRole", None, "(u)")[0]
        label = call(bus, name, path, "org.freedesktop.DBus.Properties", "Get",
                     GLib.Variant("(ss)", (accessible, "Name")))[0]
        words = call(bus, name, path, accessible, "GetState", None, "(au)")[0]
        children = call(bus, name, path, accessible, "GetChildren", None, "(a(so))")[0]
        interfaces = call(bus, name, path, accessible, "GetInterfaces", None, "(as)")[0]
        attributes = call(bus, name, path, accessible, "GetAttributes", None, "(a{ss})")[0]
        text = None
        if "org.a11y.atspi.Text" in interfaces:
            length = call(bus, name, path, "org.freedesktop.DBus.Properties", "Get",
                          GLib.Variant("(ss)", ("org.a11y.atspi.Text", "CharacterCount")))[0]
            text = call(bus, name, path, "org.a11y.atspi.Text", "GetText", GLib.Variant("(ii)", (0, length)),
                        "(s)")[0]
    except Gone:
        return
    states = [Atspi.StateType(bit).value_nick
              for bit in range(32 * len(words)) if words[bit // 32] & (1 << bit % 32)]
    lines.append(json.dumps({
        "depth": depth,
        "role": Atspi.role_get_name(Atspi.Role(role)),
        "name": label,
        "states": [state for state in states if state in STATES],
        "children": len(children),
        "text": text,
        "placeholder": attributes.get("placeholder-text"),
    }))
    for child_name, child_path in children:
        if process_of(bus, child_name, known) == pid:
            read(bus, child_name, child_path, depth + 1, pid, known, lines)


def main():
    pid = int(sys.argv[1])
    deadline = time.monotonic() + (float(sys.argv[2]) if len(sys.argv) > 2 else 20)
    session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    address = call(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None, "(s)")[0]
    bus = Gio.DBusConnection.new_for_address_sync(
        address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
        None, None)
    known = {}
    app = application(bus, pid, known)
    while app is None:
        if time.monotonic() > deadline:
            sys.exit("no program with process id %d on the accessibility bus" % pid)
        time.sleep(0.05)
        app = application(bus, pid, known)
    lines = []
    read(bus, app[0], app[1], 0, pid, known, lines)
    print("\n".join(lines))


def follow(pid, deadline):
    desktop = Atspi.get_desktop(0)

    def find():
        for index in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(index)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except GLib.Error:
                pass
        return None

    def walk(element):
        element.get_name()
        element.get_role()
        element.get_state_set()
        for index in range(element.get_child_count()):
            child = element.get_child_at_index(index)
            if child is not None:
                walk(child)

    app = find()
    while app is None:
        if time.monotonic() > deadline:
            sys.exit("no program with process id %d on the accessibility bus" % pid)
        time.sleep(0.05)
        app = find()
    walk(app)
    print("read", flush=True)
    context = GLib.MainContext.default()
    for _ in sys.stdin:
        # A call answered by the program comes after whatever it sent before;
        # then everything received is handled.
        try:
            app.get_attributes()
        except GLib.Error:
            pass
        while context.iteration(False):
            pass
        found = find()
        windows = []
        try:
            if found is not None:
                windows = [found.get_child_at_index(index).get_name() for index in range(found.get_child_count())]
        except GLib.Error:  # "The application no longer exists"
            found = None
        print(json.dumps({"found": found is not None, "windows": windows}), flush=True)


def listen(pid, seconds):
    def heard(event):
        if not event.detail1:
            return
        try:
            element = event.source
            if element.get_process_id() != pid:
                return
            line = {"name": element.get_name(), "role": element.get_role_name(),
                    "description": element.get_description()}
        except GLib.Error:  # it went before it was read
            return
        print(json.dumps(line), flush=True)

    listener = Atspi.EventListener.new(heard)
    listener.register("object:state-changed:focused")
    print("listening", flush=True)
    GLib.timeout_add_seconds(int(seconds), Atspi.event_quit)
    Atspi.event_main()


if sys.argv[1] == "--follow":
    follow(int(sys.argv[2]), time.monotonic() + (float(sys.argv[3]) if len(sys.argv) > 3 else 20))
elif sys.argv[1] == "--focus":
    listen(int(sys.argv[2]), float(sys.argv[3]) if len(sys.argv) > 3 else 120)
else:
    main()
