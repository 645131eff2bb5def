// docx2html: converts an extracted .docx package folder to one HTML page.
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "docx2html/docx2html.h"
#include "version.h"

namespace fs = std::filesystem;

namespace {

const char* kUsage =
    "Usage: docx2html [OPTIONS] FOLDER\n"
    "Converts an extracted .docx package (a folder holding word/document.xml)\n"
    "to one HTML page.\n"
    "\n"
    "Options:\n"
    "  -o FILE            write the page to FILE instead of standard output\n"
    "  --no-page-margin   no page box around the body\n"
    "  --no-optimize      keep inline styles, skip the clean-up pass\n"
    "  --help             show this help\n"
    "  --version          show the version\n";

int usageError(const std::string& message) {
    std::cerr << "docx2html: " << message << "\n" << kUsage;
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string input, output;
    bool pageMargin = true, optimizeHtml = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--version") {
            std::cout << "docx2html (Tavin) " << TAVIN_VERSION << "\n";
            return 0;
        } else if (arg == "-o") {
            if (++i >= argc) return usageError("-o needs a file name");
            output = argv[i];
        } else if (arg == "--no-page-margin") {
            pageMargin = false;
        } else if (arg == "--no-optimize") {
            optimizeHtml = false;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (input.empty()) {
            input = arg;
        } else {
            return usageError("only one input is accepted");
        }
    }
    if (input.empty()) return usageError("no input given");

    try {
        tavin::ConversionContext ctx;
        std::string folder = input;
        if (folder.back() != '/') folder += '/';
        ctx.workFolder = folder;
        ctx.documentPath = folder + "word/document.xml";
        std::string name = fs::path(input).lexically_normal().filename().string();
        if (name.empty()) name = fs::path(input).lexically_normal().parent_path().filename().string();
        ctx.docTitle = tavin::replaceAll(name, ".docx", "");
        ctx.showPageMargin = pageMargin;
        ctx.optimizeHtml = optimizeHtml;
        tavin::loadParts(ctx);
        tavin::convert(ctx);
        if (output.empty()) {
            std::fwrite(ctx.workingText.data(), 1, ctx.workingText.size(), stdout);
            if (std::fflush(stdout) != 0) throw tavin::Error("cannot write to standard output");
        } else {
            tavin::writeTextFile(output, ctx.workingText);
        }
    } catch (const std::exception& e) {
        std::cerr << "docx2html: " << input << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}
