// Pictures a web engine cannot show, converted to ones it can: EMF and WMF
// to SVG (libemf2svg, libwmf), TIFF to PNG (libtiff, libpng).
//
// The libraries read untrusted bytes, so each conversion runs in a child
// process of its own, limited in time and memory: a picture that crashes
// or hangs a library, or whose output is too large, gives nothing, and the
// conversion goes on without it. The bytes are checked first (header,
// declared sizes) so that most bad pictures never reach a library.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tavin {

// No picture larger than this is converted, and no conversion's output may
// be larger.
inline constexpr std::size_t kMaxConvertedBytes = std::size_t(32) << 20;

// The time one page's pictures may take to convert, all together: past it
// (pictures that each took a library to its time limit), the rest are not
// converted.
inline constexpr double kConversionSecondsPerPage = 15;

// What a picture of the image type ("image/emf", "image/wmf", "image/tiff",
// as imageTypeOf names them) becomes: its SVG or PNG bytes, or nothing when
// it cannot be converted. type names what it was made into ("image/svg+xml",
// "image/png").
struct ConvertedPicture {
    std::string bytes;
    std::string type;
};
std::optional<ConvertedPicture> convertPicture(std::string_view type, std::string_view bytes);

// Whether the type is one convertPicture converts.
bool convertibleType(std::string_view type);

// Whether the bytes read as an SVG document: an svg root element (after an
// XML declaration, comments and a doctype), and its end tag last.
bool plausibleSvg(std::string_view bytes);

}  // namespace tavin
