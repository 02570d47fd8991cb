#!/usr/bin/python3
"""Reads a workbook with openpyxl and prints what it holds, one fact a line:
KEY, a tab, VALUE. The C++ tests compare the facts with the layout they expect,
so the workbook is judged by an independent reader, never by its bytes.

Keys:
  sheets                      sheet names in order, joined with "|"
  S!merges                    merged ranges, sorted, joined with " "
  S!zoom                      zoom scale (100 when unset)
  S!cols.MIN-MAX              stored column width, 2 decimals
  S!row.N                     row height
  S!CELL.value                "s:" text or "n:" number
  S!CELL.font                 name/size/b i/colour/underline
  S!CELL.fill                 pattern/foreground/background
  S!CELL.border               left/top/right/bottom styles
  S!CELL.align                horizontal/shrink
  S!CELL.link                 location|tooltip|target
"""
import sys

import openpyxl
from openpyxl.utils import get_column_letter


def colour(c):
    if c is None:
        return "none"
    if c.type == "rgb":
        return c.rgb
    if c.type == "indexed":
        return "i%d" % c.indexed
    if c.type == "theme":
        return "t%d" % c.theme
    return "auto"


def number(value):
    return ("%.2f" % value).rstrip("0").rstrip(".")


def main(path):
    book = openpyxl.load_workbook(path)
    facts = [("sheets", "|".join(book.sheetnames))]
    # The workbook's default font: the first of its font records.
    default = book._fonts[0]
    facts.append(("default font", "%s/%s" % (default.name, number(default.sz))))
    for sheet in book.worksheets:
        name = sheet.title
        facts.append((name + "!merges", " ".join(sorted(str(r) for r in sheet.merged_cells.ranges))))
        facts.append((name + "!zoom", str(sheet.sheet_view.zoomScale or 100)))
        for dim in sheet.column_dimensions.values():
            if dim.width:
                facts.append(("%s!cols.%s-%s" % (name, get_column_letter(dim.min),
                                                 get_column_letter(dim.max)), number(dim.width)))
        for index, dim in sheet.row_dimensions.items():
            if dim.height is not None:
                facts.append(("%s!row.%d" % (name, index), number(dim.height)))
        for row in sheet.iter_rows():
            for cell in row:
                if not cell.has_style and cell.value is None:
                    continue
                key = "%s!%s" % (name, cell.coordinate)
                if cell.value is not None:
                    value = cell.value
                    kind = "s:" if isinstance(value, str) else "n:"
                    facts.append((key + ".value", kind + (value if kind == "s:" else number(value))))
                font = cell.font
                facts.append((key + ".font", "%s/%s/%s%s/%s/%s" % (
                    font.name, number(font.sz), "b" if font.b else "", "i" if font.i else "",
                    colour(font.color), font.u or "none")))
                fill = cell.fill
                facts.append((key + ".fill", "%s/%s/%s" % (
                    fill.fill_type or "none", colour(fill.fgColor), colour(fill.bgColor))))
                b = cell.border
                facts.append((key + ".border", "/".join(
                    (side.style or "none") for side in (b.left, b.top, b.right, b.bottom))))
                facts.append((key + ".align", "%s/%s" % (
                    cell.alignment.horizontal or "general",
                    "shrink" if cell.alignment.shrink_to_fit else "")))
                if cell.hyperlink is not None:
                    link = cell.hyperlink
                    facts.append((key + ".link", "%s|%s|%s" % (
                        link.location or "", link.tooltip or "", link.target or "")))
    for key, value in facts:
        print("%s\t%s" % (key, value))


if __name__ == "__main__":
    main(sys.argv[1])
