// The two pictures of the wizard, drawn at run time: the welcome/finish picture and the step banner.
#pragma once

#include <QPixmap>

namespace kestrane::gui {

QPixmap WelcomePicture();  // 501 x 314
QPixmap BannerPicture();   // 500 x 63

}  // namespace kestrane::gui
