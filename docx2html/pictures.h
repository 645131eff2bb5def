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
// EMF, WMF), or "".
std::string imageTypeOf(std::string_view bytes);

// The src value of every img tag of the page, from the body on, in page
// order, each once, entities decoded.
std::vector<std::string> pictureAddresses(std::string_view page);

// The pictures the page's img tags name that lie in the package folder
// (ending in "/"), resolved against the document part's folder
// (documentFolder, "word/"): only regular files inside the package, no
// link followed, no address with a scheme. In page order, each once;
// without readBytes, only their names.
std::vector<PictureFile> pagePictures(const std::string& packageFolder, const std::string& documentFolder,
                                      std::string_view page, bool readBytes = true);

// The page with the src of each img tag naming one of the pictures (of a
// known image type) replaced by a data: address of its type, and a
// Content-Security-Policy's img-src that allows them.
std::string embedPictures(std::string_view page, const std::vector<PictureFile>& pictures);

}  // namespace tavin
