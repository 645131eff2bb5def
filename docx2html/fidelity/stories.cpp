// Notes, comments, headers and footers: the story parts named by the
// document's relationships are read into the model once (the settings part
// before them, before the styles), and each story shown is converted by the
// body's own steps with its own relationships. Reads the model's stories,
// settings and sections.
#include "docx2html/fidelity/stories.h"
#include "docx2html/fidelity/tabs.h"
#include "docx2html/fidelity/drawings.h"

#include "core/fileio.h"
#include "docx2html/docx2html.h"
#include "docx2html/fidelity.h"
#include "docx2html/fidelity/changes.h"
#include "docx2html/fidelity/storyparts.h"
#include "docx2html/model/model.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

std::string folderOf(std::string_view part) {
    const std::size_t slash = part.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

// A part's text as stored, without the byte markers begin with.
std::string partText(ConversionContext& ctx, const std::string& part) {
    std::string text = readPart(ctx.workFolder, part);
    removeMarkerBytes(text);
    ctx.workBytes += text.size();
    return text;
}

// A story's text as the body's steps read it: compact empty-element tags,
// no "w:" inside tags.
std::string stepText(ConversionContext& ctx, std::string text) {
    normalizeEmptyTags(ctx, text);
    return removePrefixInTags(text);
}

// A story part's relationships with their internal targets rewritten to
// resolve against the document's folder, against which the page's pictures
// and links resolve.
std::string storyRels(ConversionContext& ctx, const std::string& part) {
    std::string text = partText(ctx, relationshipsPartName(part));
    const std::string folder = folderOf(part);
    const std::string& documentFolder = ctx.documentFolder;
    if (folder != documentFolder) {
        std::string levelsUp;
        for (char c : documentFolder)
            if (c == '/') levelsUp += "../";
        text = model::rebasedRelationships(std::move(text), [&](std::string_view target) {
            std::string name = resolvePartName(folder, target);
            if (name.empty()) return name;
            if (name.compare(0, documentFolder.size(), documentFolder) == 0) return name.erase(0, documentFolder.size());
            return levelsUp + name;
        }, ctx.model->report);
    }
    return stepText(ctx, std::move(text));
}

// A story's runs read as the body's: their toggles and their looks.
std::string withRunLooks(ConversionContext& ctx, std::string text) {
    struct Swap {
        ConversionContext& ctx;
        std::string& text;
        // The body's text comes back, also when a step fails.
        ~Swap() { std::swap(ctx.workingText, text); }
    } swap{ctx, text};
    std::swap(ctx.workingText, text);
    directToggles(ctx);
    prepareRuns(ctx);
    return std::move(ctx.workingText);
}

}  // namespace

void loadSettings(ConversionContext& ctx) {
    if (!ctx.model) return;
    model::DocumentModel& m = *ctx.model;
    m.settings = {};
    for (const StoryRelationship& rel : storyRelationships(ctx.relsText, ctx.documentFolder)) {
        if (rel.type != "settings" || !isRegularFileInFolder(ctx.workFolder, rel.part)) continue;
        model::XmlPart settings;
        settings.parse(rel.part, partText(ctx, rel.part), m.report);
        m.settings = model::readSettings(settings);
        m.themeScheme.fonts.useLanguages(m.settings.themeComplexLanguage, m.settings.themeEastAsianLanguage);
        return;
    }
}

void loadStoryParts(ConversionContext& ctx) {
    if (!ctx.model) return;
    model::DocumentModel& m = *ctx.model;
    m.stories.clear();
    for (const StoryRelationship& rel : storyRelationships(ctx.relsText, ctx.documentFolder)) {
        if (rel.type == "settings" || !isRegularFileInFolder(ctx.workFolder, rel.part)) continue;
        model::Story story{rel.id, rel.type, rel.part, {}, storyRels(ctx, rel.part)};
        story.items = model::readStoryItems(partText(ctx, rel.part), rel.type, rel.part, m.report);
        for (model::StoryItem& item : story.items)
            item.content =
                stepText(ctx, drawingsAsDrawn(ctx, withRunLooks(ctx, trackedChanges(ctx, item.content)), story.rels));
        m.stories.push_back(std::move(story));
    }
}

void markStoryReferences(ConversionContext& ctx) {
    ctx.footnoteRefs.clear();
    ctx.endnoteRefs.clear();
    ctx.commentRefs.clear();
    ctx.headerId.clear();
    ctx.footerId.clear();
    // A text converted without its parts read has an empty model.
    if (!ctx.model) ctx.model = std::make_unique<model::DocumentModel>();
    static const model::Section kNone;
    const model::Section& first = ctx.model && !ctx.model->sections.empty() ? ctx.model->sections.front() : kNone;
    chooseHeaderAndFooter(ctx, first);
    markNotes(ctx, first);
}

std::string convertStory(ConversionContext& ctx, std::string xml, const std::string& rels) {
    // The body's text and relationships wait aside, and come back even when
    // a step fails.
    struct Aside {
        ConversionContext& ctx;
        std::string text, rels;
        ~Aside() {
            ctx.workingText = std::move(text);
            ctx.relsText = std::move(rels);
        }
    } aside{ctx, std::move(ctx.workingText), std::move(ctx.relsText)};
    ctx.workingText = std::move(xml);
    ctx.relsText = rels;
    initRun(ctx);
    preprocess(ctx);
    // Its paragraphs are marked as the body's; the body's list labels stay known.
    const bool listLabels = ctx.listLabels;
    markParagraphs(ctx);
    ctx.listLabels = ctx.listLabels || listLabels;
    convertTables(ctx);
    wrapListItems(ctx);
    buildLists(ctx);
    wrapDropCaps(ctx);
    convertParagraphs(ctx);
    finishRuns(ctx);
    convertTabs(ctx);
    convertLinks(ctx);
    convertImages(ctx);
    regexDelete(ctx.sharedRegex, ctx.workingText, "\n\r");
    removeFieldCodes(ctx);
    return std::move(ctx.workingText);
}

void convertStories(ConversionContext& ctx) {
    if (!ctx.model) return;
    convertHeaderAndFooter(ctx);
    ctx.notesHtml = notesSections(ctx);
}

}  // namespace tavin
