// kelmmath: complex scalars, vectors, matrices, transforms, polynomial roots,
// splines and machine constants used by the kelmsp library.
#pragma once

#include <kelmmath/KelmComplex.h>
#include <kelmmath/KelmMatrix.h>
#include <kelmmath/KelmNumeric.h>
#include <kelmmath/KelmVector.h>
