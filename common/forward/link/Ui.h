#pragma once
// The header's old place, for sources that still include it from there.
#include "common/Ui.h"
