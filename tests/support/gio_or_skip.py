"""GIO for the scripts of the tests, or exit 77 (the tests' skip) with the
reason on standard error where it cannot be had."""
import sys

SKIP = 77

try:
    import gi

    gi.require_version("Gio", "2.0")
    from gi.repository import Gio, GLib  # noqa: F401  (for the importers)
except (ImportError, ValueError) as error:
    print("GIO for Python is not installed (python3-gi, gir1.2-glib-2.0): %s"
          % error, file=sys.stderr)
    sys.exit(SKIP)
