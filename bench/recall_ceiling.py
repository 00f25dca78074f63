#!/usr/bin/env python3
"""Upper bound on the text recall any repair tool can reach on a damaged corpus.

    python3 bench/recall_ceiling.py [--corpus DIR] [--json OUT.json] [--compare RESULTS.json]

The corpus holds originals/*.odg and damaged/*.odg, each damaged file with its
sidecar damaged/X.odg.json ("original", "class", "actions"), as written by the
corpus' damage.py.  For every damaged file we work out which bytes of the
original are still present, unchanged, in the damaged file, and from that which
word occurrences of the drawing's text could still be decoded by anybody.
The score mirrors the judge: the multiset fraction of the original PDF's words
(pdftotext of LibreOffice's export) that come back.

Where the text lives: the text:p paragraphs of content.xml and the <text>
elements of Pictures/*.svg.  Those are the only entries decoded; everything
else (styles, pictures, the thumbnail) is assumed not to carry words.

The bound is deliberately generous, so that a tool below it has room to grow
and a word it misses above it is physically gone:
  * a byte of the original "survived" when some byte of the damaged file maps
    back to it (through the sidecar's cuts and insertions) and still holds the
    same value.  A zeroed byte that was zero anyway, or a random byte that
    happens to match, counts as survived;
  * for a deflated entry, a literal is recoverable when the bytes holding its
    code bits survived; a copied byte when the bytes holding the length and
    distance codes and their extra bits survived and the byte it copies is
    itself recoverable.  The Huffman tables, block boundaries and the bit
    position after a gap are taken as known even when the block header or the
    bytes before were lost (a real tool would have to find or guess them).
    A second, stricter column ("headers read") also asks that the header of
    the symbol's block (its type and code tables) survived;
  * local headers, data descriptors and the central directory do not matter:
    names, methods and sizes are taken as known.  Nor does the markup around
    the text: an SVG picture's words count even when the frame that shows it
    is lost (a tool could place the orphan picture itself);
  * a word occurrence is recoverable when every byte of it is.  LibreOffice
    breaks words that do not fit a shape across lines ("damokabi" prints as
    "damoka" and "bi") and pdftotext glues pieces that touch on a line, also
    across shapes ("lamodapi" + "pegu").  Such PDF words are traced once, on the
    intact original, to the pieces they are made of, and count when those bytes
    are recoverable.  Short pieces ("a", "u") may be traced to the wrong one of
    several words that end alike; that can move the bound by those pieces only.
    PDF words that cannot be traced at all are counted as always recovered and
    listed in the notes (none in the corpus as made).

What the bound leaves out: text whose bytes survive can still score lower when
the styles are lost, since LibreOffice then lays it out, and breaks it into
PDF words, differently.

The originals' PDF text comes from the judge's cache (<temp>/odg_judge_cache/
<sha256>.json); without it the words of the parts themselves are the reference.
"""
import argparse
import hashlib
import html
import json
import re
import struct
import sys
import tempfile
import time
import zipfile
import zlib
from collections import Counter, defaultdict
from pathlib import Path

CACHE = Path(tempfile.gettempdir()) / "odg_judge_cache"


# ---------------------------------------------------------------- where each damaged byte came from
def segment_map(actions, original_size):
    """Replay the sidecar's actions on a map of the damaged file.

    Returns [(damaged_start, original_start or None, length)] covering the damaged
    file in order; None marks inserted bytes.  Offsets of each action are in the
    coordinates of the file as it is when that action applies.  Overwrites (zero,
    random, bitflip) keep the mapping: whether such a byte survived is decided by
    comparing values afterwards.
    """
    segs = [(0, 0, original_size)]

    def split(at):
        out = []
        for d, o, n in segs:
            if d < at < d + n:
                k = at - d
                out += [(d, o, k), (at, None if o is None else o + k, n - k)]
            else:
                out.append((d, o, n))
        return out

    for a in actions:
        op, off, n = a["op"], a["offset"], a["length"]
        if op == "cut_tail":
            segs = [s for s in split(off) if s[0] < off]
        elif op == "cut":
            segs = split(off)
            segs = split(off + n)
            segs = [(d if d < off else d - n, o, m) for d, o, m in segs if not off <= d < off + n]
        elif op == "insert_random":
            segs = split(off)
            segs = [(d if d < off else d + n, o, m) for d, o, m in segs] + [(off, None, n)]
            segs.sort()
        elif op not in ("zero", "random", "bitflip"):
            raise ValueError(f"unknown damage op {op!r}")
    return segs


def survived(segs, damaged, original, lo, hi):
    """bytearray over original[lo:hi]: 1 where the byte is in the damaged file unchanged."""
    ok = bytearray(hi - lo)
    for d, o, n in segs:
        if o is None:
            continue
        a, b = max(lo, o), min(hi, o + n)
        for k, (x, y) in enumerate(zip(damaged[d + a - o:d + b - o], original[a:b])):
            if x == y:
                ok[a - lo + k] = 1
    return ok


# ---------------------------------------------------------------- inflate that tracks provenance
LEN_BASE = [3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83, 99, 115,
            131, 163, 195, 227, 258]
LEN_EXTRA = [0] * 8 + [1] * 4 + [2] * 4 + [3] * 4 + [4] * 4 + [5] * 4 + [0]
DIST_BASE = [1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513, 769, 1025,
             1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577]
DIST_EXTRA = [0, 0, 0, 0] + [k for k in range(1, 14) for _ in (0, 1)]
CL_ORDER = [16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15]


def huffman(lengths):
    """Canonical Huffman code from code lengths, as {(length, code): symbol}."""
    count = Counter(l for l in lengths if l)
    code, first = 0, {}
    for l in range(1, 16):
        code = (code + count[l - 1]) << 1
        first[l] = code
    table = {}
    for sym, l in enumerate(lengths):
        if l:
            table[(l, first[l])] = sym
            first[l] += 1
    return table


FIXED_LIT = huffman([8] * 144 + [9] * 112 + [7] * 24 + [8] * 8)
FIXED_DIST = huffman([5] * 32)


class Bits:
    """LSB-first bit reader over a byte string; pos is the bit position."""

    def __init__(self, data):
        self.data, self.pos = data, 0

    def get(self, n):
        v = 0
        for i in range(n):
            p = self.pos
            v |= ((self.data[p >> 3] >> (p & 7)) & 1) << i
            self.pos = p + 1
        return v

    def sym(self, table):
        code = 0
        for l in range(1, 16):
            code = (code << 1) | self.get(1)
            s = table.get((l, code))
            if s is not None:
                return s
        raise ValueError("bad Huffman code")


def inflate(data, ok, need_header=False):
    """Decode a raw deflate stream; return (output, rec) with rec[i] = 1 when output
    byte i is recoverable given ok[j] = 1 for each compressed byte j that survived.

    need_header: a symbol also needs the header of its block (type and Huffman
    tables) intact, instead of taking the tables as known."""
    bad = [0]  # bad[j] = lost bytes among data[:j]
    for b in ok:
        bad.append(bad[-1] + (not b))

    def intact(bit_lo, bit_hi):  # every byte holding bits [bit_lo, bit_hi) survived
        return bad[((bit_hi - 1) >> 3) + 1] - bad[bit_lo >> 3] == 0

    r, out, rec = Bits(data), bytearray(), bytearray()
    final = 0
    while not final:
        head = r.pos
        final, kind = r.get(1), r.get(2)
        if kind == 0:  # stored block
            r.pos = (r.pos + 7) & ~7
            n = r.get(16)
            r.get(16)
            j = r.pos >> 3
            out += data[j:j + n]
            rec += ok[j:j + n] if not need_header or intact(head, r.pos) else bytes(n)
            r.pos += 8 * n
            continue
        if kind == 1:
            lit, dist = FIXED_LIT, FIXED_DIST
        elif kind == 2:
            hlit, hdist, hclen = r.get(5) + 257, r.get(5) + 1, r.get(4) + 4
            cl = [0] * 19
            for i in range(hclen):
                cl[CL_ORDER[i]] = r.get(3)
            cl = huffman(cl)
            lengths = []
            while len(lengths) < hlit + hdist:
                s = r.sym(cl)
                if s < 16:
                    lengths.append(s)
                elif s == 16:
                    lengths += [lengths[-1]] * (3 + r.get(2))
                elif s == 17:
                    lengths += [0] * (3 + r.get(3))
                else:
                    lengths += [0] * (11 + r.get(7))
            lit, dist = huffman(lengths[:hlit]), huffman(lengths[hlit:])
        else:
            raise ValueError("bad block type")
        tables = not need_header or intact(head, r.pos)
        while True:
            start = r.pos
            s = r.sym(lit)
            if s < 256:
                out.append(s)
                rec.append(tables and intact(start, r.pos))
            elif s == 256:
                break
            else:
                s -= 257
                n = LEN_BASE[s] + r.get(LEN_EXTRA[s])
                d = r.sym(dist)
                d = DIST_BASE[d] + r.get(DIST_EXTRA[d])
                codes_ok = tables and intact(start, r.pos)
                for _ in range(n):  # byte by byte: copies may overlap their own output
                    out.append(out[-d])
                    rec.append(codes_ok and rec[-d])
    return bytes(out), rec


# ---------------------------------------------------------------- words of a part
PARAGRAPH = re.compile(rb"<text:p\b[^>]*?(?<!/)>(.*?)</text:p>", re.S)
SVG_TEXT = re.compile(rb"<text\b[^>]*?(?<!/)>(.*?)</text>", re.S)
SPACE_TAG = re.compile(rb"<text:(s|tab|line-break)\b")
TOKEN = re.compile(rb"<[^>]*>|[^<]+")


def word_occurrences(name, xml):
    """[(word, [byte positions in xml])] for the text the drawing shows."""
    element = SVG_TEXT if name.endswith(".svg") else PARAGRAPH
    found = []
    for m in element.finditer(xml):
        base, cur = m.start(1), []

        def flush():
            if cur:
                found.append((html.unescape(bytes(xml[p] for p in cur).decode("utf-8", "replace")),
                              list(cur)))
                cur.clear()

        for t in TOKEN.finditer(m.group(1)):
            if t.group().startswith(b"<"):
                if SPACE_TAG.match(t.group()):
                    flush()
                continue
            for i, c in enumerate(t.group()):
                if c in b" \t\r\n":
                    flush()
                else:
                    cur.append(base + t.start() + i)
        flush()
    return found


def trace_pieces(wanted, sources):
    """Explain PDF words that are no word of the parts as runs of pieces of part words.

    LibreOffice breaks a word that does not fit its shape across lines ("damokabi"
    becomes "damoka" and "bi"), and pdftotext glues pieces that touch on a line,
    also across neighbouring shapes ("lamodapi" + "pegu").  wanted: Counter of PDF
    words to explain; sources: [(word, byte positions)] of the part words the PDF
    lacks.  Each source is used up from its front or its back, one piece at a time,
    so no character serves twice; longer pieces are tried first.
    Returns ([(pdf word, [byte positions of each piece])], Counter of words left unexplained).
    """
    left = [[0, len(w)] for w, _ in sources]  # the unused characters of each source

    def cut(p, i):
        if i == len(p):
            return []
        for j in range(len(p), i, -1):
            piece = p[i:j]
            for k, (w, where) in enumerate(sources):
                lo, hi = left[k]
                if len(w) != len(where) and (lo, hi, piece) != (0, len(w), w):
                    continue  # entity or multi-byte character: whole word only
                if w[lo:lo + len(piece)] == piece:
                    a, b, left[k][0] = lo, lo + len(piece), lo + len(piece)
                elif hi - len(piece) >= lo and w[hi - len(piece):hi] == piece:
                    a, b, left[k][1] = hi - len(piece), hi, hi - len(piece)
                else:
                    continue
                rest = cut(p, j)
                if rest is not None:
                    return [where[a:b] if len(w) == len(where) else where] + rest
                left[k] = [lo, hi]
        return None

    traces, unexplained = [], Counter()
    for p, n in sorted(wanted.items(), key=lambda x: (-len(x[0]), x[0])):
        for _ in range(n):
            pieces = cut(p, 0)
            if pieces is None:
                unexplained[p] += 1
            else:
                traces.append((p, pieces))
    return traces, unexplained


# ---------------------------------------------------------------- one original
class Original:
    """What the ceiling needs of an intact original, computed once."""

    def __init__(self, path, cache):
        self.path = path
        self.data = path.read_bytes()
        self.parts = []  # (name, method, data_lo, data_hi, uncompressed, occurrences)
        with zipfile.ZipFile(path) as z:
            for i in z.infolist():
                if not (i.filename == "content.xml" or
                        (i.filename.startswith("Pictures/") and i.filename.lower().endswith(".svg"))):
                    continue
                nlen, xlen = struct.unpack_from("<HH", self.data, i.header_offset + 26)
                lo = i.header_offset + 30 + nlen + xlen
                raw = z.read(i)
                if i.compress_type not in (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED):
                    raise SystemExit(f"{path.name}: {i.filename} uses method {i.compress_type}")
                self.parts.append((i.filename, i.compress_type, lo, lo + i.compress_size, raw,
                                   word_occurrences(i.filename, raw)))
        ours = Counter(w for p in self.parts for w, _ in p[5])
        sha = hashlib.sha256(self.data).hexdigest()
        f = Path(cache) / f"{sha}.json"
        self.from_pdf = f.exists()
        self.words = Counter(json.loads(f.read_text())["text"].split()) if self.from_pdf else ours
        self.total = sum(self.words.values())
        # PDF words that are not (or not that often) a word of the parts are traced, on
        # the intact original, to pieces of the part words that the PDF lacks (or has
        # fewer of).  Byte positions are made unique across parts by an offset per part.
        shift = [sum(len(p[4]) for p in self.parts[:k]) for k in range(len(self.parts))]
        sources = [(w, [shift[k] + i for i in where]) for k, p in enumerate(self.parts)
                   for w, where in p[5] if ours[w] > self.words[w]]
        self.traces, self.untraced = trace_pieces(self.words - ours, sources)

    def ceiling(self, damaged, actions, need_header=False):
        segs = segment_map(actions, len(self.data))
        size = sum(n for _, _, n in segs)
        if size != len(damaged):
            raise ValueError(f"actions give {size} bytes, damaged file has {len(damaged)}")
        got, recs = Counter(self.untraced), bytearray()  # untraced: credited as recovered
        for name, method, lo, hi, raw, occurrences in self.parts:
            ok = survived(segs, damaged, self.data, lo, hi)
            if all(ok):
                rec = bytes([1]) * len(raw)
            elif method == zipfile.ZIP_STORED:
                rec = ok
            else:
                out, rec = inflate(self.data[lo:hi], ok, need_header)
                assert out == raw, f"{self.path.name}:{name}: own inflate disagrees with zlib"
            for word, where in occurrences:
                if all(rec[p] for p in where):
                    got[word] += 1
            recs += rec  # the parts' recoverability end to end, as the traces count bytes
        for word, pieces in self.traces:
            if all(recs[p] for piece in pieces for p in piece):
                got[word] += 1
        return sum(min(n, got[w]) for w, n in self.words.items()) / max(1, self.total)


# ---------------------------------------------------------------- driver
def check_inflate(originals):
    """Our decoder must give zlib's bytes on every original part, all bytes intact."""
    for o in originals.values():
        for name, method, lo, hi, raw, _ in o.parts:
            if method == zipfile.ZIP_DEFLATED:
                out, rec = inflate(o.data[lo:hi], bytes([1]) * (hi - lo))
                assert out == raw == zlib.decompress(o.data[lo:hi], -15) and all(rec), name


def table(head, rows):
    """A Markdown table as text."""
    return "\n".join(["| " + " | ".join(head) + " |", "|" + "---|" * len(head)] +
                     ["| " + " | ".join(str(x) for x in r) + " |" for r in rows])


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--corpus", default="../shared/corpus", help="folder with originals/ and damaged/")
    ap.add_argument("--cache", default=str(CACHE), help="the judge's cache of the originals' PDF text")
    ap.add_argument("--json", help="also write the numbers here")
    ap.add_argument("--compare", help="a run_bench.py result: put its text_recall next to the ceiling")
    a = ap.parse_args()
    t0 = time.time()
    corpus = Path(a.corpus)
    originals, rows, skipped = {}, [], []
    for side in sorted((corpus / "damaged").glob("*.odg.json")):
        meta = json.loads(side.read_text())
        dpath = side.with_suffix("")  # X.odg.json -> X.odg
        opath = corpus / "originals" / meta["original"]
        if not dpath.is_file() or not opath.is_file():
            skipped.append(dpath.name)
            continue
        if opath.name not in originals:
            originals[opath.name] = Original(opath, a.cache)
        o, damaged = originals[opath.name], dpath.read_bytes()
        rows.append({"file": dpath.name, "class": meta.get("class", dpath.name.split("__")[0]),
                     "words": o.total,
                     "ceiling": round(o.ceiling(damaged, meta["actions"]), 4),
                     "ceiling_headers_read": round(o.ceiling(damaged, meta["actions"], need_header=True), 4)})
    check_inflate(originals)

    tool = {}
    if a.compare:
        tool = {r["file"]: r.get("text_recall", 0.0) for r in json.loads(Path(a.compare).read_text())["files"]}
    for r in rows:
        if r["file"] in tool:
            r["tool"] = tool[r["file"]]
            r["gap"] = round(r["ceiling"] - r["tool"], 4)

    def mean(rs, key):
        xs = [r[key] for r in rs if key in r]
        return round(sum(xs) / len(xs), 4) if xs else "-"

    keys = ["ceiling", "ceiling_headers_read"] + (["tool"] if tool else [])
    classes = defaultdict(list)
    for r in rows:
        classes[r["class"]].append(r)
    per_class = {c: {"n": len(rs), **{k: mean(rs, k) for k in keys}} for c, rs in sorted(classes.items())}
    overall = {"n": len(rows), **{k: mean(rows, k) for k in keys}}

    cols = ["ceiling", "headers read"] + (["tool", "gap"] if tool else [])
    print(f"# Text recall ceiling: {corpus}\n")
    print("ceiling: Huffman tables taken as known; headers read: a deflated symbol also needs its "
          "block's header intact.\n")
    print(table(["file", "words"] + cols,
                [[r["file"], r["words"], r["ceiling"], r["ceiling_headers_read"]] +
                 ([r.get("tool", "-"), r.get("gap", "-")] if tool else []) for r in rows]))
    print()
    print(table(["class", "files"] + ["mean " + c for c in cols[:3]],
                [[c, s["n"]] + [s[k] for k in keys] for c, s in per_class.items()] +
                [["**all**", overall["n"]] + [overall[k] for k in keys]]))
    print(f"\nOverall mean ceiling: {overall['ceiling']} over {overall['n']} files "
          f"({overall['ceiling_headers_read']} if block headers must be read).")
    if tool:
        below = sorted((r for r in rows if r.get("gap", 0) > 0.00005), key=lambda r: -r["gap"])
        print(f"\nTool below the ceiling on {len(below)} files:")
        print(table(["file", "tool", "ceiling", "headers read", "gap"],
                    [[r["file"], r["tool"], r["ceiling"], r["ceiling_headers_read"], r["gap"]] for r in below]))
        above = [r for r in rows if r.get("gap", 0) < -0.00005]
        if above:  # impossible if the bound is right: look into these
            print(f"\nTool ABOVE the ceiling on {len(above)} files: " + ", ".join(r["file"] for r in above))
    notes = [f"{n}: reference words from the parts, no cached PDF text" for n, o in originals.items()
             if not o.from_pdf]
    notes += [f"{n}: {sum(o.untraced.values())} PDF words traced to no part, counted as recovered"
              for n, o in originals.items() if o.untraced]
    if skipped:
        missing = sorted({n.split("__", 1)[-1] for n in skipped})
        notes.append(f"skipped {len(skipped)} damaged files whose original or file is missing "
                     f"({', '.join(missing)})")
    if notes:
        print("\nNotes:\n" + "\n".join(f"- {x}" for x in notes))
    print(f"\n({time.time() - t0:.1f} s)", file=sys.stderr)
    if a.json:
        Path(a.json).write_text(json.dumps({"corpus": str(corpus), "files": rows, "classes": per_class,
                                            "overall": overall}, indent=1) + "\n")


if __name__ == "__main__":
    main()
