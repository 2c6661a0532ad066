#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a program's manual page from what the program itself prints for --help and
--version, so that the page says what the installed program does.

    help_to_man.py PROGRAM NAME OUTPUT [--commands] [--see-also PAGE ...]

NAME is the name the page is filed under (the program may be run from anywhere). The help
text is read as: a "Usage:" line, description paragraphs, then sections that start with a
heading line such as "Options:" and hold items ("  -h, --help   What it does", continued on
lines indented further) or paragraphs. With --commands, each item of the "Commands:" section
is described by what "PROGRAM COMMAND --help" prints. An OUTPUT ending in .gz is compressed
without a time stamp, as Debian packages want manual pages.
"""

import argparse
import gzip
import os
import re
import subprocess
import sys


def run(program, *arguments):
    result = subprocess.run([program, *arguments], capture_output=True, text=True)
    if result.returncode != 0 or not result.stdout.strip():
        sys.exit("%s %s failed (exit code %d): %s" %
                 (program, " ".join(arguments), result.returncode, result.stderr.strip()))
    return result.stdout


def parse_help(text):
    """Returns (usage, description paragraphs, [(heading, blocks)]), where a block is either
    ("item", term, description) or ("text", paragraph)."""
    lines = text.rstrip().split("\n")
    usage_line = next((l for l in lines if l.startswith("Usage:")), None)
    if usage_line is None:
        sys.exit("no Usage: line in the help text")
    usage = usage_line[len("Usage:"):].strip()
    description, sections = [], []
    blocks = None  # the current section's blocks; None before the first heading
    paragraph = []

    def end_paragraph():
        if paragraph:
            text = " ".join(paragraph)
            (description if blocks is None else blocks).append(
                text if blocks is None else ("text", text))
            paragraph.clear()

    for line in lines[lines.index(usage_line) + 1:]:
        if not line.strip():
            end_paragraph()
        elif re.match(r"^\S.*:$", line):
            end_paragraph()
            blocks = []
            sections.append((line[:-1], blocks))
        elif blocks is not None and line.startswith("  "):
            end_paragraph()
            indent = len(line) - len(line.lstrip())
            if indent > 2 and blocks and blocks[-1][0] == "item":
                # A description wrapped onto the next line, under its own column.
                _, term, text = blocks[-1]
                blocks[-1] = ("item", term, (text + " " + line.strip()).strip())
            else:
                parts = re.split(r"\s{2,}", line.strip(), maxsplit=1)
                blocks.append(("item", parts[0], parts[1] if len(parts) > 1 else ""))
        else:
            paragraph.append(line.strip())
    end_paragraph()
    return usage, description, sections


def roff_text(text):
    """Text for a roff line: backslashes escaped, option dashes as minus signs, and a line
    that would start with a control character guarded."""
    text = text.replace("\\", "\\e")
    text = re.sub(r"(?<![\w-])-", r"\\-", text)
    text = re.sub(r"(?<=\\-)-", r"\\-", text)
    if text.startswith((".", "'")):
        text = "\\&" + text
    return text


def roff_term(term):
    """An item's term with the command or option names in bold and their arguments plain."""
    words = term.split(" ")
    shown = []
    for i, word in enumerate(words):
        name = word.rstrip(",")
        if i == 0 or word.startswith("-"):
            shown.append("\\fB%s\\fR%s" % (roff_text(name), word[len(name):]))
        else:
            shown.append(roff_text(word))
    return " ".join(shown)


def command_help(program, term):
    """The description a command's own --help gives: its first paragraph after the usage."""
    name = term.split()[0]
    paragraphs = [p.strip() for p in run(program, name, "--help").split("\n\n")]
    if len(paragraphs) < 2 or not paragraphs[0].startswith("Usage:"):
        sys.exit("unexpected help text of command %s" % name)
    return paragraphs[1]


def manual_page(program, name, expand_commands, see_also):
    usage, description, sections = parse_help(run(program, "--help"))
    version = run(program, "--version").strip().split("\n")[0].split()[-1]
    if not description:
        sys.exit("the help text has no description")
    summary = description[0].split("\n")[0].rstrip(".")
    summary = summary[0].lower() + summary[1:]
    # The usage line names the program as it was run: file it under its installed name.
    usage_words = usage.split(None, 1)
    out = [
        '.TH %s 1 "" "%s %s" "User Commands"' % (name.upper(), name, version),
        ".SH NAME",
        "%s \\- %s" % (name, roff_text(summary)),
        ".SH SYNOPSIS",
        ".B %s" % name,
    ]
    if len(usage_words) > 1:
        out.append(roff_text(usage_words[1]))
    out.append(".SH DESCRIPTION")
    for i, paragraph in enumerate(description):
        if i:
            out.append(".PP")
        out.append(roff_text(paragraph))
    for heading, blocks in sections:
        out.append('.SH "%s"' % heading.upper())
        for block in blocks:
            if block[0] == "text":
                out += [".PP", roff_text(block[1])]
                continue
            _, term, text = block
            if expand_commands and heading == "Commands" and not text:
                text = command_help(program, term)
            out += [".TP", roff_term(term), roff_text(text)]
    if see_also:
        out += [".SH \"SEE ALSO\"",
                ",\n".join(".BR %s (%s)" % tuple(p.rstrip(")").split("(")) for p in see_also)]
    return "\n".join(out) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("program")
    parser.add_argument("name")
    parser.add_argument("output")
    parser.add_argument("--commands", action="store_true")
    parser.add_argument("--see-also", nargs="*", default=[])
    args = parser.parse_args()
    page = manual_page(os.path.abspath(args.program), args.name, args.commands,
                       args.see_also).encode("utf-8")
    temporary = args.output + ".part"
    with open(temporary, "wb") as out:
        if args.output.endswith(".gz"):
            with gzip.GzipFile(filename="", mode="wb", fileobj=out, compresslevel=9,
                               mtime=0) as packed:
                packed.write(page)
        else:
            out.write(page)
    os.replace(temporary, args.output)


if __name__ == "__main__":
    main()
