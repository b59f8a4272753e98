// What went wrong, carried as a value up to the one place that reports it, so that no
// exception ever crosses the event loop. Plain UTF-8 text: each desktop's backend turns
// it into its own strings at its edge.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace KestrelMain {

struct Failure {
    std::string What;    // what failed, phrased for the user: "Cannot save the capture"
    std::string Path;    // the file or directory concerned, empty where there is none
    std::string Reason;  // the system's own reason: strerror, an X error, ...

    // One line: what, path and reason, as shown in the message box and on stderr.
    std::string Text() const;
};

// Nothing on success, the failure otherwise.
using Status = std::optional<Failure>;

// A value or the failure that prevented it. The failure type is a parameter only so that a
// desktop's edge can carry its own strings (QString) with the same shape.
template <class T, class Why = Failure>
class Result {
  public:
    Result(T value) : state_(std::move(value)) {}
    Result(Why failure) : state_(std::move(failure)) {}

    bool Ok() const { return state_.index() == 0; }
    explicit operator bool() const { return Ok(); }
    const T& Value() const { return std::get<0>(state_); }
    T& Value() { return std::get<0>(state_); }
    const T& operator*() const { return Value(); }
    const Why& Error() const { return std::get<1>(state_); }

  private:
    std::variant<T, Why> state_;
};

}  // namespace KestrelMain
