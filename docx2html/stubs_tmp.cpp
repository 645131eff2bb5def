#include "docx2html/docx2html.h"
namespace tavin {
void loadStyles(ConversionContext&) {}
void readPageSetup(ConversionContext&) {}
void assembleHtml(ConversionContext&) {}
void wrapListItems(ConversionContext&) {}
void buildLists(ConversionContext&) {}
void wrapDropCaps(ConversionContext&) {}
void convertParagraphs(ConversionContext&) {}
void finishRuns(ConversionContext&) {}
void convertTabs(ConversionContext&) {}
void convertLinks(ConversionContext&) {}
void convertImages(ConversionContext&) {}
}
