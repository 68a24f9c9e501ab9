#pragma once
// The station's logo and window icon, drawn rather than shipped as an image file.
#include <QPixmap>

namespace tarn::app {
QPixmap drawLogo(int size);
}
