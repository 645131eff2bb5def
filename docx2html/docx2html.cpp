// The conversion driver: loading the package parts and running the steps.
#include "docx2html/docx2html.h"

#include <cstring>
#include <filesystem>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/fileio.h"
#include "docx2html/fidelity.h"
#include "docx2html/fidelity/drawings.h"
#include "docx2html/model/model.h"
#include "package/docxParts.h"

namespace tavin {

ConversionContext::ConversionContext() {
    sharedRegex.setOptions(preCaseLess | preSingleLine);
    // A context is never copied or moved (its engine is not), so the
    // engine may keep the counter's address.
    sharedRegex.countWorkIn(&workBytes);
}

ConversionContext::~ConversionContext() = default;

namespace {

// The blanks of the pattern language's \s: space, tab, line feed, vertical
// tab, form feed, carriage return.
inline bool isPatternSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

// Every match of (<[^<>]*[^\s<>])\s+/> becomes $1/>, found by one scan: a
// match ends at a "/>" with blanks before it, and runs back from there to a
// "<" with no "<" or ">" between and something else than blanks after the
// "<". The blanks are deleted. Looking back stops at the nearest "<" or
// ">", so no byte is looked at twice.
void normalizeEmptyTags(ConversionContext&, std::string& text) {
    const char* const base = text.data();
    const std::size_t n = text.size();
    std::string out;
    std::size_t copied = 0;
    std::size_t from = 1;  // where the next '>' of a "/>" may be
    while (from < n) {
        const void* hit = std::memchr(base + from, '>', n - from);
        if (hit == nullptr) break;
        const std::size_t g = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
        from = g + 1;
        if (base[g - 1] != '/' || g < 3 || !isPatternSpace(base[g - 2])) continue;
        std::size_t k = g - 2;
        while (k > 0 && isPatternSpace(base[k])) --k;
        if (base[k] == '<' || base[k] == '>' || isPatternSpace(base[k])) continue;
        std::size_t j = k;
        while (j > 0 && base[j - 1] != '<' && base[j - 1] != '>') --j;
        if (j == 0 || base[j - 1] != '<') continue;
        if (out.empty()) reserveText(out, n);
        out.append(base + copied, k + 1 - copied);
        copied = g - 1;
    }
    if (copied == 0) return;
    out.append(base + copied, n - copied);
    text = std::move(out);
}

// "w:" is dropped inside tags (from a "<" to the next ">"), pairs taken left
// to right; character data is copied as it stands.
std::string removePrefixInTags(std::string_view text) {
    if (text.empty()) return {};
    // One walk over the bytes that matter: "<" opens a tag (a second "<"
    // inside it changes nothing), ">" ends it, and a ":" inside a tag with a
    // "w" before it goes with that "w". Sixteen bytes are looked at a time.
    const char* const s = text.data();
    const std::size_t n = text.size();
    // The result is never longer than the text; the room after it lets
    // short stretches be copied 32 bytes at a time.
    constexpr std::size_t kSlack = 32;
    std::string out;
    reserveText(out, n + kSlack);
    out.resize(n + kSlack);
    char* w = out.data();
    std::size_t copied = 0;
    const auto copy = [&](std::size_t to) {
        const std::size_t len = to - copied;
#if defined(__SSE2__)
        if (len <= kSlack && copied + kSlack <= n) {
            const auto* from = reinterpret_cast<const __m128i*>(s + copied);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w), _mm_loadu_si128(from));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 16), _mm_loadu_si128(from + 1));
            w += len;
            return;
        }
#endif
        std::memcpy(w, s + copied, len);
        w += len;
    };
    bool inTag = false;
    const auto at = [&](std::size_t c) {
        if (s[c] == '<') {
            inTag = true;
        } else if (s[c] == '>') {
            inTag = false;
        } else if (inTag && s[c - 1] == 'w') {  // a ":" in a tag follows at least its "<"
            copy(c - 1);
            copied = c + 1;
        }
    };
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i colon = _mm_set1_epi8(':');
    for (; n - i >= 16; i += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(b, lt), _mm_cmpeq_epi8(b, gt)), _mm_cmpeq_epi8(b, colon))));
        for (; mask != 0; mask &= mask - 1) at(i + static_cast<std::size_t>(__builtin_ctz(mask)));
    }
#endif
    for (; i < n; ++i) {
        if (s[i] == '<' || s[i] == '>' || s[i] == ':') at(i);
    }
    copy(n);
    out.resize(static_cast<std::size_t>(w - out.data()));
    return out;
}

namespace {

// A part as every step expects it: UTF-8, compact empty-element tags, and
// (but for the document, which preprocess treats) no "w:" inside tags.
std::string preparedPart(ConversionContext& ctx, std::string text, bool dropPrefix) {
    text = partTextAsUtf8(std::move(text));
    normalizeEmptyTags(ctx, text);
    if (dropPrefix) text = removePrefixInTags(text);
    return text;
}

}  // namespace

void loadPartsFromText(ConversionContext& ctx, PartTexts parts) {
    ctx.twipsPerPx = 15;
    ctx.autoShadeColor = "#eeeeee";
    ctx.workingText = preparedPart(ctx, std::move(parts.document), false);
    ctx.relsText = preparedPart(ctx, std::move(parts.relationships), true);
    ctx.model.reset();
    ctx.drawings.clear();
    ctx.trackedChanges.clear();
    if (ctx.fullFidelity) {
        ctx.model = std::make_unique<model::DocumentModel>();
        parts.styles = partTextAsUtf8(std::move(parts.styles));
        parts.numbering = partTextAsUtf8(std::move(parts.numbering));
        parts.theme = partTextAsUtf8(std::move(parts.theme));
        parts.fontTable = partTextAsUtf8(std::move(parts.fontTable));
        model::readParts(*ctx.model, parts);
        // Settings name the languages whose theme fonts the styles may use.
        loadSettings(ctx);
        // The model's reading is work done on the document's parts.
        for (const model::XmlPart* part : {&ctx.model->styles, &ctx.model->numbering, &ctx.model->theme, &ctx.model->fontTable})
            ctx.workBytes += part->size();
        ctx.model->sections = model::readSections(ctx.workingText, ctx.model->report, ctx.workBytes);
        ctx.model->background = model::readBackground(ctx.workingText);
    }
    ctx.stylesText = preparedPart(ctx, std::move(parts.styles), true);
    if (ctx.model) {
        // The classic style table reads theme fonts and shading colours
        // where it reads fonts and colours named outright.
        resolveFontsAndShading(ctx.stylesText, &ctx.model->themeScheme.fonts, true, "");
    }
    loadStyles(ctx);
    ctx.numberingText = preparedPart(ctx, std::move(parts.numbering), true);
}

void loadParts(ConversionContext& ctx) {
    const DocumentParts found = findDocumentParts(ctx.workFolder);
    ctx.documentPath = ctx.workFolder + found.document;
    ctx.documentFolder = found.folder;
    // A package without its document part is no document, not an empty one.
    // (The package reader leaves out a part that fails its CRC check.)
    // Parts are read through regular files inside the folder only: a part
    // that is a link is missing.
    if (!isRegularFileInFolder(ctx.workFolder, found.document)) throw Error("This package holds no document part");
    // Read in this order, so that of two unreadable parts the first is named.
    PartTexts parts;
    parts.document = readFileInFolder(ctx.workFolder, found.document);
    parts.relationships = readFileInFolder(ctx.workFolder, found.relationships);
    parts.styles = readFileInFolder(ctx.workFolder, found.styles);
    if (ctx.fullFidelity) {
        parts.theme = readFileInFolder(ctx.workFolder, found.theme);
        parts.fontTable = readFileInFolder(ctx.workFolder, found.fontTable);
    }
    parts.numbering = readFileInFolder(ctx.workFolder, found.numbering);
    loadPartsFromText(ctx, std::move(parts));
    if (ctx.fullFidelity) loadStoryParts(ctx);
}

void convertPackage(ConversionContext& ctx, const std::string& folder, const ConvertOptions& options) {
    ctx.workFolder = folder;
    if (!ctx.workFolder.empty() && ctx.workFolder.back() != '/') ctx.workFolder += '/';
    ctx.docTitle = options.title;
    ctx.showPageMargin = options.showPageMargin;
    ctx.optimizeHtml = options.optimizeHtml;
    ctx.fullFidelity = options.fullFidelity;
    ctx.showChanges = options.showChanges;
    if (options.freshPageValues) resetPageValues(ctx);
    loadParts(ctx);
    convert(ctx);
}

void resetPageValues(ConversionContext& ctx) {
    ctx.pageWidth.clear();
    ctx.pageHeight.clear();
    ctx.marginTop.clear();
    ctx.marginRight.clear();
    ctx.marginBottom.clear();
    ctx.marginLeft.clear();
    ctx.charset.clear();
}

void initRun(ConversionContext& ctx) {
    ctx.sheetMargins = false;
    ctx.spliceBounds.clear();
    ctx.spliceTexts.clear();
}

namespace {

// Whether text at `at` begins with the ASCII letters of `lower` in any case.
bool startsCaseless(std::string_view text, std::size_t at, std::string_view lower) {
    if (text.size() - at < lower.size()) return false;
    for (std::size_t i = 0; i < lower.size(); ++i) {
        const char c = text[at + i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != lower[i]) return false;
    }
    return true;
}

struct ChoiceTag {
    std::size_t at = std::string::npos, end = std::string::npos;  // the tag's "<" and the byte after its ">"
    int nesting = 0;  // +1 a start tag, -1 an end tag, 0 an empty-element tag
};

// The next mc:Choice start, end or empty-element tag at or after `from`.
ChoiceTag nextChoiceTag(std::string_view t, std::size_t from) {
    static constexpr std::string_view kStart = "<mc:choice", kEnd = "</mc:choice>";
    for (std::size_t lt = t.find('<', from); lt != std::string::npos; lt = t.find('<', lt + 1)) {
        if (startsCaseless(t, lt, kEnd)) return {lt, lt + kEnd.size(), -1};
        if (!startsCaseless(t, lt, kStart) || lt + kStart.size() >= t.size()) continue;
        const char after = t[lt + kStart.size()];
        if (after != '>' && after != '/' && !isPatternSpace(after)) continue;
        const std::size_t gt = t.find('>', lt);
        if (gt == std::string::npos) break;
        return {lt, gt + 1, t[gt - 1] == '/' ? 0 : 1};
    }
    return {};
}

// Of each mc:AlternateContent only the fallback stays: every mc:Choice goes
// with all it holds, up to its own end tag, so that a Choice holding an
// AlternateContent of its own (a drawing's position in both forms) leaves
// neither its tail nor its values behind. A Choice whose end never comes
// goes up to the first end tag after it, or stays when there is none.
void deleteChoices(std::string& t) {
    ChoiceTag tag = nextChoiceTag(t, 0);
    std::string out;
    std::size_t copied = 0;
    while (tag.at != std::string::npos) {
        if (tag.nesting < 0) {  // an end tag without its start stays
            tag = nextChoiceTag(t, tag.end);
            continue;
        }
        const std::size_t start = tag.at;
        std::size_t end = tag.end;  // an empty-element Choice goes alone
        if (tag.nesting > 0) {
            std::size_t firstEnd = std::string::npos;
            int depth = 1;
            while (depth > 0) {
                tag = nextChoiceTag(t, tag.end);
                if (tag.at == std::string::npos) break;
                depth += tag.nesting;
                if (tag.nesting < 0 && firstEnd == std::string::npos) firstEnd = tag.end;
            }
            end = depth == 0 ? tag.end : firstEnd;
            if (end == std::string::npos) break;
        }
        if (out.empty()) reserveText(out, t.size());
        out.append(t, copied, start - copied);
        copied = end;
        tag = nextChoiceTag(t, end);
    }
    if (copied == 0) return;
    out.append(t, copied, std::string::npos);
    t = std::move(out);
}

}  // namespace

void preprocess(ConversionContext& ctx) {
    std::string& t = ctx.workingText;
    TWSRegEx& rx = ctx.sharedRegex;
    deleteChoices(t);
    t = removePrefixInTags(t);
    // Hyphens that are characters of the text: the non-breaking one and
    // the optional one a browser shows only where it breaks a line.
    replaceAllInPlace(t, "<noBreakHyphen/>", "&#8209;");
    replaceAllInPlace(t, "<softHyphen/>", "&#173;");
    replaceAllInPlace(t, "<t>", "");
    regexDelete(rx, t, "<t [^>]+>");
    regexReplace(rx, t, "<p [^>/]+>", "<p>");
    regexReplace(rx, t, "<tr [^>]+>", "<tr>");
    // Tables and cells are found by their bare start tags; a run with empty
    // properties would take the text of the runs after it.
    regexReplace(rx, t, "<tbl [^>]+>", "<tbl>");
    regexReplace(rx, t, "<tc [^>]+>", "<tc>");
    replaceAllInPlace(t, "<rPr></rPr>", "");
    replaceAllInPlace(t, "<rPr/>", "");
    replaceAllInPlace(t, "</t>", "");
    regexDelete(rx, t, "</?v:[^>]+>");
    regexDelete(rx, t, "<proofErr[^>]+/>");
    regexDelete(rx, t, "<smartTag[^>]+>");
    replaceAllInPlace(t, "</smartTag>", "");
}

void convert(ConversionContext& ctx) {
    ctx.step("Preparing conversion");
    initRun(ctx);
    // A context filled by hand has no model: its Full Fidelity steps know no
    // styles, lists or theme.
    if (ctx.fullFidelity && !ctx.model) ctx.model = std::make_unique<model::DocumentModel>();
    if (ctx.fullFidelity) prepareFidelity(ctx);
    preprocess(ctx);
    if (ctx.fullFidelity) markParagraphs(ctx);
    if (ctx.fullFidelity) markStoryReferences(ctx);
    readPageSetup(ctx);
    ctx.step("Parsing table");
    convertTables(ctx);
    ctx.step("ParsingList");
    wrapListItems(ctx);
    buildLists(ctx);
    wrapDropCaps(ctx);
    ctx.step("Parsing text");
    convertParagraphs(ctx);
    finishRuns(ctx);
    convertTabs(ctx);
    convertLinks(ctx);
    convertImages(ctx);
    if (ctx.fullFidelity) convertDrawingContents(ctx);
    ctx.headerHtml.clear();
    ctx.notesHtml.clear();
    ctx.footerHtml.clear();
    if (ctx.fullFidelity) convertStories(ctx);
    ctx.step("Optimizing");
    ctx.pageMarginFlag = ctx.showPageMargin;
    assembleHtml(ctx);
    if (ctx.fullFidelity) finishFidelity(ctx);
    // The steps that read the model are done: its parts go before the
    // clean-up passes need their memory; what it could not read stays, and
    // the sections, whose papers printing uses.
    if (ctx.model) {
        model::Report report = std::move(ctx.model->report);
        std::vector<model::Section> sections = std::move(ctx.model->sections);
        ctx.model = std::make_unique<model::DocumentModel>();
        ctx.model->report = std::move(report);
        ctx.model->sections = std::move(sections);
    }
    ctx.optimizeFlag = ctx.optimizeHtml;
    if (ctx.optimizeFlag) optimize(ctx);
    reformat(ctx);
    removeActiveContent(ctx);
    ctx.step("Done");
}

std::string titleFromPath(const std::string& path) {
    // A folder given with a trailing slash ("report/", "report/.") is named
    // by its last component.
    const std::filesystem::path p = std::filesystem::path(path).lexically_normal();
    std::string name = p.filename().string();
    if (name.empty()) name = p.parent_path().filename().string();
    return replaceAll(name, ".docx", "");
}

}  // namespace tavin
