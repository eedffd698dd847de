#!/usr/bin/env python3
"""Prints what an independent reader finds in a workbook, one fact a line.

  read_workbook.py cells FILE   sheet, frozen pane, then every non-empty cell:
                                coordinate, type, value, number format, font
                                colour, fill colour (tab-separated)
  read_workbook.py rows FILE    the number of rows of the first sheet and the
                                last row's cells as stored, read straight from
                                the package, fast enough for a million rows
"""
import datetime
import sys
import xml.etree.ElementTree as ElementTree
import zipfile

import openpyxl


def shown(value):
    if isinstance(value, datetime.datetime):
        # A date-time cell holds a fraction of a day; to the nearest second.
        return (value + datetime.timedelta(microseconds=500000)).replace(microsecond=0).isoformat(sep=" ")
    return repr(value)


def colour(c):
    if c is None or c.type != "rgb" or c.rgb in (None, "00000000"):
        return "-"
    return c.rgb[-6:]


def cells(path):
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    print("sheet\t" + sheet.title)
    print("freeze\t" + str(sheet.freeze_panes))
    for row in sheet.iter_rows():
        for cell in row:
            if cell.value is None:
                continue
            value = shown(cell.value)
            fill = cell.fill.fgColor if cell.fill is not None and cell.fill.fill_type == "solid" else None
            print("\t".join([cell.coordinate, cell.data_type, value, cell.number_format,
                             colour(cell.font.color), colour(fill)]))


def rows(path):
    count = 0
    tail = b""
    with zipfile.ZipFile(path) as package, package.open("xl/worksheets/sheet1.xml") as sheet:
        while True:
            chunk = sheet.read(1 << 20)
            if not chunk:
                break
            # A row tag cut by the chunk border is counted in the joined tail.
            joined = tail[-16:] + chunk
            count += joined.count(b"<row ") - tail[-16:].count(b"<row ")
            tail = (tail + chunk)[-(1 << 16):]
    last = tail[tail.rindex(b"<row "):]
    last = last[:last.index(b"</row>") + len(b"</row>")]
    cells = []
    for cell in ElementTree.fromstring(last):
        text = cell.find("is/t") if cell.get("t") == "inlineStr" else cell.find("v")
        cells.append(text.text if text is not None else "")
    print("rows\t%d" % count)
    print("last\t" + "\t".join(cells))


if __name__ == "__main__":
    {"cells": cells, "rows": rows}[sys.argv[1]](sys.argv[2])
