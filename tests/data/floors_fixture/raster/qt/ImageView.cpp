// Fixture for the floor checker: Qt in a qt/ subfolder, a header beside it and one below.
#include <QImage>

#include "ImageView.h"
#include "raster/Image.h"
