#pragma once
// The sample browser project: a runtime folder as a build writes it ("Config.VX" naming the media by
// their generated names VXB<n>.<ext> and VXS<n>.wav), its skin with an irregular outline, ten buttons
// in four states, sounds, and two local pages. The same composition is also written as a designer
// project, "samples/Browser.VX" below the application folder, naming its media relative to that folder.

#include "assets/MediaFolder.h"

void GenerateSampleBrowser(MediaFolder& sample, MediaFolder& app);
