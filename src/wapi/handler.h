#pragma once

namespace wapi {

class CWindowBase;

// A handler one object installs on a control: an object and one of its member functions,
// always called with the control object first. Bound at compile time, so it costs no heap.
template <typename... Args> class THandler {
public:
    template <typename T, bool (T::*Method)(CWindowBase*, Args...)> void bind(T* object) {
        object_ = object;
        thunk_ = [](void* o, CWindowBase* control, Args... args) {
            return (static_cast<T*>(o)->*Method)(control, args...);
        };
    }
    void reset() {
        object_ = nullptr;
        thunk_ = nullptr;
    }
    bool present() const { return object_ != nullptr || thunk_ != nullptr; }
    // An absent handler handles nothing.
    bool operator()(CWindowBase* control, Args... args) const {
        return thunk_ != nullptr && thunk_(object_, control, args...);
    }

private:
    void* object_ = nullptr; // not owned
    bool (*thunk_)(void*, CWindowBase*, Args...) = nullptr;
};

} // namespace wapi
