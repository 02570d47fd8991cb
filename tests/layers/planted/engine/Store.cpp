// Planted for the layer check: the bottom folder reaching up, in angle brackets.
#include <db/Probe.h>

#include <string>
