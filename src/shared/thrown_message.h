// The one failure type of the program's own code: a wide text, thrown by value.
#pragma once

#include <memory>

#include "platform/text.h"

class ThrownMessage {
public:
    explicit ThrownMessage(WStringView text) : text_(std::make_shared<const WString>(text)) {}

    // The pattern with its single "%s" replaced by name. Built without a fixed buffer, so a
    // long name is never cut short or written past an end.
    static ThrownMessage Format(WStringView pattern, WStringView name)
    {
        WString text(pattern);
        const auto at = text.find(WTEXT("%s"));
        if (at != WString::npos) {
            text.replace(at, 2, name);
        }
        return ThrownMessage(text);
    }

    [[nodiscard]] const WString& Text() const noexcept { return *text_; }

private:
    // Shared so that copying the exception object never allocates or throws.
    std::shared_ptr<const WString> text_;
};
