// Full Fidelity's table style formats; see fidelity/tables.h.
#pragma once

#include "docx2html/fidelity/tables.h"
