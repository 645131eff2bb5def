#include "docx2html/MSWordHTM.h"

namespace tavin {

void optimize(ConversionContext&) {}
void reformat(ConversionContext&) {}

}  // namespace tavin
