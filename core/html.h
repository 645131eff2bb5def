// Escaping for HTML. Every value a page takes from a document is written
// through one of these, so that no value can end the element, the attribute
// or the comment it stands in.
#pragma once

#include <string>
#include <string_view>

namespace tavin {

// Plain text (already decoded) for character data or a quoted attribute
// value: "&", "<", ">", '"' and "'" as references.
std::string escapeHtml(std::string_view text);

// Text as an XML part stores it, where "&amp;" and "&#x41;" are already
// references: those stay as written, a "&" that starts none becomes
// "&amp;", and "<", ">", '"' and "'" become references.
std::string escapeStoredText(std::string_view text);

}  // namespace tavin
