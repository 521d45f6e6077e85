#!/usr/bin/env bash
# Converts files the way the file manager would: the host loads the add-on
# image and hands it the files as its selection. With no FILE, converts
# copies of the bundled samples in a fresh scratch folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$here/build

if [ ! -f "$build/build.ninja" ]; then
	cmake -S "$here" -B "$build" -G Ninja >&2
fi
cmake --build "$build" >&2

host=$build/bin/tracker-run
image=$build/bin/Textwend
if [ ! -x "$host" ] || [ ! -f "$image" ]; then
	echo "run.sh: the add-on image and its host are not built yet;" \
		"only the character map and its tests exist so far." >&2
	exit 1
fi
exec "$host" "$image" "$@"
