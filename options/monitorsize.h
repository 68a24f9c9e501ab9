#pragma once
// Arithmetic of the subject monitor's size: sides from a diagonal, and the shortest distance at
// which a vision test can show its smallest optotype truly.
#include <QtGlobal>

namespace tarn::options {

struct Sides {
  double width = 0.0;
  double height = 0.0;
};

// With the aspect ratio r = horizontal / vertical pixels: height = d / sqrt(r² + 1),
// width = height × r. No resolution gives zero sides.
Sides SidesFromDiagonal(double diagonal, int resHor, int resVert);
double DiagonalFromSides(double width, double height);

// Minimum vision test distance in metres, 0 when the monitor size or resolution is unknown.
//
// A standard optotype is five strokes tall, each stroke one MAR wide, so at MAR 1' (logMAR 0) it
// subtends 5' = `normalMARSeconds` (300") of arc. The smallest optotype a test shows is the one of
// the lowest logMAR (`minLogMARHundreds` / 100, -0.30 by default), subtending
//   theta = normalMARSeconds x 10^(minLogMAR) arc seconds        (150.4" by default).
// It can be drawn truly only when it is at least `smallestImgPix` pixels tall (one per stroke),
// i.e. s = smallestImgPix x pitch, with the pixel pitch of the coarser axis,
//   pitch = max(widthMM / resHor, heightMM / resVert).
// The subject must stand far enough for s to subtend no more than theta:
//   d = s / (2 tan(theta / 2)).
// Example: 527 x 296 mm at 1920 x 1080 (a 24" screen): pitch 0.2745 mm, s = 1.372 mm, d = 1.88 m.
double MinimumVisionDistance(double widthMM, double heightMM, int resHor, int resVert,
                             qint32 minLogMARHundreds, qint32 normalMARSeconds, qint32 smallestImgPix);
// The same from the stored "Monitor" sizes and the "TestSettings\VisionStatic" values.
double MinimumVisionDistanceFromSettings();

}  // namespace tarn::options
