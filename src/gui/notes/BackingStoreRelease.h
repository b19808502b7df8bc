#pragma once

class QWidget;

namespace vimo {

// Lets a top-level window hold its pixels only while it paints. Qt keeps an image of every
// top-level window for painting (100 x 100 x 4 bytes for a note), and on X it lives in memory
// shared with the X server, which keeps a pixmap of the same size beside it: about 80 KB a
// note, every note, all day, for contents that never change. The X server already shows what
// was painted, and asks again (an expose) when a window needs painting after being covered or
// hidden; so right after each paint reaches the screen the image is given back, and the next
// paint makes a new one.
//
// Only on X (the xcb platform): there an expose always follows, while a Wayland compositor may
// still read a buffer after it was handed over. Elsewhere this does nothing.
void ReleaseBackingStoreAfterPaint(QWidget* window);

} // namespace vimo
