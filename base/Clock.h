#pragma once
// The wall clock as the program reads it for its timings.

namespace korvel {

// Local time of day in seconds (with milliseconds); no correction across midnight.
double SecondsSinceMidnight();

}  // namespace korvel
