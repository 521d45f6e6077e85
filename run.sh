#!/usr/bin/env bash
# Converts files the way the file manager would: the host loads the add-on
# image and hands it the files as its selection. IMAGE=Textwend-LaTeX in the
# environment takes the image that also reads LaTeX umlaut notation;
# IMAGE=Textwend-Undo the one that undoes conversions; Textwend-Atari, -DOS,
# -Mac and -Windows convert from the set they are named after.
#
# With no FILE, converts copies of the bundled sample letters in a fresh
# folder under the system's temporary folder and shows what became of each;
# nothing is written into the checkout but the build folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$here/build
image_name=${IMAGE:-Textwend}
case $image_name in
Textwend | Textwend-LaTeX | Textwend-Undo | Textwend-Atari | Textwend-DOS | \
	Textwend-Mac | Textwend-Windows) ;;
*)
	echo "run.sh: IMAGE must be Textwend, Textwend-LaTeX, Textwend-Undo," \
		"Textwend-Atari, Textwend-DOS, Textwend-Mac or Textwend-Windows" >&2
	exit 2
	;;
esac

# The build says nothing unless it fails.
log=$(mktemp "${TMPDIR:-/tmp}/textwend-build.XXXXXX")
if ! { [ -f "$build/build.ninja" ] || cmake -S "$here" -B "$build" -G Ninja; } \
	>"$log" 2>&1 \
	|| ! cmake --build "$build" --target tracker-run Textwend Textwend-LaTeX "$image_name" \
		>>"$log" 2>&1; then
	cat "$log" >&2
	rm -f "$log"
	echo "run.sh: the build failed" >&2
	exit 2
fi
rm -f "$log"

host=$build/bin/tracker-run

if [ $# -gt 0 ]; then
	exec "$host" "$build/bin/$image_name" "$@"
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/textwend-samples.XXXXXX")
cp "$here"/samples/*.txt "$here"/samples/*.tex "$scratch"/
letters=("$scratch"/*.txt)
latex=("$scratch"/*.tex)
report=$(mktemp "${TMPDIR:-/tmp}/textwend-report.XXXXXX")

echo "Converting $((${#letters[@]} + ${#latex[@]})) sample letters in $scratch"
echo "(a scratch folder of its own; remove it when done)"
echo
echo "What Textwend prints on standard output, its own record:"
echo "----"
status=0
"$host" "$build/bin/Textwend" "${letters[@]}" 2>>"$report" || status=$?
# LaTeX notation is read by the second image only.
"$host" "$build/bin/Textwend-LaTeX" "${latex[@]}" 2>>"$report" || status=$?
echo "----"
echo
echo "What it tells on standard error, one line per file:"
grep -v '^window "' "$report" || true
rm -f "$report"

for file in "${letters[@]}" "${latex[@]}"; do
	[ -e "$file-BAK" ] || continue
	echo
	echo "== $(basename "$file")"
	echo "   before (raw bytes as cat -v shows them):"
	tr '\r' '\n' <"$file-BAK" | LC_ALL=C grep -a -v '^$' | head -n 3 | cat -v \
		| sed 's/^/     /'
	echo "   after:"
	head -n 3 "$file" | sed 's/^/     /'
done
exit "$status"
