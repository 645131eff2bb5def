// The conversion driver: loading the package parts and running the steps.
#include "docx2html/docx2html.h"

#include <sys/stat.h>

#include <filesystem>

#include "package/docxParts.h"

namespace tavin {

ConversionContext::ConversionContext() {
    sharedRegex.setOptions(preCaseLess | preSingleLine);
}

void normalizeEmptyTags(ConversionContext& ctx, std::string& text) {
    regexReplace(ctx.sharedRegex, text, R"((<[^<>]*[^\s<>])\s+/>)", "$1/>");
}

std::string removePrefixInTags(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        // Character data up to the next tag is copied as it stands.
        const std::size_t lt = text.find('<', i);
        if (lt == std::string_view::npos) break;
        out.append(text.substr(i, lt - i));
        i = lt;
        for (; i < n && text[i] != '>'; ++i) {
            if (text[i] == 'w' && i + 1 < n && text[i + 1] == ':') {
                ++i;
                continue;
            }
            out.push_back(text[i]);
        }
    }
    if (i < n) out.append(text.substr(i));
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

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

void loadPartsFromText(ConversionContext& ctx, PartTexts parts) {
    ctx.twipsPerPx = 15;
    ctx.autoShadeColor = "#eeeeee";
    ctx.workingText = preparedPart(ctx, std::move(parts.document), false);
    ctx.relsText = preparedPart(ctx, std::move(parts.relationships), true);
    ctx.stylesText = preparedPart(ctx, std::move(parts.styles), true);
    ctx.themeText.clear();
    if (ctx.fullFidelity) {
        ctx.themeText = partTextAsUtf8(std::move(parts.theme));
        ctx.stylesText = resolveThemeFonts(ctx.stylesText, readThemeFonts(ctx.themeText), "");
    }
    loadStyles(ctx);
    ctx.numberingText = preparedPart(ctx, std::move(parts.numbering), true);
    ctx.storyParts.clear();
    ctx.settingsText.clear();
}

void loadParts(ConversionContext& ctx) {
    const DocumentParts found = findDocumentParts(ctx.workFolder);
    ctx.documentPath = ctx.workFolder + found.document;
    ctx.documentFolder = found.folder;
    // A package without its document part is no document, not an empty one.
    // (The package reader leaves out a part that fails its CRC check.)
    if (!isRegularFile(ctx.documentPath)) throw Error("This package holds no document part");
    // Read in this order, so that of two unreadable parts the first is named.
    PartTexts parts;
    parts.document = readTextFile(ctx.documentPath);
    parts.relationships = readTextFile(ctx.workFolder + found.relationships);
    parts.styles = readTextFile(ctx.workFolder + found.styles);
    if (ctx.fullFidelity) parts.theme = readTextFile(ctx.workFolder + found.theme);
    parts.numbering = readTextFile(ctx.workFolder + found.numbering);
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
    ctx.spliceBounds.clear();
    ctx.spliceTexts.clear();
}

void preprocess(ConversionContext& ctx) {
    std::string& t = ctx.workingText;
    TWSRegEx& rx = ctx.sharedRegex;
    // Of each mc:AlternateContent only the fallback stays.
    regexDelete(rx, t, "<mc:Choice[^>]*>.*?</mc:Choice>");
    t = removePrefixInTags(t);
    t = replaceAll(t, "<t>", "");
    regexDelete(rx, t, "<t [^>]+>");
    regexReplace(rx, t, "<p [^>/]+>", "<p>");
    regexReplace(rx, t, "<tr [^>]+>", "<tr>");
    // Tables and cells are found by their bare start tags; a run with empty
    // properties would take the text of the runs after it.
    regexReplace(rx, t, "<tbl [^>]+>", "<tbl>");
    regexReplace(rx, t, "<tc [^>]+>", "<tc>");
    t = replaceAll(t, "<rPr></rPr>", "");
    t = replaceAll(t, "<rPr/>", "");
    t = replaceAll(t, "</t>", "");
    regexDelete(rx, t, "</?v:[^>]+>");
    regexDelete(rx, t, "<proofErr[^>]+/>");
    regexDelete(rx, t, "<smartTag[^>]+>");
    t = replaceAll(t, "</smartTag>", "");
}

void convert(ConversionContext& ctx) {
    ctx.step("Preparing conversion");
    initRun(ctx);
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
    ctx.headerHtml.clear();
    ctx.notesHtml.clear();
    ctx.footerHtml.clear();
    if (ctx.fullFidelity) convertStories(ctx);
    ctx.step("Optimizing");
    ctx.pageMarginFlag = ctx.showPageMargin;
    assembleHtml(ctx);
    if (ctx.fullFidelity) finishFidelity(ctx);
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
