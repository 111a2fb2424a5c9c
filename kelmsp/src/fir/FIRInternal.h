// Helpers shared by the FIR design sources. They neither push a routine text
// nor check their arguments; the exported routines check first.
#pragma once

#include "common/KelmInternal.h"

#include <kelmmath/kelmmath.h>

namespace kelm_detail {

// The window of the given option (0..6): n >= 2, odd for Dolph-Chebyshev with
// theta in (0, 1), and for Kaiser |pi alpha| within the range of I0.
template <class T>
KelmVector<T> firWindow(int n, int option, T parameter);

// Window design of the band type (0..3) with the edges f1 < f2 (f2 unused by
// low-pass and high-pass); the window has at least 2 values.
template <class T>
KelmVector<T> windowDesign(int option, const KelmVector<T>& window, T f1, T f2);

}  // namespace kelm_detail
