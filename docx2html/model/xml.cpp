#include "docx2html/model/xml.h"

#include <array>
#include <charconv>
#include <cstring>

namespace tavin::model {

namespace {

struct KnownNamespace {
    const char* prefix;
    const char* uri;
};

// The transitional and the strict namespace of each vocabulary, under one prefix.
constexpr std::array<KnownNamespace, 45> kKnown{{
    {"w", "http://schemas.openxmlformats.org/wordprocessingml/2006/main"},
    {"w", "http://purl.oclc.org/ooxml/wordprocessingml/main"},
    {"r", "http://schemas.openxmlformats.org/officeDocument/2006/relationships"},
    {"r", "http://purl.oclc.org/ooxml/officeDocument/relationships"},
    {"a", "http://schemas.openxmlformats.org/drawingml/2006/main"},
    {"a", "http://purl.oclc.org/ooxml/drawingml/main"},
    {"wp", "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing"},
    {"wp", "http://purl.oclc.org/ooxml/drawingml/wordprocessingDrawing"},
    {"pic", "http://schemas.openxmlformats.org/drawingml/2006/picture"},
    {"pic", "http://purl.oclc.org/ooxml/drawingml/picture"},
    {"c", "http://schemas.openxmlformats.org/drawingml/2006/chart"},
    {"c", "http://purl.oclc.org/ooxml/drawingml/chart"},
    {"m", "http://schemas.openxmlformats.org/officeDocument/2006/math"},
    {"m", "http://purl.oclc.org/ooxml/officeDocument/math"},
    {"mc", "http://schemas.openxmlformats.org/markup-compatibility/2006"},
    {"v", "urn:schemas-microsoft-com:vml"},
    {"o", "urn:schemas-microsoft-com:office:office"},
    {"w10", "urn:schemas-microsoft-com:office:word"},
    {"w14", "http://schemas.microsoft.com/office/word/2010/wordml"},
    {"wps", "http://schemas.microsoft.com/office/word/2010/wordprocessingShape"},
    {"wpg", "http://schemas.microsoft.com/office/word/2010/wordprocessingGroup"},
    {"wp14", "http://schemas.microsoft.com/office/word/2010/wordprocessingDrawing"},
    {"dgm", "http://schemas.openxmlformats.org/drawingml/2006/diagram"},
    {"dgm", "http://purl.oclc.org/ooxml/drawingml/diagram"},
    {"dsp", "http://schemas.microsoft.com/office/drawing/2008/diagram"},
    {"rel", "http://schemas.openxmlformats.org/package/2006/relationships"},
    {"cp", "http://schemas.openxmlformats.org/package/2006/metadata/core-properties"},
    {"dc", "http://purl.org/dc/elements/1.1/"},
    {"xml", "http://www.w3.org/XML/1998/namespace"},
    // Word's later vocabularies, which no step reads: known, so that a part
    // declaring them under their own prefixes keeps its names as written.
    {"wne", "http://schemas.microsoft.com/office/word/2006/wordml"},
    {"w15", "http://schemas.microsoft.com/office/word/2012/wordml"},
    {"w16se", "http://schemas.microsoft.com/office/word/2015/wordml/symex"},
    {"w16cid", "http://schemas.microsoft.com/office/word/2016/wordml/cid"},
    {"w16", "http://schemas.microsoft.com/office/word/2018/wordml"},
    {"w16cex", "http://schemas.microsoft.com/office/word/2018/wordml/cex"},
    {"w16sdtdh", "http://schemas.microsoft.com/office/word/2020/wordml/sdtdatahash"},
    {"w16du", "http://schemas.microsoft.com/office/word/2023/wordml/word16du"},
    {"w16sdtfl", "http://schemas.microsoft.com/office/word/2024/wordml/sdtformatlock"},
    {"wpc", "http://schemas.microsoft.com/office/word/2010/wordprocessingCanvas"},
    {"wpi", "http://schemas.microsoft.com/office/word/2010/wordprocessingInk"},
    {"sl", "http://schemas.openxmlformats.org/schemaLibrary/2006/main"},
    {"cx", "http://schemas.microsoft.com/office/drawing/2014/chartex"},
    {"aink", "http://schemas.microsoft.com/office/drawing/2016/ink"},
    {"am3d", "http://schemas.microsoft.com/office/drawing/2017/model3d"},
    {"oel", "http://schemas.microsoft.com/office/2019/extlst"},
}};

// The prefix a namespace is read under; a namespace we do not know is
// read under "?" + the document's own prefix, so that it matches no name
// of ours even where it reuses one of our prefixes.
std::string canonicalPrefix(std::string_view uri, std::string_view ownPrefix) {
    if (uri.empty()) return {};  // xmlns="": no namespace
    for (const KnownNamespace& k : kKnown)
        if (uri == k.uri) return k.prefix;
    return "?" + std::string(ownPrefix);
}

struct Binding {
    std::string prefix;     // as the document writes it; "" for the default namespace
    std::string canonical;  // "" for no namespace
    std::size_t depth;
};

class Canonicalizer {
public:
    // rootOnly: no element but the root declares a namespace.
    void run(pugi::xml_node root, bool rootOnly) {
        // The xml prefix is bound without a declaration.
        bindings_.push_back({"xml", "xml", 0});
        if (rootOnly && renamesNothing(root)) return;
        walk(root, 1);
    }

private:
    // Iterative, so that a deeply nested part cannot exhaust the stack.
    void walk(pugi::xml_node root, std::size_t depth) {
        struct Frame {
            pugi::xml_node node;
            std::size_t depth;
        };
        std::vector<Frame> stack{{root, depth}};
        while (!stack.empty()) {
            const Frame f = stack.back();
            stack.pop_back();
            while (!bindings_.empty() && bindings_.back().depth >= f.depth) bindings_.pop_back();
            element(f.node, f.depth);
            // Children in reverse, so that they are visited in document order.
            for (pugi::xml_node c = f.node.last_child(); c; c = c.previous_sibling())
                if (c.type() == pugi::node_element) stack.push_back({c, f.depth + 1});
        }
    }

    void element(pugi::xml_node node, std::size_t depth) {
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
            const std::string_view n = a.name();
            if (n == "xmlns") bindings_.push_back({"", canonicalPrefix(a.value(), ""), depth});
            else if (n.substr(0, 6) == "xmlns:") bindings_.push_back({std::string(n.substr(6)), canonicalPrefix(a.value(), n.substr(6)), depth});
        }
        rename(node, true);
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
            const std::string_view n = a.name();
            if (n != "xmlns" && n.substr(0, 6) != "xmlns:") rename(a, false);
        }
    }

    // Whether the root's declarations, the only ones, bind every prefix to
    // its own name and no default namespace: then every name stays (the
    // common part, read without a walk over it).
    static bool renamesNothing(pugi::xml_node root) {
        for (pugi::xml_attribute a = root.first_attribute(); a; a = a.next_attribute()) {
            const std::string_view n = a.name();
            if (n == "xmlns" && !canonicalPrefix(a.value(), "").empty()) return false;
            if (n.substr(0, 6) == "xmlns:" && canonicalPrefix(a.value(), n.substr(6)) != n.substr(6)) return false;
        }
        return true;
    }

    const std::string* lookup(std::string_view prefix) const {
        for (auto b = bindings_.rbegin(); b != bindings_.rend(); ++b)
            if (b->prefix == prefix) return &b->canonical;
        return nullptr;
    }

    // Unprefixed attributes are in no namespace and keep their names; an
    // unprefixed element is in the default namespace.
    template <class Named>
    void rename(Named named, bool isElement) {
        const std::string_view n = named.name();
        const std::size_t colon = n.find(':');
        if (colon == std::string_view::npos && !isElement) return;
        const std::string_view prefix = colon == std::string_view::npos ? std::string_view() : n.substr(0, colon);
        const std::string_view local = colon == std::string_view::npos ? n : n.substr(colon + 1);
        const std::string* canonical = lookup(prefix);
        // An undeclared prefix keeps its name: such a part is not
        // namespace-well-formed, and is read as written.
        if (canonical == nullptr || *canonical == prefix) return;
        std::string name = canonical->empty() ? std::string(local) : *canonical + ":" + std::string(local);
        named.set_name(name.c_str());
    }

    std::vector<Binding> bindings_;
};

}  // namespace

void Report::skip(std::string_view part, std::string_view what, std::string_view why) {
    std::string line(part);
    line += ": ";
    line += what;
    line += " (";
    line += why;
    line += ")";
    skipped.push_back(std::move(line));
}

void canonicalizeNames(pugi::xml_node root, bool rootOnly) {
    if (root) Canonicalizer().run(root, rootOnly);
}

namespace {

// Whether no "xmlns" stands in text after its first start tag (the
// root's), read before the parser writes into it.
bool declaredAtRootOnly(std::string_view text) {
    std::size_t lt = text.find('<');
    while (lt != std::string_view::npos && lt + 1 < text.size() && (text[lt + 1] == '?' || text[lt + 1] == '!'))
        lt = text.find('<', lt + 1);
    const std::size_t gt = lt == std::string_view::npos ? lt : text.find('>', lt);
    return gt != std::string_view::npos && text.find("xmlns", gt) == std::string_view::npos;
}

}  // namespace

void XmlPart::parse(std::string name, std::string text, Report& report) {
    name_ = std::move(name);
    text_ = std::move(text);
    size_ = text_.size();
    doc_.reset();
    complete_ = true;
    if (text_.empty()) return;
    // Whitespace alone in an element is text there (<w:t> </w:t>).
    constexpr unsigned kOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;
    const bool rootOnly = declaredAtRootOnly(text_);
    const pugi::xml_parse_result r = doc_.load_buffer_inplace(text_.data(), text_.size(), kOptions, pugi::encoding_utf8);
    if (!r) {
        complete_ = false;
        report.skip(name_, "the rest of the part from byte " + std::to_string(r.offset), r.description());
    }
    canonicalizeNames(doc_.document_element(), rootOnly);
}

std::string_view childVal(pugi::xml_node node, const char* name) { return node.child(name).attribute("w:val").value(); }

std::optional<bool> toggle(pugi::xml_node property) {
    if (!property) return std::nullopt;
    const pugi::xml_attribute v = property.attribute("w:val");
    const std::string_view s = v.value();
    return s.empty() || s == "1" || s == "true" || s == "on";
}

std::optional<long> number(std::string_view text) {
    long v = 0;
    const char* end = text.data() + text.size();
    const char* from = text.data();
    if (from != end && *from == '+') ++from;
    const auto r = std::from_chars(from, end, v);
    if (r.ec != std::errc() || r.ptr != end || from == end) return std::nullopt;
    return v;
}

}  // namespace tavin::model
