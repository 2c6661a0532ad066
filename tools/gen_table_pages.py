#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the four duty-table pages of the main window form from one template.

The MAIN, AUX, GPO1 and GPO2 pages share one arrangement and differ only in their name prefix,
their output mode list and a few rows (pump prime delay on MAIN and AUX, the GPO delays and
comparison captions on the GPO pages). tools/table_page.ui.in holds that arrangement once;
this script expands it into ui/mainwindow.ui between the "generated table pages" markers, and
writes the form's connections from each page's parameter widgets to the page's
<t>_field_changed() slot between the "generated table connections" markers.

    python3 tools/gen_table_pages.py           # rewrite ui/mainwindow.ui
    python3 tools/gen_table_pages.py --check   # exit 1 if ui/mainwindow.ui is out of date

Edit the template (or the lists below), never the generated blocks of ui/mainwindow.ui: the
next run overwrites them.
"""

import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TEMPLATE = os.path.join(ROOT, "tools", "table_page.ui.in")
FORM = os.path.join(ROOT, "ui", "mainwindow.ui")

GPO_MODES = [
    "Output OFF",
    "Duty table",
    "ON above setpoint, OFF below it",
    "OFF above setpoint, ON below it",
    "ON when MAIN faulted, OFF otherwise",
    "OFF when MAIN faulted, ON otherwise",
]

# (prefix, tab text, kinds, output mode items), in tab order.
PAGES = [
    ("main", "Main Table", {"output", "main"},
     ["Output OFF", "Duty table", "Duty table + pump delay"]),
    ("aux", "AUX Table", {"output", "aux"},
     ["Output OFF", "Duty table", "Duty table + pump delay", "Duty table + OEM control",
      "OEM control pass-through"]),
    ("gpo1", "GPO1 Table", {"gpo"},
     GPO_MODES + ["ON while AUX faulted, OFF otherwise", "OFF while AUX faulted, ON otherwise"]),
    ("gpo2", "GPO2 Table", {"gpo"},
     GPO_MODES + ["ON when AUX faulted, OFF otherwise", "OFF when AUX faulted, ON otherwise"]),
]

# Widgets whose change alters a table's record, and so queues the table and rebuilds its axes.
CONNECTIONS = {
    "output": [
        ("max_engine_speed", "valueChanged(int)"),
        ("@t@_horz_axis_gt", "valueChanged(int)"),
        ("@t@_time_delay", "valueChanged(int)"),
        ("@t@_min_duty", "valueChanged(int)"),
        ("@t@_vert_axis_gt", "valueChanged(double)"),
        ("@t@_overcurrent_limit", "valueChanged(double)"),
        ("@t@_undercurrent_limit", "valueChanged(double)"),
        ("@t@_vert_axis", "currentIndexChanged(int)"),
    ],
    "gpo": [
        ("max_engine_speed", "valueChanged(int)"),
        ("@t@_horz_axis_gt", "valueChanged(int)"),
        ("@t@_act_delay", "valueChanged(int)"),
        ("@t@_deact_delay", "valueChanged(int)"),
        ("@t@_vert_axis_gt", "valueChanged(double)"),
        ("@t@_vert_axis", "currentIndexChanged(int)"),
    ],
}

PAGE_MARKERS = ("<!-- generated table pages: begin -->", "<!-- generated table pages: end -->")
CONNECTION_MARKERS = ("<!-- generated table connections: begin -->",
                      "<!-- generated table connections: end -->")

CONDITION = re.compile(r"^<!--#if (\w+)-->$")
END_CONDITION = "<!--#endif-->"


def xml_escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def control_items(items):
    lines = []
    for item in items:
        lines += [
            "               <item>",
            "                <property name=\"text\">",
            "                 <string>%s</string>" % xml_escape(item),
            "                </property>",
            "               </item>",
        ]
    return "\n".join(lines)


def template_body():
    """The template without its leading explanation."""
    with open(TEMPLATE, encoding="utf-8") as f:
        text = f.read()
    start = text.index("-->") + len("-->")
    return text[start:].lstrip("\n")


def expand(body, prefix, title, kinds, items):
    out = []
    keep = [True]
    for line in body.splitlines():
        stripped = line.strip()
        match = CONDITION.match(stripped)
        if match:
            keep.append(keep[-1] and match.group(1) in kinds)
            continue
        if stripped == END_CONDITION:
            if len(keep) == 1:
                sys.exit("table_page.ui.in: #endif without #if")
            keep.pop()
            continue
        if not keep[-1]:
            continue
        if stripped == "@control_items@":
            out.append(control_items(items))
            continue
        out.append(line.replace("@t@", prefix).replace("@title@", xml_escape(title)))
    if len(keep) != 1:
        sys.exit("table_page.ui.in: #if without #endif")
    return "\n".join(out)


def pages_block():
    body = template_body()
    return "\n".join(expand(body, prefix, title, kinds, items)
                     for prefix, title, kinds, items in PAGES)


def connections_block():
    lines = []
    for prefix, _, kinds, _ in PAGES:
        kind = "gpo" if "gpo" in kinds else "output"
        for sender, signal in CONNECTIONS[kind]:
            lines += [
                "  <connection>",
                "   <sender>%s</sender>" % sender.replace("@t@", prefix),
                "   <signal>%s</signal>" % signal,
                "   <receiver>MainWindow</receiver>",
                "   <slot>%s_field_changed()</slot>" % prefix,
                "  </connection>",
            ]
    return "\n".join(lines)


def replace_between(text, markers, block):
    begin, end = markers
    first = text.find(begin)
    last = text.find(end)
    if first < 0 or last < first:
        sys.exit("%s: markers %r and %r not found" % (FORM, begin, end))
    # Keep the indentation of the end marker's line.
    line_start = text.rfind("\n", 0, last) + 1
    indent = text[line_start:last]
    return text[:first + len(begin)] + "\n" + block + "\n" + indent + text[last:]


def main():
    check = "--check" in sys.argv[1:]
    with open(FORM, encoding="utf-8") as f:
        current = f.read()
    updated = replace_between(current, PAGE_MARKERS, pages_block())
    updated = replace_between(updated, CONNECTION_MARKERS, connections_block())
    if check:
        if updated != current:
            print("ui/mainwindow.ui is out of date: run python3 tools/gen_table_pages.py")
            return 1
        return 0
    if updated != current:
        with open(FORM, "w", encoding="utf-8") as f:
            f.write(updated)
    return 0


if __name__ == "__main__":
    sys.exit(main())
