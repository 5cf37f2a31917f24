#pragma once
// A decoded preview as the window's raster image, shared by every view that shows previews so
// they all show the same pixels.
#include <QImage>

#include "ops/entry_preview.h"

namespace wqtui {

// Takes the picture's pixels over without copying them; a null picture gives a null image.
QImage pictureImage(wqt::Picture&& picture);

}  // namespace wqtui
