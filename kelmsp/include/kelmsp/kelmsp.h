// kelmsp: signal-processing classes and functions in single and double
// precision. Errors are reported through the error component (kelmerr.h):
// a failing routine reports a code and returns an empty result.
#pragma once

#include <kelmerr/kelmerr.h>
#include <kelmmath/kelmmath.h>
#include <kelmsp/KelmException.h>
#include <kelmsp/KelmExport.h>
#include <kelmsp/KelmFilter.h>
#include <kelmsp/KelmFiltering.h>
#include <kelmsp/KelmOptions.h>
#include <kelmsp/KelmPolynomial.h>
#include <kelmsp/KelmWavelet.h>
#include <kelmsp/ReferenceCount.h>
#include <kelmsp/KelmIIRDesign.h>
#include <kelmsp/KelmFIRDesign.h>
