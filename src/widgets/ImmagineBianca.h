#pragma once

#include <QImage>

// The card window's built-in picture for a card without a photo (366 x 274).
QImage ImmagineBianca();
