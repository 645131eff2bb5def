import os
import signal
import subprocess
import sys
import threading
import time

import pytest

from conftest import BUILD

from tavin import batch


def pages(folder):
    found = {}
    for root, _, files in os.walk(folder):
        for name in files:
            if name.endswith(".html"):
                path = os.path.join(root, name)
                with open(path, "rb") as f:
                    found[os.path.relpath(path, folder)] = f.read()
    return found


def run_batch(*args):
    return subprocess.run([sys.executable, "-m", "tavin.batch", "-q", *args], capture_output=True, text=True)


def test_batch_pages_are_docx2html_and_a_rerun_skips_them(corpus, tmp_path):
    # The corpus on a local cluster of two workers: every page docx2html -d writes.
    listing = tmp_path / "list.txt"
    listing.write_text("# one document by a list\n%s\n" % os.path.join(corpus, "mammoth", "tables.docx"))
    out, ref = tmp_path / "out", tmp_path / "ref"
    result = run_batch(corpus, str(listing), "-o", str(out), "--workers", "2")
    docs, _ = batch.expand_inputs([corpus, str(listing)])
    subprocess.run([os.path.join(BUILD, "docx2html"), "-q", "-j", "2", "-d", str(ref), *docs],
                   stderr=subprocess.DEVNULL)
    expected = pages(ref)
    assert len(expected) > 100
    assert pages(out) == expected
    failed = len(docs) - len(expected)
    assert result.returncode == (1 if failed else 0)
    assert result.stdout.startswith("%d converted, 0 skipped, %d failed" % (len(expected), failed)), result.stdout

    # A rerun converts again only what changed: here a page removed.
    os.remove(out / "tables-2" / "tables-2.html")
    again = run_batch(corpus, str(listing), "-o", str(out), "--workers", "2")
    assert again.stdout.startswith("1 converted, %d skipped, %d failed" % (len(expected) - 1, failed)), again.stdout
    assert pages(out) == expected


def test_a_worker_killed_mid_batch_costs_no_document(corpus, tmp_path, monkeypatch):
    from distributed import Client, LocalCluster

    # The killed worker's extraction stays behind: in the test's folder.
    (tmp_path / "tmp").mkdir()
    monkeypatch.setenv("TMPDIR", str(tmp_path / "tmp"))
    out = tmp_path / "out"
    docs, _ = batch.expand_inputs([corpus])
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster) as client:
        outcome = {}
        worker = threading.Thread(target=lambda: outcome.update(batch.run(docs, str(out), batch_options(), client, True)))
        worker.start()
        while len(pages(out)) < 20 and worker.is_alive():
            time.sleep(0.05)
        victim = sorted(client.run(os.getpid).values())[0]
        os.kill(victim, signal.SIGKILL)
        worker.join()
    # What the dead worker had finished is found done when tried again.
    written = {path for path, _ in outcome["converted"] + outcome["skipped"]}
    failed = {path: message for path, message in outcome["failed"]}
    assert written | set(failed) == set(docs)
    # Nothing was there before: what the retries found done is this run's.
    assert outcome["skipped"] == []
    assert not any("KilledWorker" in message for message in failed.values())
    assert len(pages(out)) == len(written)


def batch_options():
    return {"fidelity": True, "page_margin": True, "optimize": True, "embed_media": False}
