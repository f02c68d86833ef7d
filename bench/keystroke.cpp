// Time per keystroke from the search box's change to the refilled result list, over the index
// embedded in pelikant.exe (beside this program), in a real window with a real edit box and list
// view. Beside it, the floor: refilling the same list view with the same final rows and nothing
// else done (the rows prepared beforehand). The two are measured in turns in one run.
//
// A keystroke is a WM_SETTEXT of the box: its EN_CHANGE runs the search (match) and show_results
// synchronously, as in the program. The keystroke column runs from EN_CHANGE to the refilled list;
// "with box" adds the edit control's own handling of the new text.

#include "../tests/gui_window.h"
#include "../tests/search/embedded_index.h"

#include "app/result_view.h"
#include "search/catalogue.h"
#include "search/search_result.h"
#include "wapi/controls.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace search;

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// The box and the list as the application wires them.
class CBench {
public:
    CBench(test::CGuiWindow* window, CCatalogue* documentation)
        : window_(window), documentation_(documentation) {}

    bool create() {
        box_ = new wapi::CTextBox;
        box_->rect = wapi::RRect{0, 0, 599, 23};
        if (!wapi::CWindowBase::add_control(box_, window_)) {
            return false;
        }
        list_ = new wapi::CListView;
        list_->rect = wapi::RRect{0, 24, 599, 423};
        if (!wapi::CWindowBase::add_control(list_, window_)) {
            return false;
        }
        list_->insert_column(0, L"Wynik", 560);
        box_->command_handler.bind<CBench, &CBench::on_box_command>(this);
        return true;
    }

    bool on_box_command(wapi::CWindowBase*, HWND, WPARAM, WORD code) {
        if (code != EN_CHANGE) {
            return false;
        }
        const Clock::time_point start = Clock::now();
        app::show_results(*list_, documentation_->search(box_->get_text().c_str()));
        last_change_ms_ = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        return true;
    }

    // Milliseconds from the box's change (its EN_CHANGE) to the refilled list; with the edit
    // control's own work for the new text in `whole`.
    double type(const std::wstring& text, double* whole = nullptr) {
        last_change_ms_ = -1.0;
        const Clock::time_point start = Clock::now();
        SetWindowTextW(box_->handle, text.c_str());
        if (whole != nullptr) {
            *whole = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
        return last_change_ms_;
    }

    // The rows the list shows now, read back from the list itself.
    std::vector<RDisplayRow> shown() const {
        std::vector<RDisplayRow> rows;
        const int count = list_->item_count();
        for (int i = 0; i < count; ++i) {
            wchar_t text[1024] = {};
            LVITEMW item = {};
            item.mask = LVIF_TEXT | LVIF_PARAM;
            item.iItem = i;
            item.pszText = text;
            item.cchTextMax = 1024;
            SendMessageW(list_->handle, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            rows.push_back(RDisplayRow{text, static_cast<long>(item.lParam)});
        }
        return rows;
    }

    double floor(const std::vector<RDisplayRow>& rows) {
        const Clock::time_point start = Clock::now();
        app::show_results(*list_, rows);
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }

private:
    test::CGuiWindow* window_;      // not owned
    CCatalogue* documentation_;     // not owned
    wapi::CTextBox* box_ = nullptr; // not owned: the window's children own the controls
    wapi::CListView* list_ = nullptr;
    double last_change_ms_ = -1.0;
};

std::string utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

} // namespace

int main() {
    const test::CShippedModule shipped;
    CCatalogue documentation(RSiteUrls{"http://127.0.0.1:8765", "https://www.google.com"});
    documentation.load_documentation(shipped.get());
    if (documentation.rows().count() != 789) {
        std::printf("pelikant.exe (beside this program) has no documentation index\n");
        return 1;
    }
    test::CGuiWindow* window = test::CGuiWindow::open(L"PelikantKeystrokeBench");
    if (window == nullptr) {
        std::printf("no window\n");
        return 1;
    }
    CBench bench(window, &documentation);
    bool created = false;
    window->run([&] { created = bench.create(); });
    if (!created) {
        std::printf("no controls\n");
        test::CGuiWindow::close(window);
        return 1;
    }

    // The last mistyped: its rows are close matches.
    const std::wstring queries[] = {L"",  L"printf", L"łańcuch znaków", L"std::vector",
                                    L"a", L"c++",    L"wskaznik",       L"pritnf"};
    const int rounds = 21;
    std::printf(
        "milliseconds per keystroke, median over %d rounds; floor: the same rows inserted into the same\n"
        "list view (redrawing off, then on, item 0 selected) with nothing else done\n\n",
        rounds);
    std::printf("%-16s %6s | %9s %9s | %6s | %9s\n", "query", "rows", "keystroke", "floor", "ratio",
                "with box");

    double empty_ratio = 0.0;
    for (const std::wstring& query : queries) {
        // Typed one character at a time; the empty query is the deletion of a last character.
        std::vector<std::wstring> states;
        if (query.empty()) {
            states.push_back(L"");
        }
        for (size_t n = 1; n <= query.size(); ++n) {
            states.push_back(query.substr(0, n));
        }
        std::vector<double> typed, wholes, floors;
        size_t rows = 0;
        for (int round = 0; round < rounds; ++round) {
            for (const std::wstring& state : states) {
                const std::wstring before = state.empty() ? L"a" : state.substr(0, state.size() - 1);
                window->run([&] {
                    bench.type(before);
                    double whole = 0.0;
                    typed.push_back(bench.type(state, &whole));
                    wholes.push_back(whole);
                    const std::vector<RDisplayRow> shown = bench.shown();
                    rows = shown.size();
                    bench.type(before);
                    floors.push_back(bench.floor(shown));
                });
            }
        }
        const double t = median(typed);
        const double f = median(floors);
        const double ratio = f > 0 ? t / f : 0.0;
        if (query.empty()) {
            empty_ratio = ratio;
        }
        std::printf("%-16s %6zu | %9.2f %9.2f | %6.2f | %9.2f\n",
                    (query.empty() ? std::string("(empty)") : utf8(query)).c_str(), rows, t, f, ratio,
                    median(wholes));
    }
    std::printf("\nempty query: %.2f times the floor (target: within 1.2) %s\n", empty_ratio,
                empty_ratio <= 1.2 ? "met" : "NOT met");
    test::CGuiWindow::close(window);
    return 0;
}
