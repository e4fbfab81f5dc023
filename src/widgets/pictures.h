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

// The picture drawn at `size`: one that has no pixmap that large (a theme or style picture made
// only at 16 x 16, say) is scaled up, so every button of a row shows its picture at one size and
// their captions line up.
QIcon PictureOfSize(const QIcon& picture, const QSize& size);

}  // namespace widgets
