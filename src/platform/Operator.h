#pragma once

#include <optional>
#include <string>

namespace kvt::platform {

enum class Buttons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class Icon { None, Critical, Question, Exclamation, Information };
enum class Answer { Ok, Cancel, Abort, Retry, Ignore, Yes, No };

struct Message {
    std::string text; // a carriage return in the text is a line break on screen
    std::string title;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    int defaultButton = 0; // position among the buttons, 0-based
};

struct FileRequest {
    std::string title;
    std::string filter;
    std::string proposedName;
    bool save = false;
    // Save choosers: the chooser itself asks before an existing file is taken. Off when the caller
    // asks its own question (replace or append).
    bool confirmReplace = true;
};

// The person at the keyboard: message boxes, input boxes, file choosers, the beep.
class Operator {
public:
    virtual ~Operator() = default;
    virtual Answer message(const Message& message) = 0;
    // Cancel gives the empty text.
    virtual std::string input(const std::string& prompt, const std::string& title,
                              const std::string& defaultText) = 0;
    // nullopt when cancelled.
    virtual std::optional<std::string> chooseFile(const FileRequest& request) = 0;
    virtual void beep() = 0;
};

} // namespace kvt::platform
