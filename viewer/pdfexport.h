// Printing the view, to a printer or a PDF file, and the conversion of a
// .docx file to PDF without a window.
#pragma once

#include <string>

#include <QPageLayout>
#include <QString>

#include "package/workfolder.h"

class QPrinter;

namespace tavin {

struct ConversionContext;
class THTMLView;

// The paper of a converted document: its page size and margins as the last
// conversion in ctx read them, A4 with 2.5 cm margins where it read none.
QPageLayout documentPageLayout(const ConversionContext& ctx);

// Prints what the view shows to a PDF file at pdfPath and waits until the
// file is written. Raises "Cannot write PATH" when it could not be.
void printViewToPdf(THTMLView& view, const QString& pdfPath, const QPageLayout& layout);

// Prints what the view shows on printer and waits until it is done. Raises
// when printing failed.
void printView(THTMLView& view, QPrinter& printer);

// Opens a .docx file as the window opens it (its work folder under the temp
// root, the same conversion with the window's default options, the page with
// its base element), shows the page in a view that is never on screen and
// prints it to pdfPath on the document's own paper. Raises with the message
// the window would show. Needs a QApplication.
void exportDocxToPdf(const std::string& docxPath, const QString& pdfPath, const ExtractCallbacks& callbacks = {},
                     bool fullFidelity = true);

}  // namespace tavin
