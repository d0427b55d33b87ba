# ImageMagick's built-in photograph "rose:" (70x46), a natural picture for the colour reduction tests.
convert rose: -depth 8 rose.ppm
