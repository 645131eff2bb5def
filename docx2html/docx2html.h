// The conversion engine: WordprocessingML text to one HTML page.
#pragma once

#include "docx2html/context.h"
#include "docx2html/fidelity/defaults.h"
#include "docx2html/fidelity/fonts.h"
#include "docx2html/fidelity/runs.h"
#include "docx2html/fidelity/shading.h"
#include "docx2html/docxstyle.h"
#include "docx2html/fidelity.h"
#include "docx2html/fidelity/stories.h"
#include "docx2html/links.h"
#include "docx2html/lists.h"
#include "docx2html/MSWordHTM.h"
#include "docx2html/page.h"
#include "docx2html/paragraphs.h"
#include "docx2html/runs.h"
#include "docx2html/sanitize.h"
#include "docx2html/tables.h"
