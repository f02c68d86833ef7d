#pragma once
#include <windows.h>

namespace app {

// What the program paints, each with its colour in light and in dark.
enum class EColour {
    WINDOW,             // the window's background
    BAR,                // the status bar
    BAR_TEXT,           //
    EDGE,               // lines between the status bar's parts and the headers' columns
    LIST,               // the lists' background
    LIST_TEXT,          //
    NEW_TEXT,           // the bold rows: topics with new posts
    GREY_TEXT,          // rows drawn grey
    SELECTED,           // the selected row while its list has the focus
    SELECTED_TEXT,      //
    SELECTED_IDLE,      // the selected row while another control has the focus
    SELECTED_IDLE_TEXT, //
    HEADER,             // the lists' column headers
    HEADER_TEXT,        //
    BOX,                // the search box
    BOX_TEXT,           //
};

// The colour of what in the mode: in light (and high contrast) the system's own colour, read
// now, so light stays exactly as the system draws it. Any thread.
COLORREF colour(EColour what, bool dark);

} // namespace app
