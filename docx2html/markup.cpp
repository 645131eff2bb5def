#include "docx2html/markup.h"

namespace tavin {

bool onlyTags(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size()) {
        if (t[i] != '<' || i + 1 >= t.size() || t[i + 1] == '>') return false;
        const std::size_t gt = t.find('>', i + 1);
        if (gt == std::string_view::npos) return false;
        i = gt + 1;
    }
    return true;
}

}  // namespace tavin
