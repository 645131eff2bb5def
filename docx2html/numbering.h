// List labels as Word shows them; see fidelity/lists.h.
#pragma once

#include "docx2html/fidelity/lists.h"
