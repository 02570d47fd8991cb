// Planted for the layer check: a lower folder reaching up into gui/.
#pragma once
#include "db/Other.h"
#include "engine/Engine.h"
#include "gui/Window.h"
