#include "engine/PellmixEngine.h"
