#include "app/feed_bridge.h"

#include <algorithm>
#include <utility>

#include "app/answered.h"
#include "app/config.h"
#include "app/pause.h"
#include "app/user_quiet.h"
#include "resources/resource.h"

namespace app {

namespace {

const UINT POLL_PERIOD_MS = 60000;
// The most the end of the program or of the session waits for the last write of what was seen.
const std::uint32_t LAST_WRITE_MS = 2000;
const std::uint32_t SESSION_END_WRITE_MS = 1500;
// How long a notice stays beside the feed's state.
const std::int64_t NOTICE_MS = 30000;
const std::int64_t HOUR = 36000000000LL; // in FILETIME units

// What the status line says while the system gives no timer: the polls would stop unseen.
const wchar_t* const NO_TIMER =
    L"Nie działa sprawdzanie co minutę: system odmówił zegara. Ponowna próba wkrótce.";

std::int64_t now_ms() {
    return static_cast<std::int64_t>(GetTickCount64());
}

// FILETIME's count of 100 ns since 1601, as one number.
std::int64_t as_number(const FILETIME& time) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime);
}

FILETIME as_filetime(std::int64_t value) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFF);
    time.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(value) >> 32);
    return time;
}

std::int64_t utc_now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return as_number(now);
}

// The local time of a UTC time; false where the system cannot tell.
bool local_time(std::int64_t utc, SYSTEMTIME& out) {
    const FILETIME at = as_filetime(utc);
    SYSTEMTIME system;
    return FileTimeToSystemTime(&at, &system) && SystemTimeToTzSpecificLocalTime(nullptr, &system, &out);
}

// When "do jutra" ends, as UTC: the morning's local time, through the time zone of that day.
std::int64_t tomorrow_morning() {
    SYSTEMTIME now, utc;
    GetLocalTime(&now);
    const SYSTEMTIME morning = pause_end_tomorrow(now);
    FILETIME result;
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &morning, &utc) || !SystemTimeToFileTime(&utc, &result)) {
        return utc_now() + 12 * HOUR;
    }
    return as_number(result);
}

std::wstring paused_line(std::int64_t until) {
    SYSTEMTIME local, now;
    if (!local_time(until, local)) {
        return L"Powiadomienia wstrzymane";
    }
    GetLocalTime(&now);
    return pause_line(local, now);
}

// The local time, to the minute after, of a tick (GetTickCount64) to come.
std::wstring clock_time_of(std::int64_t tick_ms) {
    SYSTEMTIME at;
    const std::int64_t ahead_ms = tick_ms - now_ms() + 59999;
    return local_time(utc_now() + ahead_ms * 10000, at) ? feed::clock_time(at) : std::wstring(L"--:--");
}

// What the status line says of a load that keeps nothing, or starts afresh.
const wchar_t* load_notice(feed::CSeenFile::Load load) {
    switch (load) {
    case feed::CSeenFile::BAD:
        return L"Zapisana lista przeczytanych tematów była uszkodzona; zaczęto od nowa (uszkodzony plik "
               L"zachowano obok).";
    case feed::CSeenFile::NEWER:
        return L"Listę przeczytanych tematów zapisała nowsza wersja Pelikanta; zostaje bez zmian, a ta "
               L"wersja niczego nie zapamięta.";
    case feed::CSeenFile::OTHER_SITE:
        return L"Plik przeczytanych tematów należy do innej strony; zostaje bez zmian, a Pelikant niczego "
               L"nie zapamięta.";
    case feed::CSeenFile::UNREADABLE:
        return L"Nie udało się odczytać listy przeczytanych tematów; zostaje bez zmian, a Pelikant niczego "
               L"nie zapamięta do ponownego uruchomienia.";
    case feed::CSeenFile::NO_FOLDER:
        return L"Nie ma gdzie zapisać listy przeczytanych tematów: nie udało się utworzyć folderu.";
    default:
        return nullptr;
    }
}

} // namespace

CFeedBridge::CFeedBridge(IFeedWindow& window, const char* site_url, std::wstring folder)
    : window_(window), site_url_(site_url), monitor_(site_url, this, PELIKANT_WAIT_PERCENT),
      state_(feed::waiting_state()), seen_(std::move(folder), site_url_, PELIKANT_SEEN_FILE,
                                           [this] {
                                               // On the writer's thread: only a post.
                                               const HWND window = hwnd_;
                                               if (window != nullptr) {
                                                   PostMessageW(window, WM_SEEN_WRITTEN, 0, 0);
                                               }
                                           }),
      news_(seen_.topics(), site_url_) {
    engine_.set_user_agent(feed::user_agent(PELIKANT_VERSION));
    engine_.set_transfer_limit(PELIKANT_TRANSFER_LIMIT_MS);
}

void CFeedBridge::start(HWND window) {
    hwnd_ = window;
    const wchar_t* notice = load_notice(seen_.load());
    if (notice != nullptr) {
        say_once(notice);
    }
    news_.begin();
    timer_.start(window, POLL_PERIOD_MS, PELIKANT_TIMER_RETRY_MS);
    engine_.set_notifications(&monitor_);
    engine_.start();
    poll();
    show_state();
}

void CFeedBridge::stop() {
    timer_.stop();
    hwnd_ = nullptr;
    engine_.set_notifications(nullptr);
    engine_.stop();
    seen_.finish(LAST_WRITE_MS);
}

std::string CFeedBridge::topic_url(std::int32_t id) const {
    return feed::topic_url(site_url_.c_str(), id);
}

bool CFeedBridge::poll() {
    // A tick inside a wait after failed polls asks for nothing.
    const std::int64_t now = now_ms();
    if (!monitor_.poll(engine_, now)) {
        return false;
    }
    polled_ms_ = now;
    return true;
}

bool CFeedBridge::on_message(UINT message, WPARAM wparam) {
    switch (message) {
    case WM_FEED_POLLED:
        take_snapshots();
        return true;
    case WM_SEEN_WRITTEN:
        if (seen_.failing() && !said_failing_) {
            said_failing_ = true;
            say_once(L"Nie udało się zapisać listy przeczytanych tematów (folder tylko do odczytu albo pełny "
                     L"dysk); ponowna próba wkrótce.");
        }
        said_failing_ = said_failing_ && seen_.failing();
        return true;
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION:
        // Written now, waited for only briefly: the session's end is never held up.
        if (message == WM_QUERYENDSESSION || wparam != FALSE) {
            seen_.flush(message == WM_QUERYENDSESSION ? 0 : SESSION_END_WRITE_MS);
        }
        return false;
    case WM_TIMER:
        if (!timer_.running() || wparam != CPollTimer::ID) {
            return false;
        }
        poll();
        release_held();
        return true;
    case CPollTimer::WM_RETRY:
        if (timer_.on_retry()) {
            show_state();
        }
        return true;
    default:
        return false;
    }
}

bool CFeedBridge::on_command(WORD command) {
    switch (command) {
    case IDM_CHECK_NOW:
        check_now();
        return true;
    case IDM_MARK_ALL_READ:
        mark_all_read();
        return true;
    case IDM_PAUSE_HOUR:
        pause(EPause::HOUR);
        return true;
    case IDM_PAUSE_TOMORROW:
        pause(EPause::TOMORROW);
        return true;
    case IDM_RESUME:
        pause(EPause::NONE);
        return true;
    case IDM_ONLY_FOLLOWED:
        news_.set_only_followed(!news_.only_followed());
        show_news();
        return true;
    default:
        return false;
    }
}

void CFeedBridge::feed_polled(feed::RFeedSnapshot snapshot) {
    const feed::RFeedCheck check = snapshot.check;
    {
        kernel::CLock guard(lock_);
        waiting_.push_back(std::move(snapshot));
    }
    // Posted, never sent: the GUI thread waits for this thread at exit.
    const HWND window = hwnd_;
    if (window != nullptr) {
        PostMessageW(window, WM_FEED_POLLED, 0, 0);
    }
    poll_answered(check);
}

void CFeedBridge::take_snapshots() {
    std::vector<feed::RFeedSnapshot> taken;
    {
        kernel::CLock guard(lock_);
        taken.swap(waiting_);
    }
    std::vector<feed::RBalloon> balloons;
    for (feed::RFeedSnapshot& snapshot : taken) {
        if (snapshot.has_topics) {
            feed::RBalloon balloon;
            if (news_.take(std::move(snapshot.topics), quiet(), balloon)) {
                balloons.push_back(std::move(balloon));
            }
            window_.show_topics(news_.topics());
            seen_.save();
        }
        state_ = snapshot.state;
    }
    if (!timer_.running()) {
        timer_.on_retry(); // also where the kernel's timer would not come
    }
    if (!notice_.empty() && now_ms() - notice_ms_ >= NOTICE_MS) {
        notice_.clear();
    }
    // The icon first: the balloon comes beside the icon that says what it says.
    show_state();
    for (const feed::RBalloon& balloon : balloons) {
        window_.announce(balloon);
    }
    release_held();
}

bool CFeedBridge::quiet() const {
    return paused() || user_wants_quiet();
}

bool CFeedBridge::paused() const {
    return seen_.topics().paused_until() > utc_now();
}

bool CFeedBridge::any_news() const {
    const std::vector<feed::RForumRow>& topics = news_.topics();
    return std::any_of(topics.begin(), topics.end(),
                       [](const feed::RForumRow& row) { return row.new_posts > 0; });
}

void CFeedBridge::release_held() {
    if (quiet()) {
        return;
    }
    if (seen_.topics().paused_until() != 0) {
        seen_.topics().pause_until(0); // over: kept no longer
        seen_.save();
        show_state();
    }
    feed::RBalloon balloon;
    if (news_.release(balloon)) {
        window_.announce(balloon);
    }
}

void CFeedBridge::check_now() {
    const std::int64_t now = now_ms();
    const feed::CPollSchedule schedule = monitor_.schedule();
    if (schedule.failures() > 0 && !schedule.is_due(now)) {
        window_.report(L"Serwer niedawno nie odpowiadał; następna próba o " +
                       clock_time_of(schedule.due_ms()) + L".");
        return;
    }
    if (now - polled_ms_ < PELIKANT_CHECK_SPACING_MS) {
        window_.report(L"Sprawdzono przed chwilą; ponownie można za " +
                       std::to_wstring((PELIKANT_CHECK_SPACING_MS - (now - polled_ms_) + 999) / 1000) +
                       L" s.");
        return;
    }
    if (!poll()) {
        window_.report(L"Sprawdzanie już trwa.");
    }
}

void CFeedBridge::mark_all_read() {
    news_.open_all();
    show_news();
}

void CFeedBridge::show_news() {
    window_.show_topics(news_.topics());
    seen_.save();
    show_state();
}

void CFeedBridge::topic_command(std::int32_t id, UINT command) {
    const feed::EFollow now = seen_.topics().follow(id);
    const feed::EFollow asked = command == IDM_FOLLOW ? feed::EFollow::FOLLOWED : feed::EFollow::MUTED;
    switch (command) {
    case IDM_MARK_READ:
        news_.open(id);
        break;
    case IDM_FOLLOW:
    case IDM_MUTE:
        if (news_.set_follow(id, now == asked ? feed::EFollow::NONE : asked) == feed::CNews::FOLLOW_FULL) {
            const std::wstring limit = std::to_wstring(feed::CSeenTopics::MAX_MARKED);
            window_.report(asked == feed::EFollow::FOLLOWED
                               ? L"Można obserwować najwyżej " + limit +
                                     L" tematów; przestań obserwować któryś, by dodać ten."
                               : L"Można wyciszyć najwyżej " + limit +
                                     L" tematów; wyłącz wyciszenie któregoś, by wyciszyć ten.");
            return;
        }
        break;
    default:
        return;
    }
    show_news();
}

void CFeedBridge::topic_opened(std::int32_t id) {
    // Seen or not before, it was met now: the file keeps it from the limit a while longer.
    if (news_.open(id)) {
        show_news();
    } else {
        seen_.save();
    }
}

void CFeedBridge::pause(EPause length) {
    const std::int64_t until = length == EPause::HOUR       ? utc_now() + HOUR
                               : length == EPause::TOMORROW ? tomorrow_morning()
                                                            : 0;
    seen_.topics().pause_until(until);
    seen_.save();
    show_state();
    release_held();
}

void CFeedBridge::say_once(const std::wstring& notice) {
    notice_ = notice;
    notice_ms_ = now_ms();
    show_state();
}

void CFeedBridge::show_state() {
    RFeedView view;
    const feed::RNewPosts count = news_.count();
    view.news = count.posts > 0;
    const std::wstring news_line = view.news ? feed::new_posts_line(count) : std::wstring();
    if (!timer_.running()) {
        view.line = NO_TIMER;
        view.details = NO_TIMER + (L"\n" + state_.details);
    } else {
        view.line = view.news ? news_line + L" · " + state_.line : state_.line;
        view.details = state_.details;
    }
    if (!notice_.empty()) {
        view.line += L" · " + notice_;
        view.details += L"\n" + notice_;
    }
    // The most important first: the tray cuts the tip from its end.
    view.tip = view.news ? news_line + L"\n" : std::wstring();
    if (paused()) {
        view.tip += paused_line(seen_.topics().paused_until()) + L"\n";
    }
    view.tip += state_.tip;
    window_.show_feed_state(view);
}

} // namespace app
