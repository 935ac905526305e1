#pragma once
// What the window is doing: nothing, extracting or saving. A run yields to the window's events
// while it works, so a second command can arrive meanwhile; the window, the runs and the gallery's
// commands all ask and set this one state, and only one run goes at a time.

namespace gg {

class RunState {
public:
    enum class Activity { Idle, Extracting, Saving };

    bool busy() const { return activity_ != Activity::Idle; }
    bool extracting() const { return activity_ == Activity::Extracting; }
    bool saving() const { return activity_ == Activity::Saving; }

    void start(Activity activity) { activity_ = activity; }
    void finish() { activity_ = Activity::Idle; }

private:
    Activity activity_ = Activity::Idle;
};

} // namespace gg
