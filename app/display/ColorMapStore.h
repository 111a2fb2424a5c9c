// The user's colour maps as the program keeps them: the list and its writing.
#pragma once

#include "records/VesColorMap.h"

#include <vector>

class IColorMapStore {
public:
    virtual ~IColorMapStore() = default;
    virtual std::vector<VesColorMap>& userColorMaps() = 0;
    // The list changed: written back to the settings.
    virtual void saveUserColorMaps() = 0;
};
