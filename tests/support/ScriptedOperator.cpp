#include "support/ScriptedOperator.h"

#include "support/SimRuntime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace kvt::testing {

using platform::Answer;
using platform::Buttons;

namespace {

std::vector<Answer> buttonsOf(Buttons b) {
    static const std::map<Buttons, std::vector<Answer>> offered = {
        {Buttons::OkCancel, {Answer::Ok, Answer::Cancel}},
        {Buttons::AbortRetryIgnore, {Answer::Abort, Answer::Retry, Answer::Ignore}},
        {Buttons::YesNoCancel, {Answer::Yes, Answer::No, Answer::Cancel}},
        {Buttons::YesNo, {Answer::Yes, Answer::No}},
        {Buttons::RetryCancel, {Answer::Retry, Answer::Cancel}}};
    const auto it = offered.find(b);
    return it == offered.end() ? std::vector<Answer>{Answer::Ok} : it->second;
}

} // namespace

Answer ScriptedOperator::message(const platform::Message& m) {
    shown.push_back({m.text, m.title, m.buttons, m.icon, m.defaultButton});
    auto offered = buttonsOf(m.buttons);
    if (answers_.empty()) {
        // A box with one button needs no script; any other box the test did not expect is a fault.
        if (offered.size() > 1)
            ADD_FAILURE() << "unscripted message box: " << m.text;
        return offered.at(std::min<std::size_t>(m.defaultButton, offered.size() - 1));
    }
    Scripted s = answers_.front();
    answers_.pop_front();
    if (std::find(offered.begin(), offered.end(), s.answer) == offered.end())
        ADD_FAILURE() << "scripted answer is not a button of: " << m.text;
    if (runtime_ && s.holdSeconds > 0)
        runtime_->runFor(s.holdSeconds);
    return s.answer;
}

std::string ScriptedOperator::input(const std::string& prompt, const std::string& title,
                                    const std::string& defaultText) {
    prompts.push_back(title + "|" + prompt);
    if (inputs_.empty()) {
        ADD_FAILURE() << "unscripted input box: " << prompt;
        return defaultText;
    }
    std::string t = inputs_.front();
    inputs_.pop_front();
    return t;
}

std::optional<std::string> ScriptedOperator::chooseFile(const platform::FileRequest& request) {
    prompts.push_back(request.title);
    fileRequests.push_back(request);
    if (files_.empty()) {
        ADD_FAILURE() << "unscripted file chooser: " << request.title;
        return std::nullopt;
    }
    auto f = files_.front();
    files_.pop_front();
    return f;
}

std::vector<std::string> ScriptedOperator::texts() const {
    std::vector<std::string> t;
    for (const auto& s : shown)
        t.push_back(s.text);
    return t;
}

} // namespace kvt::testing
