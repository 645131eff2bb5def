// Full Fidelity's run looks, fonts, shading and page defaults; see the
// headers of fidelity/.
#pragma once

#include "docx2html/fidelity/defaults.h"
#include "docx2html/fidelity/fonts.h"
#include "docx2html/fidelity/runs.h"
#include "docx2html/fidelity/shading.h"
