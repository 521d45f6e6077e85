#!/usr/bin/env bash
# Converts files the way the file manager would: the host loads the add-on
# image and hands it the files as its selection. With no FILE, converts
# copies of the bundled sample letters in a fresh scratch folder and shows
# what became of each.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$here/build

if [ ! -f "$build/build.ninja" ]; then
	cmake -S "$here" -B "$build" -G Ninja >&2
fi
cmake --build "$build" --target tracker-run Textwend >&2

host=$build/bin/tracker-run
image=$build/bin/Textwend

if [ $# -gt 0 ]; then
	exec "$host" "$image" "$@"
fi

scratch=$here/scratch/$(date +%Y%m%d-%H%M%S)-$$
mkdir -p "$scratch"
cp "$here"/samples/*.txt "$here"/samples/*.tex "$scratch"/
files=("$scratch"/*)

echo "Converting ${#files[@]} sample letters in $scratch"
echo "What Textwend prints:"
echo "----"
"$host" "$image" "${files[@]}"
echo "----"

# Which character set the converted text came from, by comparing it with
# what iconv makes of the backup.
charset_of() {
	local backup=$1 converted=$2 ends
	if [ "$(tr -cd '\n' < "$backup" | wc -c)" -gt 0 ]; then
		ends=(tr -d '\r')
	else
		ends=(tr '\r' '\n')
	fi
	if "${ends[@]}" < "$backup" | cmp -s - "$converted"; then
		if LC_ALL=C grep -q '[^[:print:][:space:]]' "$backup"; then
			echo "already UTF-8: passed through"
		elif LC_ALL=C grep -a -q '"[aouAOUs]' "$backup"; then
			echo "LaTeX notation, left as it is (read only when built with" \
				"-DTEXTWEND_POP_IND=3)"
		else
			echo "no umlaut codes found: only the line ends changed"
		fi
		return
	fi
	local set name
	for set in CP437:"DOS code page 437" MACINTOSH:"Macintosh" CP1252:"Windows ANSI"; do
		name=${set#*:}
		if iconv -f "${set%%:*}" -t UTF-8 "$backup" 2>/dev/null | "${ends[@]}" \
				| cmp -s - "$converted"; then
			echo "$name"
			return
		fi
	done
	echo "Atari ST (TOS)"
}

for file in "${files[@]}"; do
	[ -e "$file-BAK" ] || continue
	echo
	echo "== $(basename "$file"): $(charset_of "$file-BAK" "$file")"
	echo "   before (raw bytes as cat -v shows them):"
	tr '\r' '\n' < "$file-BAK" | LC_ALL=C grep -a -v '^$' | head -n 3 | cat -v \
		| sed 's/^/     /'
	echo "   after:"
	head -n 3 "$file" | sed 's/^/     /'
	echo "   the original is kept as $(basename "$file")-BAK"
done
