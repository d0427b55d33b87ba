#pragma once
// The designer's pictures: main window skin and its 52 button pictures, the property editor's skin,
// panel pictures and small buttons, the question box, the default project skin and button set, the
// default image element's picture and the stock pictures below "Data".

#include "assets/MediaFolder.h"

void GenerateDesignerPictures(MediaFolder& app);
