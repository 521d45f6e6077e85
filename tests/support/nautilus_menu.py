#!/usr/bin/python3
"""The context menu that a GNOME Files extension offers for some files.

usage: nautilus_menu.py EXTENSION [--activate LABEL] PATH...

Loads the extension file EXTENSION as GNOME Files' extension for Python
does, asks each of its menu providers for the items of a selection of the
PATHs (each with the MIME type that GIO gives it) and prints them, one line
each, a submenu's items after the submenu's label and a slash:

    item<TAB>Textwend
    item<TAB>Textwend/convert (find the set)

With --activate it then chooses the item of that label (as printed) and
waits until the programs that the extension started have ended. Exits 77
with the reason on standard error when the extension for Python or GNOME
Files' interfaces cannot be had.
"""
import runpy
import sys

SKIP = 77
SECONDS = 60

try:
    import gi

    try:
        gi.require_version("Nautilus", "4.0")
    except ValueError:
        gi.require_version("Nautilus", "3.0")
    from gi.repository import Gio, GLib, Nautilus
except (ImportError, ValueError) as error:
    print("GNOME Files' interfaces for Python are not installed "
          "(python3-nautilus): %s" % error, file=sys.stderr)
    sys.exit(SKIP)


class FileInfo:
    """What the extension may ask of a selected file."""

    def __init__(self, path):
        self.location = Gio.File.new_for_path(path)
        info = self.location.query_info(
            "standard::content-type,standard::type",
            Gio.FileQueryInfoFlags.NOFOLLOW_SYMLINKS, None)
        self.type = info.get_content_type()
        self.directory = info.get_file_type() == Gio.FileType.DIRECTORY

    def get_uri_scheme(self):
        return "file"

    def get_location(self):
        return self.location

    def get_uri(self):
        return self.location.get_uri()

    def get_name(self):
        return self.location.get_basename()

    def get_mime_type(self):
        return self.type

    def is_mime_type(self, mime_type):
        return Gio.content_type_is_a(self.type, mime_type)

    def is_directory(self):
        return self.directory


def walk(items, prefix, found):
    for item in items:
        label = prefix + item.get_property("label")
        print("item\t" + label)
        found[label] = item
        submenu = item.get_property("menu")
        if submenu is not None:
            walk(submenu.get_items(), label + "/", found)


def main(arguments):
    if not arguments:
        print(__doc__, file=sys.stderr)
        return 2
    extension = arguments[0]
    arguments = arguments[1:]
    chosen = None
    if len(arguments) >= 2 and arguments[0] == "--activate":
        chosen = arguments[1]
        arguments = arguments[2:]

    # Loaded as GNOME Files loads it: its file run as a module of its own.
    loaded = runpy.run_path(extension, run_name="extension")
    providers = [kind() for kind in loaded.values()
                 if isinstance(kind, type)
                 and issubclass(kind, Nautilus.MenuProvider)]

    files = [FileInfo(path) for path in arguments]
    found = {}
    for provider in providers:
        walk(provider.get_file_items(files) or [], "", found)
    if chosen is None:
        return 0
    if chosen not in found:
        print("nautilus_menu.py: no item " + chosen, file=sys.stderr)
        return 1

    found[chosen].activate()
    context = GLib.MainContext.default()
    deadline = GLib.get_monotonic_time() + SECONDS * 1000000
    while any(getattr(provider, "running", None) for provider in providers):
        if GLib.get_monotonic_time() > deadline:
            print("nautilus_menu.py: the programs did not end", file=sys.stderr)
            return 3
        context.iteration(True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
