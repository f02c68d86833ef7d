#include "app/colours.h"

namespace app {

namespace {

// The program's colours, and the only place they are named. Light is the system's colour of the
// same role; dark follows the dark look of Windows 10 and 11 (text at least 4.5 times brighter
// than its background, grey text 4.5 times too).
struct RColour {
    EColour what;
    int light; // COLOR_*
    COLORREF dark;
};
const RColour COLOURS[] = {
    {EColour::WINDOW, COLOR_WINDOW, RGB(32, 32, 32)},
    {EColour::BAR, COLOR_BTNFACE, RGB(32, 32, 32)},
    {EColour::BAR_TEXT, COLOR_BTNTEXT, RGB(240, 240, 240)},
    {EColour::EDGE, COLOR_BTNSHADOW, RGB(77, 77, 77)},
    {EColour::LIST, COLOR_WINDOW, RGB(25, 25, 25)},
    {EColour::LIST_TEXT, COLOR_WINDOWTEXT, RGB(222, 222, 222)},
    {EColour::NEW_TEXT, COLOR_WINDOWTEXT, RGB(255, 255, 255)},
    {EColour::GREY_TEXT, COLOR_GRAYTEXT, RGB(150, 150, 150)},
    {EColour::SELECTED, COLOR_HIGHLIGHT, RGB(0, 95, 184)},
    {EColour::SELECTED_TEXT, COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255)},
    {EColour::SELECTED_IDLE, COLOR_BTNFACE, RGB(68, 68, 68)},
    {EColour::SELECTED_IDLE_TEXT, COLOR_BTNTEXT, RGB(255, 255, 255)},
    {EColour::HEADER, COLOR_WINDOW, RGB(43, 43, 43)},
    {EColour::HEADER_TEXT, COLOR_BTNTEXT, RGB(240, 240, 240)},
    {EColour::BOX, COLOR_WINDOW, RGB(43, 43, 43)},
    {EColour::BOX_TEXT, COLOR_WINDOWTEXT, RGB(255, 255, 255)},
};

} // namespace

COLORREF colour(EColour what, bool dark) {
    for (const RColour& row : COLOURS) {
        if (row.what == what) {
            return dark ? row.dark : GetSysColor(row.light);
        }
    }
    return GetSysColor(COLOR_WINDOWTEXT); // every role is in the table
}

} // namespace app
