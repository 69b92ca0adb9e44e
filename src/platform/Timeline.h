// Start-up's steps in time, for the benchmark's build of the program only (TOVIK_TIMELINE).
// In every other build a mark or a span is nothing at all: no code, no data.
#pragma once

#ifdef TOVIK_TIMELINE
namespace tovik {
// A step ends now: when, in the system's time, so that a program outside can compare it with
// its own start of this process.
void TimelineMark(const char* step);
// Adds the time from its making to its end to the step's total, and counts it.
class TimelineSpan {
public:
    explicit TimelineSpan(const char* step);
    ~TimelineSpan();
    TimelineSpan(const TimelineSpan&) = delete;
    TimelineSpan& operator=(const TimelineSpan&) = delete;

private:
    const char* step_;
    long long started_;
};
// Writes every mark and total so far beside the program file.
void TimelineWrite();
}  // namespace tovik
#define TOVIK_TIMELINE_JOIN2(a, b) a##b
#define TOVIK_TIMELINE_JOIN(a, b) TOVIK_TIMELINE_JOIN2(a, b)
#define TOVIK_MARK(step) ::tovik::TimelineMark(step)
#define TOVIK_SPAN(step) \
    const ::tovik::TimelineSpan TOVIK_TIMELINE_JOIN(timelineSpan, __LINE__)(step)
#define TOVIK_TIMELINE_WRITE() ::tovik::TimelineWrite()
#else
#define TOVIK_MARK(step) static_cast<void>(0)
#define TOVIK_SPAN(step) static_cast<void>(0)
#define TOVIK_TIMELINE_WRITE() static_cast<void>(0)
#endif
