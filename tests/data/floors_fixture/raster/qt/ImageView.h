// Fixture for the floor checker: a Qt-side header of raster.
#pragma once
#include <QWidget>
