#include "IPlug/IPlugPreset.h"

#include <cstring>

IPlugPreset::IPlugPreset() { std::strcpy(mName, "empty"); }
