// Formatting properties to CSS, and the style table.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "docx2html/context.h"

namespace tavin {

// Value of the first name="..." in text; name may carry its element as a
// prefix ("<sz val") to pin the attribute to that element.
std::string attrValue(std::string_view text, std::string_view name);

// Twips to pixels: empty for blank text; a non-zero measure gives at least 1.
// The text is read by measureToInt in the field's own unit (twips unless
// unitsPerPoint says otherwise: border sizes are eighths of a point) and
// that number is divided as twips.
std::string twipsToPx(const ConversionContext& ctx, std::string_view s, int unitsPerPoint = kTwipsPerPoint);
// Half-points to pixels.
std::string halfPtToPx(std::string_view s);
// The first stretch from "<" + name through the next "/>", inclusive.
std::string elementText(std::string_view text, std::string_view name);

std::string indToCss(const ConversionContext& ctx, std::string_view t);
std::string spacingToCss(const ConversionContext& ctx, std::string_view t);
std::string borderSide(const ConversionContext& ctx, std::string_view b, std::string_view side);
std::string bordersToCss(const ConversionContext& ctx, std::string_view b);
// The CSS of four border sides as borderSide gives them (bordersToCss of a
// non-empty text).
std::string combineBorders(const std::string& top, const std::string& left, const std::string& right,
                           const std::string& bottom);
propSlots readProps(const ConversionContext& ctx, std::string_view p, bool boldAllowed);

// The style table.
void loadStyles(ConversionContext& ctx);
void readStyle(ConversionContext& ctx, std::string_view text, int i);
int findStyle(const ConversionContext& ctx, std::string_view id, int limit);

// findStyle for many lookups in one style table: the first position of each
// id, added in table order.
class StyleIds {
public:
    StyleIds() = default;
    explicit StyleIds(const std::vector<styleEntry>& table);
    void add(const std::string& id, int i) { first_.emplace(id, i); }
    // As findStyle(ctx, id, limit) on the table the ids came from.
    int find(const std::string& id, int limit) const;

private:
    std::unordered_map<std::string, int> first_;
};
void inheritProps(const ConversionContext& ctx, propSlots& slots, int k, bool all);
std::string styleXml(const ConversionContext& ctx, std::string_view id);

}  // namespace tavin
