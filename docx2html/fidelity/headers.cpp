// Headers and footers: the ones the first section shows on its first page
// (the first-page ones when it has a title page, else the default ones),
// converted by the body's steps and placed around the page box. Reads the
// model's first section and its header and footer parts.
#include "docx2html/fidelity/stories.h"
#include "docx2html/fidelity/storyparts.h"
#include "docx2html/model/model.h"

namespace tavin {

namespace {

std::string headerFooter(ConversionContext& ctx, const std::string& id, std::string_view type) {
    if (id.empty() || !ctx.model) return {};
    const model::Story* story = ctx.model->storyById(id);
    if (!story || story->type != type) return {};
    const std::string content = story->items.empty() ? std::string() : story->items.front().content;
    const std::string html = convertStory(ctx, content, story->rels);
    return "<div class=" + std::string(type) + ">" + html + "</div>";
}

}  // namespace

void chooseHeaderAndFooter(ConversionContext& ctx, const model::Section& first) {
    ctx.headerId = model::Section::firstPageStory(first.headers, first.titlePage);
    ctx.footerId = model::Section::firstPageStory(first.footers, first.titlePage);
}

void convertHeaderAndFooter(ConversionContext& ctx) {
    ctx.headerHtml = headerFooter(ctx, ctx.headerId, "header");
    ctx.footerHtml = headerFooter(ctx, ctx.footerId, "footer");
}

}  // namespace tavin
