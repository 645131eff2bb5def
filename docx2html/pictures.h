// The pictures a finished page shows, read back from its package, and the
// page with them written in as data: addresses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavin {

struct PictureFile {
    std::string name;   // the img src as the page writes it
    std::string bytes;
    std::string type;   // "image/png", ...; "" when the bytes are no image type we know
};

// The image type the bytes begin as (PNG, JPEG, GIF, BMP, WebP, TIFF, ICO,
// EMF, WMF), or "": a picture's format by its content, whatever its name.
std::string imageTypeOf(std::string_view bytes);

// The src value of every img tag of the page, from the body on, in page
// order, each once, entities decoded.
std::vector<std::string> pictureAddresses(std::string_view page);

// The pictures the page's img tags name that lie in the package folder
// (ending in "/"), resolved against the document part's folder
// (documentFolder, "word/"): only regular files inside the package, no
// link followed, no address with a scheme. In page order, each once;
// without readBytes, only their names.
// An SVG picture counts as image/svg+xml only when its address is one of
// converted (ConversionContext::convertedPictures: those the conversion
// made from pictures a web engine cannot show).
std::vector<PictureFile> pagePictures(const std::string& packageFolder, const std::string& documentFolder,
                                      std::string_view page, bool readBytes = true,
                                      const std::vector<std::string>& converted = {});

// The bytes of the regular file partName (components joined by "/") under
// folder (ending in "/"), opened one component at a time without following
// a link; false when there is none or it is larger than any picture.
// bytes null: whether there is one.
bool readPackageFile(const std::string& folder, const std::string& partName, std::string* bytes);

// The part name of the file an img src (entities decoded) names, resolved
// against documentFolder as written or percent-decoded, read into bytes
// (when not null) as readPackageFile reads it; "" when there is none or the
// address has a scheme.
std::string pictureFilePart(const std::string& packageFolder, const std::string& documentFolder,
                            const std::string& address, std::string* bytes);

// Writes the bytes as the new file partName under folder, through folders
// opened without following a link; false when the name is taken or the
// file cannot be written (then nothing is left behind).
bool writeNewPackageFile(const std::string& folder, const std::string& partName, std::string_view bytes);

// The page with the src of each img tag naming one of the pictures (of a
// known image type) replaced by a data: address of its type, and a
// Content-Security-Policy's img-src that allows them.
std::string embedPictures(std::string_view page, const std::vector<PictureFile>& pictures);

}  // namespace tavin
