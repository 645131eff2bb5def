#include "docx2html/xmlscan.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "core/uStr.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

bool endsName(char c) { return c == ' ' || c == '>' || c == '/' || c == '\t' || c == '\r' || c == '\n'; }

// The offset of the next tag "<name" at or after from, or npos.
std::size_t findTag(std::string_view text, std::string_view open, std::size_t from) {
    for (std::size_t p = findText(text, open, from); p != std::string_view::npos; p = findText(text, open, p + 1))
        if (p + open.size() < text.size() && endsName(text[p + open.size()])) return p;
    return std::string_view::npos;
}

}  // namespace

std::vector<Element> elements(std::string_view text, std::string_view name) {
    const std::string open = "<" + std::string(name);
    const std::string close = "</" + std::string(name) + ">";
    std::vector<Element> out;
    std::size_t p = findTag(text, open, 0);
    while (p != std::string_view::npos) {
        const std::size_t gt = text.find('>', p);
        if (gt == std::string_view::npos) break;
        Element e;
        e.begin = p;
        e.tag = text.substr(p, gt + 1 - p);
        if (text[gt - 1] == '/') {
            e.end = gt + 1;
        } else {
            const std::size_t c = findText(text, close, gt + 1);
            if (c == std::string_view::npos) break;
            e.content = text.substr(gt + 1, c - gt - 1);
            e.end = c + close.size();
        }
        out.push_back(e);
        p = findTag(text, open, e.end);
    }
    return out;
}

std::string_view childTag(std::string_view text, std::string_view name) {
    const std::string open = "<" + std::string(name);
    const std::size_t p = findTag(text, open, 0);
    if (p == std::string_view::npos) return {};
    const std::size_t gt = text.find('>', p);
    return gt == std::string_view::npos ? std::string_view() : text.substr(p, gt + 1 - p);
}

bool hasChild(std::string_view text, std::string_view name) { return !childTag(text, name).empty(); }

std::string_view childValue(std::string_view text, std::string_view name) {
    return tagAttribute(childTag(text, name), "val");
}

FirstTags::FirstTags(std::string_view text) {
    for (std::size_t lt = text.find('<'); lt != std::string_view::npos; lt = text.find('<', lt + 1)) {
        std::size_t e = lt + 1;
        while (e < text.size() && !endsName(text[e])) ++e;
        // A name that runs to the end is no tag childTag finds, nor is any after it.
        if (e >= text.size()) break;
        const std::string_view name = text.substr(lt + 1, e - lt - 1);
        if (std::any_of(tags_.begin(), tags_.end(), [&](const auto& t) { return t.first == name; })) continue;
        const std::size_t gt = text.find('>', lt);
        tags_.emplace_back(name, gt == std::string_view::npos ? std::string_view() : text.substr(lt, gt + 1 - lt));
    }
}

std::string_view FirstTags::tag(std::string_view name) const {
    for (const auto& [n, t] : tags_)
        if (n == name) return t;
    return {};
}

std::string_view FirstTags::value(std::string_view name) const { return tagAttribute(tag(name), "val"); }

std::optional<bool> FirstTags::toggle(std::string_view name) const {
    const std::string_view t = tag(name);
    if (t.empty()) return std::nullopt;
    return isOn(tagAttribute(t, "val"));
}

bool isTrue(std::string_view v) { return v == "1" || v == "true" || v == "on"; }

bool isOn(std::string_view v) { return v.empty() || isTrue(v); }

int intValue(std::string_view s, int fallback) {
    int v = fallback;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() ? v : fallback;
}

}  // namespace tavin
