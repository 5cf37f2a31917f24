#!/usr/bin/env python3
"""Asks the session bus's thumbnail service for one file's thumbnail and waits for the answer.

Usage: thumbnail_request.py URI MIME-TYPE FLAVOR
Waits until the service owns its name, sends one Queue call and watches its signals on the same
connection (the service sends them only to the caller). Prints "ready", or "error: MESSAGE",
and exits 0 for a thumbnail made, 1 for none, 2 when the service does not answer in time.
"""
import sys
import time

from gi.repository import Gio, GLib

NAME = "org.freedesktop.thumbnails.Thumbnailer1"
PATH = "/org/freedesktop/thumbnails/Thumbnailer1"
TIMEOUT_S = 30


def wait_for_owner(bus):
    deadline = time.monotonic() + TIMEOUT_S
    while time.monotonic() < deadline:
        owned = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                              "org.freedesktop.DBus", "NameHasOwner",
                              GLib.Variant("(s)", (NAME,)), GLib.VariantType("(b)"),
                              Gio.DBusCallFlags.NONE, -1, None).unpack()[0]
        if owned:
            return True
        time.sleep(0.05)
    return False


def main():
    uri, mime, flavor = sys.argv[1:4]
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    if not wait_for_owner(bus):
        print("error: the service never owned its name")
        return 2

    loop = GLib.MainLoop()
    signals = []  # (name, arguments), kept until the handle is known
    state = {"handle": None, "ready": False, "error": None, "finished": False}

    def settle():
        for name, args in signals:
            if args[0] != state["handle"]:
                continue
            if name == "Ready" and uri in args[1]:
                state["ready"] = True
            elif name == "Error":
                state["error"] = args[3]
            elif name == "Finished":
                state["finished"] = True
        signals.clear()
        if state["finished"]:
            loop.quit()

    def on_signal(_conn, _sender, _path, _iface, name, params, _data):
        signals.append((name, params.unpack()))
        if state["handle"] is not None:
            settle()

    bus.signal_subscribe(None, NAME, None, PATH, None, Gio.DBusSignalFlags.NONE, on_signal, None)
    reply = bus.call_sync(NAME, PATH, NAME, "Queue",
                          GLib.Variant("(asasssu)", ([uri], [mime], flavor, "default", 0)),
                          GLib.VariantType("(u)"), Gio.DBusCallFlags.NONE, -1, None)
    state["handle"] = reply.unpack()[0]
    settle()
    GLib.timeout_add_seconds(TIMEOUT_S, loop.quit)
    if not state["finished"]:
        loop.run()
    if not state["finished"]:
        print("error: no answer in time")
        return 2
    if state["ready"]:
        print("ready")
        return 0
    print("error: " + (state["error"] or "no thumbnail"))
    return 1


sys.exit(main())
