#!/usr/bin/python3
"""How often Textwend finds the right set for the other texts people keep.

Beside the German letters of letters.py: short notes, letters in French,
Spanish, Italian and English, DOS letters with tables, Windows letters rich
in typography, long texts whose few special characters come at the end, and
UTF-8 texts with a line pasted from an 8-bit file or cut inside their last
character. Each text is written in its sets, converted with Textwend, and
counted right (byte for byte what the image of its own set makes of it, or
for UTF-8 the text itself), wrong, and silent (wrong without "doubtful").
Beside it, where python3-chardet is installed, how many of the same files
chardet decodes right.

    bench/texts.py [--count N] [--seed S] [--kind KIND ...] [--build DIR]
                   [--debian] [--keep DIR] [--check]

--debian takes the French, Spanish and Italian texts from the Debian
Reference and the fortunes installed on the machine (debian-reference-fr,
-es, -it, fortunes-es, fortunes-it) as well as from letters/western.txt.
--check exits with 1 unless every kind meets its goal: no silent wrong on
German notes and letters, at most one in 200 on the others, every DOS
table, long text and UTF-8 text right.
"""

import argparse
import glob
import gzip
import html
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import letters  # noqa: E402

# The 8-bit sets of letters.py: name, image of the set, codec, line end.
EIGHT_BIT = [s for s in letters.SETS if s[1] is not None]
ATARI, DOS, MAC, WINDOWS, LATIN1 = EIGHT_BIT

ASCII = str.maketrans({"ä": "ae", "ö": "oe", "ü": "ue", "Ä": "Ae",
                       "Ö": "Oe", "Ü": "Ue", "ß": "ss"})


def german_body(rng, parts, count):
    return " ".join(rng.sample(parts["Text"], count))


def wrap(text):
    return letters.textwrap.wrap(text, 72)


def note(rng, material):
    notes = material["notes"]["Notiz"]
    lines = rng.sample(notes, rng.choice([1, 1, 2]))
    return "\n".join(lines) + "\n"


def western_letter(rng, material, language):
    parts = material["western"]
    body = rng.sample(parts[language + ".text"], rng.choice([1, 2, 3, 4, 6]))
    lines = [rng.choice(parts[language + ".greeting"]), ""]
    lines += wrap(" ".join(body)) + [""]
    lines.append(rng.choice(parts[language + ".closing"]))
    return "\n".join(lines) + "\n"


def box_table(rng, double):
    rows = [("Artikel", "Menge", "Preis")] + rng.sample([
        ("Kaffee", "2", "9,90"), ("Tee", "1", "3,50"),
        ("Zucker", "3", "2,97"), ("Kekse", "4", "7,96"),
        ("Milch", "6", "5,94"), ("Brot", "1", "2,80")], 3)
    width = [max(len(r[k]) for r in rows) + 2 for k in range(3)]
    h, v = ("═", "║") if double else ("─", "│")
    corners = ("╔╦╗", "╠╬╣", "╚╩╝") if double else ("┌┬┐", "├┼┤", "└┴┘")

    def rule(c):
        return c[0] + c[1].join(h * w for w in width) + c[2]

    out = [rule(corners[0])]
    for k, row in enumerate(rows):
        out.append(v + v.join(" " + row[i].ljust(width[i] - 1)
                              for i in range(3)) + v)
        if k == 0:
            out.append(rule(corners[1]))
    out.append(rule(corners[2]))
    return out


def dos_table_letter(rng, material, umlauts):
    parts = material["german"]
    lines = [rng.choice(parts["Anrede"]), ""]
    lines += wrap(german_body(rng, parts, rng.choice([1, 2, 3]))) + [""]
    lines += box_table(rng, rng.random() < 0.4) + [""]
    lines.append(rng.choice(parts["Gruß"]))
    text = "\n".join(lines) + "\n"
    return text if umlauts else text.translate(ASCII)


TYPOGRAPHY = [
    "Bitte beachten Sie: „Angebot gilt nur solange der Vorrat reicht“.",
    "Er schrieb ‚ok‘ – mehr nicht.",
    "Das Gerät™ ist leider ausverkauft … wir melden uns.",
    "Von 9–17 Uhr erreichbar — auch samstags.",
    "Sie nannte es “the real thing”.",
    "Wie sagt man so schön: ‘Ende gut, alles gut’.",
]


def typography_letter(rng, material, umlauts):
    parts = material["german"]
    lines = [rng.choice(parts["Anrede"]), ""]
    lines += wrap(german_body(rng, parts, rng.choice([1, 2, 3])) + " "
                  + " ".join(rng.sample(TYPOGRAPHY, 2))) + [""]
    if rng.random() < 0.5:
        lines += ["• " + item for item in rng.sample(
            ["Anmeldung bis Freitag", "Kosten: 25 €", "Treffpunkt: Bahnhof",
             "Verpflegung inklusive", "Rückfragen an das Büro"], 3)] + [""]
    lines.append(rng.choice(parts["Gruß"]))
    text = "\n".join(lines) + "\n"
    return text if umlauts else text.translate(ASCII)


def long_text(rng, material, size):
    """Plain text of about size, with a few lines of special characters in
    its last tenth."""
    parts = material["german"]
    plain = [s.translate(ASCII) for s in parts["Text"]]
    plain = [s for s in plain if all(ord(c) < 0x80 for c in s)]
    chunk = "\n".join(wrap(" ".join(rng.sample(plain, 12)))) + "\n\n"
    body = chunk * (size // len(chunk) + 1)
    cut = len(body) - rng.randint(0, len(body) // 10)
    cut = body.rindex("\n", 0, cut) + 1
    tail = rng.choice([
        ["Preis: 12,50 €", "Señor Gómez kommt am Montag."],
        ["Ça va très bien, merci."],
        ["Viele Grüße aus Köln"],
        ["Größe: 42, Farbe: grün"],
        ["Temperatur 21 °C, siehe § 4."],
    ])
    return body[:cut] + "\n".join(tail) + "\n" + body[cut:]


PASTED = [
    "Grüße aus Köln", "Café Müller", "Señor García", "Straße 5",
    "Preis: 5 €", "à la carte", "schön", "Größe",
]


def measure_kind(args, name, items, folder, with_chardet):
    """items: (set, text, data, want) with want None where the image of the
    set gives it. Prints one row per set."""
    here = os.path.join(folder, name)
    os.makedirs(os.path.join(here, "expected"), exist_ok=True)
    by_set = {}
    for n, (ref, text, data, want) in enumerate(items):
        leaf = f"{ref[0].replace(' ', '-')}-{n:04}.txt"
        path = os.path.join(here, leaf)
        with open(path, "wb") as out:
            out.write(data)
        expected = os.path.join(here, "expected", leaf)
        with open(expected, "wb") as out:
            out.write(data if want is None else want)
        by_set.setdefault(ref, []).append((leaf, text, data, want))
    report = letters.run_images(
        args.build, "Textwend", [os.path.join(here, e[0])
                                 for entries in by_set.values()
                                 for e in entries])
    lines = {}
    for line in report.splitlines():
        match = re.match(r"Textwend: ([^:]+): (.*)", line)
        if match:
            lines[match.group(1)] = match.group(2)
    rows = []
    for ref, entries in by_set.items():
        images = [os.path.join(here, "expected", e[0])
                  for e in entries if e[3] is None]
        if images:
            letters.run_images(args.build, ref[1], images)
        right = wrong = silent = doubtful = chardet_right = 0
        for leaf, text, data, want in entries:
            with open(os.path.join(here, leaf), "rb") as f:
                got = f.read()
            with open(os.path.join(here, "expected", leaf), "rb") as f:
                expected = f.read()
            said = lines.get(leaf, "")
            doubt = "doubtful" in said
            doubtful += doubt
            if got == expected:
                right += 1
            else:
                wrong += 1
                silent += not doubt and "left as it was" not in said
                if args.show:
                    at = next((k for k in range(min(len(got), len(expected)))
                               if got[k] != expected[k]),
                              min(len(got), len(expected)))
                    print(f"  {leaf}: {said}\n    got  "
                          f"{got[max(0, at - 40):at + 40]!r}\n    want "
                          f"{expected[max(0, at - 40):at + 40]!r}",
                          file=sys.stderr)
            if with_chardet and len(data) < 1024 * 1024:
                reading = letters.chardet_reading(data)
                truth = expected.decode("utf-8", "replace")
                if reading is not None and reading.replace(
                        "\r\n", "\n").replace("\r", "\n") == truth:
                    chardet_right += 1
        row = (f"{name:<12}{ref[0]:<14}{len(entries):>6}{right:>7}"
               f"{wrong:>7}{silent:>7}{doubtful:>9}")
        if with_chardet:
            row += f"{chardet_right:>9}"
        print(row, flush=True)
        rows.append((ref, len(entries), right, silent))
    return rows


def encoded(text, ref, atari):
    encode = letters.encoder(ref[2], atari)
    held = letters.written_as(text, ref[2], encode)
    return held, encode(held.replace("\n", ref[3]))


def kind_notes(args, rng, material, atari):
    for ref in EIGHT_BIT:
        for _ in range(args.count):
            text, data = encoded(note(rng, material), ref, atari)
            yield ref, text, data, None


def kind_western(args, rng, material, atari):
    languages = ["fr", "es", "it", "en"]
    for ref in [WINDOWS, LATIN1, MAC, DOS]:
        for n in range(args.count):
            language = languages[n % len(languages)]
            if args.debian and n % 2 and material["debian"].get(language):
                sample = rng.sample(material["debian"][language],
                                    rng.choice([1, 2, 3]))
                text = "\n".join(wrap(" ".join(sample))) + "\n"
            else:
                text = western_letter(rng, material, language)
            text, data = encoded(text, ref, atari)
            if any(ord(c) >= 0x80 for c in text):
                yield ref, text, data, None


def kind_tables(args, rng, material, atari):
    for n in range(args.count):
        text, data = encoded(
            dos_table_letter(rng, material, n % 2 == 0), DOS, atari)
        yield DOS, text, data, None


def kind_typography(args, rng, material, atari):
    for n in range(args.count):
        text, data = encoded(
            typography_letter(rng, material, n % 2 == 0), WINDOWS, atari)
        yield WINDOWS, text, data, None


def kind_long(args, rng, material, atari):
    for ref in EIGHT_BIT:
        for _ in range(args.long_count):
            size = rng.randint(4 * 1024 * 1024 + 1, 8 * 1024 * 1024)
            text, data = encoded(long_text(rng, material, size), ref, atari)
            yield ref, text, data, None


def kind_utf8(args, rng, material, atari):
    parts = material["german"]
    utf8 = ("UTF-8", None, "utf-8", "\n")
    for n in range(args.count):
        text = letters.make_letter(rng, parts)
        if n % 3 == 0:
            # Cut inside its last character: all before it must stay.
            text = text.rstrip("\n") + "\nViele Grüß"
            data = text.encode("utf-8")[:-1]
            want = text[:-1].encode("utf-8") + "Ã".encode("utf-8")
            yield utf8, text, data, want
            continue
        ref = rng.choice([WINDOWS, LATIN1, MAC, DOS])
        # Textwend reads the Macintosh 0xDB as ¤, the sign of its time.
        pasted = rng.choice([p for p in PASTED
                             if ref is not MAC or "€" not in p])
        held, raw = encoded(pasted, ref, atari)
        lines = text.split("\n")
        at = rng.randrange(1, len(lines))
        before = "\n".join(lines[:at]) + "\n"
        after = "\n".join(lines[at:])
        data = before.encode() + raw + b"\n" + after.encode()
        want = (before + held + "\n" + after).encode()
        yield utf8, text, data, want


KINDS = {
    "notes": kind_notes,
    "western": kind_western,
    "tables": kind_tables,
    "typography": kind_typography,
    "long": kind_long,
    "utf8": kind_utf8,
}


def debian_texts():
    """Sentences with special characters from the Debian Reference and the
    fortunes of the machine, by language."""
    found = {}

    def keep(language, text):
        for sentence in re.split(r"(?<=[.!?])\s+", text):
            sentence = " ".join(sentence.split())
            if 20 < len(sentence) < 200 and any(
                    0xA0 <= ord(c) < 0x250 for c in sentence):
                found.setdefault(language, []).append(sentence)

    for language in ("fr", "es", "it"):
        for path in sorted(glob.glob(
                f"/usr/share/debian-reference/*.{language}.html")):
            with open(path, encoding="utf-8", errors="replace") as f:
                page = re.sub(r"<[^>]+>", " ", f.read())
            keep(language, html.unescape(page))
    for language, folder in (("es", "es"), ("it", "it")):
        for path in sorted(glob.glob(f"/usr/share/games/fortunes/{folder}/*")):
            if (path.endswith((".dat", ".u8")) or os.path.islink(path)
                    or not os.path.isfile(path)):
                continue
            opener = gzip.open if path.endswith(".gz") else open
            with opener(path, "rt", encoding="utf-8", errors="replace") as f:
                keep(language, f.read().replace("%\n", " "))
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--count", type=int, default=200)
    parser.add_argument("--long-count", type=int, default=4)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--kind", action="append", choices=sorted(KINDS))
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    parser.add_argument("--debian", action="store_true")
    parser.add_argument("--keep", help="write the texts here and keep them")
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--no-chardet", action="store_true")
    parser.add_argument("--show", action="store_true",
                        help="show each wrong text on standard error")
    args = parser.parse_args()

    material = {
        "german": letters.read_sentences(
            os.path.join(HERE, "letters", "sentences.txt")),
        "western": letters.read_sentences(
            os.path.join(HERE, "letters", "western.txt")),
        "notes": letters.read_sentences(
            os.path.join(HERE, "letters", "notes.txt")),
        "debian": debian_texts() if args.debian else {},
    }
    atari = letters.atari_codec(args.build)
    try:
        import chardet  # noqa: F401
        with_chardet = not args.no_chardet
    except ImportError:
        with_chardet = False
    folder = args.keep or tempfile.mkdtemp(prefix="textwend-texts.")
    header = (f"{'kind':<12}{'set':<14}{'texts':>6}{'right':>7}{'wrong':>7}"
              f"{'silent':>7}{'doubtful':>9}")
    if with_chardet:
        header += f"{'chardet':>9}"
    print(f"{args.count} texts per kind and set, seed {args.seed}")
    print(header)
    failed = False
    try:
        for name in args.kind or list(KINDS):
            rng = random.Random(f"{args.seed}/{name}")
            items = list(KINDS[name](args, rng, material, atari))
            for ref, count, right, silent in measure_kind(
                    args, name, items, folder, with_chardet):
                if name in ("notes", "typography"):
                    failed = failed or silent > 0
                elif name == "western":
                    failed = failed or silent > count // 200
                else:
                    failed = failed or right < count
    finally:
        if not args.keep:
            shutil.rmtree(folder, ignore_errors=True)
    return 1 if args.check and failed else 0


if __name__ == "__main__":
    sys.exit(main())
