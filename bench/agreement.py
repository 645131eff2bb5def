#!/usr/bin/env python3
"""Word-by-word agreement of two PDFs of one document.

Reads the words of both PDFs with `pdftohtml -xml`, aligns them by their text
and counts, over the aligned words, those whose font family, size, bold,
italic and colour agree, each alone and all five at once. A size agrees
within one unit and a colour within one unit per channel: one PDF writer
rounds colours to four decimals and pdftohtml truncates them back to bytes.

  agreement.py A.pdf B.pdf        prints one JSON line
  agreement.py --summary FILE...  sums such lines, one per document
SHOW=family (or size, bold, italic, color) also prints a sample of the words
that disagree on it.
"""
import difflib
import json
import os
import re
import statistics
import subprocess
import sys
import xml.etree.ElementTree as ET

KEYS = ("family", "size", "bold", "italic", "color")


def family_of(name):
    name = name.split("+", 1)[-1]
    name = re.split(r"[-,]", name, 1)[0]
    return re.sub(r"[\s_]", "", name).lower()


def words_of(pdf):
    xml = subprocess.run(
        ["pdftohtml", "-xml", "-i", "-fontfullname", "-stdout", "-q", pdf],
        capture_output=True, check=True).stdout
    xml = re.sub(rb"<!DOCTYPE[^>]*>", b"", xml)
    root = ET.fromstring(xml.decode("utf-8", "replace"))
    fonts, words, pages = {}, [], 0
    for page in root.iter("page"):
        pages += 1
        for node in page:
            if node.tag == "fontspec":
                fonts[node.get("id")] = node
                continue
            if node.tag != "text":
                continue
            face = fonts.get(node.get("font"))
            if face is None:
                continue
            name = face.get("family", "")
            lower = name.lower()
            bold = node.find(".//b") is not None or "bold" in lower
            italic = (node.find(".//i") is not None or "italic" in lower
                      or "oblique" in lower)
            look = (family_of(name), float(face.get("size", "0")), bold, italic,
                    face.get("color", "#000000"))
            for word in "".join(node.itertext()).split():
                words.append((word, look))
    return words, pages


def colours_agree(a, b):
    try:
        return all(abs(int(a[i:i + 2], 16) - int(b[i:i + 2], 16)) <= 1
                   for i in (1, 3, 5))
    except ValueError:
        return a == b


def agrees(key, a, b):
    if key == "size":
        return abs(a - b) <= 1
    if key == "color":
        return colours_agree(a, b)
    return a == b


def compare(pdf_a, pdf_b):
    words_a, pages_a = words_of(pdf_a)
    words_b, pages_b = words_of(pdf_b)
    matcher = difflib.SequenceMatcher(
        None, [w for w, _ in words_a], [w for w, _ in words_b], autojunk=False)
    counts = dict.fromkeys(KEYS + ("all",), 0)
    aligned = 0
    show = os.environ.get("SHOW")
    samples = []
    for block in matcher.get_matching_blocks():
        for k in range(block.size):
            word, look_a = words_a[block.a + k]
            look_b = words_b[block.b + k][1]
            aligned += 1
            every = True
            for i, key in enumerate(KEYS):
                if agrees(key, look_a[i], look_b[i]):
                    counts[key] += 1
                else:
                    every = False
                    if key == show and len(samples) < 40:
                        samples.append((word, look_a[i], look_b[i]))
            counts["all"] += every
    for sample in samples:
        print(*sample, file=sys.stderr)
    return {"pages_a": pages_a, "pages_b": pages_b, "aligned": aligned, **counts}


def summary(files):
    rows = [json.loads(line) for f in files for line in open(f) if line.strip()]
    aligned = sum(r["aligned"] for r in rows)
    print(f"{len(rows)} documents, {aligned} aligned words")
    for key in KEYS + ("all",):
        print(f"  {key:7} {100 * sum(r[key] for r in rows) / max(aligned, 1):.1f}%")
    shares = [r["all"] / r["aligned"] for r in rows if r["aligned"] >= 20]
    if shares:
        print(f"  median per document ({len(shares)} with >= 20 words): "
              f"{100 * statistics.median(shares):.1f}%; below 50%: "
              f"{sum(s < 0.5 for s in shares)}")
    close = sum(abs(r["pages_a"] - r["pages_b"]) <= 0.1 * max(r["pages_b"], 1)
                for r in rows)
    print(f"  page counts within 10%: {close} of {len(rows)}")
    worst = sorted(rows, key=lambda r: r["all"] - r["aligned"])[:15]
    for r in worst:
        print(f"    {r.get('doc', '?'):40} {r['aligned'] - r['all']:6} disagree"
              f" of {r['aligned']}")


if __name__ == "__main__":
    if len(sys.argv) > 1 and sys.argv[1] == "--summary":
        summary(sys.argv[2:])
    elif len(sys.argv) == 3:
        result = compare(sys.argv[1], sys.argv[2])
        result["doc"] = os.path.splitext(os.path.basename(sys.argv[1]))[0]
        print(json.dumps(result))
    else:
        sys.exit(__doc__)
