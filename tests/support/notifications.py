#!/usr/bin/python3
"""A desktop notification service that writes down what it is asked to show.

usage: dbus-run-session -- notifications.py PROGRAM [ARG...]

Takes the name org.freedesktop.Notifications on the session bus, runs
PROGRAM, and when it has ended prints every notification it was given on
standard output, one line each, its line breaks as \\n:

    notify<TAB>APP NAME<TAB>SUMMARY<TAB>BODY

and exits with PROGRAM's status. PROGRAM's standard output goes to
standard error. Exits 77 with the reason on standard error when GIO for
Python cannot be had or the name cannot be taken.
"""
import os
import subprocess
import sys

SKIP = 77
SECONDS = 60

sys.dont_write_bytecode = True  # nothing of ours in the checkout
from gio_or_skip import Gio, GLib  # noqa: E402

INTERFACE = """
<node>
  <interface name="org.freedesktop.Notifications">
    <method name="GetCapabilities">
      <arg type="as" direction="out"/>
    </method>
    <method name="Notify">
      <arg type="s" direction="in"/>
      <arg type="u" direction="in"/>
      <arg type="s" direction="in"/>
      <arg type="s" direction="in"/>
      <arg type="s" direction="in"/>
      <arg type="as" direction="in"/>
      <arg type="a{sv}" direction="in"/>
      <arg type="i" direction="in"/>
      <arg type="u" direction="out"/>
    </method>
    <method name="CloseNotification">
      <arg type="u" direction="in"/>
    </method>
    <method name="GetServerInformation">
      <arg type="s" direction="out"/>
      <arg type="s" direction="out"/>
      <arg type="s" direction="out"/>
      <arg type="s" direction="out"/>
    </method>
  </interface>
</node>
"""


def main(arguments):
    if not arguments:
        print(__doc__, file=sys.stderr)
        return 2
    loop = GLib.MainLoop()
    shown = []
    outcome = {"status": None, "reason": None}

    def call(connection, sender, path, interface, method, parameters,
             invocation):
        if method == "Notify":
            app, _, _, summary, body = parameters.unpack()[:5]
            shown.append((app, summary, body))
            invocation.return_value(GLib.Variant("(u)", (len(shown),)))
        elif method == "GetCapabilities":
            invocation.return_value(GLib.Variant("(as)", (["body"],)))
        elif method == "GetServerInformation":
            invocation.return_value(GLib.Variant(
                "(ssss)", ("notifications.py", "tests", "1", "1.2")))
        else:
            invocation.return_value(None)

    def acquired(connection, name):
        child = subprocess.Popen(arguments, stdout=sys.stderr)

        def ended(pid, status):
            outcome["status"] = os.waitstatus_to_exitcode(status)
            loop.quit()

        GLib.child_watch_add(GLib.PRIORITY_DEFAULT, child.pid, ended)

    def lost(connection, name):
        outcome["reason"] = "the name %s cannot be taken" % name
        loop.quit()

    def bus_acquired(connection, name):
        node = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
        connection.register_object("/org/freedesktop/Notifications",
                                   node.interfaces[0], call, None, None)

    Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.Notifications",
                     Gio.BusNameOwnerFlags.NONE, bus_acquired, acquired, lost)
    GLib.timeout_add_seconds(SECONDS, loop.quit)
    loop.run()

    if outcome["reason"] is not None:
        print("notifications.py: " + outcome["reason"], file=sys.stderr)
        return SKIP
    for app, summary, body in shown:
        print("notify\t%s\t%s\t%s" % (app, summary, body.replace("\n", "\\n")))
    if outcome["status"] is None:
        print("notifications.py: the program did not end", file=sys.stderr)
        return 3
    return outcome["status"]


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
