#pragma once
// The program's icon and the pictures on its buttons, carried in the program's resources
// (rendered from the SVG sources in pictures/ by pictures/render.sh).

#include <QIcon>

namespace widgets {

enum class ButtonPictureId { Send, MaintainList, Confirm, Back, Close };

// The program's icon in sizes 16 to 256; set on the application so every window carries it.
QIcon ProgramIcon();

// A 32 x 32 button picture.
QIcon ButtonPicture(ButtonPictureId id);

}  // namespace widgets
