#include "app/poll_timer.h"

#include "app/system_timer.h"

namespace app {

namespace {

void CALLBACK post_retry(void* window, BOOLEAN) {
    PostMessageW(static_cast<HWND>(window), CPollTimer::WM_RETRY, 0, 0);
}

} // namespace

bool delete_queue_timer(HANDLE timer) {
    return DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE) != FALSE;
}

bool CPollTimer::start(HWND window, UINT period_ms, UINT retry_ms) {
    stop();
    window_ = window;
    period_ms_ = period_ms;
    retry_ms_ = retry_ms;
    return try_start();
}

bool CPollTimer::try_start() {
    retry_.reset();
    running_ = window_ != nullptr && set_system_timer(window_, ID, period_ms_) != 0;
    if (running_ || window_ == nullptr) {
        return running_;
    }
    HANDLE retry = nullptr;
    if (CreateTimerQueueTimer(&retry, nullptr, &post_retry, window_, retry_ms_, 0, WT_EXECUTEONLYONCE)) {
        retry_.reset(retry);
    }
    return false;
}

bool CPollTimer::on_retry() {
    return running_ || try_start();
}

void CPollTimer::stop() {
    retry_.reset();
    if (running_ && window_ != nullptr) {
        KillTimer(window_, ID);
    }
    running_ = false;
}

} // namespace app
