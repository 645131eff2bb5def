// The conversion driver: loading the package parts and running the steps.
#include "docx2html/docx2html.h"

#include <sys/stat.h>

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

std::string readPart(ConversionContext& ctx, const std::string& path, bool dropPrefix) {
    std::string text = readPartFile(path);
    normalizeEmptyTags(ctx, text);
    if (dropPrefix) text = removePrefixInTags(text);
    return text;
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

void loadParts(ConversionContext& ctx) {
    ctx.twipsPerPx = 15;
    ctx.autoShadeColor = "#eeeeee";
    const DocumentParts parts = findDocumentParts(ctx.workFolder);
    ctx.documentPath = ctx.workFolder + parts.document;
    ctx.documentFolder = parts.folder;
    // A package without its document part is no document, not an empty one.
    // (The package reader leaves out a part that fails its CRC check.)
    if (!isRegularFile(ctx.documentPath)) throw Error("This package holds no document part");
    ctx.workingText = readPart(ctx, ctx.documentPath, false);
    ctx.relsText = readPart(ctx, ctx.workFolder + parts.relationships, true);
    ctx.stylesText = readPart(ctx, ctx.workFolder + parts.styles, true);
    ctx.themeText.clear();
    if (ctx.fullFidelity) {
        ctx.themeText = readPartFile(ctx.workFolder + parts.theme);
        ctx.stylesText = resolveThemeFonts(ctx.stylesText, readThemeFonts(ctx.themeText), "");
    }
    loadStyles(ctx);
    ctx.numberingText = readPart(ctx, ctx.workFolder + parts.numbering, true);
    ctx.storyParts.clear();
    ctx.settingsText.clear();
    if (ctx.fullFidelity) loadStoryParts(ctx);
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
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return replaceAll(name, ".docx", "");
}

}  // namespace tavin
