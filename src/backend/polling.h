// Waiting for a freshly started backend to answer.
#pragma once

#include <string>

namespace tessary {

inline constexpr double kPollInterval = 0.5;
inline constexpr double kPollTimeout = 0.5;
inline constexpr double kPollDeadline = 60.0;
inline constexpr char kPollAlertTitle[] = "Backend nie wystartował";

std::string pollAlertText(const std::string& shellLogFile);

}  // namespace tessary
