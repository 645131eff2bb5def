// The conversion driver: loading the package parts and running the steps.
#include "docx2html/docx2html.h"

namespace tavin {

ConversionContext::ConversionContext() {
    sharedRegex.setOptions(preCaseLess | preSingleLine);
}

void normalizeEmptyTags(ConversionContext& ctx, std::string& text) {
    regexReplace(ctx.sharedRegex, text, R"((<[^<>]*[^\s<>])\s+/>)", "$1/>");
}

namespace {

std::string readPart(ConversionContext& ctx, const std::string& relPath, bool dropPrefix) {
    std::string text = readTextFile(ctx.workFolder + relPath);
    normalizeEmptyTags(ctx, text);
    if (dropPrefix) text = replaceAll(text, "w:", "");
    return text;
}

}  // namespace

void loadParts(ConversionContext& ctx) {
    ctx.twipsPerPx = 15;
    ctx.autoShadeColor = "#eeeeee";
    ctx.workingText = readTextFile(ctx.documentPath.empty() ? ctx.workFolder + "word/document.xml" : ctx.documentPath);
    normalizeEmptyTags(ctx, ctx.workingText);
    ctx.relsText = readPart(ctx, "word/_rels/document.xml.rels", true);
    ctx.stylesText = readPart(ctx, "word/styles.xml", true);
    loadStyles(ctx);
    ctx.numberingText = readPart(ctx, "word/numbering.xml", true);
}

void initRun(ConversionContext& ctx) {
    ctx.spliceBounds.clear();
    ctx.spliceTexts.clear();
}

void preprocess(ConversionContext& ctx) {
    std::string& t = ctx.workingText;
    TWSRegEx& rx = ctx.sharedRegex;
    t = replaceAll(t, "w:", "");
    t = replaceAll(t, "<t>", "");
    regexDelete(rx, t, "<t [^>]+>");
    regexReplace(rx, t, "<p [^>/]+>", "<p>");
    regexReplace(rx, t, "<tr [^>]+>", "<tr>");
    t = replaceAll(t, "</t>", "");
    regexDelete(rx, t, "</?v:[^>]+>");
    regexDelete(rx, t, "<proofErr[^>]+/>");
    regexDelete(rx, t, "<smartTag[^>]+>");
    t = replaceAll(t, "</smartTag>", "");
}

void convert(ConversionContext& ctx) {
    ctx.step("Preparing conversion");
    initRun(ctx);
    preprocess(ctx);
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
    ctx.step("Optimizing");
    ctx.pageMarginFlag = ctx.showPageMargin;
    assembleHtml(ctx);
    ctx.optimizeFlag = ctx.optimizeHtml;
    if (ctx.optimizeFlag) optimize(ctx);
    reformat(ctx);
    ctx.step("Done");
}

std::string titleFromPath(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return replaceAll(name, ".docx", "");
}

}  // namespace tavin
