#include "wapi/controls.h"

#include <atomic>
#include <cstring>

namespace wapi {

namespace {

// Set only once InitCommonControlsEx succeeded, so a failed call is tried again.
std::atomic<bool> common_controls_ready{false};

void init_common_controls() {
    if (common_controls_ready) {
        return;
    }
    INITCOMMONCONTROLSEX init;
    init.dwSize = sizeof(init);
    // The lists, and the status bar, which is a bar class.
    init.dwICC = ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES;
    if (InitCommonControlsEx(&init) == TRUE) {
        common_controls_ready = true;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Owned handles

bool destroy_icon(HICON icon) {
    return DestroyIcon(icon) != FALSE;
}

bool destroy_image_list(HIMAGELIST images) {
    return ImageList_Destroy(images) != FALSE;
}

bool destroy_menu(HMENU menu) {
    return DestroyMenu(menu) != FALSE;
}

CIcon load_icon(HINSTANCE instance, int id, int size) {
    // Without LR_SHARED: the icon is this holder's to destroy.
    return CIcon(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0)));
}

CImageList make_image_list(int size) {
    return CImageList(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 8, 16));
}

int add_icon(HIMAGELIST images, HICON icon) {
    return images != nullptr && icon != nullptr ? ImageList_ReplaceIcon(images, -1, icon) : -1;
}

CMenu load_menu(HINSTANCE instance, int id) {
    return CMenu(LoadMenuW(instance, MAKEINTRESOURCEW(id)));
}

// ---------------------------------------------------------------------------------------------
// CListView

CListView::CListView() {
    init_common_controls();
    class_name = WC_LISTVIEWW;
    style = WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SHAREIMAGELISTS;
    ex_style = WS_EX_CLIENTEDGE;
}

CListView::~CListView() = default;

void CListView::set_image_list(HIMAGELIST images) {
    SendMessageW(handle, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
}

bool CListView::insert_column(int index, const wchar_t* column_text, int width) {
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(column_text);
    column.iSubItem = index;
    return SendMessageW(handle, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                        reinterpret_cast<LPARAM>(&column)) != -1;
}

void CListView::set_column_width(int index, int width) {
    SendMessageW(handle, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(index), MAKELPARAM(width, 0));
}

int CListView::string_width(const wchar_t* text) const {
    return static_cast<int>(SendMessageW(handle, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text)));
}

int CListView::item_count() const {
    return static_cast<int>(SendMessageW(handle, LVM_GETITEMCOUNT, 0, 0));
}

bool CListView::delete_all() {
    return SendMessageW(handle, LVM_DELETEALLITEMS, 0, 0) != 0;
}

int CListView::insert_item(const wchar_t* item_text, LPARAM data) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = INT_MAX; // after the last
    item.pszText = const_cast<wchar_t*>(item_text);
    item.lParam = data;
    return static_cast<int>(SendMessageW(handle, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

bool CListView::set_item_text(int item, int sub_item, const wchar_t* item_text) {
    LVITEMW record = {};
    record.iSubItem = sub_item;
    record.pszText = const_cast<wchar_t*>(item_text);
    return SendMessageW(handle, LVM_SETITEMTEXTW, static_cast<WPARAM>(item),
                        reinterpret_cast<LPARAM>(&record)) != 0;
}

bool CListView::set_item_image(int item, int image) {
    LVITEMW record = {};
    record.mask = LVIF_IMAGE;
    record.iItem = item;
    record.iImage = image;
    return SendMessageW(handle, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&record)) != 0;
}

bool CListView::item_data(int item, LPARAM& data) const {
    if (item < 0) {
        return false;
    }
    LVITEMW record = {};
    record.mask = LVIF_PARAM;
    record.iItem = item;
    if (SendMessageW(handle, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&record)) == 0) {
        return false;
    }
    data = record.lParam;
    return true;
}

int CListView::find_item(LPARAM data) const {
    LVFINDINFOW find = {};
    find.flags = LVFI_PARAM;
    find.lParam = data;
    return static_cast<int>(
        SendMessageW(handle, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

int CListView::next_item(int from, UINT flags) const {
    return static_cast<int>(SendMessageW(handle, LVM_GETNEXTITEM, static_cast<WPARAM>(from), flags));
}

void CListView::set_item_state(int item, UINT state, UINT mask) {
    LVITEMW record = {};
    record.state = state;
    record.stateMask = mask;
    SendMessageW(handle, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&record));
}

int CListView::focused_item() const {
    return next_item(-1, LVNI_FOCUSED);
}

int CListView::top_item() const {
    return static_cast<int>(SendMessageW(handle, LVM_GETTOPINDEX, 0, 0));
}

void CListView::scroll_to(int item) {
    const int top = top_item();
    RECT row = {LVIR_BOUNDS, 0, 0, 0};
    if (item < 0 || item == top ||
        SendMessageW(handle, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row)) == 0) {
        return;
    }
    // A report list scrolls by pixels, rounded to whole rows.
    SendMessageW(handle, LVM_SCROLL, 0, (item - top) * (row.bottom - row.top));
}

void CListView::select_item(int index) {
    set_item_state(index, LVIS_SELECTED, LVIS_SELECTED);
    set_item_state(index, LVIS_FOCUSED, LVIS_FOCUSED);
    SendMessageW(handle, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), TRUE);
}

bool CListView::item_rect(int item, RECT& out) const {
    out = RECT{LVIR_BOUNDS, 0, 0, 0};
    return item >= 0 && SendMessageW(handle, LVM_GETITEMRECT, static_cast<WPARAM>(item),
                                     reinterpret_cast<LPARAM>(&out)) != 0;
}

void CListView::show_focused_row() {
    const int focused = focused_item();
    if (focused >= 0) {
        ensure_visible(focused);
    } else if (item_count() > 0) {
        select_item(0);
    }
}

void CListView::ensure_visible(int item) {
    SendMessageW(handle, LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE);
}

void CListView::move_selection(int delta) {
    int target = focused_item() + delta;
    if (target < 0) {
        target = 0;
    }
    const int last = item_count() - 1;
    if (target > last) {
        target = last;
    }
    // An empty list gives -1: LVM_SETITEMSTATE would then change every item, so nothing is done.
    if (target >= 0) {
        select_item(target);
    }
}

void CListView::set_redraw(bool on) {
    SendMessageW(handle, WM_SETREDRAW, on ? TRUE : FALSE, 0);
    if (on) {
        RedrawWindow(handle, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
}

// ---------------------------------------------------------------------------------------------
// CTextBox

CTextBox::CTextBox() {
    class_name = WC_EDITW;
    // A long or pasted query scrolls, as in every Windows box, instead of being cut at the width.
    style = WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL;
    ex_style = WS_EX_CLIENTEDGE;
}

CTextBox::~CTextBox() = default;

bool CTextBox::on_char(WPARAM unit) {
    return unit == VK_RETURN || unit == VK_ESCAPE;
}

void CTextBox::select_all() {
    SendMessageW(handle, EM_SETSEL, 0, -1);
}

void CTextBox::set_cue_banner(const wchar_t* text) {
    SendMessageW(handle, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(text));
}

// ---------------------------------------------------------------------------------------------
// CStatusBar

CStatusBar::CStatusBar() {
    class_name = STATUSCLASSNAMEW;
    // No size grip: it would offer a size change to a window whose size is fixed.
    style = WS_CHILD | WS_VISIBLE | SBARS_TOOLTIPS;
}

CStatusBar::~CStatusBar() = default;

RStatusPart* CStatusBar::add_part() {
    if (part_count() >= MAX_PARTS) {
        return nullptr;
    }
    parts_.push_back(std::make_unique<RStatusPart>());
    return parts_.back().get();
}

void CStatusBar::apply() {
    std::vector<int> edges;
    int edge = 0;
    for (const auto& part : parts_) {
        edge += part->width;
        edges.push_back(edge);
    }
    if (!edges.empty()) {
        // Wine's bar makes the tooltip tool of a part only when the parts change, and a new bar
        // already has one part reaching the border: with one more part first, the real ones
        // always change them.
        std::vector<int> more = edges;
        more.push_back(-1);
        SendMessageW(handle, SB_SETPARTS, more.size(), reinterpret_cast<LPARAM>(more.data()));
        edges.back() = -1;
    }
    SendMessageW(handle, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    for (size_t j = 0; j < parts_.size(); ++j) {
        const RStatusPart& part = *parts_[j];
        SendMessageW(handle, SB_SETICON, j, reinterpret_cast<LPARAM>(part.icon.get()));
        SendMessageW(handle, SB_SETTEXTW, j, reinterpret_cast<LPARAM>(part.text.c_str()));
        SendMessageW(handle, SB_SETTIPTEXTW, j, reinterpret_cast<LPARAM>(part.tooltip.c_str()));
    }
}

void CStatusBar::resize() {
    SendMessageW(handle, WM_SIZE, 0, 0);
}

// ---------------------------------------------------------------------------------------------
// Menus

UINT track_menu(HWND owner, HMENU menu, POINT at) {
    if (menu == nullptr) {
        return 0;
    }
    // The owner must be in front while the menu is open, or the menu does not close when the
    // user clicks elsewhere; the message posted after it lets the menu's loop end in time.
    SetForegroundWindow(owner);
    UINT flags = TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY;
    flags |= GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    const UINT chosen = static_cast<UINT>(TrackPopupMenuEx(menu, flags, at.x, at.y, owner, nullptr));
    PostMessageW(owner, WM_NULL, 0, 0);
    return chosen;
}

namespace {

bool free_global(HGLOBAL memory) {
    return GlobalFree(memory) == nullptr;
}
using CGlobal = kernel::COwner<HGLOBAL, &free_global>;

// Clipboard managers and remote desktops hold the clipboard for a moment after every change.
bool open_clipboard(HWND owner) {
    const DWORD start = GetTickCount();
    while (!OpenClipboard(owner)) {
        if (GetTickCount() - start >= CLIPBOARD_PATIENCE_MS) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

} // namespace

bool copy_to_clipboard(HWND owner, const std::wstring& text) {
    // Made before the clipboard is emptied: a copy that cannot be made leaves the user's
    // clipboard as it was.
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    CGlobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    void* target = memory.is_valid() ? GlobalLock(memory.get()) : nullptr;
    if (target == nullptr) {
        return false;
    }
    std::memcpy(target, text.c_str(), bytes);
    GlobalUnlock(memory.get());
    if (!open_clipboard(owner)) {
        return false;
    }
    bool copied = false;
    if (EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory.get()) != nullptr) {
        memory.release(); // the clipboard's from now on
        copied = true;
    }
    CloseClipboard();
    return copied;
}

namespace {

bool release_services(IAccPropServices* services) {
    services->Release();
    return true;
}
using CPropServices = kernel::COwner<IAccPropServices*, &release_services>;

CPropServices prop_services() {
    IAccPropServices* services = nullptr;
    CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                     reinterpret_cast<void**>(&services));
    return CPropServices(services);
}

} // namespace

HRESULT set_accessible_name(HWND control, const wchar_t* name) {
    const CPropServices services = prop_services();
    if (!services.is_valid()) {
        return E_NOINTERFACE;
    }
    return services.get()->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                          PROPID_ACC_NAME, name);
}

void clear_accessible_name(HWND control) {
    const CPropServices services = prop_services();
    if (services.is_valid()) {
        MSAAPROPID name = PROPID_ACC_NAME;
        services.get()->ClearHwndProps(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &name, 1);
    }
}

} // namespace wapi
