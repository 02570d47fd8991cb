// Planted for the layer check: the top folder may include anything below it.
#pragma once
#include "db/Probe.h"
#include "engine/Engine.h"
