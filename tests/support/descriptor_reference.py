#!/usr/bin/env python3
"""descriptor_reference.py FORMAT DIR OURS: reads every document of DIR (as
listed in DIR/index.txt) with the reference reader of FORMAT (python's json,
tomllib, PyYAML's safe_load, xml.etree) and compares the result with what the
reader under test gave, one line per document in OURS: the file name, a TAB and
either "-" (the reader gave nothing) or the tree as tagged JSON lists (see
tests/native/descriptors_differential_test.cpp). Prints the counts and every
difference; exits 1 on any difference."""
import json
import re
import sys
import tomllib
from html.parser import HTMLParser
from xml.etree import ElementTree

import yaml

fmt, folder, ours_path = sys.argv[1:4]


def tagged(v):
    """The reference's value in the dump's form; dates stay objects."""
    if v is None:
        return ["n"]
    if isinstance(v, bool):
        return ["b", "true" if v else "false"]
    if isinstance(v, int):
        return ["i", str(v)]
    if isinstance(v, float):
        return ["f", repr(v)]
    if isinstance(v, str):
        return ["s", v]
    if isinstance(v, list):
        return ["a", [tagged(e) for e in v]]
    if isinstance(v, dict):
        return ["o", [[k if isinstance(k, str) else tagged(k), tagged(e)] for k, e in v.items()]]
    return ["d", v]


BREAKS = {"p", "br", "li", "div", "tr", "td", "th", "h1", "h2", "h3", "h4", "h5", "h6", "ul", "ol", "dd", "dt",
          "blockquote", "pre", "table", "hr"}


class Strip(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.parts = []

    def handle_starttag(self, tag, attrs=None):
        self.parts.append(" " if tag in BREAKS else "")

    handle_endtag = handle_startendtag = handle_starttag

    def handle_data(self, data):
        self.parts.append(data)


def stripped(text):
    """The text as HTMLParser sees it, where its markup is plain (tags with their quotes and comments closed, the
    references ones the stripper knows); "*" elsewhere, where HTMLParser's recovery from broken markup differs
    between Python releases."""
    tag = r"<(?:/?[a-zA-Z](?:[^<>\"']|\"[^\"]*\"|'[^']*')*|!--(?:(?!--).)*--)>"
    ref = r"&(?:lt|gt|amp|quot|apos|nbsp|#[0-9]+|#[xX][0-9a-fA-F]+);"
    codes = [int(h, 16) if h else int(d) for h, d in re.findall(r"&#(?:[xX]([0-9a-fA-F]+)|([0-9]+));", text)]
    known = all(c in (9, 10, 12, 13) or 0x20 <= c <= 0x10FFFF and not 0x7F <= c <= 0x9F and not 0xD800 <= c <= 0xDFFF
                and not 0xFDD0 <= c <= 0xFDEF and c & 0xFFFE != 0xFFFE for c in codes)
    if not known or not re.fullmatch(r"(?:[^<&]|%s|%s)*" % (tag, ref), text, re.S):
        return "*"
    s = Strip()
    s.feed(text)
    s.close()
    return " ".join("".join(s.parts).split())


def tagged_element(e):
    return ["e", e.tag, [[k, v] for k, v in e.attrib.items()], e.text or "", e.tail or "",
            [tagged_element(c) for c in e], "".join(e.itertext()),
            stripped("".join(e.itertext())) if e.tag == "description" else ""]


def reference(data, flags):
    if fmt == "json":
        return tagged(json.loads(data.decode("utf-8-sig" if "bom" in flags else "utf-8")))
    if fmt == "toml":
        return tagged(tomllib.loads(data.decode("utf-8")))
    if fmt == "yaml":
        return tagged(yaml.safe_load(data))
    return tagged_element(ElementTree.fromstring(data))


def same(ours, ref):
    if ref[0] == "d":  # a TOML date or time: our text read back by tomllib
        return ours[0] == "d" and tomllib.loads("x = " + ours[1])["x"] == ref[1]
    if ours[0] != ref[0] or len(ours) != len(ref):
        return False
    if ref[0] in ("a", "o"):
        return len(ours[1]) == len(ref[1]) and all(
            (same(a, b) if ref[0] == "a" else a[0] == b[0] and same(a[1], b[1])) for a, b in zip(ours[1], ref[1]))
    if ref[0] == "e":
        return (ours[1:5] == ref[1:5] and ours[6] == ref[6] and ref[7] in ("*", ours[7]) and
                len(ours[5]) == len(ref[5]) and all(same(a, b) for a, b in zip(ours[5], ref[5])))
    return ours == ref


index = [line.rstrip("\n").split("\t") for line in open(folder + "/index.txt", encoding="utf-8")]
flags = {name: set(f.split(",")) for name, f in index}
counts = {"equal": 0, "both refuse": 0, "declined": 0, "differ": 0}
for line in open(ours_path, encoding="utf-8"):
    name, dump = line.rstrip("\n").split("\t", 1)
    data = open(folder + "/" + name, "rb").read()
    try:
        ref = reference(data, flags[name])
    except Exception as error:  # each reference refuses with an exception of its own
        ref, why = None, error
    ours = None if dump == "-" else json.loads(dump)
    if ref is None and ours is None:
        kind = "both refuse"
    elif ours is None and "may-decline" in flags[name]:
        kind = "declined"
    elif ref is not None and ours is not None and same(ours, ref):
        kind = "equal"
    else:
        kind = "differ"
        print("%s/%s: reader %s, reference %s" % (fmt, name, dump[:300], why if ref is None else
                                                   json.dumps(ref, default=str)[:300]))
    counts[kind] += 1
print("%s: %d documents: %s" % (fmt, sum(counts.values()), ", ".join("%d %s" % (n, k) for k, n in counts.items())))
sys.exit(1 if counts["differ"] else 0)
