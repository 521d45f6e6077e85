#!/usr/bin/python3
"""Makes a tree of old files, as a copied disk holds them, for bench/tree.sh.

    bench/make_tree.py FOLDER [--files N] [--per-folder K] [--seed S]

N files (100,000 unless said otherwise) in folders of K files each (10),
two levels deep: a third German letters in the DOS code page or the Atari
set with CR LF line ends, a third UTF-8 or plain ASCII with LF line ends,
and a third no text: programs (ELF) and pictures (PNG). Letters are 1 to 8
KiB, the rest 1 to 4 KiB. Writes the paths of the 8-bit letters, each with
a NUL after it, into FOLDER.letters (the files a conversion changes), and
those of all texts, the letters and the UTF-8 and ASCII notes, into
FOLDER.texts.
"""

import argparse
import os
import random
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def sentences():
    with open(os.path.join(HERE, "letters", "sentences.txt"),
              encoding="utf-8") as source:
        return [line.strip() for line in source
                if line.strip() and not line.startswith("#")]


def letter(rng, lines, size):
    text = []
    length = 0
    while length < size:
        line = rng.choice(lines)
        text.append(line)
        length += len(line) + 1
    return text


def png(rng, size):
    body = rng.randbytes(size)
    header = struct.pack(">IIBBBBB", 16, 16, 8, 2, 0, 0, 0)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", body) + chunk(b"IEND", b""))


def elf(rng, size):
    # The header of a small x86-64 program, and code that is only noise.
    header = (b"\x7fELF\x02\x01\x01" + b"\0" * 9
              + struct.pack("<HHI", 2, 62, 1) + b"\0" * 40)
    return header + rng.randbytes(size)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--files", type=int, default=100000)
    parser.add_argument("--per-folder", type=int, default=10)
    parser.add_argument("--seed", type=int, default=1)
    arguments = parser.parse_args()
    rng = random.Random(arguments.seed)
    lines = sentences()
    folders = max(1, arguments.files // arguments.per_folder)
    top = max(1, int(folders ** 0.5))
    changed = []
    texts = []
    made = 0
    for number in range(folders):
        folder = os.path.join(arguments.folder, "Disk %03d" % (number % top),
                              "Ordner %05d" % number)
        os.makedirs(folder, exist_ok=True)
        for index in range(arguments.per_folder):
            if made >= arguments.files:
                break
            kind = made % 3
            made += 1
            if kind == 0:
                codec = "cp437" if index % 2 == 0 else "atari"
                text = letter(rng, lines, rng.randint(1024, 8192))
                if codec == "atari":
                    # The Atari set as Python lacks it: DOS with its ß.
                    data = "\r\n".join(text).encode("cp437", "replace")
                    data = data.replace(b"\xe1", b"\x9e")
                else:
                    data = "\r\n".join(text).encode("cp437", "replace")
                name = os.path.join(folder, "Brief %d.txt" % index)
                changed.append(name)
                texts.append(name)
            elif kind == 1:
                text = letter(rng, lines, rng.randint(1024, 8192))
                body = "\n".join(text) + "\n"
                if index % 2 == 0:
                    body = body.encode("ascii", "replace").decode("ascii")
                data = body.encode("utf-8")
                name = os.path.join(folder, "Notiz %d.txt" % index)
                texts.append(name)
            else:
                size = rng.randint(1024, 4096)
                if index % 2 == 0:
                    data = png(rng, size)
                    name = os.path.join(folder, "Bild %d.png" % index)
                else:
                    data = elf(rng, size)
                    name = os.path.join(folder, "programm%d" % index)
            with open(name, "wb") as out:
                out.write(data)
    for suffix, names in ((".letters", changed), (".texts", texts)):
        with open(arguments.folder + suffix, "wb") as out:
            for name in names:
                out.write(name.encode() + b"\0")
    return 0


if __name__ == "__main__":
    sys.exit(main())
