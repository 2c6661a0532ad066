#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""gzip_n.py IN OUT: compresses IN into OUT with neither a name nor a time stamp in the
header (as gzip -9n does), so that the same file gives the same bytes."""

import gzip
import sys

with open(sys.argv[1], "rb") as source, open(sys.argv[2], "wb") as out:
    with gzip.GzipFile(filename="", mode="wb", fileobj=out, compresslevel=9, mtime=0) as packed:
        packed.write(source.read())
