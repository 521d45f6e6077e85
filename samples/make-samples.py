#!/usr/bin/env python3
"""Writes the sample letters, one per source character set, that ./run.sh
converts when it is given no file. Run it again only to change them."""

LINES = [
    "Liebe Grüße aus Österreich!",
    "Die Bäckerin verkauft süße Brötchen und Äpfel.",
    "Übermorgen fahren wir über die Brücke nach Köln.",
    "Maß halten: drei Stück für 2,50 Mark.",
]


def write(name, heading, data_of, line_end):
    text = [heading] + LINES
    with open(name, "wb") as out:
        for line in text:
            out.write(data_of(line) + line_end)


# TOS shares the umlauts of the DOS code page but has its own sharp s.
def tos(line):
    return line.encode("cp437").replace(b"\xe1", b"\x9e")


def latex(line):
    for letter, plain in zip("äöüÄÖÜß", "aouAOUs"):
        line = line.replace(letter, '"' + plain)
    return line.encode("ascii")


write("atari-st.txt", "Ein Brief vom Atari ST", tos, b"\r\n")
write("dos.txt", "Ein Brief aus DOS", lambda s: s.encode("cp437"), b"\r\n")
write("macintosh.txt", "Ein Brief vom Macintosh",
      lambda s: s.encode("mac_roman"), b"\r")
write("windows.txt", "Ein Brief aus Windows",
      lambda s: s.encode("cp1252"), b"\r\n")
write("latex.tex", "Ein Brief in LaTeX-Schreibweise", latex, b"\n")
write("utf-8.txt", "Ein Brief, schon in UTF-8", lambda s: s.encode(), b"\n")
