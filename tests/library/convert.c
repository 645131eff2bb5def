/* A C program on libtavin: converts FILE and writes its page (or, with
 * --text, its text) to standard output; its pictures and title go to
 * standard error. */
#include <stdio.h>
#include <string.h>
#include <tavin/tavin.h>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const int text = argc > 2 && strcmp(argv[2], "--text") == 0;
    tavin_result* r = tavin_convert(argv[1], NULL);
    if (!r || !tavin_result_ok(r)) {
        fprintf(stderr, "convert: %s\n", r ? tavin_result_error(r) : "out of memory");
        tavin_result_free(r);
        return 1;
    }
    size_t size = 0;
    const char* out = text ? tavin_result_text(r, &size) : tavin_result_html(r, &size);
    fwrite(out, 1, size, stdout);
    for (size_t i = 0; i < tavin_result_picture_count(r); ++i) {
        const char *name, *type;
        tavin_result_picture(r, i, &name, &type, &size);
        fprintf(stderr, "picture %s %s %zu\n", name, type, size);
    }
    fprintf(stderr, "title %s\n", tavin_result_property(r, "title"));
    tavin_result_free(r);
    return 0;
}
