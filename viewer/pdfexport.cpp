#include "viewer/pdfexport.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPointer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineScript>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "core/errors.h"
#include "docx2html/context.h"
#include "docx2html/model/model.h"
#include "package/fileKind.h"
#include "viewer/HTMLView.h"
#include "viewer/sui.h"

namespace tavin {

namespace {

// On paper the page box of the page-margin option would be a page drawn on
// a page: the document's margins become the paper's and the box goes.
constexpr const char* kPrintStyle =
    "@media print{html,body{background:none !important;margin:0 !important}"
    "body>div.page{width:auto !important;min-height:0 !important;padding:0 !important;"
    "margin:0 !important;border:0 !important}}";

// The print layout of sheets (a sheet is one of the document's pages as
// the conversion knows them, a div.page): a sheet longer than the paper is
// broken over several papers, between its blocks, table rows and list
// items, each paper with the header and footer of its place (the
// section's later-page ones from div.tvlater, odd or even), the footer at
// the paper's foot, and the page fields (span.tvfield) counting papers.
// Measured on the screen's layout, whose text width is the paper's; the
// page as it was is kept in tavinSaved until kRestore puts it back.
// Answers the number of papers, 0 for a page without sheets; with own
// (each sheet to print on its own section's paper, margins by section:
// wider sheets are not scaled) the section of each paper in order.
constexpr const char* kPaginate = R"JS((function (margins, own) {
  if (window.tavinSaved) return -1;
  var sheets = [].slice.call(document.querySelectorAll('body>div.page'));
  if (!sheets.length) return 0;
  window.tavinSaved = {body: document.body.cloneNode(true), x: window.scrollX, y: window.scrollY};
  // (Where the classic page leaves the last sheet open, it is inside it.)
  var later = document.querySelector('div.tvlater');
  if (later) later.remove();
  var firstWidth = sheets[0].getBoundingClientRect().width;
  function px(v) { var n = parseFloat(v); return isFinite(n) ? n : 0; }
  function kids(e) { return [].slice.call(e.children); }
  function story(e, name) { return e && e.tagName === 'DIV' && e.classList.contains(name) ? e : null; }
  function outer(e) {
    var s = getComputedStyle(e);
    return e.getBoundingClientRect().height + px(s.marginTop) + px(s.marginBottom);
  }
  function body(table) {
    var b = kids(table).filter(function (c) { return c.tagName === 'TBODY'; });
    return b.length === 1 && kids(table).every(function (c) { return c.tagName !== 'THEAD' && c.tagName !== 'TFOOT'; }) ? b[0] : null;
  }
  // The units a block breaks between: its table rows, its list items.
  function units(e) {
    if (e.tagName === 'TABLE') { var b = body(e); return b ? kids(b) : null; }
    if (e.tagName === 'UL' || e.tagName === 'OL') return kids(e).filter(function (c) { return c.tagName === 'LI'; });
    return null;
  }
  // Where the sheet's papers start: blocks, or units of a block.
  function plan(sheet) {
    var s = getComputedStyle(sheet), items = kids(sheet);
    // Printed on the first sheet's paper, a wider sheet is scaled down to
    // it; on its own paper it is not.
    var zoom = own ? 1 : Math.min(1, firstWidth / sheet.getBoundingClientRect().width);
    var m = typeof margins === 'number' ? margins : margins[section(sheet)] || 0;
    var p = {sheet: sheet, header: story(items[0], 'header'), breaks: []};
    if (p.header) items.shift();
    p.footer = story(items[items.length - 1], 'footer');
    if (p.footer) items.pop();
    p.paper = (px(s.minHeight) + px(s.paddingTop) + px(s.paddingBottom) - m) / zoom - 4;
    // What of the sheet's margins the paper's leave to the sheet: on paper
    // its top padding, where its header stands, and a band at its foot,
    // where its footer does.
    p.bands = Math.max(0, (px(s.paddingTop) + px(s.paddingBottom) - m) / zoom);
    p.left = px(s.paddingLeft);
    p.width = sheet.clientWidth - p.left - px(s.paddingRight);
    var room = p.paper - p.bands - (p.header ? outer(p.header) : 0) - (p.footer ? outer(p.footer) : 0);
    if (!(room > 48)) return p;
    var top = p.header ? p.header.getBoundingClientRect().bottom + px(getComputedStyle(p.header).marginBottom)
                       : sheet.getBoundingClientRect().top + px(s.paddingTop);
    var used = false;
    // A block broken into units is placed by its first unit: it moves to
    // the next paper only when that unit does not fit.
    function place(e, unit, first) {
      var r = e.getBoundingClientRect(), bottom = first ? first.getBoundingClientRect().bottom : r.bottom;
      if (bottom - top > room && !unit && splittable(e)) return split(e, r);
      if (used && bottom - top > room) {
        p.breaks.push(unit ? {unit: e, of: unit} : {block: e});
        top = r.top - (unit ? 0 : px(getComputedStyle(e).marginTop));
      }
      used = true;
    }
    // A paragraph that runs past the paper goes on on the next one from
    // its first line that does not fit (or goes whole when none fits).
    function split(e, r) {
      var text = textOf(e), from = 0;
      while (r.bottom - top > room) {
        var i = firstBelow(text, from, top + room);
        if (i >= text.length) break;  // what runs past is its padding
        if (i <= from) {
          if (from > 0 || !used) break;
          p.breaks.push({block: e});
          top = r.top - px(getComputedStyle(e).marginTop);
          if (r.bottom - top <= room) break;
          continue;
        }
        p.breaks.push({split: e, index: i});
        top = charBox(text, i).top;
        from = i;
      }
      used = true;
    }
    
    items.forEach(function (e) {
      // A drawing placed on the page stays with what follows it.
      var at = getComputedStyle(e).position;
      if (at === 'absolute' || at === 'fixed') return;
      var u = e.getBoundingClientRect().bottom - top > room ? units(e) : null;
      if (u && u.length > 1) u.forEach(function (c, k) { if (k) place(c, e); else place(e, null, c); });
      else place(e, null);
    });
    return p;
  }
  function splittable(e) {
    return e.tagName === 'P' && getComputedStyle(e).display === 'block' && e.textContent.length > 1;
  }
  // The text nodes of e with the offset each starts at; length the whole.
  function textOf(e) {
    var w = document.createTreeWalker(e, NodeFilter.SHOW_TEXT), t = {nodes: [], starts: [], length: 0};
    for (var n = w.nextNode(); n; n = w.nextNode()) { t.nodes.push(n); t.starts.push(t.length); t.length += n.length; }
    return t;
  }
  function nodeAt(text, i) {
    var lo = 0, hi = text.nodes.length - 1;
    while (lo < hi) { var m = (lo + hi + 1) >> 1; if (text.starts[m] <= i) lo = m; else hi = m - 1; }
    return {node: text.nodes[lo], offset: i - text.starts[lo]};
  }
  var range = document.createRange();
  function charBox(text, i) {
    var at = nodeAt(text, i);
    range.setStart(at.node, at.offset);
    range.setEnd(at.node, Math.min(at.offset + 1, at.node.length));
    return range.getBoundingClientRect();
  }
  // The first character at or after from whose line ends below limit.
  function firstBelow(text, from, limit) {
    var lo = from, hi = text.length;
    while (lo < hi) { var m = (lo + hi) >> 1; if (charBox(text, m).bottom > limit) hi = m; else lo = m + 1; }
    return lo;
  }
  // The rest of paragraph e from character index on, as a paragraph of
  // its own after it: no first-line indent, no space between the two.
  function splitText(e, index) {
    var at = nodeAt(textOf(e), index);
    range.setStart(at.node, at.offset);
    range.setEnd(e, e.childNodes.length);
    var rest = e.cloneNode(false);
    rest.appendChild(range.extractContents());
    rest.style.setProperty('text-indent', '0', 'important');
    rest.style.setProperty('margin-top', '0', 'important');
    e.style.setProperty('margin-bottom', '0', 'important');
    if (getComputedStyle(e).textAlign === 'justify') e.style.setProperty('text-align-last', 'justify', 'important');
    e.parentNode.insertBefore(rest, e.nextSibling);
    return rest;
  }
  // The block that holds a unit and those after it, split off its block.
  function splitAt(b) {
    var shell = b.of.cloneNode(false), into = shell;
    if (b.of.tagName === 'TABLE') {
      kids(b.of).forEach(function (c) { if (c.tagName === 'COLGROUP') shell.appendChild(c.cloneNode(true)); });
      into = shell.appendChild(b.unit.parentNode.cloneNode(false));
    }
    for (var n = b.unit; n;) { var next = n.nextSibling; into.appendChild(n); n = next; }
    b.of.parentNode.insertBefore(shell, b.of.nextSibling);
    return shell;
  }
  var papers = [];
  function laterStory(section, number, name) {
    var t = later && (later.querySelector('.tvs' + section + (number % 2 ? '.tvodd' : '.tveven')) ||
                      later.querySelector('.tvs' + section + '.tvodd'));
    var e = t && story([].slice.call(t.children).filter(function (c) { return c.classList.contains(name); })[0], name);
    return e ? e.cloneNode(true) : null;
  }
  // Papers with headers are as tall as the paper, so that each starts a
  // paper of its own (a page of one sheet has no breaks of its own): those
  // without a footer too.
  var headed = !!(later && later.querySelector('div.header, div.footer'));
  function footAt(paper, footer, p) {
    if (!footer && !headed) return;
    // Its blocks' margins stay inside it, as the screen's padding keeps
    // them, so the paper is as tall on paper as measured here.
    paper.style.setProperty('display', 'flow-root', 'important');
    paper.style.setProperty('position', 'relative', 'important');
    paper.style.setProperty('min-height', (p.paper - p.bands) + 'px', 'important');
    if (!footer) return;
    paper.appendChild(footer);
    var f = footer.style;
    f.setProperty('position', 'absolute', 'important');
    f.setProperty('left', p.left + 'px', 'important');
    f.setProperty('width', p.width + 'px', 'important');
    // Measured once out of the flow, where its paragraphs' margins no
    // longer collapse through it.
    f.setProperty('top', '0', 'important');
    f.setProperty('top', (p.paper - footer.getBoundingClientRect().height) + 'px', 'important');
  }
  var section = function (sheet) { var m = /\bsection(\d+)\b/.exec(sheet.className); return m ? m[1] : '0'; };
  // Page numbers count on from paper to paper, or start again where a
  // section's first paper says; a paper's odd or even header follows its
  // number.
  var running = 0;
  function numberFor(s) {
    var first = !papers.length || papers[papers.length - 1].section !== s;
    var start = first && later ? later.querySelector('.tvs' + s + '[class*="tvstart"]') : null;
    var m = start && /\btvstart(\d+)\b/.exec(start.className);
    return m ? parseInt(m[1], 10) : running + 1;
  }
  // Each paper ends its printed page (papers are shorter than the page by
  // the band at its foot).
  function push(element, s) {
    element.style.setProperty('break-after', 'page', 'important');
    running = numberFor(s);
    papers.push({element: element, section: s, number: running});
  }
  sheets.map(plan).forEach(function (p) {
    // The last break first: splitting a block leaves its earlier part as it was.
    var starts = p.breaks.slice().reverse().map(function (b) {
      return b.unit ? splitAt(b) : b.split ? splitText(b.split, b.index) : b.block;
    }).reverse();
    var s = section(p.sheet), paper = p.sheet, footer = p.footer;
    if (footer) footer.remove();
    push(paper, s);
    starts.forEach(function (start) {
      var next = p.sheet.cloneNode(false);
      for (var n = start; n;) { var after = n.nextSibling; next.appendChild(n); n = after; }
      paper.parentNode.insertBefore(next, paper.nextSibling);
      footAt(paper, footer, p);
      var number = numberFor(s), header = laterStory(s, number, 'header');
      if (header) next.insertBefore(header, next.firstChild);
      footer = laterStory(s, number, 'footer');
      paper = next;
      push(paper, s);
    });
    footAt(paper, footer, p);
  });
  // Nothing after the last paper: no blank one.
  if (papers.length) papers[papers.length - 1].element.style.setProperty('break-after', 'auto', 'important');
  // A page number in its format: Roman numerals, letters, else decimal.
  function formatted(n, f) {
    if (/Roman$/.test(f) && n > 0 && n < 4000) {
      var r = '', v = [1000, 900, 500, 400, 100, 90, 50, 40, 10, 9, 5, 4, 1];
      var d = ['m', 'cm', 'd', 'cd', 'c', 'xc', 'l', 'xl', 'x', 'ix', 'v', 'iv', 'i'];
      for (var k = 0; k < v.length; ++k) while (n >= v[k]) { r += d[k]; n -= v[k]; }
      return f === 'upperRoman' ? r.toUpperCase() : r;
    }
    if (/Letter$/.test(f) && n > 0 && n < 10000) {
      var l = new Array(Math.floor((n - 1) / 26) + 2).join(String.fromCharCode(97 + (n - 1) % 26));
      return f === 'upperLetter' ? l.toUpperCase() : l;
    }
    return String(n);
  }
  var perSection = {};
  papers.forEach(function (p) { perSection[p.section] = (perSection[p.section] || 0) + 1; });
  papers.forEach(function (p) {
    [].forEach.call(p.element.querySelectorAll('span.tvfield'), function (f) {
      var format = /\btvformat-(\w+)/.exec(f.className);
      f.textContent = f.classList.contains('tvpage') ? formatted(p.number, format ? format[1] : '') :
                      String(f.classList.contains('tvnumpages') ? papers.length : perSection[p.section]);
    });
  });
  return own ? papers.map(function (p) { return p.section; }) : papers.length;
}))JS";

// After kPaginate, the papers from first to last alone in the body, with
// what stands between them (and what comes before the first paper with
// the first, after the last with the last); the last of them ends the
// print.
constexpr const char* kShowPapers = R"JS((function (first, last) {
  var all = window.tavinChildren || (window.tavinChildren = [].slice.call(document.body.children));
  var i = -1, shown = [], end = null;
  all.forEach(function (e) {
    var paper = e.tagName === 'DIV' && e.classList.contains('page');
    if (paper) ++i;
    var at = Math.max(i, 0);
    if (at >= first && at <= last) { shown.push(e); if (paper) end = e; }
  });
  if (end) end.style.setProperty('break-after', 'auto', 'important');
  document.body.replaceChildren.apply(document.body, shown);
  return shown.length;
}))JS";

// On its own paper a sheet has its own width, unscaled.
constexpr const char* kOwnPaperStyle =
    "@media print{html>body>div.page{zoom:1 !important;width:auto !important}}";
// The page as it was before kPaginate, where the reader left it.
constexpr const char* kRestore =
    "(function(){var o=document.getElementById('tavin-ownpaper');if(o)o.remove();window.tavinChildren=null;"
    "var s=window.tavinSaved;if(!s)return 0;document.body.replaceWith(s.body);"
    "window.scrollTo(s.x,s.y);window.tavinSaved=null;return 1;})()";

int renderTimeoutMs = 120000;
// The waits running now, innermost last; cancelRenderWaits ends them all.
std::vector<QPointer<QEventLoop>>& runningWaits() {
    static std::vector<QPointer<QEventLoop>> loops;
    return loops;
}

// Runs a local event loop until finish() has been called, the page's
// renderer has gone, the render time-out has passed or the waits were
// cancelled. begin(loop, finish) connects what ends the wait, with the loop
// as context, and starts the work. Returns what finish() said; raises
// "The page could not be rendered" when the time ran out, Cancelled when
// the waits were cancelled.
template <class Begin>
bool waitFor(THTMLView& view, Begin&& begin) {
    QEventLoop loop;
    bool done = false, ok = false, timedOut = false;
    auto finish = [&](bool success) {
        if (done) return;
        done = true;
        ok = success;
        loop.quit();
    };
    QObject::connect(view.page(), &QWebEnginePage::renderProcessTerminated, &loop, [&] { finish(false); });
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        finish(false);
    });
    begin(&loop, finish);
    if (!done) {
        timer.start(renderTimeoutMs);
        runningWaits().emplace_back(&loop);
        loop.exec();
        runningWaits().pop_back();
    }
    if (timedOut) throw Error(kNotRendered);
    if (!done) throw Cancelled();
    return ok;
}

// Runs script on the page shown, in the application's own script world
// (the page's scripts stay off), and waits for its answer.
QVariant runScript(THTMLView& view, const QString& script) {
    // The answer may come after the wait has ended: it then finds no one to
    // tell.
    auto tell = std::make_shared<std::function<void(const QVariant&)>>();
    struct Forget {
        std::shared_ptr<std::function<void(const QVariant&)>> tell;
        ~Forget() { *tell = nullptr; }
    } forget{tell};
    QVariant answer;
    waitFor(view, [&](QEventLoop*, auto& finish) {
        *tell = [&finish, &answer](const QVariant& v) {
            answer = v;
            finish(true);
        };
        view.page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [tell](const QVariant& v) {
            if (*tell) (*tell)(v);
        });
    });
    return answer;
}

// Adds the print style to the page shown and waits until it is in.
void addPrintStyle(THTMLView& view) {
    runScript(view, QStringLiteral("(function(){if(document.getElementById('tavin-print'))return;"
                                   "var s=document.createElement('style');s.id='tavin-print';s.textContent='%1';"
                                   "(document.head||document.documentElement).appendChild(s);})();")
                        .arg(QLatin1String(kPrintStyle)));
}

int pixels(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}

// The engine writes PDF files readable by their owner only; a file the user
// asked for gets the modes the user's umask gives new files.
void applyUmask(const QString& path) {
    mode_t mask = 022;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint value = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok) mask = static_cast<mode_t>(value);
                break;
            }
        }
    }
    ::chmod(QFile::encodeName(path).constData(), 0666 & ~mask);
}

std::string localPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

const char* const kNotRendered = "The page could not be rendered";

void setRenderTimeout(int milliseconds) { renderTimeoutMs = milliseconds; }

void cancelRenderWaits() {
    for (const auto& loop : runningWaits()) {
        if (loop) loop->quit();
    }
}

namespace {

// Pixels of 1/96 inch, as the conversion counts them; points are 1/72.
constexpr double kPt = 0.75;

// A paper of that size (points) with those margins (points; 72 where
// absent). No paper is longer than a few metres: a document claiming more
// would make a PDF no reader can show, and keep the engine busy for hours.
// Each pair of margins leaves at least half the paper to the text; sheets
// with margins of their own let wide content run into the side margins, up
// to the paper's edge, and their headers and footers into the top and foot
// margins: the paper's are then the distances of header and footer from
// its edges (36 where absent), the sheets' own padding the rest.
QPageLayout paperLayout(QSizeF paper, std::optional<double> top, std::optional<double> right,
                        std::optional<double> bottom, std::optional<double> left, bool sheetMargins, std::string* note,
                        std::optional<double> header = std::nullopt, std::optional<double> footer = std::nullopt) {
    constexpr double kLongest = 5000 / 25.4 * 72;  // 5 m
    if (paper.width() > kLongest || paper.height() > kLongest) {
        paper = QSizeF(std::min(paper.width(), kLongest), std::min(paper.height(), kLongest));
        if (note) *note = "The paper size of the document is too large; it is printed on paper of at most 5 m";
    }
    const bool landscape = paper.width() > paper.height();
    const QPageSize size(landscape ? paper.transposed() : paper, QPageSize::Point, QString(), QPageSize::FuzzyMatch);
    const QSizeF full = landscape ? size.size(QPageSize::Point).transposed() : size.size(QPageSize::Point);
    double t = top.value_or(72), b = bottom.value_or(72), l = left.value_or(72), r = right.value_or(72);
    if (sheetMargins) l = r = 0;
    auto fit = [](double& a, double& c, double length) {
        const double room = length / 2;
        if (a + c > room) {
            const double scale = room / (a + c);
            a *= scale;
            c *= scale;
        }
    };
    fit(t, b, full.height());
    fit(l, r, full.width());
    if (sheetMargins) {
        t = std::min(header.value_or(36), t);
        b = std::min(footer.value_or(36), b);
    }
    return QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(l, t, r, b),
                       QPageLayout::Point);
}

// Twips, as pixels of 15 twips (as the sheets count them), as points.
std::optional<double> twipsAsPoints(std::optional<long> twips) {
    return twips ? std::optional<double>(static_cast<double>(std::clamp(*twips, 0L, 5000L * 1440 / 25) / 15) * kPt) : std::nullopt;
}

}  // namespace

QPageLayout documentPageLayout(const ConversionContext& ctx, std::string* note) {
    const int w = pixels(ctx.pageWidth), h = pixels(ctx.pageHeight);
    QSizeF paper = QPageSize(QPageSize::A4).size(QPageSize::Point);
    if (w > 0 && h > 0) paper = QSizeF(w * kPt, h * kPt);
    auto margin = [](const std::string& text) {
        return text.empty() ? std::nullopt : std::optional<double>(std::max(0, pixels(text)) * kPt);
    };
    const model::PageMargins* first = ctx.model && !ctx.model->sections.empty() ? &ctx.model->sections.front().margins : nullptr;
    return paperLayout(paper, margin(ctx.marginTop), margin(ctx.marginRight), margin(ctx.marginBottom),
                       margin(ctx.marginLeft), ctx.sheetMargins, note, first ? twipsAsPoints(first->header) : std::nullopt,
                       first ? twipsAsPoints(first->footer) : std::nullopt);
}

std::vector<QPageLayout> sectionPageLayouts(const ConversionContext& ctx) {
    std::vector<QPageLayout> out;
    if (!ctx.model || !ctx.fullFidelity) return out;
    for (const model::Section& s : ctx.model->sections) {
        if (!s.pageWidth || !s.pageHeight || *s.pageWidth <= 0 || *s.pageHeight <= 0) {
            out.push_back(out.empty() ? documentPageLayout(ctx) : out.back());
            continue;
        }
        const model::PageMargins& m = s.margins;
        out.push_back(paperLayout(QSizeF(*twipsAsPoints(s.pageWidth), *twipsAsPoints(s.pageHeight)), twipsAsPoints(m.top),
                                  twipsAsPoints(m.right), twipsAsPoints(m.bottom), twipsAsPoints(m.left), ctx.sheetMargins,
                                  nullptr, twipsAsPoints(m.header), twipsAsPoints(m.footer)));
    }
    return out;
}

namespace {

// Prints what the view shows to target (a full path: the engine writes the
// file from a process of its own) on that paper; whether it was written.
bool printToPdf(THTMLView& view, const QString& target, const QPageLayout& layout) {
    return waitFor(view, [&](QEventLoop* loop, auto& finish) {
        QObject::connect(view.page(), &QWebEnginePage::pdfPrintingFinished, loop,
                         [&finish](const QString&, bool success) { finish(success); });
        view.page()->printToPdf(target, layout);
    });
}

// The pages of the PDF files parts, in order, as one file at target, with
// the first one's document information (its title).
void joinPdfs(const std::vector<QString>& parts, const QString& target) {
    QPDF out;
    out.emptyPDF();
    QPDFPageDocumentHelper pages(out);
    std::vector<std::unique_ptr<QPDF>> read;  // the pages' objects are copied from these when written
    for (const QString& part : parts) {
        auto in = std::make_unique<QPDF>();
        const std::string path = localPath(part);
        in->processFile(path.c_str());
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(*in).getAllPages()) pages.addPage(page, false);
        if (read.empty()) {
            QPDFObjectHandle info = in->getTrailer().getKey("/Info");
            if (info.isDictionary() && info.isIndirect()) out.getTrailer().replaceKey("/Info", out.copyForeignObject(info));
        }
        read.push_back(std::move(in));
    }
    // The writer keeps the name it is given until it writes.
    const std::string path = localPath(target);
    QPDFWriter writer(out, path.c_str());
    writer.write();
}

// The top and bottom margins of each section's paper, in the page's
// pixels, as a script object by section index.
QString marginsBySection(const std::vector<QPageLayout>& sections) {
    QStringList entries;
    for (std::size_t k = 0; k < sections.size(); ++k) {
        const QMarginsF m = sections[k].margins(QPageLayout::Point);
        entries << QStringLiteral("'%1':%2").arg(k).arg((m.top() + m.bottom()) / kPt);
    }
    return QLatin1Char('{') + entries.join(QLatin1Char(',')) + QLatin1Char('}');
}

// Each run of papers of one section paper printed apart, then joined: the
// engine prints a whole page on one paper. Runs of sheets on papers not
// the first's are otherwise scaled down to it.
bool printOnOwnPapers(THTMLView& view, const QString& target, const std::vector<QPageLayout>& sections) {
    runScript(view, QStringLiteral("(function(){if(document.getElementById('tavin-ownpaper'))return;"
                                   "var s=document.createElement('style');s.id='tavin-ownpaper';s.textContent='%1';"
                                   "(document.head||document.documentElement).appendChild(s);})();")
                        .arg(QLatin1String(kOwnPaperStyle)));
    const QVariant placed =
        runScript(view, QLatin1String(kPaginate) + QStringLiteral("(%1, true)").arg(marginsBySection(sections)));
    const QVariantList ofPapers = placed.toList();
    if (ofPapers.isEmpty()) return printToPdf(view, target, sections.front());
    auto paperOf = [&](int i) -> const QPageLayout& {
        const int k = ofPapers[i].toString().toInt();
        return k >= 0 && static_cast<std::size_t>(k) < sections.size() ? sections[static_cast<std::size_t>(k)] : sections.front();
    };
    QTemporaryDir scratch;
    if (!scratch.isValid()) return false;
    std::vector<QString> parts;
    for (int first = 0; first < ofPapers.size();) {
        int last = first;
        while (last + 1 < ofPapers.size() && paperOf(last + 1) == paperOf(first)) ++last;
        runScript(view, QLatin1String(kShowPapers) + QStringLiteral("(%1, %2)").arg(first).arg(last));
        parts.push_back(scratch.filePath(QStringLiteral("part%1.pdf").arg(parts.size())));
        if (!printToPdf(view, parts.back(), paperOf(first))) return false;
        first = last + 1;
    }
    if (parts.size() == 1) {
        QFile::remove(target);
        return QFile::copy(parts.front(), target);
    }
    try {
        joinPdfs(parts, target);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

// Whether the sections' papers are not all one.
bool papersDiffer(const std::vector<QPageLayout>& sections) {
    return std::any_of(sections.begin(), sections.end(), [&](const QPageLayout& l) { return !(l == sections.front()); });
}

}  // namespace

void printViewToPdf(THTMLView& view, const QString& pdfPath, const QPageLayout& layout,
                    const std::vector<QPageLayout>& sections) {
    const QString target = QFileInfo(pdfPath).absoluteFilePath();
    addPrintStyle(view);
    bool ok = false;
    try {
        if (papersDiffer(sections)) {
            ok = printOnOwnPapers(view, target, sections);
        } else {
            // The paper's top and bottom margins, in the page's pixels.
            const QMarginsF margins = layout.margins(QPageLayout::Point);
            runScript(view, QLatin1String(kPaginate) + QStringLiteral("(%1)").arg((margins.top() + margins.bottom()) / kPt));
            ok = printToPdf(view, target, layout);
        }
    } catch (...) {
        runScript(view, QLatin1String(kRestore));
        throw;
    }
    runScript(view, QLatin1String(kRestore));
    if (!ok) throw Error("Cannot write " + localPath(pdfPath));
    applyUmask(target);
}

void printView(THTMLView& view, QPrinter& printer) {
    // The page goes to paper as the engine's own PDF of it: text stays text,
    // lines are laid out for the paper, and the printer gets vector output.
    const QPageLayout layout = printer.pageLayout();
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        if (printer.outputFileName().isEmpty()) throw Error("Printing failed: no file to print to");
        printViewToPdf(view, printer.outputFileName(), layout);
        return;
    }
    QTemporaryDir scratch;
    if (!scratch.isValid()) throw Error("Printing failed: no temporary folder");
    const QString pdf = scratch.filePath(QStringLiteral("print.pdf"));
    printViewToPdf(view, pdf, layout);
    // CUPS takes PDF as it is.
    QStringList args;
    if (!printer.printerName().isEmpty()) args << QStringLiteral("-d") << printer.printerName();
    if (printer.copyCount() > 1) args << QStringLiteral("-n") << QString::number(printer.copyCount());
    if (!printer.docName().isEmpty()) args << QStringLiteral("-t") << printer.docName();
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        args << QStringLiteral("-P")
             << QStringLiteral("%1-%2").arg(printer.fromPage()).arg(std::max(printer.fromPage(), printer.toPage()));
    }
    args << QStringLiteral("--") << pdf;
    QProcess lp;
    lp.start(QStringLiteral("lp"), args);
    // The job is queued in a moment; the wait keeps the window answering.
    const bool started = lp.waitForStarted(10000);
    if (started) {
        QEventLoop loop;
        QObject::connect(&lp, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(renderTimeoutMs, &loop, &QEventLoop::quit);
        if (lp.state() != QProcess::NotRunning) loop.exec();
    }
    if (!started || lp.state() != QProcess::NotRunning || lp.exitStatus() != QProcess::NormalExit ||
        lp.exitCode() != 0) {
        lp.kill();
        lp.waitForFinished(1000);
        const QString why = QString::fromLocal8Bit(lp.readAllStandardError()).trimmed();
        throw Error("Printing failed" + (why.isEmpty() ? std::string() : ": " + localPath(why)));
    }
}

void exportDocxToPdf(const std::string& docxPath, const QString& pdfPath, const ExtractCallbacks& callbacks,
                     bool fullFidelity, bool showChanges) {
    if (const std::string wrong = notDocxMessage(docxPath); !wrong.empty()) throw Error(wrong);
    const std::string folder = openWorkFolder(docxPath, tempRoot(), callbacks);
    ConversionContext ctx;
    ConvertOptions options;
    options.title = titleFromPath(docxPath);
    options.fullFidelity = fullFidelity;
    options.showChanges = showChanges;
    convertPackage(ctx, folder, options);
    const QByteArray page = TForm1::viewPage(folder, ctx.workingText, ctx.documentFolder);
    ctx.workingText.clear();

    THTMLView view;  // never shown
    view.setLocalRoot(QFile::decodeName(QByteArray::fromStdString(folder)));
    const bool loaded = waitFor(view, [&](QEventLoop* loop, auto& finish) {
        QObject::connect(&view, &QWebEngineView::loadFinished, loop, [&view, &finish](bool success) {
            if (view.url() == view.textPageUrl()) finish(success);
        });
        view.LoadHTMLText(page);
    });
    if (!loaded) throw Error(kNotRendered);
    std::string note;
    const QPageLayout layout = documentPageLayout(ctx, &note);
    if (!note.empty() && callbacks.message) callbacks.message("", note);
    printViewToPdf(view, pdfPath, layout, sectionPageLayouts(ctx));
}

}  // namespace tavin
