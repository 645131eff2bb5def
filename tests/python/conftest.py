import os
import subprocess

import pytest

BUILD = os.environ.get("TAVIN_BUILD_DIR", "build")
CORPUS = os.environ.get("TAVIN_CORPUS_DIR", "../shared/corpus")
SAMPLE = os.path.join(BUILD, "sample.docx")


def docx2html(*args, stdin=None):
    """What docx2html writes to standard output."""
    return subprocess.run([os.path.join(BUILD, "docx2html"), *args], stdin=stdin,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False).stdout


@pytest.fixture
def corpus():
    if not os.path.isdir(CORPUS):
        pytest.skip("no corpus at %s" % CORPUS)
    return CORPUS


@pytest.fixture
def maybe_corpus():
    """The corpus folder, or None where it is absent (the sample still counts)."""
    return CORPUS if os.path.isdir(CORPUS) else None
