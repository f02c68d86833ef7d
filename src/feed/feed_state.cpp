#include "feed/feed_state.h"

#include <cwchar>

namespace feed {

std::wstring clock_time(const SYSTEMTIME& at, bool seconds) {
    wchar_t text[16];
    if (seconds) {
        std::swprintf(text, 16, L"%02u:%02u:%02u", at.wHour, at.wMinute, at.wSecond);
    } else {
        std::swprintf(text, 16, L"%02u:%02u", at.wHour, at.wMinute);
    }
    return text;
}

namespace {

// The server's own words (libcurl's error, the status line), when there are any.
std::wstring with_detail(const std::wstring& text, const RFeedCheck& check) {
    return check.detail.empty() ? text : text + L"\nSzczegóły: " + check.detail;
}

} // namespace

RFeedState waiting_state() {
    return RFeedState{L"Pobieranie listy tematów…", L"Pelikant pobiera listę tematów z forum.",
                      L"pobieranie listy tematów…"};
}

RFeedState feed_state(const RFeedCheck& check, const SYSTEMTIME& at) {
    const std::wstring hm = clock_time(at, false);
    const std::wstring when = L" (" + hm + L")";
    const std::wstring exact = clock_time(at, true);
    switch (check.outcome) {
    case RFeedCheck::FEED:
        return RFeedState{L"Sprawdzono " + hm, L"Lista tematów pobrana o " + exact + L".",
                          L"sprawdzono " + hm};
    case RFeedCheck::UNCHANGED:
        return RFeedState{L"Sprawdzono " + hm + L" (bez zmian)",
                          L"O " + exact + L" serwer potwierdził, że lista tematów się nie zmieniła.",
                          L"sprawdzono " + hm + L" (bez zmian)"};
    case RFeedCheck::NO_CONNECTION:
        return RFeedState{L"Brak połączenia z serwerem" + when,
                          with_detail(L"O " + exact + L" nie udało się połączyć z serwerem forum.", check),
                          L"brak połączenia z serwerem" + when};
    case RFeedCheck::HTTP_ERROR: {
        const std::wstring status = std::to_wstring(check.http_status);
        return RFeedState{
            L"Serwer odpowiedział błędem " + status + when,
            with_detail(L"O " + exact + L" serwer forum odpowiedział błędem " + status + L".", check),
            L"błąd serwera " + status + when};
    }
    case RFeedCheck::NOT_A_FEED:
    default:
        return RFeedState{
            L"Odpowiedź nie jest listą tematów" + when,
            with_detail(L"O " + exact + L" serwer forum odpowiedział czymś, co nie jest listą tematów.",
                        check),
            L"odpowiedź nie jest listą tematów" + when};
    }
}

} // namespace feed
