// Planted for the layer check: a lower folder reaching up into app/.
#pragma once
#include "gui/Window.h"
#include "db/Other.h"
#include "engine/Engine.h"
