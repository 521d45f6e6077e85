#!/usr/bin/python3
"""How often Textwend finds the right character set for everyday letters.

Makes short German letters (a few lines to a few KiB) from the sentences in
letters/sentences.txt, writes each in every set Textwend reads, converts them
with Textwend and counts per set how many come out byte for byte as the
image of their own set (Textwend-Windows for a Windows letter, ...) converts
them. Beside it, where Debian's python3-chardet is installed, how many of the
same files chardet decodes to the letter's text.

    bench/letters.py [--letters N] [--seed S] [--build DIR] [--keep DIR]
                     [--sentences FILE]

Half the letters are written the Swiss way, without ß; some carry a table in
a frame, drawn with box-drawing characters where the set has them; some use
the no-break space of word processors in "z. B.". What a set cannot hold
becomes its usual stand-in ("EUR" for the euro sign, '"' for „).
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import textwrap
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))

# Name, Textwend's image of the set, Python's codec, line end.
SETS = [
    ("Atari ST", "Textwend-Atari", "atari", "\r\n"),
    ("DOS 437", "Textwend-DOS", "cp437", "\r\n"),
    ("Macintosh", "Textwend-Mac", "mac_roman", "\r"),
    ("Windows ANSI", "Textwend-Windows", "cp1252", "\r\n"),
    ("ISO 8859-1", "Textwend-Windows", "latin-1", "\r\n"),
    ("LaTeX", None, "latex", "\n"),
    ("UTF-8", None, "utf-8", "\n"),
]

STAND_INS = {
    "„": '"', "“": '"', "”": '"', "«": '"', "»": '"',
    "‚": "'", "‘": "'", "’": "'",
    "–": "-", "—": "-", "…": "...", "€": "EUR", "\u00a0": " ",
    "²": "2", "½": "1/2", "×": "x", "°": " Grad", "§": "Par.",
    "═": "=", "─": "-", "║": "|", "│": "|",
}

LATEX = {"ä": '"a', "ö": '"o', "ü": '"u', "Ä": '"A', "Ö": '"O',
         "Ü": '"U', "ß": '"s'}


def read_sentences(path):
    parts = {}
    part = None
    with open(path, encoding="utf-8") as sentences:
        for line in sentences:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            if line.startswith("["):
                part = parts.setdefault(line.strip("[]"), [])
            else:
                part.append(line)
    return parts


def framed_table(rng):
    rows = [("Artikel", "Preis")] + rng.sample([
        ("Kaffeemaschine", "49,90 €"), ("Wasserkocher", "24,95 €"),
        ("Bügeleisen", "32,00 €"), ("Versand", "4,90 €"),
        ("Rührgerät", "39,99 €"), ("Toaster", "19,90 €")], 3)
    width = [max(len(row[k]) for row in rows) + 2 for k in (0, 1)]

    def line(left, fill, middle, right):
        return left + fill * width[0] + middle + fill * width[1] + right

    out = [line("╔", "═", "╤", "╗")]
    for k, (item, price) in enumerate(rows):
        out.append("║ " + item.ljust(width[0] - 1) + "│ "
                   + price.ljust(width[1] - 1) + "║")
        if k == 0:
            out.append(line("╟", "─", "┼", "╢"))
    out.append(line("╚", "═", "╧", "╝"))
    return out


def make_letter(rng, parts):
    """A letter as text, its lines without line ends."""
    swiss = rng.random() < 0.5
    wrap = rng.random() < 0.5
    count = rng.choice([1, 2, 2, 3, 3, 4, 5, 6, 8, 10, 14, 20, 30])
    body = rng.sample(parts["Text"], count)
    lines = [rng.choice(parts["Anrede"]), ""]
    while body:
        taken = rng.randint(1, 4)
        paragraph = " ".join(body[:taken])
        body = body[taken:]
        lines += textwrap.wrap(paragraph, 72) if wrap else [paragraph]
        lines.append("")
    if rng.random() < 0.15:
        lines += framed_table(rng) + [""]
    lines.append(rng.choice(parts["Gruß"]))
    text = "\n".join(lines) + "\n"
    if swiss:
        text = text.replace("ß", "ss")
    if rng.random() < 0.3:
        for short in ("z. B.", "d. h.", "u. a.", "S. 2"):
            text = text.replace(short, short.replace(" ", "\u00a0"))
    return text


def stand_in(char, encode):
    for candidate in (STAND_INS.get(char), unicodedata.normalize(
            "NFKD", char).encode("ascii", "ignore").decode()):
        if candidate is not None:
            try:
                encode(candidate)
                return candidate
            except (UnicodeEncodeError, KeyError):
                pass
    box = "╔╗╚╝╤╧╟╢┼"
    return "+" if char in box else "?"


def atari_codec(build):
    """Textwend-Atari's own reading of each byte, turned around."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "bytes")
        with open(path, "wb") as out:
            out.write(b"".join(bytes([b]) + b"\n" for b in range(0x80, 0x100)))
        run_images(build, "Textwend-Atari", [path])
        with open(path, encoding="utf-8") as converted:
            shown = converted.read().split("\n")
    table = {chr(b): bytes([b]) for b in range(0x80)}
    for b, char in zip(range(0x80, 0x100), shown):
        if len(char) == 1 and char not in table:
            table[char] = bytes([b])
    return table


def encoder(codec, atari):
    if codec == "atari":
        return lambda text: b"".join(atari[c] for c in text)
    if codec == "latex":
        return lambda text: "".join(LATEX.get(c, c) for c in text).encode(
            "ascii")
    return lambda text: text.encode(codec)


def written_as(text, codec, encode):
    """The letter as the set can hold it."""
    if codec == "latex":
        # German quotes as LaTeX writes them, which stay as they are.
        text = text.replace("„", '"`').replace("“", "\"'")
    held = []
    for char in text:
        try:
            encode(char)
            held.append(char)
        except (UnicodeEncodeError, KeyError):
            held.append(stand_in(char, encode))
    return "".join(held)


def run_images(build, image, paths):
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    result = subprocess.run(
        [os.path.join(build, "bin", "tracker-run"),
         os.path.join(build, "bin", image)] + paths,
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
        stderr=subprocess.PIPE, env=env, check=False)
    return result.stderr.decode("utf-8", "replace")


def chardet_reading(data):
    try:
        import chardet
    except ImportError:
        return None
    guess = chardet.detect(data)["encoding"]
    try:
        return data.decode(guess or "ascii")
    except (LookupError, UnicodeDecodeError):
        return ""


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--letters", type=int, default=300)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    parser.add_argument("--keep", help="write the letters here and keep them")
    parser.add_argument(
        "--sentences", default=os.path.join(HERE, "letters", "sentences.txt"),
        help="the sentences, in the parts [Anrede], [Text] and [Gruß]")
    args = parser.parse_args()

    parts = read_sentences(args.sentences)
    atari = atari_codec(args.build)
    folder = args.keep or tempfile.mkdtemp(prefix="textwend-letters.")
    try:
        import chardet  # noqa: F401
        with_chardet = True
    except ImportError:
        with_chardet = False

    try:
        return measure(args, parts, atari, folder, with_chardet)
    finally:
        if not args.keep:
            shutil.rmtree(folder, ignore_errors=True)


def measure(args, parts, atari, folder, with_chardet):
    print(f"{args.letters} letters per set, seed {args.seed}")
    header = (f"{'set':<14}{'Textwend right':>16}{'without ß':>12}"
              f"{'doubtful':>10}")
    if with_chardet:
        header += f"{'chardet right':>15}"
    print(header)
    failed = False
    for name, image, codec, line_end in SETS:
        rng = random.Random(f"{args.seed}/{name}")
        encode = encoder(codec, atari)
        here = os.path.join(folder, name.replace(" ", "-"))
        os.makedirs(os.path.join(here, "expected"), exist_ok=True)
        texts, paths, expected_paths, chardet_right = [], [], [], 0
        for n in range(args.letters):
            text = written_as(make_letter(rng, parts), codec, encode)
            data = encode(text.replace("\n", line_end))
            leaf = f"{n:03}.txt"
            paths.append(os.path.join(here, leaf))
            expected_paths.append(os.path.join(here, "expected", leaf))
            for path in (paths[-1], expected_paths[-1]):
                with open(path, "wb") as out:
                    out.write(data)
            texts.append(text)
            if with_chardet:
                reading = chardet_reading(data)
                if reading is not None and reading.replace(
                        line_end, "\n") == text:
                    chardet_right += 1
        report = run_images(
            args.build, "Textwend-LaTeX" if codec == "latex" else "Textwend",
            paths)
        if image:
            run_images(args.build, image, expected_paths)
        right = right_without = without = 0
        for text, path, expected in zip(texts, paths, expected_paths):
            with open(path, "rb") as converted:
                got = converted.read()
            if image:
                with open(expected, "rb") as wanted:
                    want = wanted.read()
            else:
                want = text.encode("utf-8")
            right += got == want
            if "ß" not in text and "\"s" not in text:
                without += 1
                right_without += got == want
        doubtful = report.count("; doubtful:")
        row = (f"{name:<14}{right:>12}/{args.letters:<3}"
               f"{right_without:>8}/{without:<3}{doubtful:>10}")
        if with_chardet:
            row += f"{chardet_right:>11}/{args.letters:<3}"
        print(row)
        failed = failed or right < args.letters - args.letters // 300
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
