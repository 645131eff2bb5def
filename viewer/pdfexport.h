// Printing the view, to a printer or a PDF file, and the conversion of a
// .docx file to PDF without a window.
#pragma once

#include <string>
#include <vector>

#include <QPageLayout>
#include <QString>

#include "package/workfolder.h"

class QPrinter;

namespace tavin {

struct ConversionContext;
class THTMLView;

// What every wait on the web engine raises when its time is up.
extern const char* const kNotRendered;

// Raised by a wait that cancelRenderWaits ended.
struct Cancelled {};

// How long a wait on the web engine (a page loading, a script, printing)
// may take before it fails with kNotRendered; two minutes unless set.
void setRenderTimeout(int milliseconds);

// Ends every wait on the web engine that is running now: each raises
// Cancelled.
void cancelRenderWaits();

// The paper of a converted document: its page size and margins as the last
// conversion in ctx read them, A4 with 2.5 cm margins where it read none.
// A paper longer than 5 m either way is cut to 5 m, and note (when given)
// says so.
QPageLayout documentPageLayout(const ConversionContext& ctx, std::string* note = nullptr);

// The paper of each section of the last conversion in ctx (by its index),
// as documentPageLayout gives the first's; empty when the conversion read
// no sections (the classic page).
std::vector<QPageLayout> sectionPageLayouts(const ConversionContext& ctx);

// Prints what the view shows to a PDF file at pdfPath and waits until the
// file is written. Raises "Cannot write PATH" when it could not be. With
// the papers of the sections (sectionPageLayouts), each sheet prints on
// its own section's paper: the papers of each run of sheets of one paper
// are printed apart and joined in order, so a landscape section prints on
// landscape paper at its size.
void printViewToPdf(THTMLView& view, const QString& pdfPath, const QPageLayout& layout,
                    const std::vector<QPageLayout>& sections = {});

// Prints what the view shows on printer, as the PDF that printViewToPdf
// writes on the printer's paper: into the printer's output file when it
// prints to a file, else handed to the printer with lp. Waits until it is
// done; raises when printing failed.
void printView(THTMLView& view, QPrinter& printer);

// Opens a .docx file as the window opens it (its work folder under the temp
// root, the same conversion with the window's default options, the page with
// its base element), shows the page in a view that is never on screen and
// prints it to pdfPath on the document's own paper. Raises with the message
// the window would show. Needs a QApplication.
void exportDocxToPdf(const std::string& docxPath, const QString& pdfPath, const ExtractCallbacks& callbacks = {},
                     bool fullFidelity = true, bool showChanges = true);

}  // namespace tavin
