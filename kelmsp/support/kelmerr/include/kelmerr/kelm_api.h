// Symbol visibility of the kelmsp shared library and of the two support
// components linked into it. Everything is hidden unless marked KELM_API.
#pragma once

#if defined(_WIN32)
#  if defined(KELMSP_BUILDING)
#    define KELM_API __declspec(dllexport)
#  else
#    define KELM_API __declspec(dllimport)
#  endif
#else
#  define KELM_API __attribute__((visibility("default")))
#endif
