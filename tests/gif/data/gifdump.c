/* Prints what giflib reads from a GIF: per frame "W H NCOLORS" then the RGB colour map and the index
   bytes (hex). Used by make_fixtures.py as the giflib decoder. Build: cc gifdump.c -lgif -o gifdump */
#include <gif_lib.h>
#include <stdio.h>

int main(int argc, char** argv) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(argv[1], &error);
  if (!gif || DGifSlurp(gif) != GIF_OK) return 1;
  for (int i = 0; i < gif->ImageCount; ++i) {
    SavedImage* image = &gif->SavedImages[i];
    ColorMapObject* map = image->ImageDesc.ColorMap ? image->ImageDesc.ColorMap : gif->SColorMap;
    int n = map ? map->ColorCount : 0;
    printf("%d %d %d\n", image->ImageDesc.Width, image->ImageDesc.Height, n);
    for (int c = 0; c < n; ++c) printf("%02x%02x%02x", map->Colors[c].Red, map->Colors[c].Green, map->Colors[c].Blue);
    printf("\n");
    for (int p = 0; p < image->ImageDesc.Width * image->ImageDesc.Height; ++p) printf("%02x", image->RasterBits[p]);
    printf("\n");
  }
  DGifCloseFile(gif, &error);
  return 0;
}
