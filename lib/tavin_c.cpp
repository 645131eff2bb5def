// libtavin's C entry points, over the C++ ones.
#include <cstring>
#include <new>

#include "tavin/tavin.h"

struct tavin_result {
    tavin::ConversionResult result;
};

namespace {

tavin::PageOptions pageOptions(const tavin_options* options) {
    tavin::PageOptions o;
    if (!options) return o;
    o.fidelity = options->fidelity != 0;
    o.pageMargin = options->page_margin != 0;
    o.optimize = options->optimize != 0;
    o.embedMedia = options->embed_media != 0;
    if (options->title) {
        o.hasTitle = true;
        o.title = options->title;
    }
    return o;
}

template <class Convert>
tavin_result* resultOf(Convert&& convert) {
    try {
        return new tavin_result{convert()};
    } catch (...) {
        // Conversions report their own failures; only memory can run out here.
        return nullptr;
    }
}

const char* withSize(const std::string& text, size_t* size) {
    if (size) *size = text.size();
    return text.c_str();
}

}  // namespace

extern "C" {

void tavin_options_init(tavin_options* options) {
    if (!options) return;
    options->fidelity = 1;
    options->page_margin = 1;
    options->optimize = 1;
    options->embed_media = 0;
    options->title = nullptr;
}

tavin_result* tavin_convert(const char* path, const tavin_options* options) {
    return resultOf([&] { return tavin::convertFile(path ? path : "", pageOptions(options)); });
}

tavin_result* tavin_convert_bytes(const void* bytes, size_t size, const tavin_options* options) {
    return resultOf([&] {
        return tavin::convertBytes(std::string_view(bytes ? static_cast<const char*>(bytes) : "", bytes ? size : 0),
                                   pageOptions(options));
    });
}

void tavin_result_free(tavin_result* result) { delete result; }

int tavin_result_ok(const tavin_result* result) { return result && result->result.ok ? 1 : 0; }

const char* tavin_result_error(const tavin_result* result) {
    return result ? result->result.error.c_str() : "Out of memory";
}

const char* tavin_result_html(const tavin_result* result, size_t* size) {
    static const std::string none;
    return withSize(result ? result->result.html : none, size);
}

const char* tavin_result_text(const tavin_result* result, size_t* size) {
    static const std::string none;
    return withSize(result ? result->result.text : none, size);
}

const char* tavin_result_property(const tavin_result* result, const char* name) {
    if (!result || !name) return nullptr;
    const tavin::DocumentProperties& p = result->result.properties;
    const struct {
        const char* name;
        const std::string& value;
    } fields[] = {{"title", p.title},       {"creator", p.creator},     {"lastModifiedBy", p.lastModifiedBy},
                  {"keywords", p.keywords}, {"keywords2", p.keywords2}, {"created", p.created},
                  {"modified", p.modified}};
    for (const auto& f : fields)
        if (std::strcmp(f.name, name) == 0) return f.value.c_str();
    return nullptr;
}

size_t tavin_result_picture_count(const tavin_result* result) { return result ? result->result.pictures.size() : 0; }

const void* tavin_result_picture(const tavin_result* result, size_t index, const char** name, const char** type,
                                 size_t* size) {
    if (!result || index >= result->result.pictures.size()) return nullptr;
    const tavin::PagePicture& p = result->result.pictures[index];
    if (name) *name = p.name.c_str();
    if (type) *type = p.type.c_str();
    if (size) *size = p.bytes.size();
    return p.bytes.data();
}

size_t tavin_result_message_count(const tavin_result* result) { return result ? result->result.messages.size() : 0; }

const char* tavin_result_message(const tavin_result* result, size_t index) {
    if (!result || index >= result->result.messages.size()) return nullptr;
    return result->result.messages[index].c_str();
}

const char* tavin_version(void) { return tavin::libraryVersion(); }

}  // extern "C"
