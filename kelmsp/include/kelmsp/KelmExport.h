// Export macro of the kelmsp shared library: symbols are hidden unless marked.
#pragma once

#include <kelmerr/kelm_api.h>

#define KELMSP_API KELM_API
