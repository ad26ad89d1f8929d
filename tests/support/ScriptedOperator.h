#pragma once

#include "platform/Operator.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kvt::testing {

class SimRuntime;

// The operator of a test: answers come from a queue, and every box shown is kept in a transcript.
// While a box is "open" the simulated world can go on for a while, as it does behind a real modal
// box.
class ScriptedOperator final : public platform::Operator {
public:
    explicit ScriptedOperator(SimRuntime* runtime = nullptr) : runtime_(runtime) {}

    struct Shown {
        std::string text;
        std::string title;
        platform::Buttons buttons;
        platform::Icon icon;
        int defaultButton;
    };
    struct Scripted {
        platform::Answer answer;
        double holdSeconds = 0.0; // virtual time that passes before the answer is given
    };

    void answer(platform::Answer a, double holdSeconds = 0.0) {
        answers_.push_back({a, holdSeconds});
    }
    void type(std::string text) { inputs_.push_back(std::move(text)); }
    void choose(std::optional<std::string> file) { files_.push_back(std::move(file)); }

    platform::Answer message(const platform::Message& m) override;
    std::string input(const std::string& prompt, const std::string& title,
                      const std::string& defaultText) override;
    std::optional<std::string> chooseFile(const platform::FileRequest& request) override;
    void beep() override { ++beeps; }

    std::vector<Shown> shown;
    std::vector<std::string> prompts;
    std::vector<platform::FileRequest> fileRequests; // every chooser shown, in order
    int beeps = 0;
    // Texts of the boxes shown, for compact assertions.
    std::vector<std::string> texts() const;
    std::size_t unansweredLeft() const { return answers_.size() + inputs_.size() + files_.size(); }

private:
    SimRuntime* runtime_;
    std::deque<Scripted> answers_;
    std::deque<std::string> inputs_;
    std::deque<std::optional<std::string>> files_;
};

} // namespace kvt::testing
