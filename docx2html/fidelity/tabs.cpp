// Tab stops and the tabs that go to them (tabs.h).
#include "docx2html/fidelity/tabs.h"

#include <algorithm>

#include "core/uStr.h"
#include "docx2html/fidelity/markers.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

bool isWord(std::string_view v) {
    return v.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string_view::npos;
}

// A tab's marker, for the alignments and leaders that are words.
std::string tabMarker(std::string_view align, std::string_view leader) {
    return marker::tab(isWord(align) ? align : "", isWord(leader) ? leader : "");
}

bool fills(const TabStop& stop) { return stop.align == "right" || stop.align == "end" || stop.align == "center"; }

}  // namespace

std::vector<TabStop> readTabStops(std::string_view tabs) {
    std::vector<TabStop> stops;
    for (const Element& tab : elements(tabs, "tab")) {
        stops.push_back({intValue(tagAttribute(tab.tag, "pos"), 0), std::string(tagAttribute(tab.tag, "val")),
                         std::string(tagAttribute(tab.tag, "leader"))});
    }
    return stops;
}

std::vector<TabStop> styleTabStops(pugi::xml_node pPr) {
    std::vector<TabStop> stops;
    for (pugi::xml_node tab : pPr.child("w:tabs").children("w:tab")) {
        stops.push_back({tab.attribute("w:pos").as_int(), tab.attribute("w:val").value(), tab.attribute("w:leader").value()});
    }
    return stops;
}

void inheritTabStops(std::vector<TabStop>& own, const std::vector<TabStop>& inherited) {
    for (const TabStop& stop : inherited) {
        const bool set = std::any_of(own.begin(), own.end(), [&](const TabStop& t) { return t.pos == stop.pos; });
        if (!set) own.push_back(stop);
    }
}

std::vector<TabStop> usedTabStops(std::vector<TabStop> stops) {
    std::erase_if(stops, [](const TabStop& t) { return t.align == "clear"; });
    std::stable_sort(stops.begin(), stops.end(), [](const TabStop& a, const TabStop& b) { return a.pos < b.pos; });
    return stops;
}

void markTabs(std::string_view t, std::size_t from, std::size_t to, const std::vector<TabStop>& stops,
              NextOccurrence& tabs, NextOccurrence& ptabs, EditList& edits) {
    std::size_t k = 0;
    for (std::size_t at = from;;) {
        const std::size_t tab = tabs.atOrAfter(at), ptab = ptabs.atOrAfter(at);
        const std::size_t next = std::min(tab, ptab);
        if (next == std::string::npos || next >= to) return;
        if (next == ptab) {
            const std::size_t gt = t.find('>', ptab);
            if (gt == std::string::npos || gt >= to) return;
            const std::string_view tag = t.substr(ptab, gt + 1 - ptab);
            edits.replace(ptab, tag.size(), tabMarker(tagAttribute(tag, "alignment"), tagAttribute(tag, "leader")) + "<tab/>");
            at = gt + 1;
            continue;
        }
        if (k < stops.size() && fills(stops[k])) edits.insert(tab, tabMarker(stops[k].align, stops[k].leader));
        ++k;
        at = tab + 6;
    }
}

}  // namespace tavin
