// Fixture for the floor checker: Qt in ui/, and includes of every lower floor.
#include <QMainWindow>

#include "document/Layer.h"
#include "raster/qt/ImageView.h"
