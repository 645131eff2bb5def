// A picture of a document's first sheet, for file managers' previews.
#pragma once

#include <string>

#include <QString>

#include "package/workfolder.h"

namespace tavin {

// The largest thumbnail edge asked for, in pixels.
inline constexpr int kMaxThumbnailSize = 2048;

// Converts a .docx file as the window does (Full Fidelity, the page box),
// through a private extraction under the temporary folder that is removed
// afterwards (a file manager's previews stay out of the viewer's cache),
// renders its first sheet
// in a view that is never on screen and writes it to pngPath as a PNG of at
// most size pixels either way, keeping its proportions. Raises with the
// message the window would show, kNotRendered when the engine takes longer
// than the render time-out. Needs a QApplication.
void writeDocxThumbnail(const std::string& docxPath, int size, const QString& pngPath,
                        const ExtractCallbacks& callbacks = {});

// Removes the extraction of a thumbnail under way, for a program that is
// being interrupted.
void removeUnfinishedThumbnails();

}  // namespace tavin
