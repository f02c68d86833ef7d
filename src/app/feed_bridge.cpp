#include "app/feed_bridge.h"

#include <utility>

#include "app/answered.h"
#include "app/config.h"

namespace app {

namespace {

const UINT POLL_PERIOD_MS = 60000;

// What the status line says while the system gives no timer: the polls would stop unseen.
const wchar_t* const NO_TIMER =
    L"Nie działa sprawdzanie co minutę: system odmówił zegara. Ponowna próba wkrótce.";

} // namespace

CFeedBridge::CFeedBridge(IFeedWindow& window, const char* site_url)
    : window_(window), site_url_(site_url), monitor_(site_url, this, PELIKANT_WAIT_PERCENT),
      state_(feed::waiting_state()) {
    engine_.set_user_agent(feed::user_agent(PELIKANT_VERSION));
    engine_.set_transfer_limit(PELIKANT_TRANSFER_LIMIT_MS);
}

void CFeedBridge::start(HWND window) {
    hwnd_ = window;
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
}

std::string CFeedBridge::topic_url(std::int32_t id) const {
    return feed::topic_url(site_url_.c_str(), id);
}

void CFeedBridge::poll() {
    // A tick inside a wait after failed polls asks for nothing.
    monitor_.poll(engine_, static_cast<std::int64_t>(GetTickCount64()));
}

bool CFeedBridge::on_message(UINT message, WPARAM wparam) {
    switch (message) {
    case WM_FEED_POLLED:
        take_snapshots();
        return true;
    case WM_TIMER:
        if (!timer_.running() || wparam != CPollTimer::ID) {
            return false;
        }
        poll();
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
    for (const feed::RFeedSnapshot& snapshot : taken) {
        if (snapshot.announce) {
            window_.announce(snapshot.balloon);
        }
        if (snapshot.has_topics) {
            window_.show_topics(snapshot.topics);
        }
        state_ = snapshot.state;
    }
    if (!timer_.running()) {
        timer_.on_retry(); // also where the kernel's timer would not come
    }
    show_state();
}

void CFeedBridge::show_state() {
    if (timer_.running()) {
        window_.show_feed_state(state_);
        return;
    }
    feed::RFeedState state = state_;
    state.line = NO_TIMER;
    state.details = NO_TIMER + (L"\n" + state_.details);
    window_.show_feed_state(state);
}

} // namespace app
