#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>
#include <oleacc.h>

#include "kernel/owner.h"
#include "wapi/window.h"

namespace wapi {

bool destroy_icon(HICON icon);
bool destroy_image_list(HIMAGELIST images);
bool destroy_menu(HMENU menu);
using CIcon = kernel::COwner<HICON, &destroy_icon>;
using CImageList = kernel::COwner<HIMAGELIST, &destroy_image_list>;
using CMenu = kernel::COwner<HMENU, &destroy_menu>;

// An icon of its own (never the system's shared copy, which must not be destroyed), size pixels
// square; none when it does not load.
CIcon load_icon(HINSTANCE instance, int id, int size);
// An image list of 32-bit icons size pixels square.
CImageList make_image_list(int size);
// Appends a copy of icon; the new index or -1.
int add_icon(HIMAGELIST images, HICON icon);
CMenu load_menu(HINSTANCE instance, int id);

// A report-mode list view whose items carry their text and an integer.
class CListView : public CWindowBase {
public:
    CListView();
    ~CListView() override;

    // The list does not destroy the image list (LVS_SHAREIMAGELISTS).
    void set_image_list(HIMAGELIST images);
    bool insert_column(int index, const wchar_t* text, int width);
    void set_column_width(int index, int width);
    // Pixels text takes in the list's font.
    int string_width(const wchar_t* text) const;
    int item_count() const;
    bool delete_all();
    // Appends an item with its text and data and no image; the new index or -1.
    int insert_item(const wchar_t* text, LPARAM data);
    bool set_item_text(int item, int sub_item, const wchar_t* text);
    bool set_item_image(int item, int image);
    // False for an item that does not exist (-1 included).
    bool item_data(int item, LPARAM& data) const;
    // The next item after from (-1: from the start) with all of flags (LVNI_*), or -1.
    int next_item(int from, UINT flags) const;
    void set_item_state(int item, UINT state, UINT mask);
    // The item whose data is data, or -1.
    int find_item(LPARAM data) const;
    int focused_item() const;
    // The first visible row; scroll_to makes item the first one (as far as the list reaches).
    int top_item() const;
    void scroll_to(int item);
    void select_item(int index);
    // The item's rectangle in the list's client area; false for an item that does not exist.
    bool item_rect(int item, RECT& out) const;
    // Scrolls the focused row into view, or selects the first when no row has the focus: a list
    // that gets the focus shows where it is.
    void show_focused_row();
    // Scrolls the list just enough to show item whole.
    void ensure_visible(int item);
    void move_selection(int delta);
    // Around a refill: with redrawing off every insert skips its repaint; switching it on
    // repaints the list once.
    void set_redraw(bool on);
};

// A single-line edit box.
class CTextBox : public CWindowBase {
public:
    CTextBox();
    ~CTextBox() override;

    // Enter and Escape arrive as characters too; a single-line box can only beep at them.
    bool on_char(WPARAM unit) override;
    void select_all();
    // The grey hint the empty box shows, also while it has the focus.
    void set_cue_banner(const wchar_t* text);
};

struct RStatusPart {
    CIcon icon;
    std::wstring text;
    std::wstring tooltip;
    std::int32_t width = 150;
};

class CStatusBar : public CWindowBase {
public:
    static const int MAX_PARTS = 255;

    CStatusBar();
    ~CStatusBar() override;

    // Null when the bar has all its parts already.
    RStatusPart* add_part();
    // Sends the parts to the control; the last part reaches the right border.
    void apply();
    int part_count() const { return static_cast<int>(parts_.size()); }
    // Null for a part the bar does not have.
    RStatusPart* part(int index) {
        return index >= 0 && index < part_count() ? parts_[static_cast<size_t>(index)].get() : nullptr;
    }
    // The control places itself along its parent's bottom edge.
    void resize();

private:
    std::vector<std::unique_ptr<RStatusPart>> parts_;
};

// Shows menu for owner at a point of the screen, as the system aligns drop-down menus, and
// returns the command chosen (0 for none).
UINT track_menu(HWND owner, HMENU menu, POINT at);

// Puts text on the clipboard as Unicode text, waiting up to CLIPBOARD_PATIENCE_MS for a
// clipboard another program holds; false when the clipboard would not take it, and then the
// clipboard is as it was.
const DWORD CLIPBOARD_PATIENCE_MS = 100;
bool copy_to_clipboard(HWND owner, const std::wstring& text);

// The name a screen reader says for control (a dynamic annotation of its client object), and
// its removal, due before the control goes. The system's answer: S_OK, or why not.
HRESULT set_accessible_name(HWND control, const wchar_t* name);
void clear_accessible_name(HWND control);

} // namespace wapi
