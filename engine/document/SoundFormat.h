// The sound format is a record of its own (records/SoundFormat.h); this name
// stays for the code that reaches it through the document.
#pragma once

#include "records/SoundFormat.h"
