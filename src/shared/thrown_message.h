// The one failure type of the program's own code: a wide text, thrown by value.
#pragma once

#include <memory>
#include <utility>

#include "platform/text.h"

class ThrownMessage {
public:
    explicit ThrownMessage(WStringView text) : text_(std::make_shared<const WString>(text)) {}

    // The pattern with its single "%s" replaced by name. Built without a fixed buffer, so a
    // long name is never cut short or written past an end; made in place, in one allocation
    // for the text.
    static ThrownMessage Format(WStringView pattern, WStringView name)
    {
        const auto at = pattern.find(WTEXT("%s"));
        if (at == WStringView::npos) {
            return ThrownMessage(pattern);
        }
        auto text = std::make_shared<WString>();
        text->reserve(pattern.size() - 2 + name.size());
        text->append(pattern.substr(0, at)).append(name).append(pattern.substr(at + 2));
        return ThrownMessage(std::move(text));
    }

    [[nodiscard]] const WString& Text() const noexcept { return *text_; }

private:
    explicit ThrownMessage(std::shared_ptr<const WString> text) : text_(std::move(text)) {}

    // Shared so that copying the exception object never allocates or throws.
    std::shared_ptr<const WString> text_;
};
