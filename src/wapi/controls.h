#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include "wapi/window.h"

namespace wapi {

// Holds one icon; every replacement destroys the icon held before.
class CIcon {
public:
    CIcon() = default;
    explicit CIcon(HICON icon) : icon_(icon) {}
    ~CIcon() { release(); }
    CIcon(const CIcon&) = delete;
    CIcon& operator=(const CIcon&) = delete;
    CIcon(CIcon&& other) noexcept : icon_(other.detach()) {}
    CIcon& operator=(CIcon&& other) noexcept {
        if (this != &other) {
            reset(other.detach());
        }
        return *this;
    }

    // An icon of its own (never the system's shared copy, which must not be destroyed), size
    // pixels square.
    bool load(HINSTANCE instance, int id, int size);
    // At the system's small-icon size.
    bool load_small(HINSTANCE instance, int id);
    bool copy(const CIcon& other);
    // Takes ownership of icon; false for null.
    bool reset(HICON icon);
    void release() { reset(nullptr); }
    // Gives the icon up without destroying it.
    HICON detach();
    HICON get() const { return icon_; }

private:
    HICON icon_ = nullptr;
};

// An image list of 16 by 16 icons, owned (destroyed with its holder) or borrowed.
class CImageList {
public:
    CImageList() = default;
    virtual ~CImageList();
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    // Icons size pixels square (the system's small-icon size at the window's DPI).
    bool create(int size = 16);
    // Appends a copy of the icon and releases the holder; the new index or -1.
    int add_icon(CIcon& icon);
    HIMAGELIST handle() const { return handle_; }
    bool owned() const { return owned_; }

private:
    void destroy();

    HIMAGELIST handle_ = nullptr;
    bool owned_ = true;
};

// A report-mode list view whose items carry their text and an integer.
class CListView : public CWindowBase {
public:
    CListView();
    ~CListView() override;

    // The list does not destroy the image list (LVS_SHAREIMAGELISTS).
    void set_image_list(const CImageList& images);
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
    bool set_item_data(int item, LPARAM data);
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

// A menu loaded from the resources, destroyed with its holder.
class CMenu {
public:
    CMenu() = default;
    ~CMenu() { reset(nullptr); }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    bool load(HINSTANCE instance, int id);
    // The popup at position, owned by this menu; null when there is none.
    HMENU sub_menu(int position) const;
    HMENU get() const { return menu_; }

private:
    void reset(HMENU menu);

    HMENU menu_ = nullptr;
};

// Shows menu at the cursor for owner; the chosen item arrives as WM_COMMAND. Bringing the owner
// to the foreground first and posting WM_NULL after make the menu close on a click elsewhere.
void popup_menu(HWND owner, HMENU menu);

} // namespace wapi
