// Fixture for the floor checker: the one misplaced Qt include (paint is in tfcore).
#include <QPainter>

#include "document/Layer.h"
