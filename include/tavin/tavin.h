/* libtavin: Word documents (.docx) to HTML pages, as docx2html converts them.
 *
 * Every conversion runs in a context of its own, so the functions may be
 * called from any number of threads at once. Failures come back in the
 * result (ok false, error set); nothing here throws for a document that
 * cannot be converted. */
#pragma once

#include <stddef.h>

/* The C interface, for C and other languages. */
#ifdef __cplusplus
extern "C" {
#endif

typedef struct tavin_options {
    int fidelity;    /* Full Fidelity: 1 (default) or 0 */
    int page_margin; /* the page box around the body: 1 (default) or 0 */
    int optimize;    /* the clean-up pass: 1 (default) or 0 */
    int embed_media; /* pictures as data: addresses in the page: 0 (default) or 1 */
    const char* title; /* the page title; NULL: from the file name (none for bytes) */
} tavin_options;

/* A conversion's outcome; every text it hands out lives as long as it. */
typedef struct tavin_result tavin_result;

/* Sets the defaults (docx2html's without options). */
void tavin_options_init(tavin_options* options);

/* Converts a .docx file or a folder holding an extracted package; options
 * may be NULL for the defaults. Never NULL but when memory runs out. */
tavin_result* tavin_convert(const char* path, const tavin_options* options);
/* Converts a .docx file's bytes. */
tavin_result* tavin_convert_bytes(const void* bytes, size_t size, const tavin_options* options);
void tavin_result_free(tavin_result* result);

/* 1 when the page was made; else tavin_result_error tells why. */
int tavin_result_ok(const tavin_result* result);
const char* tavin_result_error(const tavin_result* result);
/* The page and its text (NUL-terminated; size, when not NULL, gets the length). */
const char* tavin_result_html(const tavin_result* result, size_t* size);
const char* tavin_result_text(const tavin_result* result, size_t* size);
/* A core property by name: "title", "creator", "lastModifiedBy", "keywords",
 * "keywords2", "created", "modified"; NULL for another name. */
const char* tavin_result_property(const tavin_result* result, const char* name);
size_t tavin_result_picture_count(const tavin_result* result);
/* Picture index's bytes (size in *size), and its address and image type. */
const void* tavin_result_picture(const tavin_result* result, size_t index, const char** name, const char** type,
                                 size_t* size);
size_t tavin_result_message_count(const tavin_result* result);
const char* tavin_result_message(const tavin_result* result, size_t index);

const char* tavin_version(void);

#ifdef __cplusplus
}


#include <string>
#include <string_view>
#include <vector>

namespace tavin {

// What docx2html's options choose.
struct PageOptions {
    bool fidelity = true;     // Full Fidelity (docx2html --no-fidelity turns it off)
    bool pageMargin = true;   // the page box around the body (--no-page-margin)
    bool optimize = true;     // the clean-up pass (--no-optimize)
    bool embedMedia = false;  // pictures as data: addresses inside the page (--embed-media)
    // The page title. Unset, a file or folder gives its name without
    // ".docx" and bytes in memory give an empty title, as docx2html does.
    bool hasTitle = false;
    std::string title;
};

// A picture the page shows, as stored in the package.
struct PagePicture {
    std::string name;   // the address the page uses, relative to the page ("media/image1.png")
    std::string bytes;  // the file's bytes
    std::string type;   // its image type ("image/png"), or "" when the bytes are of no type we know
};

// The core properties of the document, as stored (nothing decoded).
struct DocumentProperties {
    std::string title;
    std::string creator;
    std::string lastModifiedBy;
    std::string keywords;
    std::string keywords2;
    std::string created;
    std::string modified;
};

struct ConversionResult {
    bool ok = false;
    std::string error;                  // why the document could not be converted (ok false)
    std::string html;                   // the page, byte for byte what docx2html writes
    std::string text;                   // its visible text, as docx2html --text writes it
    std::vector<PagePicture> pictures;  // the pictures the page refers to, in page order
    DocumentProperties properties;
    std::vector<std::string> messages;  // warnings met on the way (entries skipped, ...)
};

// A .docx file.
ConversionResult convertFile(const std::string& path, const PageOptions& options = {});
// A folder holding an extracted package.
ConversionResult convertFolder(const std::string& folder, const PageOptions& options = {});
// A .docx file's bytes.
ConversionResult convertBytes(std::string_view bytes, const PageOptions& options = {});

// The library's version ("1.0.0").
const char* libraryVersion();

}  // namespace tavin

#endif /* __cplusplus */
