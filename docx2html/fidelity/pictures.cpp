// Pictures: a picture of a VML shape (v:imagedata) becomes a drawing of the
// shape's size, which the picture step shows as an img element; and a
// picture the web view cannot show (EMF, WMF, TIFF, known by its content)
// is converted into one it can (SVG, PNG) beside it in the work folder, or
// becomes a labelled box of its size instead of a broken-picture sign.
// Reads the VML shapes of the document part and the pictures of the page
// being built.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/uStr.h"
#include "docx2html/fidelity.h"
#include "docx2html/fidelity/edits.h"
#include "docx2html/metafiles.h"
#include "docx2html/pictures.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

// ---------------------------------------------------------------------------
// VML pictures

// The value of a property of a CSS style attribute ("width:72pt;height:1in"),
// at a declaration's start; nothing when the style has none.
std::optional<std::string_view> styleProperty(std::string_view style, std::string_view name) {
    const std::string key = std::string(name) + ":";
    std::size_t at = 0;
    for (;;) {
        at = style.find(key, at);
        if (at == std::string_view::npos) return std::nullopt;
        if (at == 0 || style[at - 1] == ';' || style[at - 1] == ' ') break;
        ++at;
    }
    const std::string_view v = style.substr(at + key.size());
    return trimText(v.substr(0, v.find(';')));
}

// A VML length (points by default, or pixels) in EMU; empty when it cannot
// be read.
std::string extentEmu(std::optional<std::string_view> length) {
    if (!length) return {};
    const std::string_view v = *length;
    try {
        if (v.size() > 2 && v.substr(v.size() - 2) == "px")
            return std::to_string(static_cast<long long>(measureToInt(v.substr(0, v.size() - 2), 1)) * 9525);
        return std::to_string(measureToInt(v, kEmuPerPoint));
    } catch (const Error&) {
        return {};
    }
}

// The drawing that shows the picture relationship id at the size given.
std::string drawingOf(std::string_view id, const std::string& cx, const std::string& cy) {
    std::string drawing = "<w:drawing><wp:inline>";
    if (!cx.empty() && !cy.empty()) drawing += "<wp:extent cx=\"" + cx + "\" cy=\"" + cy + "\"/>";
    return drawing + "<a:blip r:embed=\"" + std::string(id) + "\"/></wp:inline></w:drawing>";
}

// The style of the shape a picture at p belongs to: the nearest VML start
// tag before it with a style, looked for back to from (the picture before).
std::string_view shapeStyleBefore(std::string_view t, std::size_t p, std::size_t from) {
    for (std::size_t s = t.rfind("<v:", p - 1); s != std::string_view::npos && s >= from && s > 0;
         s = t.rfind("<v:", s - 1)) {
        const std::size_t e = t.find('>', s);
        const std::string_view style = tagAttribute(t.substr(s, e + 1 - s), "style");
        if (!style.empty()) return style;
    }
    return {};
}

// ---------------------------------------------------------------------------
// Stand-ins

// The label of a picture format the web view cannot show ("EMF"), or empty.
std::string unshownFormat(std::string_view src) {
    const std::string name = lowerCase(src);
    const std::size_t dot = name.rfind('.');
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    if (ext != "emf" && ext != "wmf" && ext != "tif" && ext != "tiff") return {};
    std::string label = ext == "tiff" ? "TIF" : ext;
    for (char& c : label) c = static_cast<char>(c - 32);
    return label;
}

// A whole-number attribute of an img tag written by the picture step, in
// pixels ("12px"), or empty.
std::string pixels(std::string_view tag, std::string_view name) {
    const std::size_t at = tag.find(name);
    if (at == std::string_view::npos) return {};
    std::size_t e = at + name.size();
    while (e < tag.size() && tag[e] >= '0' && tag[e] <= '9') ++e;
    return e > at + name.size() ? std::string(tag.substr(at + name.size(), e - at - name.size())) + "px" : std::string();
}

std::string standIn(std::string_view tag, const std::string& label) {
    const std::string w = pixels(tag, " width="), h = pixels(tag, " height=");
    std::string style = "display:inline-block;box-sizing:border-box;border:1px dashed gray;color:gray;"
                        "font-size:small;text-align:center;vertical-align:bottom;overflow:hidden;";
    if (!w.empty()) style += "width:" + w + ";";
    if (!h.empty()) style += "height:" + h + ";line-height:" + h + ";";
    return "<span class=picture style=\"" + style + "\">" + label + " picture</span>";
}

// The label of a picture's image type (imageTypeOf) a web engine cannot
// show.
std::string typeLabel(std::string_view type) {
    if (type == "image/emf") return "EMF";
    if (type == "image/wmf") return "WMF";
    return "TIF";
}

// What the img of a picture becomes: its src with a suffix (the converted
// picture's name), or a labelled box, or it stays as it is.
struct Shown {
    std::string suffix;
    std::string label;
};

// Pictures of the page a web engine cannot show: each converted once into
// a file beside it in the work folder, or, when it cannot be, or the page
// has no work folder, a labelled box. A picture is known by its content:
// a WMF named ".bin" is a WMF, an empty ".emf" no picture at all.
class PictureShower {
public:
    explicit PictureShower(ConversionContext& ctx) : ctx_(ctx) {}

    void rewrite(std::string& text) {
        const std::string_view t = text;
        EditList edits;
        for (std::size_t p = findText(t, "<img src=\""); p != std::string_view::npos; p = findText(t, "<img src=\"", p + 1)) {
            const std::size_t gt = t.find('>', p);
            const std::size_t quote = t.find('"', p + 10);
            if (gt == std::string_view::npos || quote == std::string_view::npos || quote > gt) continue;
            const Shown& shown = shownAs(t.substr(p + 10, quote - p - 10));
            if (!shown.suffix.empty()) edits.insert(quote, shown.suffix);
            else if (!shown.label.empty()) edits.replace(p, gt + 1 - p, standIn(t.substr(p, gt + 1 - p), shown.label));
        }
        edits.applyTo(text);
    }

private:
    const Shown& shownAs(std::string_view src) {
        const std::string address = replaceAll(std::string(src), "&amp;", "&");
        auto [at, added] = cache_.try_emplace(address);
        if (added) at->second = convert(address);
        return at->second;
    }

    Shown convert(const std::string& address) {
        // A picture the package does not hold (linked, or named by no
        // relationship) is a box, not a broken-picture sign.
        if (address.empty()) return {{}, "Missing"};
        const Shown byName{{}, unshownFormat(address)};
        std::string bytes;
        if (ctx_.workFolder.empty()) return byName;
        const std::string part = pictureFilePart(ctx_.workFolder, ctx_.documentFolder, address, &bytes);
        if (part.empty()) return byName;
        const std::string type = imageTypeOf(bytes);
        // No picture at all by its content: a box, by its name.
        if (type.empty()) return byName;
        if (!convertibleType(type)) return {};
        if (spent_ >= kConversionSecondsPerPage) return {{}, typeLabel(type)};
        const auto start = std::chrono::steady_clock::now();
        const std::optional<ConvertedPicture> converted = convertPicture(type, bytes);
        spent_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!converted) return {{}, typeLabel(type)};
        const std::string extension = converted->type == "image/png" ? ".png" : ".svg";
        for (int n = 0; n < 4; ++n) {
            const std::string suffix = (n == 0 ? std::string() : "-" + std::to_string(n)) + extension;
            if (!writtenOrThere(part + suffix, converted->bytes)) continue;
            ctx_.convertedPictures.push_back(address + suffix);
            return {suffix, {}};
        }
        return {{}, typeLabel(type)};
    }

    // Whether the file is now there with the bytes: written, or there
    // already (a conversion before this one of the same work folder).
    bool writtenOrThere(const std::string& part, const std::string& bytes) const {
        if (writeNewPackageFile(ctx_.workFolder, part, bytes)) return true;
        std::string there;
        return readPackageFile(ctx_.workFolder, part, &there) && there == bytes;
    }

    ConversionContext& ctx_;
    std::unordered_map<std::string, Shown> cache_;
    double spent_ = 0;  // seconds spent converting
};

}  // namespace

void vmlPicturesToDrawings(ConversionContext& ctx) {
    const std::string_view t = ctx.workingText;
    EditList edits;
    std::size_t shapeStyleFrom = 0;
    std::string_view shapeStyle;
    for (std::size_t p = findText(t, "<v:imagedata"); p != std::string_view::npos; p = findText(t, "<v:imagedata", p + 1)) {
        const std::size_t gt = t.find('>', p);
        if (gt == std::string_view::npos) break;
        const std::string_view tag = t.substr(p, gt + 1 - p);
        std::string_view id = tagAttribute(tag, "r:id");
        if (id.empty()) id = tagAttribute(tag, "r:embed");
        if (id.empty()) continue;
        // A picture without a styled shape of its own keeps the last one's.
        if (const std::string_view style = shapeStyleBefore(t, p, shapeStyleFrom); !style.empty()) shapeStyle = style;
        shapeStyleFrom = p;
        const std::string cx = extentEmu(styleProperty(shapeStyle, "width"));
        const std::string cy = extentEmu(styleProperty(shapeStyle, "height"));
        edits.replace(p, gt + 1 - p, drawingOf(id, cx, cy));
    }
    edits.applyTo(ctx.workingText);
}

void pictureStandIns(ConversionContext& ctx) {
    ctx.convertedPictures.clear();
    PictureShower shower(ctx);
    shower.rewrite(ctx.workingText);
    // The headers and footers the page finisher places on each sheet.
    for (auto& story : ctx.sheetStories) shower.rewrite(story.second);
    // And the drawings it places, whose boxes show pictures of their own.
    for (ConversionContext::PlacedDrawing& d : ctx.drawings) shower.rewrite(d.html);
}

}  // namespace tavin
