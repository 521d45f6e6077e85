#!/usr/bin/python3
"""What a file manager's window shows of a folder, from GIO's file monitor.

usage: folder_view.py [--moves none|send|watch] FOLDER --run PROGRAM [ARG...]
       folder_view.py [--moves none|send|watch] FOLDER STEP...

Lists FOLDER, starts a GIO file monitor on it, then runs PROGRAM in FOLDER
(or does the STEPs itself, in order), and applies every event of the
monitor to the listing, in the order they come, the way the file managers
that follow GIO keep their windows. When all is done it makes a last file of
its own in the folder: its event is the last, so everything before it has
been seen. Then it prints on standard output

    event<TAB>KIND<TAB>NAME[<TAB>OTHER]   one line per event, in order
    view<TAB>NAME<TAB>NAME...           the names the events leave
    disk<TAB>NAME<TAB>NAME...           the names on the disk

and exits with PROGRAM's status (0 for STEPs); PROGRAM's standard output
goes to standard error. --moves says how the monitor
reports a rename: "none" as a removal and a creation (Nemo), "send" as one
move (G_FILE_MONITOR_SEND_MOVED), "watch" as one rename
(G_FILE_MONITOR_WATCH_MOVES, GNOME Files). Exits 77 with the reason on
standard error when GIO cannot be had, 3 when the last event never comes.

STEPs, each one system call on names in FOLDER:
    create:NAME            a new file with a line of text
    link:OLD:NEW           NEW as a second name of OLD (link)
    rename:OLD:NEW         OLD renamed to NEW, replacing it (rename)
    exchange:OLD:NEW       the two names traded in one step (renameat2)
    unlink:NAME            the name removed
"""
import ctypes
import os
import subprocess
import sys

LOST = 3
LAST = ".folder-view-done"
SECONDS = 30
RENAME_EXCHANGE = 2

sys.dont_write_bytecode = True  # nothing of ours in the checkout
from gio_or_skip import Gio, GLib  # noqa: E402


def exchange(old, new):
    libc = ctypes.CDLL(None, use_errno=True)
    at_fdcwd = -100
    if libc.renameat2(at_fdcwd, old.encode(), at_fdcwd, new.encode(),
                      RENAME_EXCHANGE) != 0:
        number = ctypes.get_errno()
        raise OSError(number, os.strerror(number), old)


def do_step(step):
    kind, *names = step.split(":")
    if kind == "create" and len(names) == 1:
        with open(names[0], "x") as made:
            made.write("text\n")
    elif kind == "link" and len(names) == 2:
        os.link(*names)
    elif kind == "rename" and len(names) == 2:
        os.rename(*names)
    elif kind == "exchange" and len(names) == 2:
        exchange(*names)
    elif kind == "unlink" and len(names) == 1:
        os.unlink(names[0])
    else:
        raise ValueError("not a step: " + step)


FLAGS = {
    "none": Gio.FileMonitorFlags.NONE,
    "send": Gio.FileMonitorFlags.SEND_MOVED,
    "watch": Gio.FileMonitorFlags.WATCH_MOVES,
}


def main(arguments):
    moves = "watch"
    if len(arguments) >= 2 and arguments[0] == "--moves":
        moves = arguments[1]
        arguments = arguments[2:]
    if moves not in FLAGS or len(arguments) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    folder = arguments[0]
    os.chdir(folder)

    view = set(os.listdir("."))
    monitor = Gio.File.new_for_path(".").monitor_directory(
        FLAGS[moves] | Gio.FileMonitorFlags.WATCH_MOUNTS, None)
    loop = GLib.MainLoop()
    lines = []
    outcome = {"status": 0, "lost": True}

    def changed(monitor, child, other, kind):
        name = child.get_basename()
        other_name = other.get_basename() if other is not None else None
        nick = kind.value_nick
        lines.append("event\t%s\t%s%s" % (
            nick, name, "\t" + other_name if other_name else ""))
        if kind in (Gio.FileMonitorEvent.CREATED,
                    Gio.FileMonitorEvent.MOVED_IN):
            view.add(name)
        elif kind in (Gio.FileMonitorEvent.DELETED,
                      Gio.FileMonitorEvent.MOVED_OUT):
            view.discard(name)
        elif kind in (Gio.FileMonitorEvent.RENAMED,
                      Gio.FileMonitorEvent.MOVED):
            view.discard(name)
            view.add(other_name)
        if name == LAST and kind == Gio.FileMonitorEvent.CREATED:
            outcome["lost"] = False
            loop.quit()

    monitor.connect("changed", changed)

    def finish():
        open(LAST, "x").close()

    def run():
        if arguments[1] == "--run":
            child = subprocess.Popen(arguments[2:], stdout=sys.stderr)

            def ended(pid, status):
                outcome["status"] = os.waitstatus_to_exitcode(status)
                finish()

            GLib.child_watch_add(GLib.PRIORITY_DEFAULT, child.pid, ended)
        else:
            for step in arguments[1:]:
                do_step(step)
            finish()
        return False

    # The monitor is set up; the events of what follows are all seen.
    GLib.idle_add(run)
    GLib.timeout_add_seconds(SECONDS, loop.quit)
    loop.run()

    view.discard(LAST)
    disk = set(os.listdir(".")) - {LAST}
    os.unlink(LAST)
    for line in lines:
        print(line)
    print("\t".join(["view"] + sorted(view)))
    print("\t".join(["disk"] + sorted(disk)))
    if outcome["lost"]:
        print("folder_view.py: the last event never came", file=sys.stderr)
        return LOST
    return outcome["status"]


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
