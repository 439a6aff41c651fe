#!/usr/bin/env python3
"""Turns the published System 34 figures (system34.txt) into src/geo/System34Tables.{h,cpp}.

Usage: make_system34.py system34.txt OUTDIR

Every number is copied token for token, so the C++ tables hold exactly the published text.
The boxes come from the data file's header lines.
"""
import re
import sys

NAMES = [
    "jylland_forward_polygon", "jylland_inverse_polygon",
    "sjaelland_forward_polygon", "sjaelland_inverse_polygon",
    "jylland_forward_polynomial", "jylland_inverse_polynomial",
    "sjaelland_forward_polynomial", "sjaelland_inverse_polynomial",
]
NUM = r"(-?\d+(?:\.\d+)?)"  # a sentence-ending full stop is not part of the number
BOX = re.compile(rf"(jylland|sjaelland) forward {NUM}\.\.{NUM} x {NUM}\.\.{NUM}, "
                 rf"inverse {NUM}\.\.{NUM} x {NUM}\.\.{NUM}")


def camel(name):
    return "".join(part.capitalize() for part in name.split("_"))


def read(path):
    tables, boxes, current = {}, {}, None
    with open(path) as f:
        for line in f:
            if line.startswith("#"):
                m = BOX.search(line)
                if m:
                    boxes[m.group(1)] = [m.group(i) for i in range(2, 10)]
                continue
            words = line.split()
            if not words:
                continue
            if words[0] == "table":
                current = words[1]
                tables[current] = []
            elif words[0] == "end":
                current = None
            else:
                tables[current].extend(words)
    return tables, boxes


def check(tables, boxes):
    for name in NAMES:
        values = tables[name]
        lead = float(values[0])
        if name.endswith("polygon"):
            want = 1 + 2 * int(lead)
        else:
            d = int(lead)
            want = 2 * ((d + 1) * (d + 2) // 2) + 3
        if len(values) != want:
            sys.exit(f"{name}: {len(values)} values, expected {want}")
    for region in ("jylland", "sjaelland"):
        if region not in boxes:
            sys.exit(f"no box line for {region}")


def emit(tables, boxes, outdir):
    h = ["// Generated automatically by src/geo/gen/make_system34.py from system34.txt, the",
         "// published System 34 <-> UTM zone 32 (ED50) figures. Do not edit; rerun the script.",
         "#pragma once", "", "namespace velmira::s34tables {", ""]
    c = ["// Generated automatically by src/geo/gen/make_system34.py from system34.txt, the",
         "// published System 34 <-> UTM zone 32 (ED50) figures. Do not edit; rerun the script.",
         '#include "geo/System34Tables.h"', "", "namespace velmira::s34tables {", ""]
    h.append("// Polygons: vertex count, then (first, second) pairs in input coordinates.")
    h.append("// Polynomials: degree d, K = (d+1)(d+2)/2 coefficients of the first output, centre N0,")
    h.append("// K coefficients of the second output, centre E0.")
    for name in NAMES:
        values = tables[name]
        h.append(f"extern const double {camel(name)}[{len(values)}];")
        c.append(f"const double {camel(name)}[{len(values)}] = {{")
        for i in range(0, len(values), 4):
            c.append("    " + ", ".join(values[i:i + 4]) + ",")
        c.append("};")
        c.append("")
    h.append("")
    h.append("// Boxes, bounds inclusive: first coordinate min, max, then second coordinate min, max.")
    for region in ("jylland", "sjaelland"):
        b = boxes[region]
        for direction, part in (("forward", b[0:4]), ("inverse", b[4:8])):
            name = camel(f"{region}_{direction}_box")
            h.append(f"inline constexpr double {name}[4] = {{{', '.join(v + '.0' if '.' not in v else v for v in part)}}};")
    h += ["", "}  // namespace velmira::s34tables", ""]
    c += ["}  // namespace velmira::s34tables", ""]
    with open(f"{outdir}/System34Tables.h", "w") as f:
        f.write("\n".join(h))
    with open(f"{outdir}/System34Tables.cpp", "w") as f:
        f.write("\n".join(c))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    tables, boxes = read(sys.argv[1])
    check(tables, boxes)
    emit(tables, boxes, sys.argv[2])


if __name__ == "__main__":
    main()
