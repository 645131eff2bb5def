// Page size and margins, and the assembly of the HTML page around the body.
#include "docx2html/page.h"

#include "docx2html/docxstyle.h"

namespace tavin {

void readPageSetup(ConversionContext& ctx) {
    TWSRegEx& rx = ctx.sharedRegex;
    rx.setSubject(ctx.workingText);
    rx.setPattern(R"re(<pgSz w="(\d+)" h="(\d+)")re");
    if (rx.Match()) {
        ctx.pageWidth = twipsToPx(ctx, rx.SubmatchText(1));
        ctx.pageHeight = twipsToPx(ctx, rx.SubmatchText(2));
    }
    // Setting the subject again restarts the search position, so the margins
    // are searched from the start whatever the first search matched.
    rx.setPattern(R"re(<pgMar top="(\d+)" right="(\d+)" bottom="(\d+)" left="(\d+)")re");
    rx.setSubject(rx.takeSubject());
    if (rx.Match()) {
        ctx.marginTop = twipsToPx(ctx, rx.SubmatchText(1));
        ctx.marginRight = twipsToPx(ctx, rx.SubmatchText(2));
        ctx.marginBottom = twipsToPx(ctx, rx.SubmatchText(3));
        ctx.marginLeft = twipsToPx(ctx, rx.SubmatchText(4));
    }
    rx.setSubject(std::string());
    ctx.charset = attrValue(ctx.workingText, "encoding");
}

namespace {

std::string escapeTitle(std::string_view title) { return replaceAll(title, "<", "&lt;"); }

}  // namespace

void assembleHtml(ConversionContext& ctx) {
    std::string& t = ctx.workingText;
    TWSRegEx& rx = ctx.sharedRegex;
    regexDelete(rx, t, "\n\r");
    regexDelete(rx, t, R"(<fldChar fldCharType="begin"/>.+?<fldChar fldCharType="end"/>)");

    std::string_view body = t;
    const std::size_t bodyStart = body.find("<body");
    if (bodyStart != std::string_view::npos) body.remove_prefix(bodyStart);
    const std::size_t sect = body.find("<sectPr");
    if (sect != std::string_view::npos) body = body.substr(0, sect);

    const char* crlf = "\r\n";
    std::string page;
    page.reserve(body.size() + 1024);
    page += "<html>";
    page += crlf;
    page += "<head><title>";
    page += escapeTitle(ctx.docTitle);
    page += "</title>";
    page += crlf;
    page += "<meta http-equiv=Content-Type content=\"text/html;";
    page += " charset=" + ctx.charset + "\">";
    page += crlf;
    page += "<style>";
    page += crlf;
    page += "p{margin-top:0px;margin-bottom:0px;font-family:times new roman}";
    page += crlf;
    page += "ol,ul{margin-top:0px;margin-bottom:0px;margin-left:1em}";
    page += crlf;
    page += "table{border-collapse:collapse;}";
    page += crlf;
    page += "td{padding:1 2;border-color:gray;}";
    page += crlf;
    page += "blockquote{margin-top:0px;margin-bottom:0px;disply:inline;}";
    page += crlf;
    page += ".tab{margin-left:3em}";
    if (ctx.pageMarginFlag) {
        page += "body{background-color:gray;";
        page += "text-align:center;}";
        page += crlf;
        page += " div.page{width:" + ctx.pageWidth + ";padding:" + ctx.marginTop + " " + ctx.marginRight + " " +
                ctx.marginBottom + " " + ctx.marginLeft + "; background-color:white;";
        page += "border:1px solid black;text-align:left;";
        page += "min-height:" + ctx.pageHeight + "; _height:" + ctx.pageHeight + ";margin:20px 0;}";
        page += " td div.page{width:0;height:0}";
    }
    page += "</style></head>";

    // The page box opens right after the body start tag and is closed by the
    // body end tag.
    const std::size_t gt = body.find('>');
    if (ctx.pageMarginFlag) {
        const std::size_t cut = gt == std::string_view::npos ? 0 : gt + 1;
        page.append(body.substr(0, cut));
        page += "<div class=page>";
        page.append(body.substr(cut));
    } else {
        page.append(body);
    }
    page += "</body></html>";
    t = std::move(page);
}

}  // namespace tavin
