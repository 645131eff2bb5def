"""Converts many documents on a Dask cluster, as docx2html -d converts them.

    python3 -m tavin.batch IN... -o OUTDIR [--scheduler ADDRESS] [--workers N]

Inputs are .docx files, folders (searched with their subfolders for .docx
files; a folder holding [Content_Types].xml is one extracted package) and
text files listing such paths, one a line. Each document is written to
OUTDIR/NAME/NAME.html with the pictures it shows beside it, NAME as
docx2html -d names it. Without --scheduler, a cluster of --workers worker
processes is started on this machine (loopback only); with it, the work
goes to the cluster at ADDRESS, whose workers must see the inputs and
OUTDIR at the same paths. A document whose page was written before from
the same bytes with the same options is skipped, so a stopped batch goes on
where it stopped; a worker that dies costs its document a retry.
"""

import argparse
import hashlib
import json
import os
import sys
import time

import tavin

# Beside each page: what it was made from.
RECORD_NAME = ".tavin-batch"


def _is_docx_name(name):
    return name.lower().endswith(".docx") and len(name) > 5 and not name.startswith("~$")


def _documents_under(folder):
    found = []
    for root, dirs, files in os.walk(folder):
        dirs.sort()
        for name in files:
            path = os.path.join(root, name)
            if _is_docx_name(name) and os.path.isfile(path) and not os.path.islink(path):
                found.append(path)
    return sorted(found)


def expand_inputs(inputs):
    """The documents the inputs name, in order: (documents, problems)."""
    documents, problems = [], []
    for item in inputs:
        if os.path.isdir(item):
            if os.path.isfile(os.path.join(item, "[Content_Types].xml")):
                documents.append(item)
                continue
            found = _documents_under(item)
            if found:
                documents.extend(found)
            else:
                problems.append((item, "neither an extracted package (no [Content_Types].xml) "
                                       "nor a folder holding .docx files"))
        elif os.path.isfile(item) and not item.lower().endswith(".docx"):
            try:
                with open(item, encoding="utf-8", errors="surrogateescape") as listing:
                    lines = [line.strip() for line in listing]
            except OSError as e:
                problems.append((item, e.strerror or str(e)))
                continue
            nested, nested_problems = expand_inputs(
                [line for line in lines if line and not line.startswith("#")])
            documents.extend(nested)
            problems.extend(nested_problems)
        else:
            documents.append(item)
    return documents, problems


def output_name(path):
    """The folder name docx2html -d gives a document."""
    name = os.path.basename(os.path.normpath(path))
    if len(name) > 5 and name[-5:].lower() == ".docx":
        name = name[:-5]
    return "_" if name in ("", ".", "..") else name


def output_names(documents):
    """docx2html -d's names: later documents of a taken name get NAME-2, NAME-3..."""
    taken, names = set(), []
    for path in documents:
        base = output_name(path)
        name, n = base, 2
        while name in taken:
            name = "%s-%d" % (base, n)
            n += 1
        taken.add(name)
        names.append(name)
    return names


def _input_digest(path):
    digest = hashlib.sha256()
    if os.path.isdir(path):
        for root, dirs, files in os.walk(path):
            dirs.sort()
            for name in sorted(files):
                full = os.path.join(root, name)
                if os.path.isfile(full) and not os.path.islink(full):
                    digest.update(os.path.relpath(full, path).encode("utf-8", "surrogateescape") + b"\0")
                    with open(full, "rb") as f:
                        digest.update(f.read())
    else:
        with open(path, "rb") as f:
            for block in iter(lambda: f.read(1 << 20), b""):
                digest.update(block)
    return digest.hexdigest()


def _write_atomically(path, data):
    temporary = "%s.%d.tmp" % (path, os.getpid())
    with open(temporary, "wb") as f:
        f.write(data)
    os.replace(temporary, path)


def _safe_relative(address):
    parts = address.split("/")
    return not address.startswith("/") and ".." not in parts and "" not in parts


def convert_one(path, folder, name, options, since=None):
    """Runs on a worker: ("converted" | "skipped" | "failed", message). A
    page found done counts as converted when its record was written after
    since (a retried task of this run), else as skipped."""
    page_path = os.path.join(folder, name + ".html")
    record_path = os.path.join(folder, RECORD_NAME)
    try:
        record = {"input": _input_digest(path), "options": options, "library": tavin.__version__}
    except OSError as e:
        return "failed", e.strerror or str(e)
    try:
        with open(record_path, encoding="utf-8") as f:
            if json.load(f) == record and os.path.isfile(page_path):
                done_before = since is None or os.path.getmtime(record_path) < since
                return ("skipped" if done_before else "converted"), ""
    except (OSError, ValueError):
        pass
    try:
        doc = tavin.convert(path, **options)
    except tavin.TavinError as e:
        return "failed", str(e)
    os.makedirs(folder, exist_ok=True)
    for address, data in doc.media.items():
        if _safe_relative(address):
            target = os.path.join(folder, *address.split("/"))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            _write_atomically(target, data)
    _write_atomically(page_path, doc.html_bytes)
    _write_atomically(record_path, json.dumps(record, sort_keys=True).encode("utf-8"))
    return "converted", ""


def _size_of(path):
    try:
        return os.path.getsize(path) if not os.path.isdir(path) else 0
    except OSError:
        return 0


def convert_many(items, options, since):
    """Runs on a worker: convert_one for each (path, folder, name)."""
    return [convert_one(path, folder, name, options, since) for path, folder, name in items]


class Progress:
    """A bar on standard error while it is a terminal."""

    def __init__(self, total, quiet):
        self.total, self.done = total, 0
        self.shown = not quiet and total > 0 and sys.stderr.isatty()

    def step(self, count=1):
        self.done += count
        if self.shown:
            width = 30
            filled = width * self.done // self.total
            sys.stderr.write("\r\033[K[%s%s] %d/%d" % ("#" * filled, "." * (width - filled), self.done, self.total))
            sys.stderr.flush()

    def close(self):
        if self.shown:
            sys.stderr.write("\r\033[K")
            sys.stderr.flush()


def run(documents, outdir, options, client, quiet=False, chunk=4):
    """Converts documents on client's cluster, chunk documents a task:
    {status: [(path, message)]}."""
    from distributed import as_completed

    since = time.time()
    items = [(os.path.abspath(path), os.path.abspath(os.path.join(outdir, name)), name)
             for path, name in zip(documents, output_names(documents))]
    # Names go by input order, work largest first, so that no large document
    # is left alone at the end.
    order = sorted(range(len(items)), key=lambda i: -_size_of(documents[i]))
    futures = {}
    for start in range(0, len(order), chunk):
        part = order[start:start + chunk]
        future = client.submit(convert_many, [items[i] for i in part], options, since, pure=False)
        futures[future] = [documents[i] for i in part]
    outcome = {"converted": [], "skipped": [], "failed": []}
    progress = Progress(len(documents), quiet)
    for future in as_completed(futures):
        paths = futures[future]
        try:
            results = future.result()
        except Exception as e:  # workers died on these documents again and again
            results = [("failed", "%s: %s" % (type(e).__name__, e))] * len(paths)
        for path, (status, message) in zip(paths, results):
            outcome[status].append((path, message))
        progress.step(len(paths))
        future.release()
    progress.close()
    return outcome


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m tavin.batch",
                                     description="Converts .docx documents to HTML pages on a Dask cluster.")
    parser.add_argument("inputs", nargs="+", metavar="IN",
                        help=".docx files, folders of them, or text files listing paths")
    parser.add_argument("-o", dest="outdir", required=True, metavar="OUTDIR",
                        help="write each document into OUTDIR/NAME/NAME.html")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="the Dask scheduler to use (tcp://HOST:8786); default: a cluster on this machine")
    parser.add_argument("--workers", type=int, metavar="N",
                        help="worker processes of the cluster on this machine (default: the number of cores)")
    parser.add_argument("--no-fidelity", action="store_true", help="the classic page only")
    parser.add_argument("--no-page-margin", action="store_true", help="no page box around the body")
    parser.add_argument("--no-optimize", action="store_true", help="keep inline styles, skip the clean-up pass")
    parser.add_argument("--embed-media", action="store_true", help="pictures as data: addresses inside the page")
    parser.add_argument("-q", action="store_true", dest="quiet", help="no progress bar")
    args = parser.parse_args(argv)
    if args.workers is not None and args.workers < 1:
        parser.error("--workers needs a number from 1 on")
    if args.scheduler and args.workers:
        parser.error("--workers is for the cluster on this machine; a scheduler's cluster has its own")

    documents, problems = expand_inputs(args.inputs)
    for path, message in problems:
        print("tavin.batch: %s: %s" % (path, message), file=sys.stderr)
    options = {"fidelity": not args.no_fidelity, "page_margin": not args.no_page_margin,
               "optimize": not args.no_optimize, "embed_media": args.embed_media}
    os.makedirs(args.outdir, exist_ok=True)

    from distributed import Client, LocalCluster

    started = time.monotonic()
    if args.scheduler:
        client = Client(args.scheduler)
        cluster = None
    else:
        cluster = LocalCluster(n_workers=args.workers or os.cpu_count() or 1, threads_per_worker=1,
                               processes=True, host="127.0.0.1", dashboard_address=None)
        client = Client(cluster)
    try:
        ready = time.monotonic()
        outcome = run(documents, args.outdir, options, client, args.quiet)
        finished = time.monotonic()
    finally:
        client.close()
        if cluster is not None:
            cluster.close()

    converted, skipped, failed = outcome["converted"], outcome["skipped"], outcome["failed"]
    seconds = finished - ready
    # Every document a worker read counts, as for docx2html; skipped ones do not.
    rate = (len(converted) + len(failed)) / seconds if seconds > 0 else 0.0
    for path, message in sorted(failed):
        print("tavin.batch: %s: %s" % (path, message), file=sys.stderr)
    print("%d converted, %d skipped, %d failed in %.2f s (%.1f documents per second; %.2f s with the cluster's start)"
          % (len(converted), len(skipped), len(failed) + len(problems), seconds, rate, finished - started))
    return 1 if failed or problems else 0


if __name__ == "__main__":
    sys.exit(main())
