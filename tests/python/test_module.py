import os
import re
import pathlib
from concurrent.futures import ThreadPoolExecutor

import pytest

import tavin
from conftest import BUILD, SAMPLE, docx2html

OPTIONS = [
    ({}, []),
    ({"fidelity": False}, ["--no-fidelity"]),
    ({"page_margin": False, "optimize": False}, ["--no-page-margin", "--no-optimize"]),
    ({"embed_media": True}, ["--embed-media"]),
]


def documents(corpus=None):
    found = [SAMPLE]
    if corpus:
        found += sorted(str(p) for p in pathlib.Path(corpus, "mammoth").glob("*.docx"))
    return found


@pytest.mark.parametrize("options,flags", OPTIONS)
def test_pages_and_texts_are_docx2html(maybe_corpus, options, flags):
    for path in documents(maybe_corpus):
        try:
            expected = docx2html(*flags, path)
            doc = tavin.convert(path, **options)
        except tavin.TavinError:
            assert expected == b"", path
            continue
        assert doc.html_bytes == expected, path
        assert doc.html.encode("utf-8", "surrogateescape") == expected
        assert doc.text == docx2html(*flags, "--text", path).decode("utf-8"), path
        with open(path, "rb") as f:
            assert tavin.convert(f.read(), **options).html_bytes == docx2html(*flags, "-", stdin=open(path, "rb"))


def test_inputs_of_every_kind():
    folder = tavin.convert(os.path.join(BUILD, "sample"))
    by_path = tavin.convert(pathlib.Path(SAMPLE))
    data = open(SAMPLE, "rb").read()
    for doc in (tavin.convert(bytearray(data)), tavin.convert(memoryview(data))):
        assert doc.html_bytes == docx2html("-", stdin=open(SAMPLE, "rb"))
    assert folder.html_bytes == docx2html(os.path.join(BUILD, "sample"))
    assert by_path.media == {"media/image1.png": open(os.path.join(BUILD, "sample/word/media/image1.png"), "rb").read()}
    assert by_path.media_types == {"media/image1.png": "image/png"}
    assert by_path.properties["title"] == "Tavin sample document"
    assert by_path.messages == []


@pytest.mark.parametrize("source,message", [
    (b"not a zip", "The document is not a Word document (.docx)"),
    (b"", "The document is empty"),
    ("/nonexistent/x.docx", "No such file or directory"),
])
def test_failures_raise_tavin_error(source, message):
    with pytest.raises(tavin.TavinError, match="^%s$" % re.escape(message)):
        tavin.convert(source)


def page_or_error(path):
    try:
        return tavin.convert(path).html_bytes
    except tavin.TavinError as e:
        return str(e)


def test_threads_give_the_pages_one_thread_gives(maybe_corpus):
    paths = documents(maybe_corpus) * 3
    alone = [page_or_error(p) for p in paths]
    with ThreadPoolExecutor(4) as pool:
        assert list(pool.map(page_or_error, paths)) == alone
