"""Word documents (.docx) to HTML pages, as docx2html converts them.

    import tavin
    doc = tavin.convert("report.docx")
    doc.html, doc.text, doc.media, doc.properties, doc.messages

Conversions release the GIL, so threads convert side by side.
"""

import os

from . import _tavin

__all__ = ["convert", "Document", "TavinError", "__version__"]
__version__ = _tavin.library_version


class TavinError(Exception):
    """A document that cannot be converted; the message says why."""


def _text(data):
    # Pages are UTF-8; bytes that are not survive as surrogates, so
    # .encode("utf-8", "surrogateescape") gives the page's bytes back.
    return data.decode("utf-8", "surrogateescape")


class Document:
    """A converted document.

    html: the page (html_bytes: its bytes, as docx2html writes them)
    text: its visible text, as docx2html --text writes it
    media: {address in the page: bytes} of the pictures it shows
    media_types: {address: image type} ("image/png"; "" when unknown)
    properties: the core properties (title, creator, lastModifiedBy,
        keywords, keywords2, created, modified)
    messages: warnings met while reading the package
    """

    __slots__ = ("html_bytes", "text", "media", "media_types", "properties", "messages")

    def __init__(self, html_bytes, text, media, media_types, properties, messages):
        self.html_bytes = html_bytes
        self.text = text
        self.media = media
        self.media_types = media_types
        self.properties = properties
        self.messages = messages

    @property
    def html(self):
        return _text(self.html_bytes)

    def __repr__(self):
        return "<tavin.Document: %d bytes of HTML, %d pictures>" % (len(self.html_bytes), len(self.media))


def convert(path_or_bytes, fidelity=True, page_margin=True, optimize=True, embed_media=False):
    """Converts a .docx file, a folder holding an extracted package, or a
    .docx file's bytes (bytes, bytearray, memoryview) to a Document.
    Raises TavinError when the document cannot be converted."""
    options = (bool(fidelity), bool(page_margin), bool(optimize), bool(embed_media))
    if isinstance(path_or_bytes, (bytes, bytearray, memoryview)):
        result = _tavin.convert_bytes(path_or_bytes, *options)
    else:
        path = os.fsdecode(os.fspath(path_or_bytes))
        result = _tavin.convert_path(os.fsencode(path), *options)
    ok, error, html, text, pictures, properties, messages = result
    if not ok:
        raise TavinError(_text(error))
    media = {_text(name): data for name, data, _ in pictures}
    media_types = {_text(name): kind for name, _, kind in pictures}
    return Document(html, _text(text), media, media_types,
                    {k: _text(v) for k, v in properties.items()}, [_text(m) for m in messages])
