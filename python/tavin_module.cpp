// tavin._tavin: libtavin for Python. The conversion runs without the GIL,
// so threads of one process convert side by side.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "tavin/tavin.h"

namespace py = pybind11;

namespace {

tavin::PageOptions pageOptions(bool fidelity, bool pageMargin, bool optimize, bool embedMedia) {
    tavin::PageOptions o;
    o.fidelity = fidelity;
    o.pageMargin = pageMargin;
    o.optimize = optimize;
    o.embedMedia = embedMedia;
    return o;
}

// (ok, error, html, text, [(name, bytes, type)], {property: value}, [message]),
// the page and the texts as bytes: the Python side decodes them.
py::tuple resultTuple(tavin::ConversionResult&& r) {
    py::list pictures;
    for (const tavin::PagePicture& p : r.pictures)
        pictures.append(py::make_tuple(py::bytes(p.name), py::bytes(p.bytes), py::str(p.type)));
    py::dict properties;
    const tavin::DocumentProperties& d = r.properties;
    const std::pair<const char*, const std::string*> fields[] = {
        {"title", &d.title},       {"creator", &d.creator},     {"lastModifiedBy", &d.lastModifiedBy},
        {"keywords", &d.keywords}, {"keywords2", &d.keywords2}, {"created", &d.created},
        {"modified", &d.modified}};
    for (const auto& [name, value] : fields) properties[name] = py::bytes(*value);
    py::list messages;
    for (const std::string& m : r.messages) messages.append(py::bytes(m));
    return py::make_tuple(r.ok, py::bytes(r.error), py::bytes(r.html), py::bytes(r.text), pictures, properties,
                          messages);
}

py::tuple convertPath(const std::string& path, bool fidelity, bool pageMargin, bool optimize, bool embedMedia) {
    tavin::ConversionResult r;
    {
        py::gil_scoped_release released;
        r = tavin::convertFile(path, pageOptions(fidelity, pageMargin, optimize, embedMedia));
    }
    return resultTuple(std::move(r));
}

py::tuple convertData(const py::buffer& data, bool fidelity, bool pageMargin, bool optimize, bool embedMedia) {
    const py::buffer_info info = data.request();
    if (info.itemsize != 1 || info.ndim > 1) throw py::value_error("a document's bytes must be a flat buffer of bytes");
    const std::string bytes(static_cast<const char*>(info.ptr), static_cast<std::size_t>(info.size));
    tavin::ConversionResult r;
    {
        py::gil_scoped_release released;
        r = tavin::convertBytes(bytes, pageOptions(fidelity, pageMargin, optimize, embedMedia));
    }
    return resultTuple(std::move(r));
}

}  // namespace

PYBIND11_MODULE(_tavin, m) {
    m.doc() = "libtavin's conversions; use tavin.convert";
    m.def("convert_path", &convertPath, py::arg("path"), py::arg("fidelity"), py::arg("page_margin"),
          py::arg("optimize"), py::arg("embed_media"));
    m.def("convert_bytes", &convertData, py::arg("data"), py::arg("fidelity"), py::arg("page_margin"),
          py::arg("optimize"), py::arg("embed_media"));
    m.attr("library_version") = tavin::libraryVersion();
}
