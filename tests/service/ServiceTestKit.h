#pragma once

#include "support/ServiceWorld.h"

#include <gtest/gtest.h>

using namespace kvt;
using kvt::platform::Answer;
using kvt::testing::kRs232;
using kvt::testing::kRs485;
using kvt::testing::LineKind;
using kvt::testing::ServiceWorld;
using Lines = std::vector<std::string>;

inline Lines concat(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The failure box of a procedure: its headline, then the reply that was wrong.
inline std::string failure(const char* headline, const char* separator, const std::string& reply) {
    return service::ServiceLink::failureText(headline, separator, reply);
}

// A preparation that scripts one fault into the device.
inline std::function<void(ServiceWorld&)> faultOn(std::string command, sim::Fault fault) {
    return [=](ServiceWorld& x) { x.dev().scriptFault(command, fault); };
}

// Answers the warning before a procedure Yes and starts it from `menu`.
inline void launch(ServiceWorld& x, const std::string& menu) {
    x.w.op.answer(Answer::Yes);
    x.click(menu);
}

// A suite whose scenarios run once on each line kind.
#define KVT_ON_BOTH_LINES(Suite)                                                                   \
    class Suite : public ::testing::TestWithParam<LineKind> {};                                    \
    INSTANTIATE_TEST_SUITE_P(Lines, Suite, ::testing::Values(kRs232, kRs485),                      \
                             [](const auto& info) { return std::string(info.param.name); })
